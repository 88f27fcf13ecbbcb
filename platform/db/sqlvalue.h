// Reading and binding stored values of the engine's field types on SQLite
// statements. Dates are stored as "yyyy-mm-dd" text, date-times as
// "yyyy-mm-dd hh:mm:ss.zzz", booleans as 0/1, currency as REAL in units.
#pragma once

#include "platform/db/types.h"

struct sqlite3_stmt;

namespace stb::db {

Value readColumn(sqlite3_stmt *stmt, int col, FieldType type);
// Type of a result column judged by its stored value (expressions of a query).
FieldType typeOfColumnValue(sqlite3_stmt *stmt, int col);
void bindValue(sqlite3_stmt *stmt, int index, FieldType type, const Value &v);
// Text forms used in storage.
QString dateText(std::int64_t julianDay);
QString dateTimeText(std::int64_t msecs);
// The `n` decimal digits at `s` as a number; false at any other character.
bool readDigits(const char *s, int n, int &out);
bool parseDateText(const char *s, int len, std::int64_t &julianDay);
bool parseDateTimeText(const char *s, int len, std::int64_t &msecs);

} // namespace stb::db
