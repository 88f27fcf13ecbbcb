// Datasets: cursors over a table, a query or an in-memory table, with a current
// row, the browse / edit / insert states, calculated and lookup fields, the
// row events the program hooks, master-detail links and observers for views.
//
// Rows are fetched whole when the dataset opens or refreshes; calculated and
// lookup fields are computed each time a row becomes current (and on demand
// for a view showing other rows), so they always reflect the state of the
// moment they are read.
#pragma once

#include "platform/db/database.h"
#include "platform/db/types.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace stb::db {

class DataSet;

class Field {
public:
    enum class Kind { Data, Calculated, Lookup };

    const QString &name() const { return m_name; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    Kind kind() const { return m_kind; }
    bool isCalculated() const { return m_kind == Kind::Calculated; }
    bool isLookup() const { return m_kind == Kind::Lookup; }
    int index() const { return m_index; } // position among the dataset's fields
    DataSet &dataSet() const { return *m_ds; }

    // Presentation.
    QString displayLabel;  // caption of a grid column (the name when empty)
    QString displayFormat; // numeric display format (",0.00") or date format
    QString editMask;      // entry mask "99.999.999/9999-99;1;_"
    int displayWidth = 0;  // characters
    bool visible = true;
    bool required = false;
    bool readOnly = false;
    QString label() const { return displayLabel.isEmpty() ? m_name : displayLabel; }

    // Lookup definition (kind Lookup): the value of `lookupResultField` in
    // `lookupDataSet` where `lookupKeyFields` equal this dataset's `keyFields`.
    DataSet *lookupDataSet = nullptr;
    QString lookupKeyFields;
    QString lookupResultField;
    QString keyFields;

    // Text entry handler: converts typed text into the field's value.
    std::function<void(Field &, const QString &)> onSetText;
    // Display handler: replaces the displayed text (displayText = true) or the edit text.
    std::function<QString(const Field &, bool displayText)> onGetText;
    // Called after the value changed in edit or insert state.
    std::function<void(Field &)> onChange;

    bool isNull() const;
    const Value &raw() const;
    QVariant value() const;
    QString asString() const;
    qint64 asLargeInt() const;
    int asInteger() const { return static_cast<int>(asLargeInt()); }
    double asFloat() const;
    Extended asExtended() const;
    Currency asCurrency() const;
    bool asBoolean() const;
    QDate asDate() const;
    QDateTime asDateTime() const;

    void setRaw(const Value &v);
    void setValue(const QVariant &v);
    void setAsString(const QString &s);
    void setAsInteger(qint64 v);
    void setAsFloat(double v);
    void setAsCurrency(Currency v);
    void setAsBoolean(bool v);
    void setAsDate(const QDate &v);
    void setAsDateTime(const QDateTime &v);
    void clear();

    // The text shown for the value (display format, display handler).
    QString displayText() const;
    // The text given to an editor.
    QString text() const;
    // Typed text: through onSetText when set, else the field's own conversion.
    void setText(const QString &text);
    // Conversion of typed text without handlers (empty text clears the field).
    void assignText(const QString &text);

    // Formats a stored value of this field the way displayText does.
    QString formatValue(const Value &v) const;

private:
    friend class DataSet;
    friend class Table;
    friend class Query;
    Field(DataSet *ds, const QString &name, FieldType type, int size, Kind kind)
        : m_ds(ds), m_name(name), m_type(type), m_size(size), m_kind(kind)
    {
    }
    DataSet *m_ds;
    QString m_name;
    FieldType m_type;
    int m_size;
    Kind m_kind;
    int m_index = -1;
    int m_slot = -1; // data: position in a row; calc/lookup: position in the calc buffer
};

enum class DataEvent {
    Opened,       // the dataset opened: fields and rows are new
    Closed,
    Reset,        // every row may have changed (refresh, re-fetch, display updates resumed)
    RowChanged,   // row `row` changed
    RowInserted,  // a row was inserted at `row`
    RowRemoved,   // row `row` was removed
    CurrentChanged,
    StateChanged,
};

class DataSetObserver {
public:
    virtual ~DataSetObserver() = default;
    virtual void dataSetEvent(DataSet &ds, DataEvent event, int row) = 0;
};

enum LocateOption : unsigned { CaseInsensitive = 1, PartialKey = 2 };

class DataSet {
public:
    enum class State { Inactive, Browse, Edit, Insert, SetKey, CalcFields };

    struct Row {
        std::int64_t rowid = 0;
        std::vector<Value> values;
    };

    explicit DataSet(Database *db = nullptr);
    virtual ~DataSet();
    DataSet(const DataSet &) = delete;
    DataSet &operator=(const DataSet &) = delete;

    QString objectName;

    Database *database() const { return m_db; }
    void setDatabase(Database *db);
    virtual QString tableName() const { return {}; }

    // ---- fields --------------------------------------------------------
    // Persistent calculated and lookup fields, declared before opening.
    Field &addCalcField(const QString &name, FieldType type, int size = 0);
    Field &addLookupField(const QString &name, FieldType type, int size, DataSet *lookupDataSet,
                          const QString &lookupKeyFields, const QString &lookupResultField, const QString &keyFields);
    // Field presentation settings applied when the data field is created at open.
    struct FieldSetup {
        QString displayLabel, displayFormat, editMask;
        int displayWidth = 0;
        bool visible = true;
        std::function<void(Field &, const QString &)> onSetText;
        std::function<QString(const Field &, bool)> onGetText;
    };
    FieldSetup &fieldSetup(const QString &name);

    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field &field(int i) const { return *m_fields[static_cast<size_t>(i)]; }
    Field *findField(const QString &name) const;
    Field &fieldByName(const QString &name) const;
    QList<Field *> fields() const;

    // ---- life --------------------------------------------------------------
    void open();
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    void setActive(bool a) { a ? open() : close(); }
    // Fetches the rows again, staying on the same row when it still exists.
    void refresh();

    // ---- navigation --------------------------------------------------------
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return m_rows.empty(); }
    int recordCount() const { return static_cast<int>(m_rows.size()); }
    int recNo() const { return m_cur + 1; } // 1-based, 0 when empty
    void setRecNo(int recNo);
    int currentRow() const { return m_cur; }
    bool locate(const QString &fields, const QVariantList &values, unsigned options = 0);
    QVariant lookup(const QString &keyFields, const QVariantList &values, const QString &resultField);

    // ---- editing -------------------------------------------------------
    State state() const { return m_state; }
    // The state under a calculation in progress (Edit while fields are recalculated during an edit).
    State baseState() const { return m_state == State::CalcFields && m_calcBase != State::Inactive ? m_calcBase : m_state; }
    bool modified() const { return m_modified; }
    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void remove(); // deletes the current row
    void checkBrowseMode(); // posts a pending edit
    // Computes the calculated and lookup fields of the current row again
    // (after a table they read from changed).
    void recalculate();
    bool canModify() const { return !m_readOnly && canModifyImpl(); }
    bool autoCalcFields = true;

    // ---- views -------------------------------------------------------------
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }
    void addObserver(DataSetObserver *o);
    void removeObserver(DataSetObserver *o);
    // Values of every field for a row as a view shows it (calculated and
    // lookup fields computed for that row); the cursor does not move.
    std::vector<Value> rowForDisplay(int row);
    // Stored values of a row without moving the cursor.
    const Row &rowAt(int row) const { return m_rows[static_cast<size_t>(row)]; }

    // ---- master-detail ---------------------------------------------------
    // This dataset shows the rows whose `detailFields` equal the master's
    // `masterFields` (names joined with ";").
    void setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields);
    DataSet *masterSource() const { return m_master; }
    // A suspended link shows no rows and does not follow the master (the
    // window's data source is disabled); resuming it fetches the master's rows.
    void setMasterLinkActive(bool active);
    bool masterLinkActive() const { return m_linkActive; }

    // ---- events ------------------------------------------------------------
    using Event = std::function<void(DataSet &)>;
    Event beforeOpen, afterOpen, beforeClose, afterClose;
    Event beforeScroll, afterScroll;
    Event beforeInsert, afterInsert, onNewRecord;
    Event beforeEdit, afterEdit;
    Event beforePost, afterPost;
    Event beforeCancel, afterCancel;
    Event beforeDelete, afterDelete;
    Event beforeRefresh, afterRefresh;
    Event onCalcFields;

protected:
    // ---- what Table, Query and MemTable supply ------------------------------
    // Prepares the data fields (via addDataField) and fetches the rows into m_rows.
    virtual void openImpl() = 0;
    virtual void closeImpl() {}
    virtual void fetchRows() = 0;
    virtual bool canModifyImpl() const { return false; }
    virtual void insertRowImpl(Row &) {}
    virtual void updateRowImpl(Row &) {}
    virtual void deleteRowImpl(const Row &) {}
    // Reads the stored values of a row again (false when it is gone).
    virtual bool rereadRowImpl(Row &) { return true; }

    // Closes without running the program's handlers (their owners may be gone);
    // each class that releases something on close calls it from its destructor.
    void closeSilently();

    Field &addDataField(const QString &name, FieldType type, int size, bool required);
    void clearDataFields();
    std::vector<Row> m_rows;

    // Order of the rows, used to place a posted row.
    struct OrderKey {
        int slot;
        bool descending;
        bool caseInsensitive;
    };
    std::vector<OrderKey> m_order;
    // Master link values for the fetch (empty when no master).
    bool masterLinkValues(std::vector<std::pair<Field *, Value>> &out) const;
    QStringList detailFieldNames() const { return m_detailFields; }

    bool m_readOnly = false;
    bool m_bof = true;
    bool m_eof = true;
    void requireActive() const;
    void setCurrent(int row, bool events = true);

private:
    friend class Field;

    const Row *activeRow() const;
    Value &calcSlot(int slot);
    const Value &calcSlot(int slot) const;
    void setFieldValue(Field &f, const Value &v);
    void calculateFields();
    void computeLookups();
    void notify(DataEvent e, int row = -1);
    void masterChanged();
    void syncDetails();
    int placeRow(const Row &r) const;
    int compareRows(const Row &a, const Row &b) const;
    void fetchAndPosition(std::int64_t keepRowid);
    void requireBrowse() const;
    void bumpVersion() { ++m_version; m_lookupCache.clear(); }

    Database *m_db = nullptr;
    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<std::unique_ptr<Field>> m_persistent; // calc and lookup fields declared before open
    QHash<QString, FieldSetup> m_setup;
    int m_dataFieldCount = 0;
    State m_state = State::Inactive;
    int m_cur = -1;
    bool m_modified = false;
    Row m_editRow;
    int m_insertPos = -1;
    std::vector<Value> m_calc;
    // While calculating: the state underneath, and the row and buffer of a
    // row computed for a view (not the current one).
    State m_calcBase = State::Inactive;
    Row *m_displayCopy = nullptr;
    std::vector<Value> *m_displayCalc = nullptr;
    // Detail side of a master-detail link: the link values last fetched.
    std::vector<Value> m_lastLink;
    bool m_linkValid = false;
    bool m_linkActive = true;
    int m_disableCount = 0;
    bool m_pendingReset = false;
    bool m_pendingMaster = false;
    QList<DataSetObserver *> m_observers;
    DataSet *m_master = nullptr;
    QStringList m_masterFields, m_detailFields;
    QList<DataSet *> m_details;
    quint64 m_version = 0;
    QHash<QString, QHash<QString, int>> m_lookupCache; // keyFields -> key text -> row
};

// A dataset over one table of a database.
class Table : public DataSet {
public:
    explicit Table(Database *db = nullptr, const QString &tableName = {});
    ~Table() override;

    void setTableName(const QString &name);
    QString tableName() const override { return m_tableName; }
    // Order by a named index of the table ("" or "PRIMARY" for the primary one).
    void setIndexName(const QString &name);
    const QString &indexName() const { return m_indexName; }
    // Order by field names joined with ";".
    void setIndexFieldNames(const QString &names);
    const QString &indexFieldNames() const { return m_indexFieldNames; }
    void setOpenMode(OpenMode mode) { m_mode = mode; }
    OpenMode openMode() const { return m_mode; }
    void setExclusive(bool e) { m_mode = e ? OpenMode::Exclusive : OpenMode::Shared; }
    void setReadOnly(bool r) { m_mode = r ? OpenMode::ReadOnly : OpenMode::Shared; }

    // Definition used by createTable (fields and indexes).
    TableDef &definition() { return m_def; }
    bool exists() const;
    void createTable();
    void emptyTable();
    void deleteTable();
    // Moves to the row whose index fields equal the values (current order).
    bool findKey(const QVariantList &values);
    // Nearest row at or after the values.
    void findNearest(const QVariantList &values);

protected:
    void openImpl() override;
    void closeImpl() override;
    void fetchRows() override;
    bool canModifyImpl() const override { return m_mode != OpenMode::ReadOnly; }
    void insertRowImpl(Row &r) override;
    void updateRowImpl(Row &r) override;
    void deleteRowImpl(const Row &r) override;
    bool rereadRowImpl(Row &r) override;

    QString m_tableName;
    TableDef m_def;

private:
    void buildOrder();
    void buildStatements();
    // A statement of the table's own (insert, update, delete, re-read), kept while valid.
    enum StmtKind { InsertAll, InsertNoAuto, Update, Delete, Reread, StmtKinds };
    sqlite3_stmt *statement(StmtKind kind);
    QString selectList() const;
    QString orderClause() const;
    int findKeyPos(const QVariantList &values, bool exact) const;

    QString m_indexName;
    QString m_indexFieldNames;
    QString m_orderSql;
    QString m_stmtSql[StmtKinds];
    sqlite3_stmt *m_stmt[StmtKinds] = {};
    quint64 m_stmtEpoch[StmtKinds] = {};
    std::vector<const Field *> m_dataFields;
    const Field *m_autoinc = nullptr;
    OpenMode m_mode = OpenMode::Shared;
    bool m_lockHeld = false;
    QString m_sqlName;
    QString m_heldMode;
};

// A parameter of a query.
struct Param {
    QString name;
    QVariant value;
    void setAsInteger(qint64 v) { value = v; }
    void setAsString(const QString &v) { value = v; }
    void setAsFloat(double v) { value = v; }
    void setAsCurrency(Currency v) { value = QVariant::fromValue(v); }
    void setAsDate(const QDate &v) { value = v; }
    void setAsDateTime(const QDateTime &v) { value = v; }
    void setAsBoolean(bool v) { value = v; }
    void clear() { value = QVariant(); }
};

// A dataset over the rows of an SQL statement (read-only).
class Query : public DataSet {
public:
    explicit Query(Database *db = nullptr);

    // The statement as lines; callers may replace single lines before opening.
    QStringList &sql() { return m_sql; }
    void setSql(const QString &text);
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }

    Param &paramByName(const QString &name);
    // Declares the type of a result column (as persistent fields do).
    void setFieldType(const QString &name, FieldType type, int size = 0);

    // Runs a statement that returns no rows; returns the number of rows changed.
    int execSql();
    int rowsAffected() const { return m_rowsAffected; }

protected:
    void openImpl() override;
    void fetchRows() override;

private:
    sqlite3_stmt *prepareAndBind(QStringList *castTables);
    QStringList m_sql;
    QList<Param> m_params;
    QHash<QString, std::pair<FieldType, int>> m_declared;
    int m_rowsAffected = 0;
    QList<FieldType> m_castTypes;
    QList<int> m_castSizes;
    bool m_fieldsDefined = false;
    // How each column is read: its field's type, or Unknown for an expression,
    // whose values keep their own kind.
    std::vector<FieldType> m_readTypes;
};

// An in-memory table (datasets named Mem...): defined in code, created in the
// process's memory database when opened, emptied when closed.
class MemTable : public Table {
public:
    explicit MemTable(const QString &name = {}, Database *memoryDb = nullptr);
    ~MemTable() override;

    // Saves the rows to a snapshot file; loads them back (replacing the rows).
    void saveToFile(const QString &path);
    void loadFromFile(const QString &path);

protected:
    void openImpl() override;
    void closeImpl() override;
};

// The process's memory database (in-memory tables).
Database &memoryDatabase();

} // namespace stb::db
