// The SQL functions and the collation of the engine's dialect, registered on
// every connection: accent-aware UPPER/LOWER, st_likeci(text, pattern
// [, escape]) (LIKE on the upper case of both sides, as UPPER(text) LIKE
// UPPER(pattern) answers, without upper-casing every row), the program's clock
// for CURRENT_DATE, and the case-insensitive collation of case-insensitive
// indexes.
#pragma once

struct sqlite3;

namespace stb::db {

void registerExtensions(sqlite3 *db);

} // namespace stb::db
