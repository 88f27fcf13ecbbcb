#include "platform/zlbarchive.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace stb {

namespace {

// A directory larger than this is not a table delivery: refused before inflating it.
constexpr quint32 kMaxEntries = 100000;

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

void putLe32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

QString shortString(const char *p)
{
    const int len = static_cast<unsigned char>(p[0]);
    return QString::fromLatin1(p + 1, len);
}

// A name or folder part that cannot leave the target folder.
bool safePart(const QString &part)
{
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
        return false;
    for (const QChar c : part)
        if (c.unicode() < 0x20 || c == QLatin1Char(':') || c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return false;
    return true;
}

// Feeds zlib's CRC-32 in blocks of `block` bytes (read 16 blocks at a time).
bool crcOf(QIODevice &file, qint64 length, int block, quint32 &crc)
{
    uLong c = crc32(0L, Z_NULL, 0);
    QByteArray buf(16 * block, Qt::Uninitialized);
    qint64 left = length;
    while (left > 0) {
        const qint64 want = std::min<qint64>(left, buf.size());
        const qint64 got = file.read(buf.data(), want);
        if (got != want)
            return false;
        for (qint64 at = 0; at < got; at += block)
            c = crc32(c, reinterpret_cast<const Bytef *>(buf.constData() + at),
                static_cast<uInt>(std::min<qint64>(block, got - at)));
        left -= got;
    }
    crc = static_cast<quint32>(c);
    return true;
}

} // namespace

// ===== reader =====================================================================

TZLBArchive::TZLBArchive(QObject *parent) : QObject(parent) {}

TZLBArchive::~TZLBArchive() = default;

bool TZLBArchive::fail(const QString &message)
{
    m_error = message;
    return false;
}

void TZLBArchive::close()
{
    m_open = false;
    m_entries.clear();
    m_dataEnd = 0;
    m_path.clear();
}

bool TZLBArchive::open(const QString &path)
{
    close();
    m_error.clear();
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("Arquivo não encontrado"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Incapaz de abrir arquivo (%1)").arg(path));
    const qint64 size = file.size();
    const QString corrupt = QStringLiteral("O Arquivo está corrompido");
    if (size < TrailerSize)
        return fail(corrupt);
    const qint64 dataEnd = size - TrailerSize;
    quint32 crc = 0;
    if (!crcOf(file, dataEnd, CrcBlock, crc))
        return fail(corrupt);
    char trailer[TrailerSize];
    if (file.read(trailer, TrailerSize) != TrailerSize)
        return fail(corrupt);
    if (le32(trailer) != crc)
        return fail(corrupt);
    const quint32 n = le32(trailer + 4);
    const quint32 dirOffset = le32(trailer + 16);
    const bool compressed = trailer[20] != 0;
    if (!readDirectory(file, n, dirOffset, compressed, dataEnd)) {
        m_entries.clear();
        return fail(QStringLiteral("Incapaz de ler a lista de arquivos"));
    }
    m_path = path;
    m_dataEnd = dataEnd;
    m_open = true;
    return true;
}

bool TZLBArchive::readDirectory(QIODevice &file, quint32 n, quint32 dirOffset, bool compressed, qint64 dataEnd)
{
    if (n > kMaxEntries || dirOffset > dataEnd || !file.seek(dirOffset))
        return false;
    const qint64 want = qint64(n) * RecordSize;
    QByteArray dir;
    if (!compressed) {
        if (want > dataEnd - dirOffset)
            return false;
        dir = file.read(want);
        if (dir.size() != want)
            return false;
    } else {
        // Inflated in steps, so the buffer grows only with what the stream yields.
        z_stream zs {};
        if (inflateInit(&zs) != Z_OK)
            return false;
        qint64 inLeft = dataEnd - dirOffset;
        QByteArray in(CopyBlock, Qt::Uninitialized);
        int rc = Z_OK;
        while (dir.size() < want && rc != Z_STREAM_END) {
            if (zs.avail_in == 0) {
                const qint64 got = inLeft > 0 ? file.read(in.data(), std::min<qint64>(inLeft, CopyBlock)) : 0;
                if (got <= 0)
                    break;
                inLeft -= got;
                zs.next_in = reinterpret_cast<Bytef *>(in.data());
                zs.avail_in = static_cast<uInt>(got);
            }
            const qint64 step = std::min<qint64>(want - dir.size(), 64 * 1024);
            const qsizetype at = dir.size();
            dir.resize(at + step);
            zs.next_out = reinterpret_cast<Bytef *>(dir.data() + at);
            zs.avail_out = static_cast<uInt>(step);
            rc = inflate(&zs, Z_NO_FLUSH);
            dir.resize(at + (step - zs.avail_out));
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                break;
        }
        inflateEnd(&zs);
        if (dir.size() != want)
            return false;
    }
    m_entries.reserve(static_cast<qsizetype>(n));
    for (quint32 i = 0; i < n; ++i) {
        const char *r = dir.constData() + qint64(i) * RecordSize;
        ZLBEntry e;
        e.name = shortString(r);
        e.folder = shortString(r + 256);
        e.size = le32(r + 512);
        e.offset = le32(r + 520);
        e.stored = r[528] != 0;
        if (e.offset > dataEnd)
            return false;
        if (e.stored && qint64(e.offset) + e.size > dataEnd)
            return false;
        if (!e.stored && e.size > 0 && e.offset >= dataEnd)
            return false;
        m_entries.append(e);
    }
    return true;
}

bool TZLBArchive::checkIndex(int index)
{
    m_error.clear();
    if (!m_open)
        return fail(QStringLiteral("Nenhum arquivo está aberto atualmente"));
    if (index < 0 || index >= count())
        return fail(QStringLiteral("Indice fora do limite"));
    return true;
}

bool TZLBArchive::copyEntry(int index, QIODevice &in, QIODevice &out, qint64 &done, qint64 total)
{
    const ZLBEntry &e = m_entries.at(index);
    const QString corrupt = QStringLiteral("Arquivo (%1) está corrompido").arg(index);
    if (e.size == 0)
        return true;
    if (!in.seek(e.offset))
        return fail(corrupt);
    const QString writeError = QStringLiteral("Incapaz de gravar o arquivo %1").arg(e.name);
    QByteArray buf(CopyBlock, Qt::Uninitialized);
    qint64 left = e.size;
    if (e.stored) {
        while (left > 0) {
            const qint64 want = std::min<qint64>(left, CopyBlock);
            if (in.read(buf.data(), want) != want)
                return fail(corrupt);
            if (out.write(buf.constData(), want) != want)
                return fail(writeError);
            left -= want;
            done += want;
            emit progress(done, total);
        }
        return true;
    }
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return fail(corrupt);
    // Compressed bytes are read in larger steps; the output still goes in
    // blocks of at most CopyBlock bytes.
    QByteArray src(16 * CopyBlock, Qt::Uninitialized);
    qint64 inLeft = m_dataEnd - e.offset;
    bool ok = true;
    while (left > 0) {
        if (zs.avail_in == 0) {
            const qint64 got = inLeft > 0 ? in.read(src.data(), std::min<qint64>(inLeft, src.size())) : 0;
            if (got <= 0) {
                ok = fail(corrupt);
                break;
            }
            inLeft -= got;
            zs.next_in = reinterpret_cast<Bytef *>(src.data());
            zs.avail_in = static_cast<uInt>(got);
        }
        const qint64 want = std::min<qint64>(left, CopyBlock);
        zs.next_out = reinterpret_cast<Bytef *>(buf.data());
        zs.avail_out = static_cast<uInt>(want);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const qint64 have = want - zs.avail_out;
        if (have > 0) {
            if (out.write(buf.constData(), have) != have) {
                ok = fail(writeError);
                break;
            }
            left -= have;
            done += have;
            emit progress(done, total);
        }
        if (rc == Z_STREAM_END ? left > 0 : (rc != Z_OK && rc != Z_BUF_ERROR)) {
            ok = fail(corrupt);
            break;
        }
    }
    inflateEnd(&zs);
    return ok;
}

bool TZLBArchive::readEntry(int index, QIODevice &out)
{
    if (!checkIndex(index))
        return false;
    QFile in(m_path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Incapaz de abrir arquivo (%1)").arg(m_path));
    qint64 done = 0;
    return copyEntry(index, in, out, done, m_entries.at(index).size);
}

QString TZLBArchive::targetPath(const ZLBEntry &e, const QString &folder, bool restorePaths)
{
    if (!safePart(e.name))
        return {};
    QStringList parts;
    if (restorePaths && !e.folder.isEmpty()) {
        if (e.folder.startsWith(QLatin1Char('\\')) || e.folder.startsWith(QLatin1Char('/')))
            return {};
        QString f = e.folder;
        f.replace(QLatin1Char('\\'), QLatin1Char('/'));
        for (const QString &p : f.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            if (!safePart(p))
                return {};
            parts << p;
        }
    }
    parts << e.name;
    const QString base = QDir::cleanPath(QDir(folder).absolutePath());
    const QString target = QDir::cleanPath(base + QLatin1Char('/') + parts.join(QLatin1Char('/')));
    if (!target.startsWith(base + QLatin1Char('/')))
        return {};
    return target;
}

bool TZLBArchive::writeEntryFile(int index, const QString &target, qint64 &done, qint64 total)
{
    const ZLBEntry &e = m_entries.at(index);
    const QFileInfo ti(target);
    // Never write through a link that points elsewhere.
    if (ti.isSymLink() && !QFile::remove(target))
        return fail(QStringLiteral("Incapaz de gravar o arquivo %1").arg(e.name));
    if (!QDir().mkpath(ti.absolutePath()))
        return fail(QStringLiteral("Incapaz de criar a pasta de destino"));
    emit extracting(QStringLiteral("Extraindo %1").arg(e.name));
    QFile in(m_path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Incapaz de abrir arquivo (%1)").arg(m_path));
    // The bytes go to a new file beside the target (never an existing file or
    // a link left there) that takes the target's name only when complete; not
    // flushed to the disk: what is extracted is read at once by the caller,
    // and a sync per entry would cost more than the inflation.
    const QString writeError = QStringLiteral("Incapaz de gravar o arquivo %1").arg(e.name);
    QFile out;
    for (int n = 0; n < 100 && !out.isOpen(); ++n) {
        out.setFileName(target + QStringLiteral(".%1.parcial").arg(n));
        out.open(QIODevice::WriteOnly | QIODevice::NewOnly); // never an existing file
    }
    if (!out.isOpen())
        return fail(writeError);
    const QString part = out.fileName();
    const bool copied = copyEntry(index, in, out, done, total);
    const bool closed = copied && out.flush() && out.error() == QFileDevice::NoError;
    out.close();
    std::error_code ec;
    if (closed)
        std::filesystem::rename(QFile::encodeName(part).toStdString(), QFile::encodeName(target).toStdString(), ec);
    if (!closed || ec) {
        QFile::remove(part);
        return copied ? fail(writeError) : false;
    }
    return true;
}

namespace {
// The folders between `base` and `target` that exist must be real folders.
bool throughRealFolders(const QString &base, const QString &target)
{
    QString dir = QFileInfo(target).absolutePath();
    const QString root = QDir::cleanPath(QDir(base).absolutePath());
    while (dir.size() > root.size()) {
        const QFileInfo fi(dir);
        if (fi.isSymLink() || (fi.exists() && !fi.isDir()))
            return false;
        dir = fi.absolutePath();
    }
    return true;
}
} // namespace

bool TZLBArchive::extract(int index, const QString &folder, bool restorePaths)
{
    if (!checkIndex(index))
        return false;
    const ZLBEntry &e = m_entries.at(index);
    const QString target = targetPath(e, folder, restorePaths);
    if (target.isEmpty() || !throughRealFolders(folder, target))
        return fail(QStringLiteral("Nome de arquivo inválido no arquivo compactado (%1)").arg(e.name));
    if (e.size > m_limit)
        return fail(QStringLiteral("Arquivo (%1) excede o tamanho permitido").arg(index));
    qint64 done = 0;
    return writeEntryFile(index, target, done, e.size);
}

bool TZLBArchive::extractAll(const QString &folder, bool restorePaths)
{
    m_error.clear();
    if (!m_open)
        return fail(QStringLiteral("Nenhum arquivo está aberto atualmente"));
    QStringList targets;
    qint64 total = 0;
    for (int i = 0; i < count(); ++i) {
        const ZLBEntry &e = m_entries.at(i);
        const QString target = targetPath(e, folder, restorePaths);
        if (target.isEmpty() || !throughRealFolders(folder, target))
            return fail(QStringLiteral("Nome de arquivo inválido no arquivo compactado (%1)").arg(e.name));
        total += e.size;
        if (total > m_limit)
            return fail(QStringLiteral("Arquivo (%1) excede o tamanho permitido").arg(i));
        targets << target;
    }
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Incapaz de criar a pasta de destino"));
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && total > disk.bytesAvailable())
        return fail(QStringLiteral("Espaço insuficiente em disco para extrair o arquivo"));
    qint64 done = 0;
    for (int i = 0; i < count(); ++i)
        if (!writeEntryFile(i, targets.at(i), done, total))
            return false;
    return true;
}

// ===== writer =====================================================================

struct ZLBWriter::Impl {
    QSaveFile file;
    QList<ZLBEntry> entries;
    qint64 pos = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    bool compressDirectory = true;
    bool open = false;
};

ZLBWriter::ZLBWriter() : d(new Impl) {}

ZLBWriter::~ZLBWriter()
{
    cancel();
    delete d;
}

bool ZLBWriter::fail(const QString &message)
{
    m_error = message;
    return false;
}

void ZLBWriter::cancel()
{
    if (d->open)
        d->file.cancelWriting();
    d->open = false;
}

bool ZLBWriter::create(const QString &path, bool compressDirectory)
{
    cancel();
    delete d;
    d = new Impl;
    d->file.setFileName(path);
    d->compressDirectory = compressDirectory;
    if (!d->file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Incapaz de criar o arquivo %1").arg(path));
    d->open = true;
    return true;
}

bool ZLBWriter::write(const char *data, qint64 len)
{
    if (d->pos + len > std::numeric_limits<quint32>::max())
        return fail(QStringLiteral("O arquivo compactado excede 4 GB"));
    if (d->file.write(data, len) != len)
        return fail(QStringLiteral("Incapaz de gravar o arquivo %1").arg(d->file.fileName()));
    d->crc = crc32(d->crc, reinterpret_cast<const Bytef *>(data), static_cast<uInt>(len));
    d->pos += len;
    return true;
}

bool ZLBWriter::addData(const QByteArray &data, const QString &name, const QString &folder, bool stored)
{
    QByteArray copy = data;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return addStream(buf, name, folder, stored);
}

bool ZLBWriter::addFile(const QString &sourcePath, const QString &name, const QString &folder, bool stored)
{
    QFile in(sourcePath);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Incapaz de abrir arquivo (%1)").arg(sourcePath));
    return addStream(in, name, folder, stored);
}

bool ZLBWriter::addStream(QIODevice &in, const QString &name, const QString &folder, bool stored)
{
    if (!d->open)
        return fail(QStringLiteral("Nenhum arquivo está aberto atualmente"));
    for (const QString &s : {name, folder}) {
        if (s.size() > 255)
            return fail(QStringLiteral("Nome longo demais: %1").arg(s));
        for (const QChar c : s)
            if (c.unicode() > 0xff)
                return fail(QStringLiteral("Nome com caractere não permitido: %1").arg(s));
    }
    if (name.isEmpty())
        return fail(QStringLiteral("Nome de arquivo vazio"));
    ZLBEntry e;
    e.name = name;
    e.folder = folder;
    e.stored = stored;
    e.offset = static_cast<quint32>(d->pos);
    qint64 total = 0;
    QByteArray buf(64 * 1024, Qt::Uninitialized);
    if (stored) {
        for (;;) {
            const qint64 got = in.read(buf.data(), buf.size());
            if (got < 0)
                return fail(QStringLiteral("Incapaz de ler %1").arg(name));
            if (got == 0)
                break;
            if (!write(buf.constData(), got))
                return false;
            total += got;
        }
    } else {
        z_stream zs {};
        if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK)
            return fail(QStringLiteral("Falha do compressor"));
        QByteArray out(64 * 1024, Qt::Uninitialized);
        bool ok = true;
        int flush = Z_NO_FLUSH;
        do {
            const qint64 got = in.read(buf.data(), buf.size());
            if (got < 0) {
                ok = fail(QStringLiteral("Incapaz de ler %1").arg(name));
                break;
            }
            total += got;
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            zs.next_in = reinterpret_cast<Bytef *>(buf.data());
            zs.avail_in = static_cast<uInt>(got);
            do {
                zs.next_out = reinterpret_cast<Bytef *>(out.data());
                zs.avail_out = static_cast<uInt>(out.size());
                deflate(&zs, flush);
                const qint64 have = out.size() - zs.avail_out;
                if (have > 0 && !write(out.constData(), have)) {
                    ok = false;
                    break;
                }
            } while (zs.avail_out == 0);
        } while (ok && flush != Z_FINISH);
        deflateEnd(&zs);
        if (!ok)
            return false;
    }
    if (total > std::numeric_limits<quint32>::max())
        return fail(QStringLiteral("O arquivo %1 excede 4 GB").arg(name));
    e.size = static_cast<quint32>(total);
    d->entries.append(e);
    return true;
}

bool ZLBWriter::finish()
{
    if (!d->open)
        return fail(QStringLiteral("Nenhum arquivo está aberto atualmente"));
    QByteArray dir(d->entries.size() * TZLBArchive::RecordSize, '\0');
    for (qsizetype i = 0; i < d->entries.size(); ++i) {
        const ZLBEntry &e = d->entries.at(i);
        char *r = dir.data() + i * TZLBArchive::RecordSize;
        const QByteArray name = e.name.toLatin1();
        const QByteArray folder = e.folder.toLatin1();
        r[0] = static_cast<char>(name.size());
        std::memcpy(r + 1, name.constData(), static_cast<size_t>(name.size()));
        r[256] = static_cast<char>(folder.size());
        std::memcpy(r + 257, folder.constData(), static_cast<size_t>(folder.size()));
        putLe32(r + 512, e.size);
        putLe32(r + 520, e.offset);
        r[528] = e.stored ? 1 : 0;
    }
    const quint32 dirOffset = static_cast<quint32>(d->pos);
    if (d->compressDirectory) {
        uLongf len = compressBound(static_cast<uLong>(dir.size()));
        QByteArray packed(static_cast<qsizetype>(len), Qt::Uninitialized);
        if (compress2(reinterpret_cast<Bytef *>(packed.data()), &len, reinterpret_cast<const Bytef *>(dir.constData()),
                static_cast<uLong>(dir.size()), Z_DEFAULT_COMPRESSION)
            != Z_OK)
            return fail(QStringLiteral("Falha do compressor"));
        packed.resize(static_cast<qsizetype>(len));
        dir = packed;
    }
    if (!write(dir.constData(), dir.size()))
        return false;
    char trailer[TZLBArchive::TrailerSize] = {};
    putLe32(trailer, static_cast<quint32>(d->crc));
    putLe32(trailer + 4, static_cast<quint32>(d->entries.size()));
    putLe32(trailer + 16, dirOffset);
    trailer[20] = d->compressDirectory ? 1 : 0;
    if (d->file.write(trailer, sizeof trailer) != qint64(sizeof trailer) || !d->file.commit()) {
        d->open = false;
        return fail(QStringLiteral("Incapaz de gravar o arquivo %1").arg(d->file.fileName()));
    }
    d->open = false;
    return true;
}

bool ZLBWriter::createFromFolder(
    const QString &archive, const QString &folder, QString *error, bool stored, bool compressDirectory)
{
    const QDir root(folder);
    if (!root.exists()) {
        if (error)
            *error = QStringLiteral("Pasta não encontrada: %1").arg(folder);
        return false;
    }
    const QString self = QFileInfo(archive).absoluteFilePath();
    QStringList files;
    QDirIterator it(root.absolutePath(), QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).absoluteFilePath() != self)
            files << root.relativeFilePath(path);
    }
    files.sort();
    ZLBWriter w;
    bool ok = w.create(archive, compressDirectory);
    for (const QString &rel : std::as_const(files)) {
        if (!ok)
            break;
        const QFileInfo fi(rel);
        QString sub = fi.path() == QLatin1String(".") ? QString() : fi.path();
        sub.replace(QLatin1Char('/'), QLatin1Char('\\'));
        ok = w.addFile(root.filePath(rel), fi.fileName(), sub, stored);
    }
    ok = ok && w.finish();
    if (!ok && error)
        *error = w.errorString();
    return ok;
}

} // namespace stb
