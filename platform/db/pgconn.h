// A connection to a PostgreSQL server through libpq.
//
// The server is named by an address "postgresql://user@host:port/database"
// (libpq's URI form; "postgres://" too). The password never travels in the
// address, so that it never lands in a configuration file: libpq takes it
// from ~/.pgpass or the PG environment (PGPASSWORD, PGPASSFILE...).
//
// Every statement goes through PQexecParams: values are bound, never pasted
// into the text, and one text holds one statement. The connection speaks
// UTF-8 and ISO dates (texts are read day first: "05/12/2026"), and finds the program's tables through search_path
// (schema "stbrelva", see pgschema.h).
//
// Numbered semaphores and the shared / exclusive opens of tables are session
// advisory locks: the server drops them with the session, so a killed
// process frees them at once.
#pragma once

#include "platform/db/database.h"
#include "platform/db/types.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

struct pg_conn;
struct pg_result;

namespace stb::db {

// The rows of a statement (owns the libpq result).
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result *r) : m_res(r) {}
    ~PgResult();
    PgResult(PgResult &&o) noexcept : m_res(o.m_res) { o.m_res = nullptr; }
    PgResult &operator=(PgResult &&o) noexcept;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    int rows() const;
    int columns() const;
    QString columnName(int col) const;
    unsigned columnType(int col) const; // the server's type OID
    bool isNull(int row, int col) const;
    QByteArrayView text(int row, int col) const;
    QString string(int row, int col) const;
    // The stored value of a field type (null for SQL NULL).
    Value value(int row, int col, FieldType type) const;
    // Rows changed by an INSERT, UPDATE or DELETE.
    int affected() const;
    pg_result *handle() const { return m_res; }

private:
    pg_result *m_res = nullptr;
};

class PgConnection {
public:
    // Connects; throws EngineError: InvalidValue for a malformed address or
    // one carrying a password, ConnectionLost when the server cannot be
    // reached or refuses the login.
    explicit PgConnection(const QString &address, Session *session = nullptr);
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // Whether a text names a server rather than a data folder.
    static bool isAddress(const QString &text);
    // Throws EngineError (InvalidValue) when the address cannot be used.
    static void checkAddress(const QString &address);

    const QString &address() const { return m_address; }
    bool isConnected() const;
    Session &session() const { return *m_session; }
    void setSession(Session *s) { m_session = s ? s : &Session::defaultSession(); }

    // Runs one statement with its parameters ($1, $2...; a null QByteArray
    // binds NULL). Throws EngineError with the mapped code; `table` names the
    // table in the message.
    PgResult exec(const QString &sql, const QList<QByteArray> &params = {}, const QString &table = {});
    PgResult exec(const QString &sql, const QVariantList &params, const QString &table = {});
    // Runs one statement inside a savepoint of the open transaction, so that
    // its failure leaves the transaction going (as on the folder), in one
    // round trip: SAVEPOINT, the statement (prepared once per connection and
    // text) and RELEASE go together in libpq's pipeline. On failure the
    // savepoint is rolled back and the statement's error thrown. Outside a
    // transaction it is exec().
    PgResult execInSavepoint(const QString &sql, const QList<QByteArray> &params, const QString &table = {});
    // Runs a statement the connection prepares once per text (a row written
    // again and again is parsed and planned once).
    PgResult execPrepared(const QString &sql, const QList<QByteArray> &params, const QString &table = {});

    // ---- transactions (see PgTransaction) -------------------------------
    void startTransaction(bool readOnlySnapshot = false);
    // Throws when the server rolled back instead (a statement of the
    // transaction had failed); the transaction has ended either way.
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    // ---- semaphores and table opens ------------------------------------
    // Takes slot `slot` of the table's semaphores, retrying as the session
    // says; false when another session holds it. Taking a slot this
    // connection already holds succeeds and needs one unlock.
    bool lockSemaphore(const QString &table, int slot);
    void unlockSemaphore(const QString &table, int slot);
    // Opens of a table: many shared opens or one exclusive open among all
    // sessions. Throws EngineError TableInUse when the retries run out.
    void acquireOpen(const QString &table, OpenMode mode);
    void releaseOpen(const QString &table, OpenMode mode);

private:
    enum class LockKind { Semaphore = 1, Open = 2 };
    static int lockKey(LockKind kind, const QString &table);
    [[noreturn]] void fail(const PgResult &res, const QString &table);
    // The name a statement text is prepared under; `fresh` when it still has
    // to be prepared (it is remembered once the preparation succeeds).
    QByteArray preparedName(const QString &sql, bool *fresh);
    bool tryAdvisory(int key1, int key2, bool shared, bool retry);
    void unlockAdvisory(int key1, int key2, bool shared);

    QString m_address;
    pg_conn *m_conn = nullptr;
    Session *m_session;
    bool m_inTransaction = false;
    bool m_lost = false; // a statement found the connection gone
    QHash<QString, QByteArray> m_prepared; // statement text -> prepared name
    int m_preparedCount = 0;
    QSet<QPair<QString, int>> m_semaphores;
    struct OpenCount {
        int shared = 0;
        int exclusive = 0;
        bool sharedLock = false; // the shared advisory lock is held
    };
    QHash<QString, OpenCount> m_open;
};

// Scope guard of a server transaction: started on construction, committed
// by commit(), rolled back by the destructor when commit() was not reached.
// Commit or rollback happens exactly once.
class PgTransaction {
public:
    explicit PgTransaction(PgConnection &c, bool readOnlySnapshot = false) : m_conn(&c)
    {
        c.startTransaction(readOnlySnapshot);
    }
    ~PgTransaction()
    {
        if (m_conn)
            m_conn->rollback();
    }
    PgTransaction(const PgTransaction &) = delete;
    PgTransaction &operator=(const PgTransaction &) = delete;

    void commit()
    {
        PgConnection *c = m_conn;
        m_conn = nullptr;
        c->commit();
    }
    void rollback()
    {
        PgConnection *c = m_conn;
        m_conn = nullptr;
        c->rollback();
    }
    bool active() const { return m_conn != nullptr; }

private:
    PgConnection *m_conn;
};

} // namespace stb::db
