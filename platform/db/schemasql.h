// SQL text built from table definitions: quoted names, column types, the
// physical indexes of a table file and the conversions used when a table is
// rebuilt with another structure.
#pragma once

#include "platform/db/types.h"

#include <QString>

struct sqlite3;

namespace stb::db {

QString quoteIdent(const QString &s);
// A text value as an SQL literal.
QString quoteText(const QString &s);
// Name of the SQLite index that stands for an index definition.
QString physicalIndexName(const IndexDef &ix);
// The primary index made of the auto-increment field alone is the rowid itself.
bool isRowidIndex(const TableDef &def, const IndexDef &ix);
QString declaredType(const FieldDef &f);
QString columnList(const QList<FieldDef> &fields);
// Expression converting an old column to a new field type when a table is altered.
QString convertExpr(const QString &col, const FieldDef &to);
// Creates the physical indexes of a definition in a schema of a connection. Throws EngineError.
void createIndexes(sqlite3 *db, const QString &schema, const TableDef &def);

} // namespace stb::db
