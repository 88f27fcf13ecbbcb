#include "platform/db/database.h"

#include "platform/db/filelock.h"
#include "platform/db/schemasql.h"
#include "platform/db/serverbackend.h"
#include "platform/db/sqlfunctions.h"
#include "platform/db/sqltranslate.h"
#include "platform/db/sqlvalue.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <sqlite3.h>

namespace stb::db {

namespace {

constexpr int kMaxCachedStatements = 200;

} // namespace

Session &Session::defaultSession()
{
    static Session s {QDir::tempPath(), 15, 100};
    return s;
}

Database::Database(const QString &name, Storage storage)
    : m_name(name),
      m_storage(storage),
      m_session(&Session::defaultSession())
{
}

Database::~Database() { close(); }

void Database::setDirectory(const QString &dir)
{
    if (m_conn || m_server)
        close();
    if (m_server) {
        m_server.reset();
        m_storage = Storage::Folder;
    }
    m_dir = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
}

void Database::setServer(std::unique_ptr<ServerBackend> server)
{
    close();
    m_server = std::move(server);
    m_storage = m_server ? Storage::Server : Storage::Folder;
}

void Database::notOnServer(const char *what) const
{
    throw EngineError(Err::InvalidOperation,
        QStringLiteral("Operação própria de pasta de dados (%1) em banco de dados no servidor")
            .arg(QLatin1String(what)));
}

bool Database::serverConnected() const { return m_server->isConnected(); }

void Database::open()
{
    if (m_server) {
        m_server->connect();
        return;
    }
    if (!m_conn)
        connect();
}

void Database::connect()
{
    // SQLite's allocation statistics take a global mutex on every allocation;
    // nothing here reads them. Only possible before the library starts.
    static const bool semEstatisticas = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)semEstatisticas;
    QString main = QStringLiteral(":memory:");
    if (m_storage == Storage::Folder) {
        if (m_dir.isEmpty() || !QFileInfo(m_dir).isDir())
            throw EngineError(Err::ConnectionLost,
                QStringLiteral("A pasta de dados \"%1\" não existe ou não está acessível").arg(m_dir));
        main = mainFilePath();
        repairMainFile();
    }
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(main).constData(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK && m_storage == Storage::Folder) {
        // A folder we cannot write: no transactions across files are needed there.
        sqlite3_close_v2(db);
        db = nullptr;
        rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close_v2(db);
        throw EngineError(Err::ConnectionLost, QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(msg));
    }
    m_conn = db;
    sqlite3_extended_result_codes(m_conn, 1);
    registerExtensions(m_conn);
    sqlite3_limit(m_conn, SQLITE_LIMIT_ATTACHED, MaxAttached);
    sqlite3_busy_timeout(m_conn, busyTimeout());
    if (m_storage == Storage::Folder && QFileInfo::exists(main))
        cleanLeftovers();
    applySynchronous(QStringLiteral("main"));
}

void Database::setSynchronous(bool on)
{
    if (on == m_synchronous)
        return;
    m_synchronous = on;
    if (!m_conn)
        return;
    applySynchronous(QStringLiteral("main"));
    for (const TableInfo &t : std::as_const(m_tables))
        if (!t.schema.isEmpty())
            applySynchronous(t.schema);
}

void Database::applySynchronous(const QString &schema)
{
    // FULL is the engine's default; only a database that asked for less is told.
    if (m_synchronous && schema == QLatin1String("main"))
        return;
    const QByteArray sql = QStringLiteral("PRAGMA %1.synchronous = %2")
                               .arg(quoteIdent(schema), m_synchronous ? QStringLiteral("FULL") : QStringLiteral("OFF"))
                               .toUtf8();
    sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    // A scratch database is filled in one long transaction and read back at
    // once: a page cache of 32 MB per table file keeps its pages in memory
    // instead of spilling them to the file midway (SQLite's default is 2 MB).
    const QByteArray cache
        = QStringLiteral("PRAGMA %1.cache_size = %2")
              .arg(quoteIdent(schema), m_synchronous ? QStringLiteral("-2000") : QStringLiteral("-32768"))
              .toUtf8();
    sqlite3_exec(m_conn, cache.constData(), nullptr, nullptr, nullptr);
}

int Database::busyTimeout() const { return std::max(1, m_session->lockRetryCount * m_session->lockWaitTime); }

QString Database::mainFilePath() const { return QDir(m_dir).filePath(QLatin1String(MainFileName)); }

void Database::close()
{
    const QList<DatabaseClient *> clients = m_clients;
    for (DatabaseClient *c : clients)
        if (c->clientActive())
            c->clientClose();
    if (m_server) {
        m_readBatchDepth = 0;
        m_serverTx = false;
        m_server->rollback();
        m_server->disconnect();
        return;
    }
    disconnect();
}

void Database::disconnect()
{
    if (!m_conn)
        return;
    endReadTransaction();
    if (m_inTransaction) {
        sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        m_txLock.release();
    }
    dropTempCopies();
    clearStatementCache();
    sqlite3_close_v2(m_conn);
    m_conn = nullptr;
    if (m_storage == Storage::Folder)
        m_tables.clear();
}

sqlite3 *Database::connection()
{
    requireFiles("connection");
    open();
    return m_conn;
}

void Database::clearStatementCache()
{
    ++m_stmtEpoch;
    for (sqlite3_stmt *st : std::as_const(m_stmtCache))
        sqlite3_finalize(st);
    m_stmtCache.clear();
}

void Database::registerClient(DatabaseClient *c)
{
    if (!m_clients.contains(c))
        m_clients << c;
}

void Database::unregisterClient(DatabaseClient *c)
{
    m_clients.removeAll(c);
    if (!m_keepConnection && m_conn && !m_inTransaction && m_storage == Storage::Folder) {
        for (const DatabaseClient *other : std::as_const(m_clients))
            if (other->clientActive())
                return;
        disconnect();
    }
}

sqlite3_stmt *Database::prepare(const QString &sql, const QStringList &tables)
{
    requireFiles("prepare");
    open();
    dropTempCopies();
    QStringList keys;
    if (m_storage == Storage::Folder) {
        for (const QString &t : tables) {
            const QString k = keyOf(t);
            if (!keys.contains(k) && (m_tables.contains(k) || tableExists(t)))
                keys << k;
        }
    }
    if (m_stmtCache.contains(sql) && keys.size() <= MaxAttached) {
        m_pinned = keys;
        for (const QString &k : std::as_const(keys))
            useTable(k);
        if (sqlite3_stmt *st = m_stmtCache.value(sql)) { // attaching may have cleared the cache
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
            return st;
        }
    }
    const QByteArray utf8 = sql.toUtf8();
    for (int attempt = 0; attempt < 64; ++attempt) {
        // Tables already attached stay attached; the rest beyond the limit are copied.
        std::stable_sort(keys.begin(), keys.end(),
            [this](const QString &a, const QString &b) { return m_tables.contains(a) && !m_tables.contains(b); });
        const QStringList overflow = keys.mid(MaxAttached);
        m_pinned.clear();
        for (const QString &k : overflow)
            if (!m_tempCopies.contains(m_tables.contains(k) ? m_tables[k].def.name : k, Qt::CaseInsensitive))
                copyToTemp(k);
        m_pinned = keys.mid(0, MaxAttached);
        for (const QString &k : std::as_const(m_pinned))
            useTable(k);
        sqlite3_stmt *st = nullptr;
        const int rc = sqlite3_prepare_v2(m_conn, utf8.constData(), static_cast<int>(utf8.size()), &st, nullptr);
        if (rc == SQLITE_OK) {
            // Texts that carry values (an id pasted into the SQL) would grow the
            // cache without end: past a bound it starts again.
            if (m_stmtCache.size() >= kMaxCachedStatements)
                clearStatementCache();
            if (st && m_tempCopies.isEmpty())
                m_stmtCache.insert(sql, st);
            else
                m_uncached = st;
            return st;
        }
        sqlite3_finalize(st);
        const QString msg = QString::fromUtf8(sqlite3_errmsg(m_conn));
        // A table the scan did not recognise (a sub-select, an unusual form): add it and retry.
        static const QString noSuch = QStringLiteral("no such table: ");
        if (m_storage == Storage::Folder && msg.startsWith(noSuch)) {
            QString name = msg.mid(noSuch.size());
            if (name.contains(QLatin1Char('.')))
                name = name.section(QLatin1Char('.'), -1);
            if (!keys.contains(keyOf(name)) && tableExists(name)) {
                keys << keyOf(name);
                continue;
            }
        }
        throw EngineError(Err::SqlError, QStringLiteral("Erro no comando SQL: %1\n%2").arg(msg, sql));
    }
    throw EngineError(Err::SqlError, QStringLiteral("Erro no comando SQL: %1").arg(sql));
}

// ---- read batches -----------------------------------------------------------

void Database::beginReadBatch()
{
    if (m_server && m_readBatchDepth == 0)
        m_server->beginSnapshot();
    ++m_readBatchDepth;
}

void Database::endReadBatch()
{
    if (m_readBatchDepth > 0 && --m_readBatchDepth == 0) {
        if (m_server)
            m_server->endSnapshot();
        else
            endReadTransaction();
    }
}

void Database::endReadTransaction()
{
    if (!m_readTxOpen)
        return;
    m_readTxOpen = false;
    // Only shared locks are held: ending cannot fail for want of a lock.
    if (m_conn && !sqlite3_get_autocommit(m_conn))
        sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
}

int Database::step(sqlite3_stmt *stmt)
{
    const bool readOnly = sqlite3_stmt_readonly(stmt) != 0;
    // A statement that has not run yet (its first step) can be waited for and
    // run again from its start; one that is giving rows cannot.
    const bool fresh = !sqlite3_stmt_busy(stmt);
    bool holdsNothing = sqlite3_get_autocommit(m_conn) != 0; // no lock another process may wait for
    if (m_readTxOpen && !readOnly) {
        endReadTransaction();
        holdsNothing = sqlite3_get_autocommit(m_conn) != 0;
    } else if (m_readBatchDepth > 0 && !m_readTxOpen && readOnly && !m_inTransaction && m_storage == Storage::Folder
        && holdsNothing && fresh) {
        m_readTxOpen = sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // A single write waits for the other processes' writers as patiently as a
    // transaction does, instead of racing them for SQLite's locks.
    LockHold writeLock;
    if (!readOnly && !m_inTransaction && m_storage == Storage::Folder && sqlite3_get_autocommit(m_conn) && fresh) {
        writeLock = lockForWrite();
        if (!writeLock && QFileInfo::exists(mainFilePath()))
            return SQLITE_BUSY;
    }
    int rc = sqlite3_step(stmt);
    // SQLite answers "busy" at once where waiting could deadlock, and gives up
    // when its own wait runs out (the statement then still counts as running:
    // it stopped before its first row). A statement that had not run yet, on
    // a connection that held no lock before it (outside a transaction, or the
    // first read of a read batch), is simply run again: while it waits it
    // holds nothing another process could be waiting for.
    for (int attempt = 0; (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; ++attempt) {
        if (!fresh || !holdsNothing || attempt >= m_session->lockRetryCount)
            break;
        QThread::msleep(static_cast<unsigned long>(std::max(1, m_session->lockWaitTime / 4) + attempt));
        sqlite3_reset(stmt);
        rc = sqlite3_step(stmt);
    }
    return rc;
}

void Database::raise(int rc, const QString &table, const QString &context)
{
    const QString detail = m_conn ? QString::fromUtf8(sqlite3_errmsg(m_conn)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString where = table.isEmpty() ? QString() : QStringLiteral(" (tabela %1)").arg(table);
    const QString ctx = context.isEmpty() ? QString() : context + QStringLiteral(": ");
    switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
        throw EngineError(Err::KeyViolation, QStringLiteral("Violação de chave%1: %2").arg(where, detail), table);
    case SQLITE_CONSTRAINT_NOTNULL:
        throw EngineError(
            Err::RequiredField, QStringLiteral("Campo obrigatório sem valor%1: %2").arg(where, detail), table);
    default:
        break;
    }
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        throw EngineError(Err::DataDamaged, QStringLiteral("%1Tabela danificada%2: %3").arg(ctx, where, detail), table);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EngineError(Err::LockFailed,
            QStringLiteral("%1Tabela bloqueada por outro usuário%2: %3").arg(ctx, where, detail), table);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        if (m_storage == Storage::Folder && !QFileInfo(m_dir).isDir())
            throw EngineError(Err::ConnectionLost,
                QStringLiteral("%1Conexão com o computador dos dados perdida%2: %3").arg(ctx, where, detail), table);
        throw EngineError((rc & 0xff) == SQLITE_IOERR ? Err::ConnectionLost : Err::TableNotFound,
            QStringLiteral("%1Erro de acesso ao arquivo%2: %3").arg(ctx, where, detail), table);
    case SQLITE_FULL:
        throw EngineError(Err::DiskFull, QStringLiteral("%1Disco cheio%2: %3").arg(ctx, where, detail), table);
    case SQLITE_READONLY:
        throw EngineError(
            Err::ReadOnly, QStringLiteral("%1Tabela somente para leitura%2: %3").arg(ctx, where, detail), table);
    case SQLITE_CONSTRAINT:
        throw EngineError(Err::KeyViolation, QStringLiteral("Violação de chave%1: %2").arg(where, detail), table);
    default:
        throw EngineError(
            Err::SqlError, QStringLiteral("%1Erro do banco de dados%2: %3").arg(ctx, where, detail), table);
    }
}

const FieldDef *Database::originField(const QString &schema, const QString &table, const QString &column)
{
    for (TableInfo &t : m_tables) {
        if (t.schema.compare(schema, Qt::CaseInsensitive) == 0 && t.def.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.def.field(column);
        if (m_storage == Storage::Memory && t.def.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.def.field(column);
    }
    return nullptr;
}

// ---- transactions --------------------------------------------------------

LockHold Database::lockForWrite()
{
    const QString main = mainFilePath();
    if (!QFileInfo::exists(main))
        return {}; // a folder we cannot write has no other writers to wait for
    auto lock = FileLock::forFile(main);
    if (!lock->hold(FileLock::TransactionByte, true, m_session->lockRetryCount * 4, m_session->lockWaitTime))
        return {};
    return LockHold(lock, FileLock::TransactionByte);
}

void Database::startTransaction()
{
    if (m_server) {
        if (m_serverTx && m_server->inTransaction())
            throw EngineError(Err::InvalidOperation, QStringLiteral("Já existe uma transação em andamento"));
        m_serverTx = false;
        m_server->startTransaction();
        m_serverTx = true;
        return;
    }
    open();
    if (m_inTransaction)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Já existe uma transação em andamento"));
    endReadTransaction();
    if (m_storage == Storage::Folder) {
        // One transaction at a time over the whole database, as the engine's
        // transaction lock does; it also keeps two writers from deadlocking.
        m_txLock = lockForWrite();
        if (!m_txLock && QFileInfo::exists(mainFilePath()))
            throw EngineError(
                Err::LockFailed, QStringLiteral("Não foi possível iniciar a transação: banco de dados bloqueado"));
    }
    const int rc = sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        m_txLock.release();
        raise(rc, {}, QStringLiteral("iniciar transação"));
    }
    m_inTransaction = true;
    m_txTables.clear();
}

void Database::commit(bool)
{
    if (m_server) {
        if (!m_serverTx)
            return;
        m_serverTx = false;
        try {
            m_server->commit();
        } catch (const EngineError &) {
            notifyRolledBack();
            throw;
        }
        return;
    }
    if (!m_inTransaction)
        return;
    // Each table file runs with synchronous=FULL, so COMMIT reaches the disk.
    int rc = sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
    for (int attempt = 0; (rc & 0xff) == SQLITE_BUSY && attempt < m_session->lockRetryCount; ++attempt) {
        QThread::msleep(static_cast<unsigned long>(m_session->lockWaitTime));
        rc = sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const int code = rc;
        rollback();
        raise(code, {}, QStringLiteral("confirmar transação"));
    }
    m_inTransaction = false;
    m_txTables.clear();
    m_txLock.release();
}

void Database::rollback()
{
    if (m_server) {
        if (!m_serverTx)
            return;
        m_serverTx = false;
        m_server->rollback();
        notifyRolledBack();
        return;
    }
    if (!m_inTransaction)
        return;
    sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
    m_inTransaction = false;
    m_txTables.clear();
    m_txLock.release();
    notifyRolledBack();
}

void Database::notifyRolledBack()
{
    // Rows the datasets hold may have been undone.
    const QList<DatabaseClient *> clients = m_clients;
    for (DatabaseClient *c : clients)
        c->clientRolledBack();
}

int Database::execSql(const QString &sql, const QVariantMap &params)
{
    if (m_server)
        return m_server->runSql(sql, params).affected;
    const TranslatedSql tr = translateSql(sql);
    sqlite3_stmt *st = prepare(tr.sql, tr.tables);
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QByteArray name = (QLatin1Char(':') + it.key()).toUtf8();
        const int idx = sqlite3_bind_parameter_index(st, name.constData());
        if (idx > 0)
            bindValue(st, idx, FieldType::Unknown, valueFromVariant(FieldType::Unknown, it.value()));
    }
    int rc;
    while ((rc = step(st)) == SQLITE_ROW) {}
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        raise(rc, tr.tables.value(0));
    return sqlite3_changes(m_conn);
}

} // namespace stb::db
