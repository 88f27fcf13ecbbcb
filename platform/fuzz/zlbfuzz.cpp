#include "platform/fuzz/zlbfuzz.h"

#include "platform/zlbarchive.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <zlib.h>

namespace stb {

namespace {
// Every file of `root` lies under `inside`.
bool allInside(const QString &root, const QString &inside)
{
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!p.startsWith(inside + QLatin1Char('/')) && !p.endsWith(QLatin1String("/input.zlb")))
            return false;
    }
    return true;
}
} // namespace

bool fuzzZlbOnce(const std::uint8_t *data, std::size_t size)
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return true;
    const QString input = tmp.filePath(QStringLiteral("input.zlb"));
    {
        // Mutated bytes would almost never keep the trailer's CRC right, and
        // the reader would refuse them before the directory: the CRC is set
        // right unless the last reserved byte of the trailer is 0xFF, so the
        // mismatch path stays reachable too.
        QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
        constexpr int trailer = TZLBArchive::TrailerSize;
        if (bytes.size() >= trailer && static_cast<unsigned char>(bytes.back()) != 0xFF) {
            const qsizetype body = bytes.size() - trailer;
            const uLong crc = crc32(
                crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(bytes.constData()), static_cast<uInt>(body));
            for (int i = 0; i < 4; ++i)
                bytes[body + i] = static_cast<char>((crc >> (8 * i)) & 0xff);
        }
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly))
            return true;
        f.write(bytes);
    }
    const QString target = tmp.filePath(QStringLiteral("alvo/pasta"));
    TZLBArchive zlb;
    zlb.setExtractLimit(1 << 20);
    if (zlb.open(input)) {
        for (int i = 0; i < zlb.count() && i < 8; ++i) {
            if (zlb.entry(i).size > (1u << 20))
                continue;
            QBuffer sink;
            sink.open(QIODevice::WriteOnly);
            zlb.readEntry(i, sink);
        }
        zlb.extractAll(target);
        zlb.extract(0, target, false);
        zlb.close();
    }
    return allInside(tmp.path(), target);
}

} // namespace stb
