// The database handle of the engine binding.
//
// A folder database keeps each table in its own files named after it:
//   <Name>.dat  an SQLite database holding the table's rows, its physical
//               indexes and its definition (table "_stmeta");
//   <Name>.idx  the table definition with its index definitions and format
//               version, checksummed: what a repair needs to rebuild the
//               indexes (a lost or damaged .idx is replaced by a pristine copy
//               and the table repaired);
//   <Name>.blb  never created: memos stay inside the .dat.
// Statements run on one SQLite connection whose main database is a small file
// of the folder ("BaseDados.sys"); table files are attached on demand (at most
// ten at once, least recently used first out), which makes transactions atomic
// across table files through SQLite's super-journal.
//
// A memory database keeps its tables in one in-memory SQLite database; a table
// can be saved to and loaded from a snapshot file in the .dat format.
#pragma once

#include "platform/db/filelock.h"
#include "platform/db/types.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace stb::db {

class ServerBackend;

// What the database asks of the datasets open on it: it closes them with the
// connection, refreshes them after a rollback, and keeps its connection while
// one of them holds rows. Datasets implement it; the database knows no more
// of them.
class DatabaseClient {
public:
    virtual ~DatabaseClient() = default;

protected:
    friend class Database;
    virtual bool clientActive() const = 0;
    // True while the client is open on the table.
    virtual bool clientUsesTable(const QString &table) const = 0;
    virtual void clientClose() = 0;
    virtual void clientRolledBack() = 0;
};

// What a repair did.
struct RepairResult {
    qint64 rows = 0; // rows of the rebuilt table
    bool complete = false; // the old file gave up everything it held
    QString backup; // the old .dat kept under its own name when it did not
    int damagedPages = 0; // pages of the old file that could not be read
};

// Session settings: private folder for temporary files, and how table and
// semaphore locks are retried.
struct Session {
    QString privateDir;
    int lockRetryCount = 15;
    int lockWaitTime = 100; // milliseconds

    static Session &defaultSession();
};

enum class OpenMode { Shared, Exclusive, ReadOnly };

class Database {
public:
    enum class Storage { Folder, Memory, Server };

    static constexpr const char *CurrentVersion = "4.00";
    // The connection's main database file in the data folder.
    static constexpr const char *MainFileName = "BaseDados.sys";
    // Table files attached at once (SQLite's limit); more are evicted or copied.
    static constexpr int MaxAttached = 10;

    explicit Database(const QString &name = QStringLiteral("BaseDados"), Storage storage = Storage::Folder);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const QString &name() const { return m_name; }
    Storage storage() const { return m_storage; }

    void setDirectory(const QString &dir);
    const QString &directory() const { return m_dir; }

    // Puts the database on a server: every table, semaphore, transaction and
    // statement goes to the backend from then on (closing the database
    // first). setDirectory puts it back on a folder.
    void setServer(std::unique_ptr<ServerBackend> server);
    ServerBackend *server() const { return m_server.get(); }

    Session &session() const { return *m_session; }
    void setSession(Session *s) { m_session = s ? s : &Session::defaultSession(); }

    // Whether a commit waits until the table files are on the disk (the
    // default). A scratch database that nobody reads after a crash (the
    // command-line tool's temporary folder) turns it off.
    void setSynchronous(bool on);
    bool synchronous() const { return m_synchronous; }

    // With keep-connection off the connection is dropped when the last dataset closes.
    void setKeepConnection(bool keep) { m_keepConnection = keep; }
    bool keepConnection() const { return m_keepConnection; }

    void open();
    // Closes every dataset of the database and the connection.
    void close();
    bool isConnected() const { return m_conn != nullptr || (m_server && serverConnected()); }

    // ---- tables -------------------------------------------------------
    // Path of a table file: an existing file whose name matches without
    // regard to case, else the path the file would be created at.
    QString tableFilePath(const QString &table, const QString &ext) const;
    bool tableExists(const QString &table) const;
    QStringList tableNames() const;

    void createTable(const TableDef &def, const QString &version = QLatin1String(CurrentVersion));
    void deleteTable(const QString &table);
    void emptyTable(const QString &table);
    TableDef tableDef(const QString &table);
    QString tableVersion(const QString &table);
    void upgradeTable(const QString &table, const ProgressFn &progress = {});
    // Rebuilds the table with new field and index definitions keeping its rows
    // (fields matched by name, values converted); the previous files are kept
    // as .dbk / .ibk under a name no earlier backup has ("Itens", "Itens.1"...).
    void alterTable(const QString &table, const TableDef &newDef, const ProgressFn &progress = {});
    // Rebuilds a damaged table: definitions from the .dat when readable, else
    // from the .idx. A sound file gives every row through SQLite; a damaged
    // one is read page by page and gives every row of every sound page (see
    // salvage.h). Unless every row came through, the old files are kept as a
    // new backup pair; backups are never overwritten.
    RepairResult repairTable(const QString &table, const ProgressFn &progress = {});
    // Writes the .idx of a table from its .dat definition.
    void rebuildIndexFile(const QString &table);

    // ---- semaphores ---------------------------------------------------
    bool lockSemaphore(const QString &table, int slot);
    void unlockSemaphore(const QString &table, int slot);

    // ---- transactions -------------------------------------------------
    void startTransaction();
    void commit(bool flush = true);
    void rollback();
    bool inTransaction() const { return m_inTransaction || m_serverTx; }

    // ---- read batches -------------------------------------------------
    // While a batch is open (outside a transaction), the statements share one
    // read transaction: a pass over many rows sees one state of the files and
    // takes the shared file locks once instead of per statement. Anything that
    // writes, attaches, detaches or starts a transaction ends the read
    // transaction first; the next read starts another. Use ReadBatch.
    void beginReadBatch();
    void endReadBatch();
    bool inReadBatch() const { return m_readBatchDepth > 0; }

    // ---- SQL ----------------------------------------------------------
    // Runs a statement that returns no rows; returns the rows changed.
    int execSql(const QString &sql, const QVariantMap &params = {});

    // ---- snapshots (memory storage) -------------------------------------
    void saveTableToFile(const QString &table, const QString &path);
    void loadTableFromFile(const QString &table, const QString &path);

    // ---- used by datasets ---------------------------------------------
    struct TableInfo {
        QString schema; // attached schema name
        QString sqlName; // "schema"."table"
        QString datPath;
        TableDef def;
        QString version;
        quint64 lastUse = 0;
    };
    // Makes the table usable by statements (attaching and validating it) and
    // returns its information. Throws EngineError.
    TableInfo &useTable(const QString &table);
    TableInfo *findTable(const QString &table);

    // Acquire / release the open lock of a table for a dataset.
    void acquireOpen(const QString &table, OpenMode mode);
    void releaseOpen(const QString &table, OpenMode mode);

    sqlite3 *connection();
    // Changes whenever cached statements are dropped; a holder of a statement
    // from prepare() may keep using it while this stays the same.
    quint64 statementEpoch() const { return m_stmtEpoch; }
    // A prepared statement for translated SQL, cached; ensures the named tables are attached.
    sqlite3_stmt *prepare(const QString &sql, const QStringList &tables);
    // A statement prepare() did not cache (it reads temporary copies of
    // tables): it is finalized before the next statement is prepared.
    bool isTemporary(const sqlite3_stmt *st) const { return st && st == m_uncached; }
    // Steps a statement, retrying while the file is locked; returns the SQLite code.
    int step(sqlite3_stmt *stmt);
    [[noreturn]] void raise(int rc, const QString &table = {}, const QString &context = {});

    void registerClient(DatabaseClient *c);
    void unregisterClient(DatabaseClient *c);

    // Field definition of a result column that comes straight from a table column.
    const FieldDef *originField(const QString &schema, const QString &table, const QString &column);

private:
    void endReadTransaction();
    void notifyRolledBack();
    // Maintenance that only a folder's table files have.
    void requireFiles(const char *what) const
    {
        if (m_server)
            notOnServer(what);
    }
    [[noreturn]] void notOnServer(const char *what) const;
    bool serverConnected() const;
    // Applies the synchronous setting to one schema of the connection.
    void applySynchronous(const QString &schema);
    void connect();
    void disconnect();
    void attach(const QString &table);
    void detach(const QString &key);
    void evictOne(const QStringList &keep);
    void clearStatementCache();
    void dropTempCopies();
    void copyToTemp(const QString &key);
    // Checks an attached table file against its .idx; false when another
    // process's lock kept it from being read (try again), throws on damage.
    bool validateAttached(TableInfo &info, const QString &idxPath);
    bool renameInnerTable(TableInfo &info);
    void ensureNotOpenHere(const QString &table);
    QString keyOf(const QString &table) const { return table.toLower(); }
    QString tempPath(const QString &base) const;
    int busyTimeout() const;
    QString mainFilePath() const;

    // Maintenance of a table excludes every other process's opens and
    // maintenance of it for as long as the hold lives.
    struct MaintenanceHold {
        LockHold table; // the table's maintenance byte on the main file
        LockHold open; // the exclusive open of its .dat
    };
    MaintenanceHold exclusiveForMaintenance(const QString &table);
    // Only the maintenance byte (for tables that do not exist yet); empty when
    // another process holds it after the retries.
    LockHold lockMaintenance(const QString &table, int retries);
    // Puts the rebuilt file in place (see filereplace.h); returns the backup's
    // .dat path, empty when none was kept.
    QString replaceTableFiles(
        const QString &table, const QString &newDat, const TableDef &def, const QString &version, bool keepBackup);
    // Finishes a replacement a killed process left; the caller holds the maintenance byte.
    void finishReplacement(const QString &table);
    // The same, taking the maintenance byte when a record is there.
    void settleReplacement(const QString &table);
    // At connection: what killed processes left in the folder.
    void repairMainFile();
    void cleanLeftovers();
    void settleSuperJournals(const QStringList &names);
    // A single write outside a transaction waits for the transaction lock as a transaction does.
    LockHold lockForWrite();

    QString m_name;
    Storage m_storage;
    QString m_dir;
    Session *m_session;
    std::unique_ptr<ServerBackend> m_server;
    // A transaction was started on the server and not yet ended here (the
    // server may have lost it with its connection: the commit then fails).
    bool m_serverTx = false;
    bool m_keepConnection = false;
    bool m_synchronous = true;
    sqlite3 *m_conn = nullptr;
    struct OpenCount {
        QString datPath;
        int openShared = 0;
        int openExclusive = 0;
    };
    QHash<QString, TableInfo> m_tables; // attached tables, by lower-case name
    QHash<QString, OpenCount> m_open; // open datasets per table in this process
    QStringList m_pinned; // tables the statement being prepared needs
    QStringList m_tempCopies; // tables read from temporary copies by the last statement
    sqlite3_stmt *m_uncached = nullptr; // the last statement when it used such copies
    QHash<QString, sqlite3_stmt *> m_stmtCache;
    QList<DatabaseClient *> m_clients;
    quint64 m_useCounter = 0;
    quint64 m_stmtEpoch = 1;
    bool m_inTransaction = false;
    int m_readBatchDepth = 0;
    bool m_readTxOpen = false; // the read batch's BEGIN is in force
    QStringList m_txTables; // pinned while a transaction runs
    LockHold m_txLock;
};

// Scope of a read batch (see Database::beginReadBatch).
class ReadBatch {
public:
    explicit ReadBatch(Database &db) : m_db(db) { m_db.beginReadBatch(); }
    ~ReadBatch() { m_db.endReadBatch(); }
    ReadBatch(const ReadBatch &) = delete;
    ReadBatch &operator=(const ReadBatch &) = delete;

private:
    Database &m_db;
};

} // namespace stb::db
