#include "platform/db/fileconn.h"

#include "platform/db/sqlfunctions.h"

#include <QFile>
#include <sqlite3.h>

namespace stb::db {

FileConn::~FileConn()
{
    if (db)
        sqlite3_close_v2(db);
}

int FileConn::open(const QString &path, int flags)
{
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (db) {
        registerExtensions(db);
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 2000);
    }
    return rc;
}

int FileConn::exec(const QString &sql) { return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr); }

} // namespace stb::db
