#include "platform/fuzz/zlbfuzz.h"

#include "platform/zlbarchive.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

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
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly))
            return true;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
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
