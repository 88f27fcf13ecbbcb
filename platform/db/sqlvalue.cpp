#include "platform/db/sqlvalue.h"

#include <cmath>
#include <sqlite3.h>

namespace stb::db {

namespace {
constexpr std::int64_t kMsPerDay = 86400000;

} // namespace

bool readDigits(const char *s, int n, int &out)
{
    out = 0;
    for (int i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

bool parseDateText(const char *s, int len, std::int64_t &jd)
{
    int y, m, d;
    if (len < 10 || s[4] != '-' || s[7] != '-' || !readDigits(s, 4, y) || !readDigits(s + 5, 2, m)
        || !readDigits(s + 8, 2, d))
        return false;
    const QDate date(y, m, d);
    if (!date.isValid())
        return false;
    jd = date.toJulianDay();
    return true;
}

bool parseDateTimeText(const char *s, int len, std::int64_t &ms)
{
    std::int64_t jd;
    if (!parseDateText(s, len, jd))
        return false;
    int h = 0, mi = 0, se = 0, z = 0;
    if (len >= 19 && (s[10] == ' ' || s[10] == 'T')) {
        if (!readDigits(s + 11, 2, h) || !readDigits(s + 14, 2, mi) || !readDigits(s + 17, 2, se))
            return false;
        if (len >= 23 && s[19] == '.')
            readDigits(s + 20, 3, z);
    }
    ms = jd * kMsPerDay + ((h * 60 + mi) * 60 + se) * 1000LL + z;
    return true;
}

QString dateText(std::int64_t jd)
{
    int y, m, d;
    QDate::fromJulianDay(jd).getDate(&y, &m, &d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return QString::fromLatin1(buf);
}

QString dateTimeText(std::int64_t ms)
{
    std::int64_t day = ms / kMsPerDay;
    std::int64_t rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --day;
    }
    int y, m, d;
    QDate::fromJulianDay(day).getDate(&y, &m, &d);
    const int z = static_cast<int>(rest % 1000);
    const int secs = static_cast<int>(rest / 1000);
    char buf[32];
    std::snprintf(
        buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, secs / 3600, secs / 60 % 60, secs % 60, z);
    return QString::fromLatin1(buf);
}

Value readColumn(sqlite3_stmt *stmt, int col, FieldType type)
{
    // One call finds the column; its kind and value are then read from it
    // (each sqlite3_column_* call would find it again).
    sqlite3_value *cv = sqlite3_column_value(stmt, col);
    const int st = sqlite3_value_type(cv);
    if (st == SQLITE_NULL)
        return {};
    switch (type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc:
    case FieldType::Boolean:
        if (st == SQLITE_FLOAT)
            return static_cast<std::int64_t>(std::trunc(sqlite3_value_double(cv)));
        return static_cast<std::int64_t>(sqlite3_value_int64(cv));
    case FieldType::Currency:
        if (st == SQLITE_INTEGER)
            return Currency::fromInt(sqlite3_value_int64(cv)).raw();
        return Currency::fromDouble(sqlite3_value_double(cv)).raw();
    case FieldType::Float:
        return sqlite3_value_double(cv);
    case FieldType::Date:
    case FieldType::DateTime: {
        if (st != SQLITE_TEXT)
            return {};
        const char *s = reinterpret_cast<const char *>(sqlite3_value_text(cv));
        const int n = sqlite3_value_bytes(cv);
        std::int64_t v;
        if (type == FieldType::Date ? parseDateText(s, n, v) : parseDateTimeText(s, n, v))
            return v;
        return {};
    }
    case FieldType::Blob: {
        const void *p = sqlite3_value_blob(cv);
        return QByteArray(static_cast<const char *>(p), sqlite3_value_bytes(cv));
    }
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Unknown:
        break;
    }
    if (type == FieldType::Unknown) {
        if (st == SQLITE_INTEGER)
            return static_cast<std::int64_t>(sqlite3_value_int64(cv));
        if (st == SQLITE_FLOAT)
            return sqlite3_value_double(cv);
        if (st == SQLITE_BLOB) {
            const void *p = sqlite3_value_blob(cv);
            return QByteArray(static_cast<const char *>(p), sqlite3_value_bytes(cv));
        }
    }
    const char *s = reinterpret_cast<const char *>(sqlite3_value_text(cv));
    return QString::fromUtf8(s, sqlite3_value_bytes(cv));
}

FieldType typeOfColumnValue(sqlite3_stmt *stmt, int col)
{
    switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
        return FieldType::LargeInt;
    case SQLITE_FLOAT:
        return FieldType::Float;
    case SQLITE_BLOB:
        return FieldType::Blob;
    default:
        return FieldType::String;
    }
}

void bindValue(sqlite3_stmt *stmt, int index, FieldType type, const Value &v)
{
    if (isNull(v)) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        switch (type) {
        case FieldType::Currency:
            sqlite3_bind_double(stmt, index, static_cast<double>(Currency::fromRaw(*i).toExtended()));
            return;
        case FieldType::Float:
            sqlite3_bind_double(stmt, index, static_cast<double>(*i));
            return;
        case FieldType::Date: {
            const QByteArray b = dateText(*i).toLatin1();
            sqlite3_bind_text(stmt, index, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        case FieldType::DateTime: {
            const QByteArray b = dateTimeText(*i).toLatin1();
            sqlite3_bind_text(stmt, index, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        default:
            sqlite3_bind_int64(stmt, index, *i);
            return;
        }
    }
    if (const auto *d = std::get_if<double>(&v)) {
        sqlite3_bind_double(stmt, index, *d);
        return;
    }
    if (const auto *s = std::get_if<QString>(&v)) {
        const QByteArray b = s->toUtf8();
        sqlite3_bind_text(stmt, index, b.constData(), b.size(), SQLITE_TRANSIENT);
        return;
    }
    const QByteArray &b = std::get<QByteArray>(v);
    sqlite3_bind_blob(stmt, index, b.constData(), b.size(), SQLITE_TRANSIENT);
}

} // namespace stb::db
