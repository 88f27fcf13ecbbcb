#include "platform/db/dataset.h"

#include "platform/db/sqltranslate.h"
#include "platform/db/sqlvalue.h"
#include "platform/formatting.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace stb::db {

namespace {

const Value kNull;

QString quoteIdent(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// Resets a statement when leaving scope so it never keeps a read lock.
struct StmtGuard {
    sqlite3_stmt *st;
    ~StmtGuard()
    {
        if (st)
            sqlite3_reset(st);
    }
};

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
        } else if (lc == QLatin1Char('y') || lc == QLatin1Char('d') || lc == QLatin1Char('s') || lc == QLatin1Char('z')) {
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

// A text key for a value, used by look-ups.
QString keyText(const Value &v)
{
    if (isNull(v))
        return QStringLiteral("\x01");
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 17);
    if (const auto *s = std::get_if<QString>(&v))
        return QLatin1Char('s') + *s;
    return QString::fromLatin1(std::get<QByteArray>(v).toHex());
}

} // namespace

// ===== Field ================================================================

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
        return t == QLatin1String("TRUE") || t == QLatin1String("SIM") || t == QLatin1String("1") || t == QLatin1String("S")
            || t == QLatin1String("T");
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
        setRaw(Currency::fromInt(v).raw());
        return;
    case FieldType::Float:
        setRaw(static_cast<double>(v));
        return;
    case FieldType::String:
    case FieldType::Memo:
        setRaw(QString::number(v));
        return;
    case FieldType::Boolean:
        setRaw(std::int64_t(v != 0));
        return;
    default:
        setRaw(std::int64_t(v));
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
        setRaw(v.raw());
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
void Field::clear() { setRaw(Value{}); }

QString Field::formatValue(const Value &v) const
{
    if (db::isNull(v))
        return {};
    switch (m_type) {
    case FieldType::Currency: {
        const Currency c = std::holds_alternative<std::int64_t>(v) ? Currency::fromRaw(std::get<std::int64_t>(v))
            : std::holds_alternative<double>(v)                     ? Currency::fromDouble(std::get<double>(v))
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
        return EngineError(Err::InvalidValue, QStringLiteral("'%1' não é um valor válido para o campo %2").arg(t, m_name));
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
        if (u == QLatin1String("TRUE") || u == QLatin1String("SIM") || u == QLatin1String("S") || u == QLatin1String("1"))
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

// ===== DataSet ===============================================================

DataSet::DataSet(Database *db) : m_db(db) {}

DataSet::~DataSet()
{
    closeSilently();
    if (m_master)
        m_master->m_details.removeAll(this);
    for (DataSet *d : std::as_const(m_details))
        d->m_master = nullptr;
    if (m_db)
        m_db->unregisterDataSet(this);
}

void DataSet::closeSilently()
{
    beforeClose = afterClose = nullptr;
    m_observers.clear();
    if (isActive()) {
        try {
            m_state = State::Browse;
            close();
        } catch (...) {
        }
    }
}

void DataSet::setDatabase(Database *db)
{
    if (isActive())
        throw EngineError(Err::InvalidOperation, QStringLiteral("Não é possível trocar o banco de dados de um dataset aberto"));
    m_db = db;
}

Field &DataSet::addCalcField(const QString &name, FieldType type, int size)
{
    m_persistent.push_back(std::unique_ptr<Field>(new Field(this, name, type, size, Field::Kind::Calculated)));
    return *m_persistent.back();
}

Field &DataSet::addLookupField(const QString &name, FieldType type, int size, DataSet *lookupDataSet,
                               const QString &lookupKeyFields, const QString &lookupResultField, const QString &keyFields)
{
    auto f = std::unique_ptr<Field>(new Field(this, name, type, size, Field::Kind::Lookup));
    f->lookupDataSet = lookupDataSet;
    f->lookupKeyFields = lookupKeyFields;
    f->lookupResultField = lookupResultField;
    f->keyFields = keyFields;
    m_persistent.push_back(std::move(f));
    return *m_persistent.back();
}

DataSet::FieldSetup &DataSet::fieldSetup(const QString &name) { return m_setup[name.toLower()]; }

Field *DataSet::findField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    if (!isActive())
        for (const auto &f : m_persistent)
            if (f->m_name.compare(name, Qt::CaseInsensitive) == 0)
                return f.get();
    return nullptr;
}

Field &DataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        throw EngineError(Err::FieldNotFound,
                          QStringLiteral("Campo '%1' não encontrado em %2").arg(name, objectName.isEmpty() ? tableName() : objectName));
    return *f;
}

QList<Field *> DataSet::fields() const
{
    QList<Field *> out;
    for (const auto &f : m_fields)
        out << f.get();
    return out;
}

Field &DataSet::addDataField(const QString &name, FieldType type, int size, bool required)
{
    auto f = std::unique_ptr<Field>(new Field(this, name, type, size, Field::Kind::Data));
    f->required = required;
    f->m_slot = m_dataFieldCount++;
    const auto it = m_setup.constFind(name.toLower());
    if (it != m_setup.cend()) {
        f->displayLabel = it->displayLabel;
        f->displayFormat = it->displayFormat;
        f->editMask = it->editMask;
        f->displayWidth = it->displayWidth;
        f->visible = it->visible;
        f->onSetText = it->onSetText;
        f->onGetText = it->onGetText;
    }
    m_fields.push_back(std::move(f));
    return *m_fields.back();
}

void DataSet::clearDataFields()
{
    m_fields.clear();
    m_dataFieldCount = 0;
}

void DataSet::requireActive() const
{
    if (!isActive())
        throw EngineError(Err::InvalidOperation,
                          QStringLiteral("Operação não permitida: %1 está fechado").arg(objectName.isEmpty() ? tableName() : objectName));
}

void DataSet::requireBrowse() const
{
    requireActive();
}

void DataSet::open()
{
    if (isActive())
        return;
    if (!m_db)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Dataset sem banco de dados"));
    if (beforeOpen)
        beforeOpen(*this);
    // Data fields are built by the subclass; persistent fields follow them.
    std::vector<std::unique_ptr<Field>> keep;
    for (auto &f : m_fields)
        if (f->m_kind != Field::Kind::Data)
            keep.push_back(std::move(f));
    clearDataFields();
    for (auto &f : keep)
        m_persistent.insert(m_persistent.begin(), std::move(f));
    m_order.clear();
    openImpl();
    int calcSlots = 0;
    for (auto &f : m_persistent) {
        f->m_slot = calcSlots++;
        m_fields.push_back(std::move(f));
    }
    m_persistent.clear();
    m_calc.assign(static_cast<size_t>(calcSlots), Value{});
    try {
        fetchRows();
    } catch (...) {
        closeImpl();
        throw;
    }
    // A query learns its data fields only while fetching: data fields come
    // first, then the persistent ones, and every field knows its position.
    std::stable_partition(m_fields.begin(), m_fields.end(),
                          [](const std::unique_ptr<Field> &f) { return f->m_kind == Field::Kind::Data; });
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->m_index = static_cast<int>(i);
    m_db->registerDataSet(this);
    m_state = State::Browse;
    m_modified = false;
    bumpVersion();
    m_cur = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    calculateFields();
    notify(DataEvent::Opened);
    if (afterOpen)
        afterOpen(*this);
    syncDetails();
    if (!m_rows.empty() && afterScroll)
        afterScroll(*this);
}

void DataSet::close()
{
    if (!isActive())
        return;
    if (beforeClose)
        beforeClose(*this);
    m_lastLink.clear();
    m_linkValid = false;
    m_state = State::Inactive;
    m_rows.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    bumpVersion();
    closeImpl();
    // Calc and lookup fields survive for the next open.
    for (auto &f : m_fields)
        if (f->m_kind != Field::Kind::Data)
            m_persistent.push_back(std::move(f));
    clearDataFields();
    std::fill(m_calc.begin(), m_calc.end(), Value{});
    notify(DataEvent::Closed);
    for (DataSet *d : std::as_const(m_details))
        if (d->isActive())
            d->masterChanged();
    if (afterClose)
        afterClose(*this);
    if (m_db)
        m_db->unregisterDataSet(this);
}

void DataSet::refresh()
{
    requireActive();
    checkBrowseMode();
    if (beforeRefresh)
        beforeRefresh(*this);
    fetchAndPosition(m_cur >= 0 ? m_rows[static_cast<size_t>(m_cur)].rowid : 0);
    calculateFields();
    notify(DataEvent::Reset);
    masterChanged();
    if (afterRefresh)
        afterRefresh(*this);
}

void DataSet::fetchAndPosition(std::int64_t keepRowid)
{
    const int oldCur = m_cur;
    fetchRows();
    bumpVersion();
    m_cur = -1;
    if (keepRowid)
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].rowid == keepRowid) {
                m_cur = static_cast<int>(i);
                break;
            }
    if (m_cur < 0 && !m_rows.empty())
        m_cur = std::clamp(oldCur, 0, static_cast<int>(m_rows.size()) - 1);
    m_bof = m_cur <= 0;
    m_eof = m_rows.empty();
}

// ---- navigation --------------------------------------------------------------

void DataSet::setCurrent(int row, bool events)
{
    if (events && beforeScroll)
        beforeScroll(*this);
    const bool changed = row != m_cur;
    m_cur = row;
    calculateFields();
    if (changed) {
        notify(DataEvent::CurrentChanged, row);
        masterChanged();
    }
    if (events && afterScroll)
        afterScroll(*this);
}

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    setCurrent(m_rows.empty() ? -1 : 0, true);
    m_bof = true;
    m_eof = m_rows.empty();
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    setCurrent(static_cast<int>(m_rows.size()) - 1, true);
    m_eof = true;
    m_bof = m_rows.empty();
}

void DataSet::next() { moveBy(1); }
void DataSet::prior() { moveBy(-1); }

int DataSet::moveBy(int distance)
{
    requireActive();
    checkBrowseMode();
    if (beforeScroll)
        beforeScroll(*this);
    int moved = 0;
    const int n = static_cast<int>(m_rows.size());
    if (distance > 0 && !m_eof) {
        const int target = std::min(m_cur + distance, n - 1);
        moved = target - m_cur;
        m_eof = m_cur + distance > n - 1;
        m_bof = false;
        if (moved)
            setCurrent(target, false);
    } else if (distance < 0 && !m_bof) {
        const int target = std::max(m_cur + distance, 0);
        moved = target - m_cur;
        m_bof = m_cur + distance < 0;
        m_eof = false;
        if (moved)
            setCurrent(target, false);
    }
    if (afterScroll)
        afterScroll(*this);
    return moved;
}

void DataSet::setRecNo(int recNo)
{
    requireActive();
    checkBrowseMode();
    if (recNo < 1 || recNo > static_cast<int>(m_rows.size()))
        return;
    setCurrent(recNo - 1, true);
    m_bof = m_eof = false;
}

bool DataSet::locate(const QString &fieldNames, const QVariantList &values, unsigned options)
{
    requireActive();
    checkBrowseMode();
    const QStringList names = fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::vector<Field *> fs;
    std::vector<Value> targets;
    for (int i = 0; i < names.size(); ++i) {
        Field &f = fieldByName(names[i].trimmed());
        fs.push_back(&f);
        targets.push_back(valueFromVariant(f.type() == FieldType::AutoInc ? FieldType::LargeInt : f.type(),
                                           values.value(i), 0));
    }
    for (size_t r = 0; r < m_rows.size(); ++r) {
        bool match = true;
        for (size_t k = 0; match && k < fs.size(); ++k) {
            Field &f = *fs[k];
            Value v;
            if (f.kind() == Field::Kind::Data) {
                v = m_rows[r].values[static_cast<size_t>(f.m_slot)];
            } else {
                v = rowForDisplay(static_cast<int>(r))[static_cast<size_t>(f.index())];
            }
            const Value &t = targets[k];
            if (const auto *s = std::get_if<QString>(&v); s && std::holds_alternative<QString>(t)) {
                const QString &ts = std::get<QString>(t);
                const Qt::CaseSensitivity cs = (options & CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
                match = (options & PartialKey) ? s->startsWith(ts, cs) : s->compare(ts, cs) == 0;
            } else {
                match = compareValues(f.type(), v, t) == 0;
            }
        }
        if (match) {
            setCurrent(static_cast<int>(r), true);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

QVariant DataSet::lookup(const QString &keyFieldNames, const QVariantList &values, const QString &resultField)
{
    if (!isActive())
        return {};
    const QStringList names = keyFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::vector<Field *> fs;
    for (const QString &n : names) {
        Field *f = findField(n.trimmed());
        if (!f || f->kind() != Field::Kind::Data)
            return {};
        fs.push_back(f);
    }
    Field *res = findField(resultField);
    if (!res || res->kind() != Field::Kind::Data)
        return {};
    auto &index = m_lookupCache[keyFieldNames.toLower()];
    if (index.isEmpty() && !m_rows.empty()) {
        for (size_t r = 0; r < m_rows.size(); ++r) {
            QString key;
            for (Field *f : fs)
                key += keyText(m_rows[r].values[static_cast<size_t>(f->m_slot)]) + QLatin1Char('\x02');
            if (!index.contains(key))
                index.insert(key, static_cast<int>(r));
        }
    }
    QString key;
    for (size_t k = 0; k < fs.size(); ++k) {
        FieldType t = fs[k]->type() == FieldType::AutoInc ? FieldType::LargeInt : fs[k]->type();
        Value v;
        try {
            v = valueFromVariant(t, values.value(static_cast<int>(k)), 0);
        } catch (const EngineError &) {
            return {};
        }
        key += keyText(v) + QLatin1Char('\x02');
    }
    const auto it = index.constFind(key);
    if (it == index.cend())
        return {};
    return variantFromValue(res->type(), m_rows[static_cast<size_t>(*it)].values[static_cast<size_t>(res->m_slot)]);
}

// ---- active record and calculated fields ---------------------------------------

const DataSet::Row *DataSet::activeRow() const
{
    if (m_displayCopy)
        return m_displayCopy;
    if (m_state == State::Edit || m_state == State::Insert || m_calcBase == State::Edit || m_calcBase == State::Insert)
        return &m_editRow;
    if (m_cur >= 0 && m_cur < static_cast<int>(m_rows.size()))
        return &m_rows[static_cast<size_t>(m_cur)];
    return nullptr;
}

Value &DataSet::calcSlot(int slot)
{
    std::vector<Value> &buf = m_displayCalc ? *m_displayCalc : m_calc;
    return buf[static_cast<size_t>(slot)];
}

const Value &DataSet::calcSlot(int slot) const
{
    const std::vector<Value> &buf = m_displayCalc ? *m_displayCalc : m_calc;
    if (slot < 0 || slot >= static_cast<int>(buf.size()))
        return kNull;
    return buf[static_cast<size_t>(slot)];
}

void DataSet::setFieldValue(Field &f, const Value &v)
{
    if (f.m_kind != Field::Kind::Data) {
        calcSlot(f.m_slot) = v;
        return;
    }
    requireActive();
    if (m_state == State::CalcFields) {
        // A value set while calculating is shown and used for that row only; it is never posted.
        Row *r = const_cast<Row *>(activeRow());
        if (r)
            r->values[static_cast<size_t>(f.m_slot)] = v;
        return;
    }
    if (m_state != State::Edit && m_state != State::Insert)
        throw EngineError(Err::InvalidOperation,
                          QStringLiteral("%1 não está em modo de edição").arg(objectName.isEmpty() ? tableName() : objectName));
    if (f.readOnly)
        throw EngineError(Err::InvalidOperation, QStringLiteral("O campo %1 não pode ser alterado").arg(f.name()));
    m_editRow.values[static_cast<size_t>(f.m_slot)] = v;
    m_modified = true;
    if (f.onChange)
        f.onChange(f);
    if (autoCalcFields)
        calculateFields();
    notify(DataEvent::RowChanged, m_cur);
}

void DataSet::computeLookups()
{
    for (const auto &fp : m_fields) {
        Field &f = *fp;
        if (f.m_kind != Field::Kind::Lookup)
            continue;
        Value result;
        if (f.lookupDataSet && f.lookupDataSet->isActive()) {
            QVariantList keys;
            bool anyNull = false;
            for (const QString &k : f.keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const Field *kf = findField(k.trimmed());
                if (!kf) {
                    anyNull = true;
                    break;
                }
                if (kf->isNull())
                    anyNull = true;
                keys << kf->value();
            }
            if (!anyNull) {
                const QVariant r = f.lookupDataSet->lookup(f.lookupKeyFields, keys, f.lookupResultField);
                try {
                    result = valueFromVariant(f.type(), r, f.size());
                } catch (const EngineError &) {
                    result = {};
                }
            }
        }
        calcSlot(f.m_slot) = result;
    }
}

void DataSet::calculateFields()
{
    if (m_calc.empty())
        return;
    const bool editing = m_state == State::Edit || m_state == State::Insert;
    if (!editing)
        std::fill(m_calc.begin(), m_calc.end(), Value{});
    if (!editing && m_cur < 0)
        return;
    const State saved = m_state;
    m_calcBase = saved;
    m_state = State::CalcFields;
    try {
        computeLookups();
        if (onCalcFields)
            onCalcFields(*this);
    } catch (...) {
        m_state = saved;
        m_calcBase = State::Inactive;
        throw;
    }
    m_state = saved;
    m_calcBase = State::Inactive;
}

std::vector<Value> DataSet::rowForDisplay(int row)
{
    std::vector<Value> out(m_fields.size());
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return out;
    if (row == m_cur && m_state == State::Browse) {
        for (size_t i = 0; i < m_fields.size(); ++i)
            out[i] = m_fields[i]->raw();
        return out;
    }
    Row copy = m_rows[static_cast<size_t>(row)];
    if (!m_calc.empty()) {
        std::vector<Value> calc(m_calc.size());
        Row *savedCopy = m_displayCopy;
        std::vector<Value> *savedCalc = m_displayCalc;
        const State saved = m_state;
        m_displayCopy = &copy;
        m_displayCalc = &calc;
        m_calcBase = State::Inactive;
        m_state = State::CalcFields;
        try {
            computeLookups();
            if (onCalcFields)
                onCalcFields(*this);
        } catch (...) {
            m_state = saved;
            m_displayCopy = savedCopy;
            m_displayCalc = savedCalc;
            throw;
        }
        m_state = saved;
        m_displayCopy = savedCopy;
        m_displayCalc = savedCalc;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            const Field &f = *m_fields[i];
            out[i] = f.m_kind == Field::Kind::Data ? copy.values[static_cast<size_t>(f.m_slot)]
                                                   : calc[static_cast<size_t>(f.m_slot)];
        }
        return out;
    }
    for (size_t i = 0; i < m_fields.size(); ++i)
        out[i] = copy.values[static_cast<size_t>(m_fields[i]->m_slot)];
    return out;
}

// ---- editing -------------------------------------------------------------------

void DataSet::recalculate()
{
    if (!isActive())
        return;
    calculateFields();
    notify(DataEvent::RowChanged, m_cur);
}

void DataSet::checkBrowseMode()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

void DataSet::append()
{
    insert();
    m_insertPos = static_cast<int>(m_rows.size());
}

void DataSet::insert()
{
    requireActive();
    checkBrowseMode();
    if (!canModify())
        throw EngineError(Err::ReadOnly, QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
    if (beforeInsert)
        beforeInsert(*this);
    if (beforeScroll)
        beforeScroll(*this);
    m_editRow = Row{0, std::vector<Value>(static_cast<size_t>(m_dataFieldCount))};
    // A detail row starts with the master's link values.
    std::vector<std::pair<Field *, Value>> link;
    if (masterLinkValues(link))
        for (auto &[f, v] : link)
            m_editRow.values[static_cast<size_t>(f->m_slot)] = v;
    m_insertPos = m_cur < 0 ? 0 : m_cur;
    m_state = State::Insert;
    m_modified = false;
    std::fill(m_calc.begin(), m_calc.end(), Value{});
    if (onNewRecord)
        onNewRecord(*this);
    calculateFields();
    notify(DataEvent::StateChanged, m_cur);
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void DataSet::edit()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (m_rows.empty()) {
        insert();
        return;
    }
    if (!canModify())
        throw EngineError(Err::ReadOnly, QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
    if (beforeEdit)
        beforeEdit(*this);
    Row &r = m_rows[static_cast<size_t>(m_cur)];
    if (!rereadRowImpl(r)) {
        refresh();
        throw EngineError(Err::RecordDeleted, QStringLiteral("O registro foi excluído por outro usuário"), tableName());
    }
    m_editRow = r;
    m_state = State::Edit;
    m_modified = false;
    notify(DataEvent::StateChanged, m_cur);
    if (afterEdit)
        afterEdit(*this);
}

void DataSet::post()
{
    requireActive();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (beforePost)
        beforePost(*this);
    for (const Field *f : fields())
        if (f->m_kind == Field::Kind::Data && f->required && isNull(m_editRow.values[static_cast<size_t>(f->m_slot)]))
            throw EngineError(Err::RequiredField, QStringLiteral("O campo %1 precisa de um valor").arg(f->label()), tableName());
    const bool inserting = m_state == State::Insert;
    if (inserting) {
        insertRowImpl(m_editRow);
    } else {
        updateRowImpl(m_editRow);
        m_rows.erase(m_rows.begin() + m_cur);
    }
    const int pos = placeRow(m_editRow);
    m_rows.insert(m_rows.begin() + pos, std::move(m_editRow));
    m_editRow = {};
    const int oldCur = m_cur;
    m_cur = pos;
    m_state = State::Browse;
    m_modified = false;
    m_bof = m_eof = false;
    bumpVersion();
    calculateFields();
    if (inserting)
        notify(DataEvent::RowInserted, pos);
    else if (oldCur == pos)
        notify(DataEvent::RowChanged, pos);
    else
        notify(DataEvent::Reset);
    notify(DataEvent::StateChanged, pos);
    masterChanged();
    if (afterPost)
        afterPost(*this);
}

void DataSet::cancel()
{
    requireActive();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (beforeCancel)
        beforeCancel(*this);
    const bool inserting = m_state == State::Insert;
    m_state = State::Browse;
    m_modified = false;
    m_editRow = {};
    calculateFields();
    notify(DataEvent::StateChanged, m_cur);
    if (afterCancel)
        afterCancel(*this);
    if (inserting && afterScroll)
        afterScroll(*this);
}

void DataSet::remove()
{
    requireActive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_rows.empty())
        throw EngineError(Err::InvalidOperation, QStringLiteral("Não há registro para excluir"), tableName());
    if (!canModify())
        throw EngineError(Err::ReadOnly, QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
    if (beforeDelete)
        beforeDelete(*this);
    if (beforeScroll)
        beforeScroll(*this);
    deleteRowImpl(m_rows[static_cast<size_t>(m_cur)]);
    const int removed = m_cur;
    m_rows.erase(m_rows.begin() + m_cur);
    m_state = State::Browse;
    m_editRow = {};
    m_cur = m_rows.empty() ? -1 : std::min(m_cur, static_cast<int>(m_rows.size()) - 1);
    m_bof = m_cur <= 0;
    m_eof = m_rows.empty();
    bumpVersion();
    calculateFields();
    notify(DataEvent::RowRemoved, removed);
    masterChanged();
    if (afterDelete)
        afterDelete(*this);
    if (afterScroll)
        afterScroll(*this);
}

int DataSet::compareRows(const Row &a, const Row &b) const
{
    for (const OrderKey &k : m_order) {
        const size_t s = static_cast<size_t>(k.slot);
        int c = compareValues(FieldType::Unknown, a.values[s], b.values[s], k.caseInsensitive);
        if (c)
            return k.descending ? -c : c;
    }
    return a.rowid < b.rowid ? -1 : (a.rowid > b.rowid ? 1 : 0);
}

int DataSet::placeRow(const Row &r) const
{
    if (m_order.empty())
        return m_insertPos >= 0 && m_state == State::Insert ? std::min<int>(m_insertPos, static_cast<int>(m_rows.size()))
                                                            : static_cast<int>(m_rows.size());
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), r,
                                     [this](const Row &x, const Row &y) { return compareRows(x, y) < 0; });
    return static_cast<int>(it - m_rows.begin());
}

// ---- views ---------------------------------------------------------------------

void DataSet::disableControls() { ++m_disableCount; }

void DataSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount > 0)
        return;
    if (m_pendingReset) {
        m_pendingReset = false;
        notify(DataEvent::Reset);
    }
    if (m_pendingMaster) {
        m_pendingMaster = false;
        syncDetails();
    }
}

void DataSet::addObserver(DataSetObserver *o)
{
    if (!m_observers.contains(o))
        m_observers << o;
}

void DataSet::removeObserver(DataSetObserver *o) { m_observers.removeAll(o); }

void DataSet::notify(DataEvent e, int row)
{
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    const auto observers = m_observers;
    for (DataSetObserver *o : observers)
        o->dataSetEvent(*this, e, row);
}

// ---- master-detail ---------------------------------------------------------------

void DataSet::setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields)
{
    if (m_master)
        m_master->m_details.removeAll(this);
    m_master = master;
    m_masterFields = masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    m_detailFields = detailFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &s : m_masterFields)
        s = s.trimmed();
    for (QString &s : m_detailFields)
        s = s.trimmed();
    if (m_master)
        m_master->m_details << this;
    m_lastLink.clear();
}

void DataSet::setMasterLinkActive(bool active)
{
    if (active == m_linkActive)
        return;
    m_linkActive = active;
    m_linkValid = false;
    if (!isActive() || !m_master)
        return;
    if (active) {
        m_master->syncDetails();
        return;
    }
    checkBrowseMode();
    m_rows.clear();
    bumpVersion();
    m_cur = -2;
    setCurrent(-1, true);
    m_bof = m_eof = true;
    notify(DataEvent::Reset);
}

bool DataSet::masterLinkValues(std::vector<std::pair<Field *, Value>> &out) const
{
    out.clear();
    if (!m_master)
        return false;
    for (int i = 0; i < m_detailFields.size(); ++i) {
        Field *df = findField(m_detailFields[i]);
        if (!df)
            continue;
        Value v;
        if (m_master->isActive() && m_master->m_cur >= 0) {
            const Field *mf = m_master->findField(m_masterFields.value(i));
            if (mf)
                v = valueFromVariant(df->type() == FieldType::AutoInc ? FieldType::LargeInt : df->type(), mf->value(),
                                     df->size());
        }
        out.emplace_back(df, v);
    }
    return true;
}

void DataSet::masterChanged()
{
    if (m_details.isEmpty())
        return;
    if (m_disableCount > 0) {
        m_pendingMaster = true;
        return;
    }
    syncDetails();
}

void DataSet::syncDetails()
{
    const auto details = m_details;
    for (DataSet *d : details) {
        if (!d->isActive() || !d->m_linkActive)
            continue;
        std::vector<std::pair<Field *, Value>> link;
        d->masterLinkValues(link);
        std::vector<Value> values;
        for (auto &p : link)
            values.push_back(p.second);
        if (values == d->m_lastLink && d->m_linkValid)
            continue;
        d->checkBrowseMode();
        d->m_lastLink = values;
        d->m_linkValid = true;
        d->fetchRows();
        d->bumpVersion();
        d->m_cur = -2; // force the change notifications
        d->setCurrent(d->m_rows.empty() ? -1 : 0, true);
        d->m_bof = true;
        d->m_eof = d->m_rows.empty();
        d->notify(DataEvent::Reset);
    }
}

// ===== Table =====================================================================

Table::Table(Database *db, const QString &tableName) : DataSet(db), m_tableName(tableName) {}

Table::~Table() { closeSilently(); }

void Table::setTableName(const QString &name)
{
    if (isActive())
        throw EngineError(Err::InvalidOperation, QStringLiteral("Feche a tabela antes de trocar o nome"));
    m_tableName = name;
}

void Table::setIndexName(const QString &name)
{
    m_indexName = name;
    m_indexFieldNames.clear();
    if (isActive()) {
        buildOrder();
        refresh();
    }
}

void Table::setIndexFieldNames(const QString &names)
{
    m_indexFieldNames = names;
    m_indexName.clear();
    if (isActive()) {
        buildOrder();
        refresh();
    }
}

bool Table::exists() const { return database() && database()->tableExists(m_tableName); }

void Table::createTable()
{
    TableDef def = m_def;
    def.name = m_tableName;
    database()->createTable(def);
}

void Table::emptyTable()
{
    const bool wasActive = isActive();
    if (wasActive)
        close();
    database()->emptyTable(m_tableName);
    if (wasActive)
        open();
}

void Table::deleteTable()
{
    if (isActive())
        close();
    database()->deleteTable(m_tableName);
}

void Table::openImpl()
{
    if (m_tableName.isEmpty())
        throw EngineError(Err::InvalidOperation, QStringLiteral("Tabela sem nome"));
    Database *db = database();
    db->acquireOpen(m_tableName, m_mode);
    m_lockHeld = true;
    try {
        Database::TableInfo &info = db->useTable(m_tableName);
        m_sqlName = info.sqlName;
        for (const FieldDef &fd : info.def.fields)
            addDataField(fd.name, fd.type, fd.size, fd.required);
        buildOrder();
        buildStatements();
    } catch (...) {
        db->releaseOpen(m_tableName, m_mode);
        m_lockHeld = false;
        throw;
    }
}

void Table::closeImpl()
{
    if (m_lockHeld) {
        database()->releaseOpen(m_tableName, m_mode);
        m_lockHeld = false;
    }
}

void Table::buildOrder()
{
    m_order.clear();
    m_orderSql.clear();
    QList<std::pair<QString, unsigned>> cols;
    if (!m_indexFieldNames.isEmpty()) {
        for (const QString &f : m_indexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            cols << std::make_pair(f.trimmed(), 0u);
    } else {
        const Database::TableInfo &info = database()->useTable(m_tableName);
        const IndexDef *ix = nullptr;
        if (m_indexName.isEmpty() || m_indexName.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0)
            ix = info.def.primaryIndex();
        else
            ix = info.def.index(m_indexName);
        if (!ix && !m_indexName.isEmpty())
            throw EngineError(Err::InvalidOperation,
                              QStringLiteral("O índice %1 não existe na tabela %2").arg(m_indexName, m_tableName), m_tableName);
        if (ix)
            for (const QString &f : ix->fieldList())
                cols << std::make_pair(f, ix->options);
    }
    QStringList sql;
    for (const auto &[name, opts] : cols) {
        const Field *f = findField(name);
        if (!f || f->kind() != Field::Kind::Data)
            throw EngineError(Err::FieldNotFound,
                              QStringLiteral("Campo '%1' não encontrado na tabela %2").arg(name, m_tableName), m_tableName);
        const bool ci = opts & IndexDef::CaseInsensitive;
        const bool desc = opts & IndexDef::Descending;
        m_order.push_back({f->m_slot, desc, ci});
        sql << quoteIdent(f->name()) + (ci ? QStringLiteral(" COLLATE PTCI") : QString())
                + (desc ? QStringLiteral(" DESC") : QString());
    }
    sql << QStringLiteral("rowid");
    m_orderSql = sql.join(QStringLiteral(", "));
}

QString Table::selectList() const
{
    QStringList cols{QStringLiteral("rowid")};
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).kind() == Field::Kind::Data)
            cols << quoteIdent(field(i).name());
    return cols.join(QStringLiteral(", "));
}

void Table::fetchRows()
{
    if (masterSource() && !masterLinkActive()) {
        m_rows.clear();
        return;
    }
    Database *db = database();
    Database::TableInfo &info = db->useTable(m_tableName);
    m_sqlName = info.sqlName;
    std::vector<std::pair<Field *, Value>> link;
    const bool detail = masterLinkValues(link);
    QString sql = QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ") + m_sqlName;
    if (detail && !link.empty()) {
        QStringList conds;
        for (size_t i = 0; i < link.size(); ++i)
            conds << quoteIdent(link[i].first->name()) + QStringLiteral(" = ?") + QString::number(i + 1);
        sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    }
    sql += QStringLiteral(" ORDER BY ") + m_orderSql;
    sqlite3_stmt *st = db->prepare(sql, {m_tableName});
    StmtGuard guard{st};
    for (size_t i = 0; i < link.size(); ++i)
        bindValue(st, static_cast<int>(i + 1), link[i].first->type(), link[i].second);
    std::vector<const Field *> dataFields;
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).kind() == Field::Kind::Data)
            dataFields.push_back(&field(i));
    std::vector<Row> rows;
    int rc;
    bool firstStep = true;
    while ((rc = firstStep ? db->step(st) : sqlite3_step(st)) == SQLITE_ROW) {
        firstStep = false;
        Row r;
        r.rowid = sqlite3_column_int64(st, 0);
        r.values.resize(dataFields.size());
        for (size_t c = 0; c < dataFields.size(); ++c)
            r.values[c] = readColumn(st, static_cast<int>(c + 1), dataFields[c]->type());
        rows.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        db->raise(rc, m_tableName, QStringLiteral("ler"));
    m_rows = std::move(rows);
}

void Table::buildStatements()
{
    m_dataFields.clear();
    m_autoinc = nullptr;
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).kind() == Field::Kind::Data) {
            m_dataFields.push_back(&field(i));
            if (field(i).type() == FieldType::AutoInc)
                m_autoinc = &field(i);
        }
    QStringList all, allParams, noAuto, noAutoParams, sets;
    for (const Field *f : m_dataFields) {
        const QString col = quoteIdent(f->name());
        all << col;
        allParams << QStringLiteral("?%1").arg(all.size());
        sets << col + QStringLiteral(" = ?") + QString::number(all.size());
        if (f != m_autoinc) {
            noAuto << col;
            noAutoParams << QStringLiteral("?%1").arg(noAuto.size());
        }
    }
    const QString comma = QStringLiteral(", ");
    m_stmtSql[InsertAll] = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_sqlName, all.join(comma), allParams.join(comma));
    m_stmtSql[InsertNoAuto] = noAuto.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_sqlName)
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_sqlName, noAuto.join(comma), noAutoParams.join(comma));
    m_stmtSql[Update] = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3").arg(m_sqlName, sets.join(comma)).arg(all.size() + 1);
    m_stmtSql[Delete] = QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(m_sqlName);
    m_stmtSql[Reread] = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(all.join(comma), m_sqlName);
    std::fill(std::begin(m_stmt), std::end(m_stmt), nullptr);
}

sqlite3_stmt *Table::statement(StmtKind kind)
{
    Database *db = database();
    sqlite3_stmt *&st = m_stmt[kind];
    if (st && db->isConnected() && m_stmtEpoch[kind] == db->statementEpoch()) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return st;
    }
    // Attaching again may give the table another schema name.
    const QString before = m_sqlName;
    m_sqlName = db->useTable(m_tableName).sqlName;
    if (m_sqlName != before)
        buildStatements();
    st = db->prepare(m_stmtSql[kind], {m_tableName});
    m_stmtEpoch[kind] = db->statementEpoch();
    return st;
}

void Table::insertRowImpl(Row &r)
{
    Database *db = database();
    const bool autoNull = m_autoinc && isNull(r.values[static_cast<size_t>(m_autoinc->m_slot)]);
    sqlite3_stmt *st = statement(autoNull ? InsertNoAuto : InsertAll);
    StmtGuard guard{st};
    int n = 0;
    for (const Field *f : m_dataFields)
        if (!(autoNull && f == m_autoinc))
            bindValue(st, ++n, f->type(), r.values[static_cast<size_t>(f->m_slot)]);
    const int rc = db->step(st);
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), m_tableName, QStringLiteral("incluir"));
    r.rowid = sqlite3_last_insert_rowid(db->connection());
    if (autoNull)
        r.values[static_cast<size_t>(m_autoinc->m_slot)] = std::int64_t(r.rowid);
}

void Table::updateRowImpl(Row &r)
{
    Database *db = database();
    sqlite3_stmt *st = statement(Update);
    StmtGuard guard{st};
    int n = 0;
    for (const Field *f : m_dataFields)
        bindValue(st, ++n, f->type(), r.values[static_cast<size_t>(f->m_slot)]);
    sqlite3_bind_int64(st, n + 1, r.rowid);
    const int rc = db->step(st);
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), m_tableName, QStringLiteral("alterar"));
    if (sqlite3_changes(db->connection()) == 0)
        throw EngineError(Err::RecordDeleted, QStringLiteral("O registro foi excluído por outro usuário"), m_tableName);
    // An auto-increment key edited by hand moves the row.
    if (m_autoinc && std::holds_alternative<std::int64_t>(r.values[static_cast<size_t>(m_autoinc->m_slot)]))
        r.rowid = std::get<std::int64_t>(r.values[static_cast<size_t>(m_autoinc->m_slot)]);
}

void Table::deleteRowImpl(const Row &r)
{
    Database *db = database();
    sqlite3_stmt *st = statement(Delete);
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, r.rowid);
    const int rc = db->step(st);
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), m_tableName, QStringLiteral("excluir"));
}

bool Table::rereadRowImpl(Row &r)
{
    Database *db = database();
    sqlite3_stmt *st = statement(Reread);
    StmtGuard guard{st};
    sqlite3_bind_int64(st, 1, r.rowid);
    const int rc = db->step(st);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        db->raise(rc, m_tableName, QStringLiteral("ler"));
    for (size_t c = 0; c < m_dataFields.size(); ++c)
        r.values[static_cast<size_t>(m_dataFields[c]->m_slot)] = readColumn(st, static_cast<int>(c), m_dataFields[c]->type());
    return true;
}

int Table::findKeyPos(const QVariantList &values, bool exact) const
{
    const size_t nKeys = std::min<size_t>(m_order.size(), static_cast<size_t>(values.size()));
    std::vector<Value> keys;
    for (size_t k = 0; k < nKeys; ++k) {
        const Field *f = nullptr;
        for (int i = 0; i < fieldCount(); ++i)
            if (field(i).kind() == Field::Kind::Data && field(i).m_slot == m_order[k].slot)
                f = &field(i);
        keys.push_back(valueFromVariant(f->type() == FieldType::AutoInc ? FieldType::LargeInt : f->type(),
                                        values[static_cast<int>(k)], f->size()));
    }
    auto cmp = [&](const Row &r) {
        for (size_t k = 0; k < nKeys; ++k) {
            int c = compareValues(FieldType::Unknown, r.values[static_cast<size_t>(m_order[k].slot)], keys[k],
                                  m_order[k].caseInsensitive);
            if (c)
                return m_order[k].descending ? -c : c;
        }
        return 0;
    };
    const auto it = std::partition_point(m_rows.begin(), m_rows.end(), [&](const Row &r) { return cmp(r) < 0; });
    const int pos = static_cast<int>(it - m_rows.begin());
    if (exact)
        return it != m_rows.end() && cmp(*it) == 0 ? pos : -1;
    return pos;
}

bool Table::findKey(const QVariantList &values)
{
    requireActive();
    checkBrowseMode();
    const int pos = findKeyPos(values, true);
    if (pos < 0)
        return false;
    setCurrent(pos, true);
    m_bof = m_eof = false;
    return true;
}

void Table::findNearest(const QVariantList &values)
{
    requireActive();
    checkBrowseMode();
    if (m_rows.empty())
        return;
    const int pos = std::min(findKeyPos(values, false), static_cast<int>(m_rows.size()) - 1);
    setCurrent(pos, true);
    m_bof = m_eof = false;
}

// ===== Query =====================================================================

Query::Query(Database *db) : DataSet(db) {}

void Query::setSql(const QString &text)
{
    m_sql = text.split(QLatin1Char('\n'));
}

Param &Query::paramByName(const QString &name)
{
    for (Param &p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    m_params << Param{name, {}};
    return m_params.back();
}

void Query::setFieldType(const QString &name, FieldType type, int size)
{
    m_declared.insert(name.toLower(), {type, size});
}

sqlite3_stmt *Query::prepareAndBind(QStringList *)
{
    Database *db = database();
    const QString text = sqlText();
    const TranslatedSql tr = translateSql(text);
    m_castTypes = tr.castTypes;
    m_castSizes = tr.castSizes;
    sqlite3_stmt *st = db->prepare(tr.sql, tr.tables);
    const int n = sqlite3_bind_parameter_count(st);
    for (int i = 1; i <= n; ++i) {
        const char *pn = sqlite3_bind_parameter_name(st, i);
        if (!pn)
            continue;
        const QString name = QString::fromUtf8(pn + 1);
        Param *param = nullptr;
        for (Param &p : m_params)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0)
                param = &p;
        if (!param)
            continue; // unbound parameters are null
        const QVariant &v = param->value;
        FieldType t = FieldType::Unknown;
        switch (v.metaType().id()) {
        case QMetaType::QDate:
            t = FieldType::Date;
            break;
        case QMetaType::QDateTime:
            t = FieldType::DateTime;
            break;
        case QMetaType::Bool:
            t = FieldType::Boolean;
            break;
        default:
            if (v.metaType() == QMetaType::fromType<Currency>())
                t = FieldType::Currency;
        }
        bindValue(st, i, t, valueFromVariant(t, v));
    }
    return st;
}

void Query::openImpl()
{
    // Fields come from the statement's result columns (fetchRows defines them).
    m_fieldsDefined = false;
}

void Query::fetchRows()
{
    Database *db = database();
    sqlite3_stmt *st = prepareAndBind(nullptr);
    StmtGuard guard{st};
    const int ncol = sqlite3_column_count(st);
    std::vector<Row> rows;
    int rc = db->step(st);
    if (!m_fieldsDefined) {
        QStringList used;
        m_readTypes.assign(static_cast<size_t>(ncol), FieldType::Unknown);
        for (int c = 0; c < ncol; ++c) {
            QString name = QString::fromUtf8(sqlite3_column_name(st, c));
            QString unique = name;
            for (int k = 1; used.contains(unique, Qt::CaseInsensitive); ++k)
                unique = name + QLatin1Char('_') + QString::number(k);
            used << unique;
            FieldType type = FieldType::Unknown;
            int size = 0;
            const auto decl = m_declared.constFind(unique.toLower());
            if (decl != m_declared.cend()) {
                type = decl->first;
                size = decl->second;
            } else if (c < m_castTypes.size() && m_castTypes[c] != FieldType::Unknown) {
                type = m_castTypes[c];
                size = m_castSizes.value(c);
            } else if (const char *origin = sqlite3_column_origin_name(st, c)) {
                const char *schema = sqlite3_column_database_name(st, c);
                const char *table = sqlite3_column_table_name(st, c);
                if (const FieldDef *fd = db->originField(QString::fromUtf8(schema ? schema : ""),
                                                         QString::fromUtf8(table ? table : ""), QString::fromUtf8(origin))) {
                    type = fd->type == FieldType::AutoInc ? FieldType::Integer : fd->type;
                    size = fd->size;
                }
            }
            if (type == FieldType::Unknown) {
                // An expression: values keep their own kind; the type only guides presentation.
                type = rc == SQLITE_ROW ? typeOfColumnValue(st, c) : FieldType::String;
            } else {
                m_readTypes[static_cast<size_t>(c)] = type;
            }
            addDataField(unique, type, size, false);
        }
        m_fieldsDefined = true;
    }
    m_readTypes.resize(static_cast<size_t>(ncol), FieldType::Unknown);
    std::int64_t rowid = 0;
    while (rc == SQLITE_ROW) {
        Row r;
        r.rowid = ++rowid;
        r.values.resize(static_cast<size_t>(ncol));
        for (int c = 0; c < ncol; ++c)
            r.values[static_cast<size_t>(c)] = readColumn(st, c, m_readTypes[static_cast<size_t>(c)]);
        rows.push_back(std::move(r));
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_DONE)
        db->raise(rc, {}, QStringLiteral("consulta"));
    m_rows = std::move(rows);
}

int Query::execSql()
{
    if (isActive())
        close();
    Database *db = database();
    sqlite3_stmt *st = prepareAndBind(nullptr);
    StmtGuard guard{st};
    int rc;
    while ((rc = db->step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), {}, QStringLiteral("executar"));
    m_rowsAffected = sqlite3_changes(db->connection());
    return m_rowsAffected;
}

// ===== MemTable ===================================================================

Database &memoryDatabase()
{
    static Database db(QStringLiteral("Memoria"), Database::Storage::Memory);
    return db;
}

MemTable::MemTable(const QString &name, Database *memoryDb) : Table(memoryDb ? memoryDb : &memoryDatabase(), name) {}

MemTable::~MemTable() { closeSilently(); }

void MemTable::openImpl()
{
    if (!database()->tableExists(m_tableName)) {
        TableDef def = m_def;
        def.name = m_tableName;
        database()->createTable(def);
    }
    Table::openImpl();
}

void MemTable::closeImpl()
{
    Table::closeImpl();
    // In-memory rows do not outlive the dataset's opening.
    if (database()->tableExists(m_tableName))
        database()->execSql(QStringLiteral("DELETE FROM %1").arg(quoteIdent(m_tableName)));
}

void MemTable::saveToFile(const QString &path)
{
    if (!database()->tableExists(m_tableName)) {
        TableDef def = m_def;
        def.name = m_tableName;
        database()->createTable(def);
    }
    checkBrowseMode();
    database()->saveTableToFile(m_tableName, path);
}

void MemTable::loadFromFile(const QString &path)
{
    if (isActive())
        checkBrowseMode();
    database()->loadTableFromFile(m_tableName, path);
    if (isActive())
        refresh();
}

} // namespace stb::db
