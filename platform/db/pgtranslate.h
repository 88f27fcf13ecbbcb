// Translation of the engine's SQL dialect into PostgreSQL's.
//
// PostgreSQL reads most of the dialect as it stands (SUBSTRING(x FROM a FOR
// b), POSITION(a IN b), CAST(x AS DATE) of the engine's date texts, "||",
// comments, ORDER BY 1, UNION...). What it lacks or reads otherwise:
//   :name parameters          -> $1, $2... (one number per name)
//   POS(a IN b), POS(a, b)    -> POSITION(a IN b), STRPOS(b, a)
//   CURRENT_DATE, _TIMESTAMP  -> a bound value from the program's clock (the
//                                workstation's day, as with the folder)
//   CAST(x AS MONEY | CURRENCY | FLOAT | MEMO | AUTOINC | WORD | LARGEINT)
//                             -> NUMERIC(19,4), DOUBLE PRECISION, TEXT...
//   ST_LIKECI(t, p [, e])     -> (UPPER(t) LIKE UPPER(p) [ESCAPE e])
//   "Name", [Name]            -> "name" (the server's names are lower case)
//   a UNION without ORDER BY  -> its rows in order, as the folder gives them
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace stb::db {

struct PgSql {
    QString sql;
    // What $1, $2... stand for: a parameter name, or "@today" / "@now" for
    // the clock.
    QStringList params;
};

PgSql translatePgSql(const QString &sql);

// The bound texts of a translated statement: named values by name (without
// regard to case; a missing one binds NULL), the clock for "@today"/"@now".
QList<QByteArray> pgBindValues(const PgSql &sql, const QVariantMap &values);

} // namespace stb::db
