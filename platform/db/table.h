// A dataset over one table of a database: ordered by an index or by field
// names, with key search, and the table's own maintenance calls.
#pragma once

#include "platform/db/datasetbase.h"
#include "platform/db/serverbackend.h"

struct sqlite3_stmt;

namespace stb::db {

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
    // The table's definition: the attached file's, or the server's read at open.
    const TableDef &storedDef();
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
    // On a server: the definition read at open, the data fields as columns
    // and the order as the backend takes them.
    TableDef m_serverDef;
    QList<FieldDef> m_serverCols;
    QList<ServerBackend::OrderColumn> m_serverOrder;
    int m_serverAutoinc = -1;
    bool m_lockHeld = false;
    QString m_sqlName;
    QString m_heldMode;
    // The text of the last row-reading statement and what it was built from.
    QString m_fetchSql, m_fetchSqlName, m_fetchOrder;
    size_t m_fetchLinks = 0;
    quint64 m_fetchFields = 0; // generation of the field set
    std::vector<FieldType> m_fetchTypes; // of the data fields, in order
    // The prepared row-reading statement, its text and the database's
    // statement epoch it belongs to.
    sqlite3_stmt *m_fetchStmt = nullptr;
    QString m_fetchStmtSql;
    quint64 m_fetchEpoch = 0;
};

} // namespace stb::db
