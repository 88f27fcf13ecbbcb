// Snapshots: a table saved to and loaded from a file in the .dat format
// (the in-memory tables' files).
#include "platform/db/database.h"
#include "platform/db/serverbackend.h"

#include "platform/db/fileconn.h"
#include "platform/db/schemasql.h"
#include "platform/db/tablemeta.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace stb::db {

void Database::saveTableToFile(const QString &table, const QString &path)
{
    requireFiles("saveTableToFile");
    TableInfo &info = useTable(table);
    const QString tmp = path + QStringLiteral(".tmp");
    buildTableFile(tmp, info.def, info.version, false);
    const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS snap")
                                  .arg(QString(tmp).replace(QLatin1Char('\''), QLatin1String("''")));
    clearStatementCache();
    if (sqlite3_exec(m_conn, attachSql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        QFile::remove(tmp);
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("gravar"));
    }
    const QString cols = columnList(info.def.fields);
    const QString copy = QStringLiteral("INSERT INTO snap.%1 (%2) SELECT %2 FROM %3")
                             .arg(quoteIdent(info.def.name), cols, info.sqlName);
    const int rc = sqlite3_exec(m_conn, copy.toUtf8().constData(), nullptr, nullptr, nullptr);
    const int ext = sqlite3_extended_errcode(m_conn);
    sqlite3_exec(m_conn, "DETACH DATABASE snap", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        QFile::remove(tmp);
        raise(ext, table, QStringLiteral("gravar"));
    }
    QFile::remove(path);
    if (!QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), table);
    }
}

void Database::loadTableFromFile(const QString &table, const QString &path)
{
    requireFiles("loadTableFromFile");
    open();
    TableDef def;
    QString version;
    {
        FileConn fc;
        if (!QFileInfo::exists(path))
            throw EngineError(Err::TableNotFound, QStringLiteral("O arquivo %1 não existe").arg(path), table);
        if (fc.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK
            || readMetaFrom(fc.db, QStringLiteral("main"), def, version) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QStringLiteral("O arquivo %1 está danificado").arg(path), table);
    }
    TableInfo *existing = findTable(table);
    if (m_storage == Storage::Memory) {
        if (!existing) {
            def.name = table;
            createTable(def, version);
            existing = findTable(table);
        }
    } else {
        existing = &useTable(table);
    }
    clearStatementCache();
    const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS snap")
                                  .arg(QString(path).replace(QLatin1Char('\''), QLatin1String("''")));
    if (sqlite3_exec(m_conn, attachSql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("carregar"));
    QStringList cols;
    for (const FieldDef &f : existing->def.fields)
        if (def.field(f.name))
            cols << quoteIdent(f.name);
    // The copy reads every row of the file, so it is also the check that the
    // file is whole: the rows are replaced under a savepoint, and a file that
    // fails part-way leaves the table as it was.
    const QString copy = QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM snap.%3")
                             .arg(existing->sqlName, cols.join(QStringLiteral(", ")), quoteIdent(def.name));
    // A transaction of its own when none is open (after a damaged page only a
    // full rollback ends it), else a savepoint inside the caller's.
    const bool own = sqlite3_get_autocommit(m_conn) != 0;
    const auto exec = [this](const char *sql) { return sqlite3_exec(m_conn, sql, nullptr, nullptr, nullptr); };
    int rc = exec(own ? "BEGIN" : "SAVEPOINT snapload");
    if (rc == SQLITE_OK && m_storage == Storage::Memory)
        rc = sqlite3_exec(m_conn, QStringLiteral("DELETE FROM %1").arg(existing->sqlName).toUtf8().constData(), nullptr,
            nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_conn, copy.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK && own)
        rc = exec("COMMIT");
    const int ext = sqlite3_extended_errcode(m_conn);
    if (own) {
        if (rc != SQLITE_OK)
            exec("ROLLBACK");
    } else {
        if (rc != SQLITE_OK)
            exec("ROLLBACK TO snapload");
        exec("RELEASE snapload");
    }
    exec("DETACH DATABASE snap");
    if (rc == SQLITE_OK)
        return;
    const int primary = ext & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR)
        throw EngineError(Err::DataDamaged, QStringLiteral("O arquivo %1 está danificado").arg(path), table);
    raise(ext, table, QStringLiteral("carregar"));
}

} // namespace stb::db
