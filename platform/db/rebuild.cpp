// Rebuilding a table file: repair of a damaged table, restructure keeping
// the rows, and the upgrade of an older format.
#include "platform/db/database.h"

#include "platform/db/fileconn.h"
#include "platform/db/filelock.h"
#include "platform/db/schemasql.h"
#include "platform/db/tablemeta.h"

#include <QFile>
#include <QFileInfo>
#include <limits>
#include <sqlite3.h>
#include <vector>

namespace stb::db {

namespace {

// Copies rows of `old` (attached as "old" to `fc`) into the new table, skipping
// what cannot be read; returns the number of rows copied.
qint64 copyRows(FileConn &fc, const TableDef &oldDef, const TableDef &newDef, const QString &oldTable,
    const ProgressFn &progress, const QString &step, bool tolerant)
{
    QStringList from, to;
    for (const FieldDef &nf : newDef.fields) {
        const FieldDef *of = oldDef.field(nf.name);
        if (!of)
            continue;
        to << quoteIdent(nf.name);
        from << (of->type == nf.type && of->size == nf.size ? quoteIdent(of->name)
                                                            : convertExpr(quoteIdent(of->name), nf));
    }
    if (to.isEmpty())
        return 0;
    qint64 maxRowid = 0;
    {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QStringLiteral("SELECT max(rowid) FROM old.%1").arg(quoteIdent(oldTable)).toUtf8();
        if (sqlite3_prepare_v2(fc.db, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            maxRowid = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    const QByteArray ins = QStringLiteral("INSERT INTO main.%1 (rowid, %2) VALUES (?1, %3)")
                               .arg(quoteIdent(newDef.name), to.join(QStringLiteral(", ")),
                                   [&] {
                                       QStringList q;
                                       for (int i = 0; i < to.size(); ++i)
                                           q << QStringLiteral("?%1").arg(i + 2);
                                       return q.join(QStringLiteral(", "));
                                   }())
                               .toUtf8();
    const QByteArray sel = QStringLiteral("SELECT rowid, %1 FROM old.%2 WHERE rowid > ?1 ORDER BY rowid")
                               .arg(from.join(QStringLiteral(", ")), quoteIdent(oldTable))
                               .toUtf8();
    sqlite3_stmt *insSt = nullptr;
    if (sqlite3_prepare_v2(fc.db, ins.constData(), -1, &insSt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(insSt);
        throw EngineError(Err::SqlError, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
    }
    // Read everything that can be read first: an error inside a write
    // transaction could undo the rows already copied.
    std::vector<std::pair<qint64, std::vector<sqlite3_value *>>> rows;
    auto freeRows = [&rows] {
        for (auto &r : rows)
            for (sqlite3_value *v : r.second)
                sqlite3_value_free(v);
        rows.clear();
    };
    qint64 last = std::numeric_limits<qint64>::min();
    qint64 skip = 1;
    int failures = 0;
    for (;;) {
        sqlite3_stmt *selSt = nullptr;
        int rc = sqlite3_prepare_v2(fc.db, sel.constData(), -1, &selSt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(selSt);
            if (!tolerant) {
                sqlite3_finalize(insSt);
                freeRows();
                throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
            }
            break; // the old table cannot even be read
        }
        sqlite3_bind_int64(selSt, 1, last);
        while ((rc = sqlite3_step(selSt)) == SQLITE_ROW) {
            last = sqlite3_column_int64(selSt, 0);
            std::vector<sqlite3_value *> vals;
            vals.reserve(static_cast<size_t>(to.size()));
            for (int i = 0; i < to.size(); ++i)
                vals.push_back(sqlite3_value_dup(sqlite3_column_value(selSt, i + 1)));
            rows.emplace_back(last, std::move(vals));
            if (progress && maxRowid > 0 && rows.size() % 1000 == 0)
                progress(step, 10 + static_cast<int>(40 * std::min<qint64>(last, maxRowid) / maxRowid));
        }
        sqlite3_finalize(selSt);
        if (rc == SQLITE_DONE)
            break;
        if (!tolerant) {
            sqlite3_finalize(insSt);
            freeRows();
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
        }
        // Damage: jump ahead over the unreadable part, further each time.
        if (++failures > 64)
            break;
        if (last == std::numeric_limits<qint64>::min())
            last = 0;
        last += skip;
        skip *= 2;
    }
    qint64 copied = 0;
    fc.exec(QStringLiteral("BEGIN"));
    for (size_t n = 0; n < rows.size(); ++n) {
        sqlite3_bind_int64(insSt, 1, rows[n].first);
        for (int i = 0; i < to.size(); ++i)
            sqlite3_bind_value(insSt, i + 2, rows[n].second[static_cast<size_t>(i)]);
        if (sqlite3_step(insSt) == SQLITE_DONE)
            ++copied;
        sqlite3_reset(insSt);
        if (progress && n % 1000 == 999)
            progress(step, 50 + static_cast<int>(40 * n / rows.size()));
    }
    sqlite3_finalize(insSt);
    freeRows();
    fc.exec(QStringLiteral("COMMIT"));
    return copied;
}

void removeDuplicateKeys(FileConn &fc, const TableDef &def)
{
    for (const IndexDef &ix : def.indexes) {
        if (!ix.isUnique() || isRowidIndex(def, ix))
            continue;
        QStringList cols;
        for (const QString &f : ix.fieldList())
            cols << quoteIdent(f)
                    + ((ix.options & IndexDef::CaseInsensitive) ? QStringLiteral(" COLLATE PTCI") : QString());
        fc.exec(QStringLiteral("DELETE FROM main.%1 WHERE rowid NOT IN (SELECT min(rowid) FROM main.%1 GROUP BY %2)")
                    .arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))));
    }
}

} // namespace

void Database::repairTable(const QString &table, const ProgressFn &progress)
{
    if (m_storage == Storage::Memory)
        return;
    open();
    const QString stepHeaders = QStringLiteral("Repairing headers");
    const QString stepData = QStringLiteral("Repairing record, index, and BLOB data");
    const QString stepIndexes = QStringLiteral("Repairing indexes");
    if (progress)
        progress(stepHeaders, 0);
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString idx = tableFilePath(table, QStringLiteral(".idx"));
    const QString name = QFileInfo(dat).completeBaseName();

    // Definitions: fields from the .dat when it can tell them, indexes from the .idx.
    TableDef datDef, idxDef;
    QString datVersion, idxVersion;
    bool datOk = false;
    {
        FileConn probe;
        // Opened read-write so that SQLite can play back a journal left by a crash;
        // writable_schema lets a file shorter than its header says still be read.
        if (probe.open(dat, SQLITE_OPEN_READWRITE) == SQLITE_OK
            && probe.exec(QStringLiteral("PRAGMA writable_schema = ON")) == SQLITE_OK)
            datOk = readMetaFrom(probe.db, QStringLiteral("main"), datDef, datVersion) == SQLITE_OK;
    }
    const bool idxOk = readIndexFile(idx, idxDef, idxVersion);
    if (!datOk && !idxOk) {
        lock->unlock(FileLock::OpenByte);
        throw EngineError(
            Err::TableDamaged, QStringLiteral("Não foi possível recuperar a definição da tabela %1").arg(name), name);
    }
    TableDef def = datOk ? datDef : idxDef;
    def.name = name;
    if (idxOk) {
        def.indexes.clear();
        for (const IndexDef &ix : std::as_const(idxDef.indexes)) {
            bool fieldsExist = true;
            for (const QString &f : ix.fieldList())
                fieldsExist = fieldsExist && def.field(f);
            if (fieldsExist)
                def.indexes << ix;
        }
    }
    const QString version = datOk ? datVersion : idxVersion;
    if (progress)
        progress(stepHeaders, 10);

    const QString tmp = tempPath(name);
    try {
        buildTableFile(tmp, def, version, false);
        if (progress)
            progress(stepData, 10);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        fc.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        fc.exec(QStringLiteral("PRAGMA writable_schema = ON"));
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old")
                                      .arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) == SQLITE_OK) {
            TableDef oldDef = datOk ? datDef : def;
            const QString oldTable = datOk ? datDef.name : name;
            copyRows(fc, oldDef, def, oldTable, progress, stepData, true);
            fc.exec(QStringLiteral("DETACH DATABASE old"));
        }
        if (progress)
            progress(stepIndexes, 90);
        removeDuplicateKeys(fc, def);
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), def);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(name, tmp, def, version, true);
    if (progress)
        progress(stepIndexes, 100);
}

void Database::alterTable(const QString &table, const TableDef &newDefIn, const ProgressFn &progress)
{
    if (m_storage == Storage::Memory)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Tabelas em memória não podem ser alteradas"), table);
    open();
    TableDef oldDef = tableDef(table); // validates the table
    const QString version = QLatin1String(CurrentVersion);
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    TableDef newDef = newDefIn;
    newDef.name = QFileInfo(dat).completeBaseName();
    const QString tmp = tempPath(newDef.name);
    const QString step = QStringLiteral("Restructuring");
    try {
        if (progress)
            progress(step, 0);
        buildTableFile(tmp, newDef, version, false);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        fc.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old")
                                      .arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), table);
        copyRows(fc, oldDef, newDef, oldDef.name, progress, step, false);
        // Keep the auto-increment counter where it was.
        fc.exec(QStringLiteral("INSERT OR REPLACE INTO main.sqlite_sequence (name, seq) "
                               "SELECT '%1', seq FROM old.sqlite_sequence WHERE name = '%2'")
                    .arg(newDef.name, oldDef.name));
        fc.exec(QStringLiteral("DETACH DATABASE old"));
        if (progress)
            progress(step, 90);
        removeDuplicateKeys(fc, newDef);
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), newDef);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(newDef.name, tmp, newDef, version, true);
    if (progress)
        progress(step, 100);
}

void Database::upgradeTable(const QString &table, const ProgressFn &progress)
{
    if (m_storage == Storage::Memory)
        return;
    QString version;
    TableDef def;
    {
        FileConn fc;
        if (fc.open(tableFilePath(table, QStringLiteral(".dat")), SQLITE_OPEN_READONLY) != SQLITE_OK
            || readMetaFrom(fc.db, QStringLiteral("main"), def, version) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QStringLiteral("A tabela %1 está danificada").arg(table), table);
    }
    if (version == QLatin1String(CurrentVersion))
        return;
    // An older table is rebuilt in the current format with its own definition.
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    def.name = QFileInfo(dat).completeBaseName();
    const QString tmp = tempPath(def.name);
    try {
        buildTableFile(tmp, def, QLatin1String(CurrentVersion), false);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old")
                                      .arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), table);
        copyRows(fc, def, def, def.name, progress, QStringLiteral("Upgrading"), false);
        fc.exec(QStringLiteral("DETACH DATABASE old"));
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), def);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(def.name, tmp, def, QLatin1String(CurrentVersion), true);
}

} // namespace stb::db
