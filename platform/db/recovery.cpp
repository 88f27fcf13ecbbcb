// What killed processes leave in a data folder, settled when a connection
// opens: replacements half done, rebuilt files never put in place, journals
// of transactions over several tables that never reached their end, and a
// main file that is no longer readable.
#include "platform/db/database.h"

#include "platform/db/fileconn.h"
#include "platform/db/filereplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <sqlite3.h>

namespace stb::db {

namespace {

// The main file never holds a table: it is sound when empty or when it is an
// SQLite file whose schema page has no rows.
bool mainFileSound(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true; // nothing we could repair
    const qint64 size = f.size();
    if (size == 0)
        return true;
    const QByteArray head = f.read(112);
    if (head.size() < 112 || std::memcmp(head.constData(), "SQLite format 3", 16) != 0)
        return false;
    const auto *h = reinterpret_cast<const unsigned char *>(head.constData());
    unsigned pageSize = (unsigned(h[16]) << 8) | h[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) || h[21] != 64 || h[22] != 32 || h[23] != 32
        || size % pageSize != 0)
        return false;
    const unsigned cells = (unsigned(h[103]) << 8) | h[104];
    return h[100] == 13 && cells == 0;
}

// The super-journal a table's hot journal names at its end, if any (SQLite's
// journal format: the name, its length, a checksum and a magic number last).
// SQLite writes a journal's own magic number only once the journal is on the
// disk; before that the journal is never played and needs nothing.
QByteArray superJournalOf(const QString &journal)
{
    static const unsigned char magic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
    QFile f(journal);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 28 || std::memcmp(f.read(8).constData(), magic, 8) != 0)
        return {};
    f.seek(f.size() - 16);
    const QByteArray tail = f.read(16);
    if (tail.size() != 16 || std::memcmp(tail.constData() + 8, magic, 8) != 0)
        return {};
    const auto *t = reinterpret_cast<const unsigned char *>(tail.constData());
    const qint64 len = (qint64(t[0]) << 24) | (t[1] << 16) | (t[2] << 8) | t[3];
    if (len <= 0 || len > 4096 || len > f.size() - 16)
        return {};
    f.seek(f.size() - 16 - len);
    QByteArray name = f.read(len);
    const int nul = name.indexOf('\0');
    return nul >= 0 ? name.left(nul) : name;
}

} // namespace

void Database::repairMainFile()
{
    const QString main = mainFilePath();
    if (!QFileInfo::exists(main) || mainFileSound(main))
        return;
    // Emptied in place rather than replaced, so that the locks other
    // processes take on it keep meaning the same file.
    const LockHold hold = lockForWrite();
    if (!hold || mainFileSound(main))
        return;
    QFile f(main);
    if (f.open(QIODevice::ReadWrite))
        f.resize(0);
    QFile::remove(main + QStringLiteral("-journal"));
}

void Database::cleanLeftovers()
{
    const QDir dir(m_dir);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    // Replacements a kill interrupted.
    for (const QString &e : entries) {
        if (!e.endsWith(QLatin1String(".rpl"), Qt::CaseInsensitive))
            continue;
        const QString table = e.chopped(4);
        const LockHold hold = lockMaintenance(table, 0);
        if (!hold)
            continue; // another process is at work on it
        try {
            finishReplacement(table);
        } catch (const EngineError &) {
            // Left for the next open of the table, which reports it.
        }
    }
    // Rebuilt files that never took their table's place.
    static const QRegularExpression tmpName(QStringLiteral("^(.+)\\.[0-9a-fA-F]{8}\\.tmp(-journal)?$"));
    for (const QString &e : entries) {
        const QRegularExpressionMatch m = tmpName.match(e);
        if (!m.hasMatch())
            continue;
        const QString table = m.captured(1);
        const LockHold hold = lockMaintenance(table, 0);
        if (!hold || QFileInfo::exists(intentPath(tableFilePath(table, QStringLiteral(".dat")))))
            continue;
        QFile::remove(dir.filePath(e));
    }
    QStringList superJournals;
    const QString prefix = QLatin1String(MainFileName) + QStringLiteral("-mj");
    for (const QString &e : entries)
        if (e.startsWith(prefix, Qt::CaseInsensitive))
            superJournals << dir.filePath(e);
    if (!superJournals.isEmpty())
        settleSuperJournals(superJournals);
}

void Database::settleSuperJournals(const QStringList &names)
{
    // Every transaction over several tables holds the transaction lock from
    // its start to its end: holding it, no super-journal is in use.
    auto lock = FileLock::forFile(mainFilePath());
    if (!lock->hold(FileLock::TransactionByte, true, 0, 0))
        return;
    const LockHold hold(lock, FileLock::TransactionByte);
    for (const QString &sj : names) {
        QFile f(sj);
        if (!f.open(QIODevice::ReadOnly) || f.size() > (1 << 20))
            continue;
        const QList<QByteArray> children = f.readAll().split('\0');
        f.close();
        bool settled = true;
        int seen = 0;
        for (const QByteArray &child : children) {
            if (child.isEmpty() || ++seen > 64)
                continue;
            const QString journal = QFile::decodeName(child);
            if (!QFileInfo::exists(journal))
                continue;
            // SQLite plays a table's hot journal back when the table is next
            // read; doing it now leaves no journal that needs this file.
            if (journal.endsWith(QLatin1String("-journal"))) {
                FileConn fc;
                if (fc.open(journal.chopped(8), SQLITE_OPEN_READWRITE) == SQLITE_OK)
                    fc.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            }
            // A journal that is still there and names this super-journal needs
            // it; one that does not (its header never written) leaves it free.
            if (QFileInfo::exists(journal) && superJournalOf(journal) == QFile::encodeName(sj))
                settled = false;
        }
        if (settled)
            QFile::remove(sj);
    }
}

} // namespace stb::db
