// Resets a prepared statement when leaving scope, so that a statement left
// half-stepped by an exception never keeps a read lock on a table file.
#pragma once

#include <sqlite3.h>

namespace stb::db {

struct StmtGuard {
    sqlite3_stmt *st;
    ~StmtGuard()
    {
        if (st)
            sqlite3_reset(st);
    }
};

} // namespace stb::db
