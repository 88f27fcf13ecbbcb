// Table-file maintenance: creating, emptying and deleting tables, reading
// their definition and version, and putting a rebuilt file in place.
#include "platform/db/database.h"
#include "platform/db/serverbackend.h"

#include "platform/db/faultpoint.h"
#include "platform/db/fileconn.h"
#include "platform/db/filelock.h"
#include "platform/db/filereplace.h"
#include "platform/db/schemasql.h"
#include "platform/db/tablemeta.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <sqlite3.h>

namespace stb::db {

QString Database::tempPath(const QString &base) const
{
    QString dir = m_storage == Storage::Folder ? m_dir : m_session->privateDir;
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(
        QStringLiteral("%1.%2.tmp").arg(base, QUuid::createUuid().toString(QUuid::Id128).left(8)));
}

void Database::createTable(const TableDef &def, const QString &version)
{
    if (m_server)
        return m_server->createTable(def, version);
    open();
    if (m_storage == Storage::Memory) {
        if (m_tables.contains(keyOf(def.name)))
            throw EngineError(Err::InvalidOperation, QStringLiteral("A tabela %1 já existe").arg(def.name), def.name);
        QStringList cols;
        for (const FieldDef &f : def.fields)
            cols << quoteIdent(f.name) + QLatin1Char(' ') + declaredType(f);
        const QString sql
            = QStringLiteral("CREATE TABLE main.%1 (%2)").arg(quoteIdent(def.name), cols.join(QStringLiteral(", ")));
        if (sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            raise(sqlite3_extended_errcode(m_conn), def.name, QStringLiteral("criar tabela"));
        createIndexes(m_conn, QStringLiteral("main"), def);
        TableInfo info;
        info.schema = QStringLiteral("main");
        info.def = def;
        info.version = version;
        info.sqlName = QStringLiteral("main.") + quoteIdent(def.name);
        m_tables.insert(keyOf(def.name), info);
        return;
    }
    const LockHold hold = lockMaintenance(def.name, m_session->lockRetryCount);
    if (!hold && QFileInfo::exists(mainFilePath()))
        throw EngineError(
            Err::TableInUse, QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!"), def.name);
    finishReplacement(def.name);
    if (tableExists(def.name))
        throw EngineError(Err::InvalidOperation, QStringLiteral("A tabela %1 já existe").arg(def.name), def.name);
    const QString dat = QDir(m_dir).filePath(def.name + QStringLiteral(".dat"));
    const QString tmp = tempPath(def.name);
    try {
        buildTableFile(tmp, def, version, true);
        writeIndexFile(QDir(m_dir).filePath(def.name + QStringLiteral(".idx")), def, version);
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
    QFile::remove(dat + QStringLiteral("-journal"));
    if (!QFile::rename(tmp, dat)) {
        QFile::remove(tmp);
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível criar o arquivo %1").arg(dat), def.name);
    }
}

void Database::deleteTable(const QString &table)
{
    if (m_server) {
        ensureNotOpenHere(table);
        return m_server->deleteTable(table);
    }
    if (m_storage == Storage::Memory) {
        ensureNotOpenHere(table);
        TableInfo *info = findTable(table);
        if (!info)
            return;
        const QString sql = QStringLiteral("DROP TABLE %1").arg(info->sqlName);
        clearStatementCache();
        sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        m_tables.remove(keyOf(table));
        return;
    }
    open();
    MaintenanceHold hold = exclusiveForMaintenance(table);
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    detach(keyOf(table));
    hold.open.release();
    FileLock::release(dat);
    QFile::remove(dat);
    QFile::remove(dat + QStringLiteral("-journal"));
    QFile::remove(tableFilePath(table, QStringLiteral(".idx")));
    QFile::remove(tableFilePath(table, QStringLiteral(".blb")));
}

void Database::emptyTable(const QString &table)
{
    if (m_server) {
        ensureNotOpenHere(table);
        return m_server->emptyTable(table);
    }
    open();
    MaintenanceHold hold;
    if (m_storage == Storage::Folder)
        hold = exclusiveForMaintenance(table);
    TableInfo &info = useTable(table);
    QString sql = QStringLiteral("DELETE FROM %1").arg(info.sqlName);
    int rc = sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sql = QStringLiteral("DELETE FROM %1.sqlite_sequence WHERE name = '%2'")
                  .arg(quoteIdent(info.schema), QString(info.def.name).replace(QLatin1Char('\''), QLatin1String("''")));
        sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr); // absent without autoinc
    }
    hold = {};
    if (rc != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("esvaziar tabela"));
}

TableDef Database::tableDef(const QString &table) { return m_server ? m_server->tableDef(table) : useTable(table).def; }

QString Database::tableVersion(const QString &table)
{
    if (m_server)
        return m_server->tableVersion(table);
    if (m_storage == Storage::Memory)
        return useTable(table).version;
    try {
        return useTable(table).version;
    } catch (const EngineError &e) {
        // A table that cannot be attached may still tell its version.
        TableDef def;
        QString version;
        FileConn fc;
        if (fc.open(tableFilePath(table, QStringLiteral(".dat")), SQLITE_OPEN_READONLY) == SQLITE_OK
            && readMetaFrom(fc.db, QStringLiteral("main"), def, version) == SQLITE_OK)
            return version;
        if (readIndexFile(tableFilePath(table, QStringLiteral(".idx")), def, version))
            return version;
        throw;
    }
}

void Database::rebuildIndexFile(const QString &table)
{
    if (m_server)
        return; // the server keeps no index files
    TableInfo &info = useTable(table);
    writeIndexFile(tableFilePath(table, QStringLiteral(".idx")), info.def, info.version);
}

QString Database::replaceTableFiles(
    const QString &table, const QString &newDat, const TableDef &def, const QString &version, bool keepBackup)
{
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString idx = tableFilePath(table, QStringLiteral(".idx"));
    const QString base = QFileInfo(dat).completeBaseName();
    ReplaceIntent intent;
    intent.tmpName = QFileInfo(newDat).fileName();
    intent.backupBase = keepBackup ? freeBackupBase(m_dir, base) : QString();
    intent.def = def;
    intent.version = version;
    writeIntent(dat, intent);
    faultPoint("replace:intent");
    completeReplacement(dat, idx, intent);
    return keepBackup ? QDir(m_dir).filePath(intent.backupBase + QStringLiteral(".dbk")) : QString();
}

void Database::finishReplacement(const QString &table)
{
    if (m_storage != Storage::Folder)
        return;
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString record = intentPath(dat);
    if (!QFileInfo::exists(record))
        return;
    ReplaceIntent intent;
    if (!readIntent(record, intent)) {
        // Records are put in place whole: one that cannot be read is not ours.
        QFile::remove(record);
        return;
    }
    completeReplacement(dat, tableFilePath(table, QStringLiteral(".idx")), intent);
}

void Database::settleReplacement(const QString &table)
{
    if (m_storage != Storage::Folder || !QFileInfo::exists(intentPath(tableFilePath(table, QStringLiteral(".dat")))))
        return;
    const LockHold hold = lockMaintenance(table, m_session->lockRetryCount);
    if (!hold && QFileInfo::exists(mainFilePath()))
        throw EngineError(Err::TableInUse,
            QStringLiteral("A tabela %1 está sendo reconstruída por outro usuário ou processo").arg(table), table);
    finishReplacement(table);
}

} // namespace stb::db
