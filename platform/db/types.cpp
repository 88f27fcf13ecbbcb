#include "platform/db/types.h"

#include <cmath>

namespace stb::db {

namespace {
struct TypeName {
    FieldType type;
    const char *name;
};
constexpr TypeName kTypeNames[] = {
    {FieldType::SmallInt, "smallint"},
    {FieldType::Integer, "integer"},
    {FieldType::LargeInt, "largeint"},
    {FieldType::AutoInc, "autoinc"},
    {FieldType::Float, "float"},
    {FieldType::Currency, "currency"},
    {FieldType::String, "string"},
    {FieldType::Memo, "memo"},
    {FieldType::Date, "date"},
    {FieldType::DateTime, "datetime"},
    {FieldType::Boolean, "boolean"},
    {FieldType::Blob, "blob"},
};
constexpr std::int64_t kMsPerDay = 86400000;
} // namespace

QString fieldTypeName(FieldType t)
{
    for (const auto &tn : kTypeNames)
        if (tn.type == t)
            return QLatin1String(tn.name);
    return QStringLiteral("unknown");
}

FieldType fieldTypeFromName(const QString &name)
{
    for (const auto &tn : kTypeNames)
        if (name.compare(QLatin1String(tn.name), Qt::CaseInsensitive) == 0)
            return tn.type;
    return FieldType::Unknown;
}

QStringList IndexDef::fieldList() const
{
    QStringList out;
    for (const QString &f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << f.trimmed();
    return out;
}

int TableDef::fieldIndex(const QString &n) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const FieldDef *TableDef::field(const QString &n) const
{
    const int i = fieldIndex(n);
    return i < 0 ? nullptr : &fields[i];
}

const IndexDef *TableDef::index(const QString &n) const
{
    for (const IndexDef &ix : indexes)
        if (ix.name.compare(n, Qt::CaseInsensitive) == 0)
            return &ix;
    return nullptr;
}

const IndexDef *TableDef::primaryIndex() const
{
    for (const IndexDef &ix : indexes)
        if (ix.isPrimary())
            return &ix;
    return nullptr;
}

EngineError::EngineError(int code, const QString &message, const QString &table)
    : std::runtime_error(QStringLiteral("%1 (%2)").arg(message).arg(code).toStdString()),
      m_code(code),
      m_message(message),
      m_table(table)
{
}

std::int64_t encodeDate(const QDate &d) { return d.toJulianDay(); }
QDate decodeDate(std::int64_t v) { return QDate::fromJulianDay(v); }

std::int64_t encodeDateTime(const QDateTime &dt)
{
    return dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime decodeDateTime(std::int64_t v)
{
    std::int64_t day = v / kMsPerDay;
    std::int64_t ms = v % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

Value valueFromVariant(FieldType t, const QVariant &v, int size)
{
    if (!v.isValid() || v.isNull())
        return {};
    bool ok = true;
    switch (t) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc: {
        if (v.metaType().id() == QMetaType::Double) {
            return static_cast<std::int64_t>(std::trunc(v.toDouble()));
        }
        const qint64 i = v.toLongLong(&ok);
        if (!ok)
            throw EngineError(
                Err::InvalidValue, QStringLiteral("'%1' não é um número inteiro válido").arg(v.toString()));
        return std::int64_t(i);
    }
    case FieldType::Boolean:
        return std::int64_t(v.toBool() ? 1 : 0);
    case FieldType::Float: {
        const double d
            = v.metaType() == QMetaType::fromType<Currency>() ? v.value<Currency>().toDouble() : v.toDouble(&ok);
        if (!ok)
            throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um número válido").arg(v.toString()));
        return d;
    }
    case FieldType::Currency: {
        if (v.metaType() == QMetaType::fromType<Currency>())
            return v.value<Currency>().raw();
        if (v.metaType().id() == QMetaType::QString) {
            const auto c = Currency::parsePlain(v.toString());
            if (!c)
                throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um valor válido").arg(v.toString()));
            return c->raw();
        }
        if (v.metaType().id() == QMetaType::Int || v.metaType().id() == QMetaType::LongLong)
            return Currency::fromInt(v.toLongLong()).raw();
        const double d = v.toDouble(&ok);
        if (!ok)
            throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um valor válido").arg(v.toString()));
        return Currency::fromDouble(d).raw();
    }
    case FieldType::String: {
        QString s = v.toString();
        if (size > 0 && s.size() > size)
            s.truncate(size);
        if (s.isEmpty())
            return {};
        return s;
    }
    case FieldType::Memo: {
        QString s = v.toString();
        if (s.isEmpty())
            return {};
        return s;
    }
    case FieldType::Date: {
        const QDate d = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
        if (!d.isValid())
            return {};
        return encodeDate(d);
    }
    case FieldType::DateTime: {
        QDateTime dt = v.metaType().id() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime();
        if (!dt.isValid())
            return {};
        return encodeDateTime(dt);
    }
    case FieldType::Blob:
        return v.toByteArray();
    case FieldType::Unknown:
        break;
    }
    // Unknown type (query expression): keep the natural representation.
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return std::int64_t(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    case QMetaType::QByteArray:
        return v.toByteArray();
    default:
        return v.toString();
    }
}

QVariant variantFromValue(FieldType t, const Value &v)
{
    if (isNull(v))
        return {};
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        switch (t) {
        case FieldType::Boolean:
            return *i != 0;
        case FieldType::Currency:
            return QVariant::fromValue(Currency::fromRaw(*i));
        case FieldType::Date:
            return decodeDate(*i);
        case FieldType::DateTime:
            return decodeDateTime(*i);
        case FieldType::Float:
            return static_cast<double>(*i);
        default:
            return qint64(*i);
        }
    }
    if (const auto *d = std::get_if<double>(&v)) {
        if (t == FieldType::Currency)
            return QVariant::fromValue(Currency::fromDouble(*d));
        return *d;
    }
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    return std::get<QByteArray>(v);
}

namespace {
template<typename T> int cmp3(const T &a, const T &b) { return a < b ? -1 : (b < a ? 1 : 0); }

double asNumber(const Value &v)
{
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    return 0;
}
} // namespace

int compareValues(FieldType, const Value &a, const Value &b, bool caseInsensitive)
{
    const bool an = isNull(a), bn = isNull(b);
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    // Same order of storage classes as SQLite: numbers < text < blob.
    auto cls = [](const Value &v) { return v.index() <= 2 ? 1 : static_cast<int>(v.index()); };
    if (cls(a) != cls(b))
        return cmp3(cls(a), cls(b));
    if (a.index() == 1 && b.index() == 1)
        return cmp3(std::get<std::int64_t>(a), std::get<std::int64_t>(b));
    if (cls(a) == 1)
        return cmp3(asNumber(a), asNumber(b));
    if (const auto *sa = std::get_if<QString>(&a)) {
        const QString &sb = std::get<QString>(b);
        return caseInsensitive ? compareTextNoCase(*sa, sb) : cmp3(QStringView(*sa).compare(sb), 0);
    }
    return cmp3(std::get<QByteArray>(a).compare(std::get<QByteArray>(b)), 0);
}

QString upperText(const QString &s)
{
    // QString::toUpper follows Unicode, which covers every Portuguese letter
    // (á é í ó ú â ê ô ã õ à ç ü).
    return s.toUpper();
}

int compareTextNoCase(const QString &a, const QString &b)
{
    const int c = QString::compare(upperText(a), upperText(b), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace stb::db
