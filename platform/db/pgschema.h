// The engine's tables on a PostgreSQL server: one table per engine table in
// the schema "stbrelva", names in lower case (so the program's SQL finds
// them in any case), the engine's indexes as the primary key and indexes,
// and the catalogue table "stb_catalogo" holding each table's engine name,
// sub-folder ("" or "ARM"), format version and definition (JSON, the form
// the folder keeps in its table files).
#pragma once

#include "platform/db/types.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace stb::db {

class PgConnection;

inline constexpr const char *PgSchema = "stbrelva";
inline constexpr const char *PgCatalog = "stb_catalogo";

// A name on the server: lower case, quoted.
QString pgIdent(const QString &name);
// The schema-qualified name of an engine table.
QString pgTableName(const QString &table);

// The hidden column of every table on the server that gives each row its
// identity (the folder's rowid): the datasets update and delete rows by it.
// The definitions in the catalogue do not list it; copies between folder and
// server leave it out.
inline constexpr const char *PgRowIdColumn = "stb_rowid";

// The name of an index of a table on the server (without quotes).
QString pgIndexName(const TableDef &def, const IndexDef &ix);
// An ORDER BY term that orders as the engine compares values: texts by code
// point (case-insensitive ones by their upper case), nulls first.
QString pgOrderTerm(const QString &field, FieldType type, bool caseInsensitive, bool descending);

// The statements that create a table with its key and indexes.
QStringList pgCreateTableSql(const TableDef &def);

struct PgCatalogEntry {
    TableDef def;
    QString version;
    QString folder; // "" for the data folder, "ARM" for its sub-folder
};

// Creates the schema and the catalogue when missing.
void pgEnsureSchema(PgConnection &c);
// Creates a table and records it in the catalogue. Throws EngineError
// (KeyViolation when the catalogue already has a table of that name).
void pgCreateTable(PgConnection &c, const TableDef &def, const QString &version, const QString &folder = {});
// The catalogue in table-name order; empty when the schema has none.
QList<PgCatalogEntry> pgCatalogEntries(PgConnection &c);
// After rows were written with their own auto-increment values, the next
// value given by the server follows the largest one.
void pgSyncAutoIncrement(PgConnection &c, const TableDef &def);

// Inserts rows into a server table in statements of many rows each (one
// round trip for hundreds of rows); each row holds the value texts of every
// field of the definition, in its order. flush() writes what is left.
class PgRowWriter {
public:
    PgRowWriter(PgConnection &c, const TableDef &def);
    void add(QList<QByteArray> &&row);
    void flush();

private:
    PgConnection &m_c;
    const TableDef &m_def;
    int m_perStatement;
    int m_rows = 0;
    QList<QByteArray> m_params;
};

} // namespace stb::db
