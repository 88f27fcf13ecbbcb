// The cursor shared by tables, queries and in-memory tables: a current row,
// the browse / edit / insert states, calculated and lookup fields, the row
// events the program hooks, master-detail links and observers for views.
//
// Rows are fetched whole when the dataset opens or refreshes; calculated and
// lookup fields are computed each time a row becomes current (and on demand
// for a view showing other rows), so they always reflect the state of the
// moment they are read.
#pragma once

#include "platform/db/database.h"
#include "platform/db/field.h"
#include "platform/db/types.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace stb::db {

enum class DataEvent {
    Opened, // the dataset opened: fields and rows are new
    Closed,
    Reset, // every row may have changed (refresh, re-fetch, display updates resumed)
    RowChanged, // row `row` changed
    RowInserted, // a row was inserted at `row`
    RowRemoved, // row `row` was removed
    CurrentChanged,
    StateChanged,
};

class DataSetObserver {
public:
    virtual ~DataSetObserver() = default;
    virtual void dataSetEvent(DataSet &ds, DataEvent event, int row) = 0;
};

enum LocateOption : unsigned { CaseInsensitive = 1, PartialKey = 2 };

class DataSet : private DatabaseClient {
public:
    enum class State { Inactive, Browse, Edit, Insert, SetKey, CalcFields };

    using Row = StoredRow;

    explicit DataSet(Database *db = nullptr);
    ~DataSet() override;
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
    State baseState() const
    {
        return m_state == State::CalcFields && m_calcBase != State::Inactive ? m_calcBase : m_state;
    }
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
    // A value every new record starts with (before the master's link values
    // and onNewRecord), as if set right after insert(); kept until cleared or
    // the dataset closes. Saves writing the same default field by field on
    // every row of a long series of inserts.
    void setNewRecordDefault(const Field &f, const Value &v);
    void clearNewRecordDefaults() { m_newDefaults.clear(); }

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

    // Changes whenever the field set does (open, close, fields added).
    quint64 fieldsGeneration() const { return m_fieldsGeneration; }

    bool m_readOnly = false;
    bool m_bof = true;
    bool m_eof = true;
    void requireActive() const;
    void setCurrent(int row, bool events = true);

private:
    friend class Field;

    // DatabaseClient
    bool clientActive() const override { return isActive(); }
    bool clientUsesTable(const QString &table) const override;
    void clientClose() override { close(); }
    void clientRolledBack() override;

    const Row *activeRow() const;
    Value &calcSlot(int slot);
    const Value &calcSlot(int slot) const;
    void setFieldValue(Field &f, const Value &v);
    void setFieldInt(Field &f, std::int64_t v);
    void calculateFields();
    void computeLookups();
    void notify(DataEvent e, int row = -1);
    void masterChanged();
    void syncDetails();
    int placeRow(const Row &r) const;
    int compareRows(const Row &a, const Row &b) const;
    void fetchAndPosition(std::int64_t keepRowid);
    void requireBrowse() const;
    void bumpVersion()
    {
        ++m_version;
        m_lookupCache.clear();
    }
    // The field set changed (opened, closed, fields added): pointers found by
    // name before are stale.
    void fieldsChanged();
    // The fields of the master-detail link, found by name once per field set
    // of both sides (null where a name is not found).
    struct LinkFields {
        std::vector<Field *> detail, master;
        const DataSet *masterSet = nullptr;
        quint64 generation = 0, masterGeneration = 0;
    };
    const LinkFields &linkFields() const;
    // The lookup fields, listed once per field set.
    const std::vector<Field *> &lookupFields();
    // The key fields of a lookup field, found by name once per field set.
    const std::vector<const Field *> &lookupKeys(const Field &f);

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
    quint64 m_fieldsGeneration = 0;
    mutable LinkFields m_linkFields;
    struct LookupKeys {
        QString keyFields;
        quint64 generation = 0;
        std::vector<const Field *> fields;
    };
    std::vector<LookupKeys> m_lookupKeys; // by calc slot of the lookup field
    std::vector<Field *> m_lookupFields;
    quint64 m_lookupFieldsGeneration = 0;
    std::vector<Value> m_newDefaults; // by data slot; empty when none
};

} // namespace stb::db
