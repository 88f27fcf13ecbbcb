// Translation of the engine's SQL dialect into SQLite's.
//
// The system's SQL uses forms SQLite lacks or reads differently:
//   CAST(x AS DATE | VARCHAR(n) | MONEY ...), CURRENT_DATE - n,
//   SUBSTRING(x FROM a FOR b), POS(a IN b) / POSITION(a IN b).
// Everything else (comments, :params, "||" with its null result for a null
// operand, DISTINCT, UNION, ORDER BY 1 ...) passes as is.
#pragma once

#include "platform/db/types.h"

#include <QString>
#include <QStringList>

namespace stb::db {

struct TranslatedSql {
    QString sql; // SQLite text
    QStringList tables; // names that stand where a table is expected (FROM, JOIN, INTO, UPDATE)
    QList<FieldType> castTypes; // per top-level result column: the type of a CAST around it, or Unknown
    QList<int> castSizes; // the width of a CAST to VARCHAR(n)/CHAR(n), else 0
};

TranslatedSql translateSql(const QString &sql);

// Parameter names (without ":") in order of first appearance, outside strings and comments.
QStringList sqlParamNames(const QString &sql);

} // namespace stb::db
