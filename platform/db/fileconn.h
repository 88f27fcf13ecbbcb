// A standalone connection on one table file, for maintenance work outside
// the database's own connection (building, repairing, restructuring).
#pragma once

#include <QString>

struct sqlite3;

namespace stb::db {

struct FileConn {
    sqlite3 *db = nullptr;
    FileConn() = default;
    FileConn(const FileConn &) = delete;
    FileConn &operator=(const FileConn &) = delete;
    ~FileConn();
    // sqlite3_open_v2 with the dialect's functions registered.
    int open(const QString &path, int flags);
    int exec(const QString &sql);
};

} // namespace stb::db
