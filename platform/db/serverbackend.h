// The storage of a database kept on a database server instead of a data
// folder. A Database with a backend set (Database::setServer) hands every
// table, semaphore, transaction and statement operation to it, and its tables
// and queries read and write their rows through it; the code above the
// binding does not know which storage runs.
//
// The operations are coarse on purpose (the rows of a table in an order, one
// row written by its identity, one statement with its rows), so that a
// backend needs no more than a round trip per call.
#pragma once

#include "platform/db/types.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace stb::db {

struct RepairResult;
enum class OpenMode;

class ServerBackend {
public:
    virtual ~ServerBackend() = default;

    // What the backend reaches ("postgresql://…") and which of a unit's table
    // groups it holds ("" for the data folder's, "ARM" for its sub-folder's).
    virtual QString address() const = 0;
    virtual QString folder() const = 0;

    // Connection. Operations connect on demand; after a lost connection
    // (ConnectionLost) the next operation connects again, as a new session.
    virtual void connect() = 0;
    virtual void disconnect() = 0;
    virtual bool isConnected() const = 0;

    // ---- tables -------------------------------------------------------
    virtual bool tableExists(const QString &table) = 0;
    virtual QStringList tableNames() = 0;
    virtual void createTable(const TableDef &def, const QString &version) = 0;
    virtual void deleteTable(const QString &table) = 0;
    virtual void emptyTable(const QString &table) = 0;
    // Throws EngineError TableNotFound when the table does not exist.
    virtual TableDef tableDef(const QString &table) = 0;
    virtual QString tableVersion(const QString &table) = 0;
    virtual void upgradeTable(const QString &table, const QString &version, const ProgressFn &progress) = 0;
    virtual void alterTable(const QString &table, const TableDef &newDef, const ProgressFn &progress) = 0;
    // Rebuilds the table's indexes and checks its stored definition against
    // the server's columns and indexes; the rows it holds.
    virtual RepairResult repairTable(const QString &table, const ProgressFn &progress) = 0;

    // ---- semaphores and opens -----------------------------------------
    virtual bool lockSemaphore(const QString &table, int slot) = 0;
    virtual void unlockSemaphore(const QString &table, int slot) = 0;
    virtual void acquireOpen(const QString &table, OpenMode mode) = 0;
    virtual void releaseOpen(const QString &table, OpenMode mode) = 0;

    // ---- transactions -------------------------------------------------
    virtual void startTransaction() = 0;
    // Throws when the server rolled back instead; the transaction has ended either way.
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    // A read snapshot: the reads until endSnapshot see one state of the data
    // (no-op inside a transaction).
    virtual void beginSnapshot() = 0;
    virtual void endSnapshot() = 0;

    // ---- rows of a table ------------------------------------------------
    // A row: the server's row identity and the values of the columns asked for.
    using Row = StoredRow;
    struct OrderColumn {
        QString field;
        bool descending = false;
        bool caseInsensitive = false;
    };
    struct Filter {
        QString field;
        FieldType type = FieldType::Unknown;
        Value value;
    };
    // The rows whose fields equal the filters' values, in the order given
    // (texts in code-point order, case-insensitive columns by their upper
    // case), the row identity last.
    virtual std::vector<Row> readRows(const QString &table, const QList<FieldDef> &columns,
        const QList<OrderColumn> &order, const QList<Filter> &filters)
        = 0;
    // Inserts a row; a null auto-increment value (index `autoinc`, or -1) is
    // given by the server and written back to the row with its identity.
    virtual void insertRow(const QString &table, const QList<FieldDef> &columns, Row &row, int autoinc) = 0;
    // False when no row has the identity any longer.
    virtual bool updateRow(const QString &table, const QList<FieldDef> &columns, const Row &row) = 0;
    virtual void deleteRow(const QString &table, std::int64_t rowid) = 0;
    virtual bool rereadRow(const QString &table, const QList<FieldDef> &columns, Row &row) = 0;

    // ---- statements ---------------------------------------------------
    struct Column {
        QString name;
        FieldType type = FieldType::Unknown;
        int size = 0;
    };
    struct Result {
        std::vector<Column> columns;
        std::vector<Row> rows; // rowid numbers the rows from 1
        int affected = 0; // rows changed by a statement that returns none
    };
    // Runs a statement of the engine's dialect with named parameters.
    // Result columns take the declared type (by lower-case name) when there
    // is one, else the type of the table column they come from, else the
    // type of the expression.
    virtual Result runSql(
        const QString &sql, const QVariantMap &params, const QHash<QString, std::pair<FieldType, int>> &declared = {})
        = 0;
};

} // namespace stb::db
