// Where a table keeps its definition: the "_stmeta" table inside its .dat
// (definition as JSON and format version) and the checksummed .idx file.
#pragma once

#include "platform/db/types.h"

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace stb::db {

QByteArray definitionJson(const TableDef &def);
bool definitionFromJson(const QByteArray &json, TableDef &def);
// Reads definition and version from the _stmeta table of a schema; an SQLite code.
int readMetaFrom(sqlite3 *db, const QString &schema, TableDef &def, QString &version);
bool readIndexFile(const QString &path, TableDef &def, QString &version);
// Writes the .idx file (atomically: a reader sees the old or the new one). Throws EngineError.
void writeIndexFile(const QString &path, const TableDef &def, const QString &version);
// Builds a complete table file at `path` with the definition (no rows). Throws EngineError.
void buildTableFile(const QString &path, const TableDef &def, const QString &version, bool withIndexes);

} // namespace stb::db
