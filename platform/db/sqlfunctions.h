// The SQL functions and the collation of the engine's dialect, registered on
// every connection: accent-aware UPPER/LOWER, the program's clock for
// CURRENT_DATE, and the case-insensitive collation of case-insensitive indexes.
#pragma once

struct sqlite3;

namespace stb::db {

void registerExtensions(sqlite3 *db);

} // namespace stb::db
