#include "platform/db/pgconn.h"

#include "platform/db/pgerrors.h"
#include "platform/db/pgvalue.h"

#include <QThread>
#include <libpq-fe.h>
#include <optional>
#include <vector>

namespace stb::db {

// ---- PgResult -------------------------------------------------------------

PgResult::~PgResult()
{
    if (m_res)
        PQclear(m_res);
}

PgResult &PgResult::operator=(PgResult &&o) noexcept
{
    if (this != &o) {
        if (m_res)
            PQclear(m_res);
        m_res = o.m_res;
        o.m_res = nullptr;
    }
    return *this;
}

int PgResult::rows() const { return m_res ? PQntuples(m_res) : 0; }
int PgResult::columns() const { return m_res ? PQnfields(m_res) : 0; }
QString PgResult::columnName(int col) const { return QString::fromUtf8(PQfname(m_res, col)); }
unsigned PgResult::columnType(int col) const { return PQftype(m_res, col); }
bool PgResult::isNull(int row, int col) const { return PQgetisnull(m_res, row, col); }

QByteArrayView PgResult::text(int row, int col) const
{
    return QByteArrayView(PQgetvalue(m_res, row, col), PQgetlength(m_res, row, col));
}

QString PgResult::string(int row, int col) const
{
    return isNull(row, col) ? QString() : QString::fromUtf8(text(row, col));
}

Value PgResult::value(int row, int col, FieldType type) const
{
    if (isNull(row, col))
        return {};
    return valueFromPgText(type, PQgetvalue(m_res, row, col), PQgetlength(m_res, row, col));
}

int PgResult::affected() const
{
    const char *n = m_res ? PQcmdTuples(m_res) : "";
    return *n ? QByteArray(n).toInt() : 0;
}

// ---- PgConnection ---------------------------------------------------------

bool PgConnection::isAddress(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

void PgConnection::checkAddress(const QString &address)
{
    if (!isAddress(address))
        throw EngineError(Err::InvalidValue,
            QStringLiteral("Endereço de servidor inválido: \"%1\" (use postgresql://usuario@servidor:porta/banco)")
                .arg(address));
    char *err = nullptr;
    PQconninfoOption *opts = PQconninfoParse(address.toUtf8().constData(), &err);
    if (!opts) {
        const QString detail = err ? QString::fromUtf8(err).trimmed() : QString();
        PQfreemem(err);
        throw EngineError(Err::InvalidValue, QStringLiteral("Endereço de servidor inválido: %1").arg(detail));
    }
    bool hasPassword = false;
    for (PQconninfoOption *o = opts; o->keyword; ++o)
        if (qstrcmp(o->keyword, "password") == 0 && o->val && *o->val)
            hasPassword = true;
    PQconninfoFree(opts);
    if (hasPassword)
        throw EngineError(Err::InvalidValue,
            QStringLiteral("A senha não pode constar do endereço do servidor: guarde-a no arquivo ~/.pgpass"));
}

PgConnection::PgConnection(const QString &address, Session *session)
    : m_address(address),
      m_session(session ? session : &Session::defaultSession())
{
    checkAddress(address);
    // Settings after the address override what it says. Dates print as ISO
    // and read day first, as the unit's texts are written.
    const QByteArray addr = address.toUtf8();
    const char *keys[] = {"dbname", "client_encoding", "options", "application_name", "connect_timeout", nullptr};
    const char *values[]
        = {addr.constData(), "UTF8", "-c datestyle=ISO,DMY -c search_path=stbrelva", "stbrelva", "10", nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        const QString detail = m_conn ? QString::fromUtf8(PQerrorMessage(m_conn)) : QStringLiteral("sem memória");
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        throw EngineError(
            Err::ConnectionLost, QStringLiteral("Não foi possível conectar ao servidor: %1").arg(detail.trimmed()));
    }
    // Texts are compared and upper-cased as characters: the database must hold UTF-8.
    const char *enc = PQparameterStatus(m_conn, "server_encoding");
    if (!enc || qstrcmp(enc, "UTF8") != 0) {
        const QString e = QString::fromLatin1(enc ? enc : "?");
        PQfinish(m_conn);
        m_conn = nullptr;
        throw EngineError(Err::InvalidValue,
            QStringLiteral("O banco de dados do servidor usa a codificação %1; crie-o com ENCODING 'UTF8'").arg(e));
    }
}

PgConnection::~PgConnection()
{
    if (m_conn)
        PQfinish(m_conn);
}

bool PgConnection::isConnected() const { return m_conn && !m_lost && PQstatus(m_conn) == CONNECTION_OK; }

namespace {

// The bound texts as libpq takes them (a null QByteArray binds NULL).
std::vector<const char *> valuePointers(const QList<QByteArray> &params)
{
    std::vector<const char *> values;
    values.reserve(static_cast<size_t>(params.size()));
    for (const QByteArray &p : params)
        values.push_back(p.isNull() ? nullptr : p.constData());
    return values;
}

} // namespace

PgResult PgConnection::exec(const QString &sql, const QList<QByteArray> &params, const QString &table)
{
    if (!m_conn || m_lost)
        throw connectionLost(QStringLiteral("a conexão com o servidor foi interrompida"));
    const std::vector<const char *> values = valuePointers(params);
    PgResult res(PQexecParams(m_conn, sql.toUtf8().constData(), static_cast<int>(values.size()), nullptr, values.data(),
        nullptr, nullptr, 0));
    const ExecStatusType st = res.handle() ? PQresultStatus(res.handle()) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        fail(res, table);
    return res;
}

void PgConnection::fail(const PgResult &res, const QString &table)
{
    EngineError e = pgError(m_conn, res.handle(), table);
    // A lost connection stays lost: the server dropped its transaction and locks.
    if (e.code() == Err::ConnectionLost) {
        m_lost = true;
        m_inTransaction = false;
        m_semaphores.clear();
        m_open.clear();
    }
    throw e;
}

PgResult PgConnection::execPrepared(const QString &sql, const QList<QByteArray> &params, const QString &table)
{
    if (!m_conn || m_lost)
        throw connectionLost(QStringLiteral("a conexão com o servidor foi interrompida"));
    const int n = static_cast<int>(params.size());
    bool prepare = false;
    const QByteArray name = preparedName(sql, &prepare);
    if (prepare) {
        PgResult prep(PQprepare(m_conn, name.constData(), sql.toUtf8().constData(), n, nullptr));
        if (!prep.handle() || PQresultStatus(prep.handle()) != PGRES_COMMAND_OK)
            fail(prep, table);
        m_prepared.insert(sql, name);
    }
    std::vector<const char *> values;
    values.reserve(static_cast<size_t>(n));
    for (const QByteArray &p : params)
        values.push_back(p.isNull() ? nullptr : p.constData());
    PgResult res(PQexecPrepared(m_conn, name.constData(), n, values.data(), nullptr, nullptr, 0));
    const ExecStatusType st = res.handle() ? PQresultStatus(res.handle()) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        fail(res, table);
    return res;
}

QByteArray PgConnection::preparedName(const QString &sql, bool *fresh)
{
    QByteArray name = m_prepared.value(sql);
    *fresh = name.isEmpty();
    if (*fresh)
        name = "stb_p" + QByteArray::number(++m_preparedCount);
    return name;
}

PgResult PgConnection::execInSavepoint(const QString &sql, const QList<QByteArray> &params, const QString &table)
{
    if (!m_conn || m_lost)
        throw connectionLost(QStringLiteral("a conexão com o servidor foi interrompida"));
    if (!m_inTransaction || PQenterPipelineMode(m_conn) != 1)
        return exec(sql, params, table);
    const std::vector<const char *> values = valuePointers(params);
    const int n = static_cast<int>(values.size());
    bool prepare = false;
    const QByteArray name = preparedName(sql, &prepare);
    const bool sent = PQsendQueryParams(m_conn, "SAVEPOINT stb_stmt", 0, nullptr, nullptr, nullptr, nullptr, 0)
        && (!prepare || PQsendPrepare(m_conn, name.constData(), sql.toUtf8().constData(), n, nullptr))
        && PQsendQueryPrepared(m_conn, name.constData(), n, values.data(), nullptr, nullptr, 0)
        && PQsendQueryParams(m_conn, "RELEASE SAVEPOINT stb_stmt", 0, nullptr, nullptr, nullptr, nullptr, 0)
        && PQpipelineSync(m_conn);
    // Each command gives its result and then a null; the sync gives its own.
    // After the first failure the server skips the rest (PIPELINE_ABORTED).
    const int commands = prepare ? 4 : 3;
    const int statement = prepare ? 2 : 1;
    PgResult result;
    std::optional<EngineError> failure;
    bool savepointTaken = false;
    bool broken = !sent;
    for (int i = 0; i < commands && !broken; ++i) {
        PgResult r(PQgetResult(m_conn));
        if (!r.handle()) {
            broken = true;
            break;
        }
        const ExecStatusType st = PQresultStatus(r.handle());
        if (st == PGRES_FATAL_ERROR && !failure)
            failure = pgError(m_conn, r.handle(), table);
        if (i == 0)
            savepointTaken = st == PGRES_COMMAND_OK;
        if (i == statement)
            result = std::move(r);
        while (pg_result *rest = PQgetResult(m_conn))
            PQclear(rest);
    }
    if (!broken) {
        PgResult sync(PQgetResult(m_conn));
        broken = !sync.handle() || PQresultStatus(sync.handle()) != PGRES_PIPELINE_SYNC;
    }
    if (broken || PQexitPipelineMode(m_conn) != 1 || PQstatus(m_conn) != CONNECTION_OK) {
        EngineError e = failure && failure->code() == Err::ConnectionLost ? *failure : pgError(m_conn, nullptr, table);
        if (e.code() != Err::ConnectionLost)
            e = connectionLost(QStringLiteral("a conexão com o servidor foi interrompida"));
        m_lost = true;
        m_inTransaction = false;
        m_semaphores.clear();
        m_open.clear();
        throw e;
    }
    if (failure) {
        // A statement that failed may still have been prepared: a new name next time.
        m_prepared.remove(sql);
        if (savepointTaken)
            exec(QStringLiteral("ROLLBACK TO SAVEPOINT stb_stmt"));
        throw *failure;
    }
    if (prepare)
        m_prepared.insert(sql, name);
    return result;
}

PgResult PgConnection::exec(const QString &sql, const QVariantList &params, const QString &table)
{
    QList<QByteArray> texts;
    texts.reserve(params.size());
    for (const QVariant &v : params)
        texts << pgTextOfVariant(v);
    return exec(sql, texts, table);
}

void PgConnection::startTransaction(bool readOnlySnapshot)
{
    if (m_inTransaction)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Já existe uma transação em andamento"));
    exec(
        readOnlySnapshot ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") : QStringLiteral("BEGIN"));
    m_inTransaction = true;
}

void PgConnection::commit()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    const PgResult r = exec(QStringLiteral("COMMIT"));
    // After a failed statement the server answers COMMIT with a rollback.
    if (qstrcmp(PQcmdStatus(r.handle()), "ROLLBACK") == 0)
        throw EngineError(
            Err::InvalidOperation, QStringLiteral("A transação foi desfeita pelo servidor depois de um erro"));
}

void PgConnection::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    // Nothing to undo on a connection that is gone: the server dropped the transaction with it.
    if (isConnected()) {
        PgResult r(PQexec(m_conn, "ROLLBACK"));
    }
}

// ---- advisory locks ---------------------------------------------------------

int PgConnection::lockKey(LockKind kind, const QString &table)
{
    // FNV-1a over the kind and the table name in lower case: the same key in
    // every process and on every platform.
    quint32 h = 2166136261u;
    auto mix = [&h](unsigned char c) {
        h ^= c;
        h *= 16777619u;
    };
    mix(static_cast<unsigned char>(kind));
    for (const char c : table.toLower().toUtf8())
        mix(static_cast<unsigned char>(c));
    return static_cast<int>(h);
}

bool PgConnection::tryAdvisory(int key1, int key2, bool shared, bool retry)
{
    const QString sql = shared ? QStringLiteral("SELECT pg_try_advisory_lock_shared($1::int, $2::int)")
                               : QStringLiteral("SELECT pg_try_advisory_lock($1::int, $2::int)");
    const QList<QByteArray> params {QByteArray::number(key1), QByteArray::number(key2)};
    const int tries = retry ? qMax(1, m_session->lockRetryCount) : 1;
    for (int i = 0; i < tries; ++i) {
        if (i > 0)
            QThread::msleep(static_cast<unsigned long>(qMax(0, m_session->lockWaitTime)));
        const PgResult r = exec(sql, params);
        if (r.text(0, 0) == "t")
            return true;
    }
    return false;
}

void PgConnection::unlockAdvisory(int key1, int key2, bool shared)
{
    if (!isConnected())
        return; // the server freed it with the session
    exec(shared ? QStringLiteral("SELECT pg_advisory_unlock_shared($1::int, $2::int)")
                : QStringLiteral("SELECT pg_advisory_unlock($1::int, $2::int)"),
        QList<QByteArray> {QByteArray::number(key1), QByteArray::number(key2)});
}

bool PgConnection::lockSemaphore(const QString &table, int slot)
{
    const QPair<QString, int> key(table.toLower(), slot);
    if (m_semaphores.contains(key))
        return true;
    if (!tryAdvisory(lockKey(LockKind::Semaphore, table), slot, false, true))
        return false;
    m_semaphores.insert(key);
    return true;
}

void PgConnection::unlockSemaphore(const QString &table, int slot)
{
    if (m_semaphores.remove(QPair<QString, int>(table.toLower(), slot)))
        unlockAdvisory(lockKey(LockKind::Semaphore, table), slot, false);
}

void PgConnection::acquireOpen(const QString &table, OpenMode mode)
{
    OpenCount &n = m_open[table.toLower()];
    const int key = lockKey(LockKind::Open, table);
    if (mode == OpenMode::Exclusive) {
        if (n.exclusive == 0 && !tryAdvisory(key, 0, false, true)) {
            if (n.shared == 0)
                m_open.remove(table.toLower());
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está em uso por outro usuário ou processo").arg(table), table);
        }
        ++n.exclusive;
        return;
    }
    // Under this process's own exclusive open a shared one needs no lock of its own.
    if (n.exclusive == 0 && !n.sharedLock) {
        if (!tryAdvisory(key, 0, true, true)) {
            m_open.remove(table.toLower());
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está aberta com exclusividade por outro usuário ou processo").arg(table),
                table);
        }
        n.sharedLock = true;
    }
    ++n.shared;
}

void PgConnection::releaseOpen(const QString &table, OpenMode mode)
{
    const auto it = m_open.find(table.toLower());
    if (it == m_open.end())
        return;
    OpenCount &n = *it;
    const int key = lockKey(LockKind::Open, table);
    if (mode == OpenMode::Exclusive) {
        if (n.exclusive > 0 && --n.exclusive == 0) {
            // The shared opens left keep the table from other exclusive opens:
            // the shared lock is taken before the exclusive one goes.
            if (n.shared > 0 && !n.sharedLock)
                n.sharedLock = tryAdvisory(key, 0, true, false);
            unlockAdvisory(key, 0, false);
        }
    } else if (n.shared > 0 && --n.shared == 0 && n.sharedLock) {
        n.sharedLock = false;
        unlockAdvisory(key, 0, true);
    }
    if (n.shared == 0 && n.exclusive == 0)
        m_open.erase(it);
}

} // namespace stb::db
