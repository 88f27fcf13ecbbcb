// Table files attached to the database's connection: finding them without
// regard to case, attaching and validating them, the limit of attached files.
#include "platform/db/database.h"
#include "platform/db/serverbackend.h"

#include "platform/db/faultpoint.h"
#include "platform/db/schemasql.h"
#include "platform/db/tablemeta.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <sqlite3.h>

namespace stb::db {

QString Database::tableFilePath(const QString &table, const QString &ext) const
{
    QString base = table;
    if (base.endsWith(ext, Qt::CaseInsensitive))
        base.chop(ext.size());
    const QString wanted = base + ext;
    const QDir dir(m_dir);
    const QStringList entries = dir.entryList({QStringLiteral("*") + ext}, QDir::Files | QDir::Hidden);
    for (const QString &e : entries)
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return dir.filePath(wanted);
}

bool Database::tableExists(const QString &table) const
{
    if (m_server)
        return m_server->tableExists(table);
    if (m_storage == Storage::Memory)
        return m_tables.contains(keyOf(table));
    return QFileInfo::exists(tableFilePath(table, QStringLiteral(".dat")));
}

QStringList Database::tableNames() const
{
    if (m_server)
        return m_server->tableNames();
    QStringList out;
    if (m_storage == Storage::Memory) {
        for (const TableInfo &t : m_tables)
            out << t.def.name;
        return out;
    }
    for (const QFileInfo &fi : QDir(m_dir).entryInfoList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name))
        out << fi.completeBaseName();
    return out;
}

Database::TableInfo *Database::findTable(const QString &table)
{
    auto it = m_tables.find(keyOf(table));
    return it == m_tables.end() ? nullptr : &it.value();
}

Database::TableInfo &Database::useTable(const QString &table)
{
    requireFiles("useTable");
    open();
    QString name = table;
    if (name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
        name.chop(4);
    auto it = m_tables.find(keyOf(name));
    if (it == m_tables.end()) {
        if (m_storage == Storage::Memory)
            throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(name), name);
        attach(name);
        it = m_tables.find(keyOf(name));
    }
    it->lastUse = ++m_useCounter;
    if (m_inTransaction && !m_txTables.contains(it.key()))
        m_txTables << it.key();
    return it.value();
}

void Database::evictOne(const QStringList &keep)
{
    QString victim;
    quint64 oldest = UINT64_MAX;
    for (auto it = m_tables.cbegin(); it != m_tables.cend(); ++it) {
        if (keep.contains(it.key()) || m_txTables.contains(it.key()))
            continue;
        if (it->lastUse < oldest) {
            oldest = it->lastUse;
            victim = it.key();
        }
    }
    if (victim.isEmpty())
        throw EngineError(Err::InvalidOperation,
            QStringLiteral("Tabelas demais em uso ao mesmo tempo (o limite é %1)").arg(MaxAttached));
    detach(victim);
}

namespace {

bool isBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// Sets the connection's busy wait for a scope.
class BusyWait {
public:
    BusyWait(sqlite3 *db, int ms, int restoreMs) : m_db(db), m_restore(restoreMs) { sqlite3_busy_timeout(m_db, ms); }
    ~BusyWait() { sqlite3_busy_timeout(m_db, m_restore); }
    BusyWait(const BusyWait &) = delete;
    BusyWait &operator=(const BusyWait &) = delete;

private:
    sqlite3 *m_db;
    int m_restore;
};

int pragmaValue(sqlite3 *db, const QString &schema, const char *pragma, qint64 &out)
{
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA %1.%2").arg(quoteIdent(schema), QLatin1String(pragma)).toUtf8();
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        out = sqlite3_column_int64(st, 0);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

bool sameStructure(const TableDef &a, const TableDef &b) { return a.fields == b.fields && a.indexes == b.indexes; }

} // namespace

void Database::attach(const QString &table)
{
    endReadTransaction();
    settleReplacement(table);
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path)) {
        if (!QFileInfo(m_dir).isDir())
            throw EngineError(
                Err::ConnectionLost, QStringLiteral("A pasta de dados \"%1\" não está acessível").arg(m_dir), table);
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe em %2").arg(table, m_dir), table);
    }
    int attached = 0;
    for (const TableInfo &t : std::as_const(m_tables))
        if (!t.schema.isEmpty())
            ++attached;
    if (attached >= MaxAttached)
        evictOne(m_pinned);

    const QString key = keyOf(table);
    const QString idxPath = tableFilePath(table, QStringLiteral(".idx"));
    const QString schema = QFileInfo(path).completeBaseName();
    // Another process's lock is waited for by SQLite, one wait per try, as
    // many tries as the session allows; a lock is never taken for damage.
    const BusyWait wait(m_conn, std::max(1, m_session->lockWaitTime), busyTimeout());
    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(m_conn, "ATTACH DATABASE ?1 AS ?2", -1, &st, nullptr);
        const QByteArray p = QFile::encodeName(path);
        const QByteArray s = schema.toUtf8();
        sqlite3_bind_text(st, 1, p.constData(), p.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, s.constData(), s.size(), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc == SQLITE_DONE) {
            TableInfo &info = m_tables[key];
            info = TableInfo {};
            info.schema = schema;
            info.datPath = path;
            bool valid = false;
            faultPoint("attach:attached"); // another process may lock the file now
            try {
                valid = validateAttached(info, idxPath);
            } catch (...) {
                detach(key);
                throw;
            }
            if (valid) {
                if (!m_synchronous)
                    applySynchronous(schema);
                return;
            }
            detach(key);
        } else if (!isBusy(rc) && !isBusy(sqlite3_extended_errcode(m_conn))) {
            raise(rc, table, QStringLiteral("abrir"));
        }
        if (attempt >= m_session->lockRetryCount)
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está em uso por outro usuário ou processo").arg(schema), schema);
    }
}

bool Database::validateAttached(TableInfo &info, const QString &idxPath)
{
    const QString schema = quoteIdent(info.schema);
    auto damaged = [&info](const QString &why) {
        return EngineError(
            Err::DataDamaged, QStringLiteral("A tabela %1 está danificada (%2)").arg(info.schema, why), info.schema);
    };
    // Everything is read under one shared lock, so that the header, the
    // file's size and the definition belong to the same state of the file.
    const bool ownRead = sqlite3_get_autocommit(m_conn) != 0;
    if (ownRead)
        sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr);
    auto endRead = [this, ownRead] {
        if (ownRead && !sqlite3_get_autocommit(m_conn))
            sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
    };
    qint64 pages = 0, pageSize = 0;
    int rc = pragmaValue(m_conn, info.schema, "page_count", pages);
    if (rc == SQLITE_OK)
        rc = pragmaValue(m_conn, info.schema, "page_size", pageSize);
    if (rc == SQLITE_OK)
        rc = readMetaFrom(m_conn, info.schema, info.def, info.version);
    QStringList present;
    if (rc == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql
            = QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'index' AND name LIKE 'ix#_%' ESCAPE '#'")
                  .arg(schema)
                  .toUtf8();
        rc = sqlite3_prepare_v2(m_conn, sql.constData(), -1, &st, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            present << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))).toLower();
            rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    const qint64 fileSize = QFileInfo(info.datPath).size();
    endRead();
    if (isBusy(rc))
        return false;
    if (rc != SQLITE_OK)
        throw damaged(QStringLiteral("cabeçalho inválido: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    if (pages == 0 || pages * pageSize > fileSize)
        throw damaged(QStringLiteral("cabeçalho inválido"));
    if (pages * pageSize < fileSize)
        throw damaged(QStringLiteral("dados depois do fim do arquivo"));

    // The definition kept in the .idx must be the one inside the .dat.
    if (!QFileInfo::exists(idxPath))
        throw EngineError(Err::IndexDamaged,
            QStringLiteral("O arquivo de índices da tabela %1 não foi encontrado").arg(info.schema), info.schema);
    TableDef idxDef;
    QString idxVersion;
    if (!readIndexFile(idxPath, idxDef, idxVersion))
        throw EngineError(Err::IndexDamaged,
            QStringLiteral("O arquivo de índices da tabela %1 está danificado").arg(info.schema), info.schema);
    if (info.def.name.compare(info.schema, Qt::CaseInsensitive) != 0) {
        // A whole table (.dat and .idx) copied under another name follows its
        // file; a .dat of another table under this table's .idx is damage.
        if (idxDef.name.compare(info.def.name, Qt::CaseInsensitive) != 0 || !sameStructure(idxDef, info.def))
            throw damaged(QStringLiteral("o arquivo de dados pertence à tabela %1").arg(info.def.name));
        if (!renameInnerTable(info))
            return false;
        writeIndexFile(idxPath, info.def, info.version);
        idxDef = info.def;
    }
    QStringList expected;
    for (const IndexDef &ix : info.def.indexes)
        if (!isRowidIndex(info.def, ix))
            expected << physicalIndexName(ix).toLower();
    expected.sort();
    present.sort();
    if (!sameStructure(idxDef, info.def) || expected != present)
        throw EngineError(Err::IndexDamaged,
            QStringLiteral("Os índices da tabela %1 estão desatualizados ou danificados").arg(info.schema),
            info.schema);
    info.sqlName = schema + QLatin1Char('.') + quoteIdent(info.def.name);
    return true;
}

bool Database::renameInnerTable(TableInfo &info)
{
    const QString schema = quoteIdent(info.schema);
    const QString sql = QStringLiteral("ALTER TABLE %1.%2 RENAME TO %3")
                            .arg(schema, quoteIdent(info.def.name), quoteIdent(info.schema));
    const int rc = sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (isBusy(rc))
        return false;
    if (rc != SQLITE_OK)
        throw EngineError(Err::DataDamaged,
            QStringLiteral("A tabela %1 contém a tabela %2").arg(info.schema, info.def.name), info.schema);
    info.def.name = info.schema;
    const QByteArray json = definitionJson(info.def);
    sqlite3_stmt *up = nullptr;
    sqlite3_prepare_v2(m_conn,
        QStringLiteral("UPDATE %1._stmeta SET value = ?1 WHERE key = 'definition'").arg(schema).toUtf8().constData(),
        -1, &up, nullptr);
    sqlite3_bind_text(up, 1, json.constData(), json.size(), SQLITE_TRANSIENT);
    sqlite3_step(up);
    sqlite3_finalize(up);
    return true;
}

void Database::detach(const QString &key)
{
    auto it = m_tables.find(key);
    if (it == m_tables.end())
        return;
    endReadTransaction();
    clearStatementCache();
    if (m_storage == Storage::Folder) {
        const QByteArray sql = QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(it->schema)).toUtf8();
        sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    }
    m_tables.erase(it);
}

void Database::dropTempCopies()
{
    if (m_uncached) {
        sqlite3_finalize(m_uncached);
        m_uncached = nullptr;
    }
    for (const QString &name : std::as_const(m_tempCopies)) {
        const QByteArray sql = QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(quoteIdent(name)).toUtf8();
        sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    }
    m_tempCopies.clear();
}

void Database::copyToTemp(const QString &key)
{
    endReadTransaction();
    // A statement over more tables than SQLite attaches at once reads the
    // extra ones from temporary copies, dropped before the next statement.
    TableInfo &info = useTable(key);
    const QString name = info.def.name;
    const QByteArray sql
        = QStringLiteral("CREATE TEMP TABLE %1 AS SELECT * FROM %2").arg(quoteIdent(name), info.sqlName).toUtf8();
    const int rc = sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), name, QStringLiteral("ler"));
    m_tempCopies << name;
    if (!m_txTables.contains(key))
        detach(key);
}

} // namespace stb::db
