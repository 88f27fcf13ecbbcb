// .zlb archives: the container in which the department delivers its tables.
//
// Layout (integers little-endian, 32-bit):
//   entry data ...                      zlib streams, or bytes stored as they are
//   directory                           N records of 532 bytes, raw or one zlib stream
//   trailer (the last 36 bytes)         CRC-32 of every byte before it, N,
//                                       8 reserved, directory offset,
//                                       directory-compressed flag, 15 reserved
//   record: name (length byte + 255), relative folder (length byte + 255),
//           uncompressed size, reserved, data offset, reserved, stored flag, 3 padding
//
// The reader checks the whole file against the trailer's CRC before it reads
// anything else, and never trusts a declared size or offset: the directory
// and every entry must lie inside the file, inflation never allocates more
// than the data actually yields, an extraction stops at a byte limit, and an
// entry whose name or folder would leave the target folder is refused before
// any file is written. Partial output never stays behind.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QIODevice;

namespace stb {

struct ZLBEntry {
    QString name; // file name
    QString folder; // relative folder as recorded ("\" or "/" separated), may be empty
    quint32 size = 0;
    quint32 offset = 0;
    bool stored = false; // bytes kept as they are (no zlib stream)
};

class TZLBArchive : public QObject {
    Q_OBJECT

public:
    static constexpr int TrailerSize = 36;
    static constexpr int RecordSize = 532;
    static constexpr int CrcBlock = 10240;
    static constexpr int CopyBlock = 4096;

    explicit TZLBArchive(QObject *parent = nullptr);
    ~TZLBArchive() override;

    // Opens the archive: trailer, CRC of the whole file, directory. On failure
    // the archive stays closed and errorString() says why.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_open; }
    QString fileName() const { return m_path; }

    int count() const { return static_cast<int>(m_entries.size()); }
    const ZLBEntry &entry(int index) const { return m_entries.at(index); }
    const QList<ZLBEntry> &entries() const { return m_entries; }

    // Copies the uncompressed bytes of an entry into `out`.
    bool readEntry(int index, QIODevice &out);
    // Extracts one entry or every entry under `folder` (created when missing);
    // with `restorePaths` each entry goes into its relative folder. Every
    // target of extractAll is checked before the first file is written.
    bool extract(int index, const QString &folder, bool restorePaths = true);
    bool extractAll(const QString &folder, bool restorePaths = true);

    // Largest number of uncompressed bytes one extraction may write (default 1 GiB).
    void setExtractLimit(qint64 bytes) { m_limit = bytes; }
    qint64 extractLimit() const { return m_limit; }

    // The path an entry would be extracted to, or an empty text when its name
    // or folder would leave `folder` (absolute, drive letter, "..", separators
    // in the name, control characters).
    static QString targetPath(const ZLBEntry &e, const QString &folder, bool restorePaths);

    QString errorString() const { return m_error; }

signals:
    // "Extraindo <name>" when an entry starts.
    void extracting(const QString &text);
    // Bytes written of the current extraction (all entries of extractAll).
    void progress(qint64 done, qint64 total);

private:
    bool fail(const QString &message);
    bool readDirectory(QIODevice &file, quint32 n, quint32 dirOffset, bool compressed, qint64 dataEnd);
    bool copyEntry(int index, QIODevice &in, QIODevice &out, qint64 &done, qint64 total);
    bool checkIndex(int index);
    bool writeEntryFile(int index, const QString &target, qint64 &done, qint64 total);

    QString m_path;
    bool m_open = false;
    qint64 m_dataEnd = 0; // first byte of the trailer
    QList<ZLBEntry> m_entries;
    qint64 m_limit = qint64(1) << 30;
    QString m_error;
};

// Writes .zlb archives: entries deflated or stored, directory compressed or
// raw. Entries are streamed to a temporary file that replaces the target
// only when finish() succeeds.
class ZLBWriter {
public:
    ZLBWriter();
    ~ZLBWriter();
    ZLBWriter(const ZLBWriter &) = delete;
    ZLBWriter &operator=(const ZLBWriter &) = delete;

    bool create(const QString &path, bool compressDirectory = true);
    // `folder` is the relative folder recorded for the entry ("a\b" or "a/b").
    bool addData(const QByteArray &data, const QString &name, const QString &folder = {}, bool stored = false);
    bool addFile(const QString &sourcePath, const QString &name, const QString &folder = {}, bool stored = false);
    bool finish();
    // Drops the archive being written.
    void cancel();
    QString errorString() const { return m_error; }

    // Every file under `folder`, with its relative folder, into a new archive.
    static bool createFromFolder(const QString &archive, const QString &folder, QString *error, bool stored = false,
        bool compressDirectory = true);

private:
    bool addStream(QIODevice &in, const QString &name, const QString &folder, bool stored);
    bool write(const char *data, qint64 len);
    bool fail(const QString &message);

    struct Impl;
    Impl *d;
    QString m_error;
};

} // namespace stb
