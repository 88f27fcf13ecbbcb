#include "platform/db/field.h"

#include "platform/db/datasetbase.h"
#include "platform/db/sqlvalue.h"
#include "platform/formatting.h"

namespace stb::db {

namespace {

const Value kNull;

// Delphi-style date format ("dd/mm/yyyy hh:nn:ss") to a Qt pattern.
QString qtDatePattern(const QString &f)
{
    QString out;
    bool afterHour = false;
    for (int i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        const QChar lc = c.toLower();
        if (lc == QLatin1Char('m')) {
            int n = 1;
            while (i + n < f.size() && f[i + n].toLower() == QLatin1Char('m'))
                ++n;
            out += QString(n, afterHour && n <= 2 ? QLatin1Char('m') : QLatin1Char('M'));
            i += n - 1;
            afterHour = false;
        } else if (lc == QLatin1Char('n')) {
            out += QLatin1Char('m');
        } else if (lc == QLatin1Char('h')) {
            out += QLatin1Char('h');
            afterHour = true;
        } else if (lc == QLatin1Char('y') || lc == QLatin1Char('d') || lc == QLatin1Char('s')
            || lc == QLatin1Char('z')) {
            out += lc;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int end = f.indexOf(c, i + 1);
            const QString lit = f.mid(i + 1, (end < 0 ? f.size() : end) - i - 1);
            out += QLatin1Char('\'') + lit + QLatin1Char('\'');
            i = end < 0 ? f.size() : end;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool Field::isNull() const { return db::isNull(raw()); }

const Value &Field::raw() const
{
    if (m_kind != Kind::Data)
        return m_ds->calcSlot(m_slot);
    const DataSet::Row *r = m_ds->activeRow();
    if (!r || m_slot < 0 || m_slot >= static_cast<int>(r->values.size()))
        return kNull;
    return r->values[static_cast<size_t>(m_slot)];
}

QVariant Field::value() const { return variantFromValue(m_type, raw()); }

QString Field::asString() const
{
    const Value &v = raw();
    if (db::isNull(v))
        return {};
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        switch (m_type) {
        case FieldType::Currency:
            return CurrToStr(Currency::fromRaw(*i));
        case FieldType::Date:
            return DateToStr(decodeDate(*i));
        case FieldType::DateTime:
            return DateTimeToStr(decodeDateTime(*i));
        case FieldType::Boolean:
            return *i ? QStringLiteral("True") : QStringLiteral("False");
        case FieldType::Float:
            return FloatToStr(static_cast<Extended>(*i));
        default:
            return QString::number(*i);
        }
    }
    if (const auto *d = std::get_if<double>(&v))
        return FloatToStr(*d);
    return QString::fromLatin1(std::get<QByteArray>(v));
}

qint64 Field::asLargeInt() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return m_type == FieldType::Currency ? *i / Currency::Scale : *i;
    if (const auto *d = std::get_if<double>(&v))
        return static_cast<qint64>(std::trunc(*d));
    if (const auto *s = std::get_if<QString>(&v)) {
        bool ok = false;
        const qint64 n = s->trimmed().toLongLong(&ok);
        if (!ok)
            throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um número inteiro válido").arg(*s));
        return n;
    }
    return 0;
}

Extended Field::asExtended() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return m_type == FieldType::Currency ? Currency::fromRaw(*i).toExtended() : static_cast<Extended>(*i);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *s = std::get_if<QString>(&v)) {
        const auto f = StrToFloat(*s);
        if (!f)
            throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um número válido").arg(*s));
        return *f;
    }
    return 0;
}

double Field::asFloat() const { return static_cast<double>(asExtended()); }

Currency Field::asCurrency() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return m_type == FieldType::Currency ? Currency::fromRaw(*i) : Currency::fromInt(*i);
    if (const auto *d = std::get_if<double>(&v))
        return Currency::fromDouble(*d);
    if (const auto *s = std::get_if<QString>(&v)) {
        auto c = StrToCurr(*s);
        if (!c)
            c = Currency::parsePlain(*s);
        if (!c)
            throw EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um valor válido").arg(*s));
        return *c;
    }
    return {};
}

bool Field::asBoolean() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return *i != 0;
    if (const auto *d = std::get_if<double>(&v))
        return *d != 0;
    if (const auto *s = std::get_if<QString>(&v)) {
        const QString t = s->trimmed().toUpper();
        return t == QLatin1String("TRUE") || t == QLatin1String("SIM") || t == QLatin1String("1")
            || t == QLatin1String("S") || t == QLatin1String("T");
    }
    return false;
}

QDate Field::asDate() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        if (m_type == FieldType::DateTime)
            return decodeDateTime(*i).date();
        if (m_type == FieldType::Date)
            return decodeDate(*i);
        return {};
    }
    if (const auto *s = std::get_if<QString>(&v)) {
        const QByteArray b = s->toLatin1();
        std::int64_t jd;
        if (parseDateText(b.constData(), static_cast<int>(b.size()), jd))
            return decodeDate(jd);
        return StrToDate(*s);
    }
    return {};
}

QDateTime Field::asDateTime() const
{
    const Value &v = raw();
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        if (m_type == FieldType::DateTime)
            return decodeDateTime(*i);
        if (m_type == FieldType::Date)
            return decodeDate(*i).startOfDay();
        return {};
    }
    if (const auto *s = std::get_if<QString>(&v)) {
        const QByteArray b = s->toLatin1();
        std::int64_t ms;
        if (parseDateTimeText(b.constData(), static_cast<int>(b.size()), ms))
            return decodeDateTime(ms);
    }
    return {};
}

void Field::setRaw(const Value &v) { m_ds->setFieldValue(*this, v); }
void Field::setRawInt(std::int64_t v) { m_ds->setFieldInt(*this, v); }

void Field::setValue(const QVariant &v) { setRaw(valueFromVariant(m_type, v, m_size)); }

void Field::setAsString(const QString &s)
{
    switch (m_type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Unknown:
        setRaw(valueFromVariant(m_type, s, m_size));
        return;
    default:
        assignText(s);
    }
}

void Field::setAsInteger(qint64 v)
{
    switch (m_type) {
    case FieldType::Currency:
        setRawInt(Currency::fromInt(v).raw());
        return;
    case FieldType::Float:
        setRaw(static_cast<double>(v));
        return;
    case FieldType::String:
    case FieldType::Memo:
        setRaw(QString::number(v));
        return;
    case FieldType::Boolean:
        setRawInt(v != 0);
        return;
    default:
        setRawInt(v);
    }
}

void Field::setAsFloat(double v)
{
    switch (m_type) {
    case FieldType::Currency:
        setRaw(Currency::fromDouble(v).raw());
        return;
    case FieldType::Float:
    case FieldType::Unknown:
        setRaw(v);
        return;
    case FieldType::String:
    case FieldType::Memo:
        setRaw(FloatToStr(v));
        return;
    default:
        setRaw(std::int64_t(std::llround(v)));
    }
}

void Field::setAsCurrency(Currency v)
{
    switch (m_type) {
    case FieldType::Currency:
        setRawInt(v.raw());
        return;
    case FieldType::Float:
    case FieldType::Unknown:
        setRaw(v.toDouble());
        return;
    case FieldType::String:
    case FieldType::Memo:
        setRaw(CurrToStr(v));
        return;
    default:
        setRaw(std::int64_t(std::llround(v.toDouble())));
    }
}

void Field::setAsBoolean(bool v)
{
    if (m_type == FieldType::String || m_type == FieldType::Memo)
        setRaw(v ? QStringLiteral("True") : QStringLiteral("False"));
    else
        setRaw(std::int64_t(v ? 1 : 0));
}

void Field::setAsDate(const QDate &v) { setValue(v); }
void Field::setAsDateTime(const QDateTime &v) { setValue(v); }
void Field::clear() { setRaw(Value {}); }

QString Field::formatValue(const Value &v) const
{
    if (db::isNull(v))
        return {};
    switch (m_type) {
    case FieldType::Currency: {
        const Currency c = std::holds_alternative<std::int64_t>(v) ? Currency::fromRaw(std::get<std::int64_t>(v))
            : std::holds_alternative<double>(v)                    ? Currency::fromDouble(std::get<double>(v))
                                                                   : Currency();
        return FormatCurr(displayFormat.isEmpty() ? QStringLiteral(",0.00") : displayFormat, c);
    }
    case FieldType::Float:
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc: {
        Extended x = 0;
        if (const auto *i = std::get_if<std::int64_t>(&v))
            x = static_cast<Extended>(*i);
        else if (const auto *d = std::get_if<double>(&v))
            x = *d;
        else if (const auto *s = std::get_if<QString>(&v))
            return *s;
        if (!displayFormat.isEmpty())
            return FormatFloat(displayFormat, x);
        return m_type == FieldType::Float ? FloatToStr(x) : QString::number(static_cast<qint64>(x));
    }
    case FieldType::Boolean:
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return *i ? QStringLiteral("Sim") : QStringLiteral("Não");
        break;
    case FieldType::Date:
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return displayFormat.isEmpty() ? DateToStr(decodeDate(*i))
                                           : decodeDate(*i).toString(qtDatePattern(displayFormat));
        break;
    case FieldType::DateTime:
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return displayFormat.isEmpty() ? DateTimeToStr(decodeDateTime(*i))
                                           : decodeDateTime(*i).toString(qtDatePattern(displayFormat));
        break;
    default:
        break;
    }
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&v))
        return FloatToStr(*d);
    return {};
}

QString Field::displayText() const
{
    if (onGetText)
        return onGetText(*this, true);
    return formatValue(raw());
}

QString Field::text() const
{
    if (onGetText)
        return onGetText(*this, false);
    const Value &v = raw();
    if (db::isNull(v))
        return {};
    if (m_type == FieldType::Currency)
        return FormatCurr(QStringLiteral("0.00##"), asCurrency());
    if (m_type == FieldType::Float)
        return FloatToStr(asExtended());
    return formatValue(v);
}

void Field::setText(const QString &t)
{
    if (onSetText)
        onSetText(*this, t);
    else
        assignText(t);
}

void Field::assignText(const QString &t)
{
    const QString s = t.trimmed();
    if (s.isEmpty() && m_type != FieldType::String && m_type != FieldType::Memo) {
        clear();
        return;
    }
    auto bad = [&]() {
        return EngineError(
            Err::InvalidValue, QStringLiteral("'%1' não é um valor válido para o campo %2").arg(t, m_name));
    };
    switch (m_type) {
    case FieldType::Currency: {
        const auto c = StrToCurr(s);
        if (!c)
            throw bad();
        setRaw(c->raw());
        return;
    }
    case FieldType::Float: {
        const auto f = StrToFloat(s);
        if (!f)
            throw bad();
        setRaw(static_cast<double>(*f));
        return;
    }
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc: {
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        if (!ok)
            throw bad();
        setRaw(std::int64_t(n));
        return;
    }
    case FieldType::Boolean: {
        const QString u = s.toUpper();
        if (u == QLatin1String("TRUE") || u == QLatin1String("SIM") || u == QLatin1String("S")
            || u == QLatin1String("1"))
            setRaw(std::int64_t(1));
        else if (u == QLatin1String("FALSE") || u == QLatin1String("NÃO") || u == QLatin1String("NAO")
            || u == QLatin1String("N") || u == QLatin1String("0"))
            setRaw(std::int64_t(0));
        else
            throw bad();
        return;
    }
    case FieldType::Date: {
        const QDate d = StrToDate(s);
        if (!d.isValid())
            throw bad();
        setRaw(encodeDate(d));
        return;
    }
    case FieldType::DateTime: {
        QDateTime dt = QDateTime::fromString(s, QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime::fromString(s, QStringLiteral("dd/MM/yyyy hh:mm"));
        if (!dt.isValid()) {
            const QDate d = StrToDate(s);
            if (d.isValid())
                dt = d.startOfDay();
        }
        if (!dt.isValid())
            throw bad();
        setRaw(encodeDateTime(dt));
        return;
    }
    default:
        setRaw(valueFromVariant(m_type, t, m_size));
    }
}

} // namespace stb::db
