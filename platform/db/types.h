// Basic types of the database engine binding: field and index definitions,
// the stored value variant and the engine error with its code.
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <variant>
#include <vector>

namespace stb::db {

enum class FieldType {
    Unknown,
    SmallInt,
    Integer,
    LargeInt,
    AutoInc,
    Float,
    Currency,
    String,
    Memo,
    Date,
    DateTime,
    Boolean,
    Blob,
};

QString fieldTypeName(FieldType t);
FieldType fieldTypeFromName(const QString &name); // Unknown when not a type name

struct FieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0; // width of String fields
    bool required = false;

    bool operator==(const FieldDef &o) const
    {
        return name.compare(o.name, Qt::CaseInsensitive) == 0 && type == o.type && size == o.size
            && required == o.required;
    }
};

struct IndexDef {
    enum Option : unsigned {
        Primary = 1,
        Unique = 2,
        CaseInsensitive = 4,
        Descending = 8,
    };
    QString name; // empty or "PRIMARY" for the primary index
    QString fields; // field names joined with ";"
    unsigned options = 0;

    bool isPrimary() const { return options & Primary; }
    bool isUnique() const { return options & (Primary | Unique); }
    QStringList fieldList() const;
    bool operator==(const IndexDef &o) const
    {
        return name.compare(o.name, Qt::CaseInsensitive) == 0 && fields.compare(o.fields, Qt::CaseInsensitive) == 0
            && options == o.options;
    }
};

struct TableDef {
    QString name;
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    int fieldIndex(const QString &name) const;
    const FieldDef *field(const QString &name) const;
    const IndexDef *index(const QString &name) const;
    const IndexDef *primaryIndex() const;
};

// Engine error codes the system reacts to.
namespace Err {
constexpr int KeyViolation = 9729;
constexpr int RequiredField = 9732;
constexpr int RecordDeleted = 8708;
constexpr int DataDamaged = 8962;
constexpr int IndexDamaged = 8963;
constexpr int TableDamaged = 12036;
constexpr int TableNotFound = 11010;
constexpr int TableInUse = 11013;
constexpr int LockFailed = 10258;
constexpr int ConnectionLost = 10225;
constexpr int DiskFull = 10224;
constexpr int ReadOnly = 10221;
constexpr int InvalidOperation = 10240;
constexpr int SqlError = 11949;
constexpr int FieldNotFound = 10254;
constexpr int InvalidValue = 10027;
} // namespace Err

class EngineError : public std::runtime_error {
public:
    EngineError(int code, const QString &message, const QString &table = {});
    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    const QString &table() const { return m_table; }
    bool isDamage() const
    {
        return m_code == Err::DataDamaged || m_code == Err::IndexDamaged || m_code == Err::TableDamaged;
    }

private:
    int m_code;
    QString m_message;
    QString m_table;
};

// A stored value as the engine keeps it in memory:
//   integers, booleans, currency (raw ten-thousandths), dates (Julian day)
//   and date-times (milliseconds since the Julian epoch) are int64;
//   floats are double; strings and memos are QString; blobs QByteArray.
using Value = std::variant<std::monostate, std::int64_t, double, QString, QByteArray>;

// A stored row: its identity in the table and the values of its data fields.
struct StoredRow {
    std::int64_t rowid = 0;
    std::vector<Value> values;
};

inline bool isNull(const Value &v) { return std::holds_alternative<std::monostate>(v); }

// Conversions between a QVariant given by callers and the stored value of a field type.
Value valueFromVariant(FieldType t, const QVariant &v, int size = 0);
QVariant variantFromValue(FieldType t, const Value &v);

// Date and date-time encodings of Value.
std::int64_t encodeDate(const QDate &d);
QDate decodeDate(std::int64_t v);
std::int64_t encodeDateTime(const QDateTime &dt);
QDateTime decodeDateTime(std::int64_t v);

// Compares two stored values of the same field type (nulls first).
int compareValues(FieldType t, const Value &a, const Value &b, bool caseInsensitive = false);

// Case-insensitive comparison used by case-insensitive indexes (Portuguese accents included).
int compareTextNoCase(const QString &a, const QString &b);
// Upper case of Portuguese text (accented letters included).
QString upperText(const QString &s);

// Progress of long operations (repair, restructure): step text and percent.
using ProgressFn = std::function<void(const QString &step, int percent)>;

} // namespace stb::db

Q_DECLARE_METATYPE(stb::Currency)
