#include "platform/db/datasetbase.h"

#include <algorithm>

namespace stb::db {

namespace {

const Value kNull;

bool isWholeNumber(FieldType t)
{
    return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::LargeInt || t == FieldType::AutoInc;
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

// Field-set generations are unique across datasets, so that a cache keyed on
// one never matches another dataset's fields.
quint64 nextGeneration()
{
    static quint64 generation = 0;
    return ++generation;
}

// Assigns a value; whole numbers (integers, currency, dates) are copied
// without the variant's generic assignment.
void assignValue(Value &dst, const Value &src)
{
    if (const auto *i = std::get_if<std::int64_t>(&src)) {
        if (auto *d = std::get_if<std::int64_t>(&dst))
            *d = *i;
        else
            dst.emplace<std::int64_t>(*i);
        return;
    }
    dst = src;
}

// Empties a buffer of values without reallocating it.
void clearValues(std::vector<Value> &values)
{
    for (Value &v : values)
        if (!isNull(v))
            v.emplace<std::monostate>();
}

} // namespace

DataSet::DataSet(Database *db) : m_db(db) {}

void DataSet::fieldsChanged()
{
    m_fieldsGeneration = nextGeneration();
    m_newDefaults.clear();
}

DataSet::~DataSet()
{
    closeSilently();
    if (m_master)
        m_master->m_details.removeAll(this);
    for (DataSet *d : std::as_const(m_details))
        d->m_master = nullptr;
    if (m_db)
        m_db->unregisterClient(this);
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

bool DataSet::clientUsesTable(const QString &table) const
{
    return isActive() && tableName().compare(table, Qt::CaseInsensitive) == 0;
}

namespace {
// Depth of refreshes made because a transaction was rolled back.
thread_local int g_rollbackRefresh = 0;
} // namespace

void DataSet::clientRolledBack()
{
    // Rows the dataset holds may have been undone. This runs from a
    // transaction's guard, often while the failure of a post in that very
    // transaction unwinds: a detail being edited keeps its buffer for its
    // owner to post or cancel (see syncDetails), and a refresh that fails
    // leaves the rows as they were instead of escaping the guard.
    if (!isActive() || m_state != State::Browse)
        return;
    ++g_rollbackRefresh;
    try {
        refresh();
    } catch (const EngineError &e) {
        qWarning("%s: rows not read again after a rollback: %s", qPrintable(objectName), qPrintable(e.message()));
    }
    --g_rollbackRefresh;
}

void DataSet::setDatabase(Database *db)
{
    if (isActive())
        throw EngineError(
            Err::InvalidOperation, QStringLiteral("Não é possível trocar o banco de dados de um dataset aberto"));
    m_db = db;
}

Field &DataSet::addCalcField(const QString &name, FieldType type, int size)
{
    m_persistent.push_back(std::unique_ptr<Field>(new Field(this, name, type, size, Field::Kind::Calculated)));
    fieldsChanged();
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
    fieldsChanged();
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
            QStringLiteral("Campo '%1' não encontrado em %2")
                .arg(name, objectName.isEmpty() ? tableName() : objectName));
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
    const auto it = m_setup.isEmpty() ? m_setup.cend() : m_setup.constFind(name.toLower());
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
    fieldsChanged();
    return *m_fields.back();
}

void DataSet::clearDataFields()
{
    m_fields.clear();
    m_dataFieldCount = 0;
    fieldsChanged();
}

void DataSet::requireActive() const
{
    if (!isActive())
        throw EngineError(Err::InvalidOperation,
            QStringLiteral("Operação não permitida: %1 está fechado")
                .arg(objectName.isEmpty() ? tableName() : objectName));
}

void DataSet::requireBrowse() const { requireActive(); }

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
    m_calc.assign(static_cast<size_t>(calcSlots), Value {});
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
    fieldsChanged();
    m_db->registerClient(this);
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
    clearValues(m_calc);
    notify(DataEvent::Closed);
    for (DataSet *d : std::as_const(m_details))
        if (d->isActive())
            d->masterChanged();
    if (afterClose)
        afterClose(*this);
    if (m_db)
        m_db->unregisterClient(this);
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
        targets.push_back(
            valueFromVariant(f.type() == FieldType::AutoInc ? FieldType::LargeInt : f.type(), values.value(i), 0));
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
        assignValue(calcSlot(f.m_slot), v);
        return;
    }
    requireActive();
    if (m_state == State::CalcFields) {
        // A value set while calculating is shown and used for that row only; it is never posted.
        Row *r = const_cast<Row *>(activeRow());
        if (r)
            assignValue(r->values[static_cast<size_t>(f.m_slot)], v);
        return;
    }
    if (m_state != State::Edit && m_state != State::Insert)
        throw EngineError(Err::InvalidOperation,
            QStringLiteral("%1 não está em modo de edição").arg(objectName.isEmpty() ? tableName() : objectName));
    if (f.readOnly)
        throw EngineError(Err::InvalidOperation, QStringLiteral("O campo %1 não pode ser alterado").arg(f.name()));
    assignValue(m_editRow.values[static_cast<size_t>(f.m_slot)], v);
    m_modified = true;
    if (f.onChange)
        f.onChange(f);
    if (autoCalcFields)
        calculateFields();
    notify(DataEvent::RowChanged, m_cur);
}

const std::vector<const Field *> &DataSet::lookupKeys(const Field &f)
{
    const size_t slot = static_cast<size_t>(f.m_slot);
    if (m_lookupKeys.size() <= slot)
        m_lookupKeys.resize(slot + 1);
    LookupKeys &k = m_lookupKeys[slot];
    if (k.generation != m_fieldsGeneration || k.keyFields != f.keyFields) {
        k.fields.clear();
        for (const QString &name : f.keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            k.fields.push_back(findField(name.trimmed()));
        k.keyFields = f.keyFields;
        k.generation = m_fieldsGeneration;
    }
    return k.fields;
}

const std::vector<Field *> &DataSet::lookupFields()
{
    if (m_lookupFieldsGeneration != m_fieldsGeneration) {
        m_lookupFields.clear();
        for (const auto &f : m_fields)
            if (f->m_kind == Field::Kind::Lookup)
                m_lookupFields.push_back(f.get());
        m_lookupFieldsGeneration = m_fieldsGeneration;
    }
    return m_lookupFields;
}

void DataSet::setFieldInt(Field &f, std::int64_t v)
{
    // A calculated field set while calculating: the common case of a
    // computed amount, kept without building a value first.
    if (f.m_kind != Field::Kind::Data) {
        Value &slot = calcSlot(f.m_slot);
        if (auto *d = std::get_if<std::int64_t>(&slot))
            *d = v;
        else
            slot.emplace<std::int64_t>(v);
        return;
    }
    setFieldValue(f, Value(v));
}

void DataSet::computeLookups()
{
    for (Field *fp : lookupFields()) {
        Field &f = *fp;
        Value result;
        if (f.lookupDataSet && f.lookupDataSet->isActive()) {
            QVariantList keys;
            bool anyNull = false;
            for (const Field *kf : lookupKeys(f)) {
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
        calcSlot(f.m_slot) = std::move(result);
    }
}

void DataSet::calculateFields()
{
    if (m_calc.empty())
        return;
    const bool editing = m_state == State::Edit || m_state == State::Insert;
    if (!editing)
        clearValues(m_calc);
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
        throw EngineError(Err::ReadOnly,
            QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
    if (beforeInsert)
        beforeInsert(*this);
    if (beforeScroll)
        beforeScroll(*this);
    m_editRow
        = Row {0, m_newDefaults.empty() ? std::vector<Value>(static_cast<size_t>(m_dataFieldCount)) : m_newDefaults};
    // A detail row starts with the master's link values.
    std::vector<std::pair<Field *, Value>> link;
    if (masterLinkValues(link))
        for (auto &[f, v] : link)
            m_editRow.values[static_cast<size_t>(f->m_slot)] = v;
    m_insertPos = m_cur < 0 ? 0 : m_cur;
    m_state = State::Insert;
    m_modified = false;
    clearValues(m_calc);
    if (onNewRecord)
        onNewRecord(*this);
    calculateFields();
    notify(DataEvent::StateChanged, m_cur);
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void DataSet::setNewRecordDefault(const Field &f, const Value &v)
{
    requireActive();
    if (&f.dataSet() != this || f.m_kind != Field::Kind::Data)
        throw EngineError(Err::InvalidOperation,
            QStringLiteral("O campo %1 não é um campo de dados de %2")
                .arg(f.name(), objectName.isEmpty() ? tableName() : objectName));
    m_newDefaults.resize(static_cast<size_t>(m_dataFieldCount));
    m_newDefaults[static_cast<size_t>(f.m_slot)] = v;
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
        throw EngineError(Err::ReadOnly,
            QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
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
    for (const auto &f : m_fields)
        if (f->m_kind == Field::Kind::Data && f->required && isNull(m_editRow.values[static_cast<size_t>(f->m_slot)]))
            throw EngineError(
                Err::RequiredField, QStringLiteral("O campo %1 precisa de um valor").arg(f->label()), tableName());
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
        throw EngineError(Err::ReadOnly,
            QStringLiteral("%1 é somente para leitura").arg(objectName.isEmpty() ? tableName() : objectName));
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
        return m_insertPos >= 0 && m_state == State::Insert
            ? std::min<int>(m_insertPos, static_cast<int>(m_rows.size()))
            : static_cast<int>(m_rows.size());
    const auto it = std::upper_bound(
        m_rows.begin(), m_rows.end(), r, [this](const Row &x, const Row &y) { return compareRows(x, y) < 0; });
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
    if (m_observers.isEmpty())
        return;
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
    m_linkFields = {};
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

const DataSet::LinkFields &DataSet::linkFields() const
{
    LinkFields &l = m_linkFields;
    const quint64 masterGeneration = m_master ? m_master->m_fieldsGeneration : 0;
    if (l.generation != m_fieldsGeneration || l.masterSet != m_master || l.masterGeneration != masterGeneration) {
        l.detail.clear();
        l.master.clear();
        for (int i = 0; i < m_detailFields.size(); ++i) {
            l.detail.push_back(findField(m_detailFields[i]));
            l.master.push_back(m_master ? m_master->findField(m_masterFields.value(i)) : nullptr);
        }
        l.masterSet = m_master;
        l.generation = m_fieldsGeneration;
        l.masterGeneration = masterGeneration;
    }
    return l;
}

bool DataSet::masterLinkValues(std::vector<std::pair<Field *, Value>> &out) const
{
    out.clear();
    if (!m_master)
        return false;
    const LinkFields &l = linkFields();
    const bool masterOnRow = m_master->isActive() && m_master->m_cur >= 0;
    for (size_t i = 0; i < l.detail.size(); ++i) {
        Field *df = l.detail[i];
        if (!df)
            continue;
        Value v;
        if (masterOnRow) {
            if (const Field *mf = l.master[i]) {
                // Whole numbers are kept alike by every integer type: the
                // stored value serves as it is (no trip through QVariant).
                const Value &raw = mf->raw();
                if (isWholeNumber(mf->type()) && isWholeNumber(df->type())
                    && (isNull(raw) || std::holds_alternative<std::int64_t>(raw)))
                    v = raw;
                else
                    v = valueFromVariant(
                        df->type() == FieldType::AutoInc ? FieldType::LargeInt : df->type(), mf->value(), df->size());
            }
        }
        out.emplace_back(df, std::move(v));
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
        // After a rollback a detail being edited is left alone: posting it
        // here would repeat the post that failed.
        if (g_rollbackRefresh > 0 && (d->m_state == State::Edit || d->m_state == State::Insert))
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

} // namespace stb::db
