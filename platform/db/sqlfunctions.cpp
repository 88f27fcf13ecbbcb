#include "platform/db/sqlfunctions.h"

#include "platform/clock.h"
#include "platform/db/sqlvalue.h"
#include "platform/db/types.h"

#include <sqlite3.h>

namespace stb::db {

namespace {

void sqlUpper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s
        = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QByteArray u = upperText(s).toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlLower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s
        = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QByteArray u = s.toLower().toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlToday(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateText(Clock::today().toJulianDay()).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

void sqlNow(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateTimeText(encodeDateTime(Clock::now())).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

int collateNoCase(void *, int la, const void *a, int lb, const void *b)
{
    // Index maintenance calls this for every key it passes, so ASCII text is
    // compared in place; the first non-ASCII byte of either side sends the
    // whole comparison through the Unicode path, whose order it keeps (on
    // ASCII letters toUpper is A-Z, and an equal ASCII prefix decides nothing).
    const auto *pa = static_cast<const unsigned char *>(a);
    const auto *pb = static_cast<const unsigned char *>(b);
    const int n = la < lb ? la : lb;
    int i = 0;
    for (; i < n; ++i) {
        unsigned ca = pa[i], cb = pb[i];
        if ((ca | cb) & 0x80)
            break;
        if (ca - 'a' < 26u)
            ca -= 'a' - 'A';
        if (cb - 'a' < 26u)
            cb -= 'a' - 'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i == n)
        return la == lb ? 0 : (la < lb ? -1 : 1);
    return compareTextNoCase(
        QString::fromUtf8(static_cast<const char *>(a), la), QString::fromUtf8(static_cast<const char *>(b), lb));
}

} // namespace

void registerExtensions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "upper", 1, flags, nullptr, sqlUpper, nullptr, nullptr);
    sqlite3_create_function(db, "lower", 1, flags, nullptr, sqlLower, nullptr, nullptr);
    sqlite3_create_function(db, "st_today", 0, SQLITE_UTF8, nullptr, sqlToday, nullptr, nullptr);
    sqlite3_create_function(db, "st_now", 0, SQLITE_UTF8, nullptr, sqlNow, nullptr, nullptr);
    sqlite3_create_collation(db, "PTCI", SQLITE_UTF8, nullptr, collateNoCase);
    // The engine's LIKE tells case apart; UPPER() on both sides makes it blind.
    sqlite3_exec(db, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
}

} // namespace stb::db
