#include "platform/db/table.h"

#include "platform/db/schemasql.h"
#include "platform/db/sqlvalue.h"
#include "platform/db/stmtguard.h"

#include <algorithm>
#include <sqlite3.h>

namespace stb::db {

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
        const TableDef *def;
        if (ServerBackend *s = db->server()) {
            m_serverDef = s->tableDef(m_tableName);
            m_sqlName.clear();
            def = &m_serverDef;
        } else {
            Database::TableInfo &info = db->useTable(m_tableName);
            m_sqlName = info.sqlName;
            def = &info.def;
        }
        for (const FieldDef &fd : def->fields)
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

const TableDef &Table::storedDef()
{
    return database()->server() ? m_serverDef : database()->useTable(m_tableName).def;
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
        const TableDef &def = storedDef();
        const IndexDef *ix = nullptr;
        if (m_indexName.isEmpty() || m_indexName.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0)
            ix = def.primaryIndex();
        else
            ix = def.index(m_indexName);
        if (!ix && !m_indexName.isEmpty())
            throw EngineError(Err::InvalidOperation,
                QStringLiteral("O índice %1 não existe na tabela %2").arg(m_indexName, m_tableName), m_tableName);
        if (ix)
            for (const QString &f : ix->fieldList())
                cols << std::make_pair(f, ix->options);
    }
    QStringList sql;
    m_serverOrder.clear();
    for (const auto &[name, opts] : cols) {
        const Field *f = findField(name);
        if (!f || f->kind() != Field::Kind::Data)
            throw EngineError(Err::FieldNotFound,
                QStringLiteral("Campo '%1' não encontrado na tabela %2").arg(name, m_tableName), m_tableName);
        const bool ci = opts & IndexDef::CaseInsensitive;
        const bool desc = opts & IndexDef::Descending;
        m_order.push_back({f->m_slot, desc, ci});
        m_serverOrder.push_back({f->name(), desc, ci});
        sql << quoteIdent(f->name()) + (ci ? QStringLiteral(" COLLATE PTCI") : QString())
                + (desc ? QStringLiteral(" DESC") : QString());
    }
    sql << QStringLiteral("rowid");
    m_orderSql = sql.join(QStringLiteral(", "));
}

QString Table::selectList() const
{
    QStringList cols {QStringLiteral("rowid")};
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
    std::vector<std::pair<Field *, Value>> link;
    const bool detail = masterLinkValues(link);
    if (ServerBackend *s = db->server()) {
        QList<ServerBackend::Filter> filters;
        if (detail)
            for (const auto &[f, v] : link)
                filters.push_back({f->name(), f->type(), v});
        if (m_fetchFields != fieldsGeneration())
            buildStatements();
        m_rows = s->readRows(m_tableName, m_serverCols, m_serverOrder, filters);
        return;
    }
    Database::TableInfo &info = db->useTable(m_tableName);
    m_sqlName = info.sqlName;
    // A detail table reads its rows again for every master row: the text of
    // the statement is built once while the table, its order and its link
    // stay the same.
    const size_t links = detail ? link.size() : 0;
    if (m_fetchSql.isEmpty() || m_fetchSqlName != m_sqlName || m_fetchOrder != m_orderSql || m_fetchLinks != links
        || m_fetchFields != fieldsGeneration()) {
        QString sql = QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ") + m_sqlName;
        if (links) {
            QStringList conds;
            for (size_t i = 0; i < link.size(); ++i)
                conds << quoteIdent(link[i].first->name()) + QStringLiteral(" = ?") + QString::number(i + 1);
            sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
        }
        sql += QStringLiteral(" ORDER BY ") + m_orderSql;
        m_fetchSql = sql;
        m_fetchSqlName = m_sqlName;
        m_fetchOrder = m_orderSql;
        m_fetchLinks = links;
        m_fetchFields = fieldsGeneration();
        m_fetchTypes.clear();
        for (int i = 0; i < fieldCount(); ++i)
            if (field(i).kind() == Field::Kind::Data)
                m_fetchTypes.push_back(field(i).type());
    }
    // The statement is kept while the database keeps its prepared statements
    // (a detail reads again for every master row).
    sqlite3_stmt *&st = m_fetchStmt;
    if (st && db->isConnected() && m_fetchEpoch == db->statementEpoch() && m_fetchStmtSql == m_fetchSql) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    } else {
        st = db->prepare(m_fetchSql, {m_tableName});
        m_fetchEpoch = db->statementEpoch();
        m_fetchStmtSql = m_fetchSql;
    }
    StmtGuard guard {st};
    for (size_t i = 0; i < link.size(); ++i)
        bindValue(st, static_cast<int>(i + 1), link[i].first->type(), link[i].second);
    const std::vector<FieldType> &types = m_fetchTypes;
    std::vector<Row> rows;
    rows.reserve(m_rows.size()); // a detail's next master row has about as many
    int rc;
    bool firstStep = true;
    while ((rc = firstStep ? db->step(st) : sqlite3_step(st)) == SQLITE_ROW) {
        firstStep = false;
        Row &r = rows.emplace_back();
        r.rowid = sqlite3_column_int64(st, 0);
        r.values.reserve(types.size());
        for (size_t c = 0; c < types.size(); ++c)
            r.values.push_back(readColumn(st, static_cast<int>(c + 1), types[c]));
    }
    if (rc != SQLITE_DONE)
        db->raise(rc, m_tableName, QStringLiteral("ler"));
    m_rows = std::move(rows);
}

void Table::buildStatements()
{
    m_dataFields.clear();
    m_autoinc = nullptr;
    m_serverCols.clear();
    m_serverAutoinc = -1;
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).kind() == Field::Kind::Data) {
            const Field &f = field(i);
            if (f.type() == FieldType::AutoInc) {
                m_autoinc = &f;
                m_serverAutoinc = static_cast<int>(m_dataFields.size());
            }
            m_dataFields.push_back(&f);
            m_serverCols.push_back({f.name(), f.type(), f.size(), f.required});
        }
    if (database()->server()) {
        m_fetchFields = fieldsGeneration();
        return;
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
    m_stmtSql[InsertAll]
        = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_sqlName, all.join(comma), allParams.join(comma));
    m_stmtSql[InsertNoAuto] = noAuto.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_sqlName)
                                               : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                     .arg(m_sqlName, noAuto.join(comma), noAutoParams.join(comma));
    m_stmtSql[Update]
        = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3").arg(m_sqlName, sets.join(comma)).arg(all.size() + 1);
    m_stmtSql[Delete] = QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(m_sqlName);
    m_stmtSql[Reread] = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(all.join(comma), m_sqlName);
    std::fill(std::begin(m_stmt), std::end(m_stmt), nullptr);
}

sqlite3_stmt *Table::statement(StmtKind kind)
{
    Database *db = database();
    sqlite3_stmt *&st = m_stmt[kind];
    if (st && db->isConnected() && m_stmtEpoch[kind] == db->statementEpoch()) {
        // Every caller binds each parameter again: no need to clear them.
        sqlite3_reset(st);
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
    if (ServerBackend *s = db->server())
        return s->insertRow(m_tableName, m_serverCols, r, m_serverAutoinc);
    const bool autoNull = m_autoinc && isNull(r.values[static_cast<size_t>(m_autoinc->m_slot)]);
    sqlite3_stmt *st = statement(autoNull ? InsertNoAuto : InsertAll);
    StmtGuard guard {st};
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
    if (ServerBackend *s = db->server()) {
        if (!s->updateRow(m_tableName, m_serverCols, r))
            throw EngineError(
                Err::RecordDeleted, QStringLiteral("O registro foi excluído por outro usuário"), m_tableName);
        return;
    }
    sqlite3_stmt *st = statement(Update);
    StmtGuard guard {st};
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
    if (ServerBackend *s = db->server())
        return s->deleteRow(m_tableName, r.rowid);
    sqlite3_stmt *st = statement(Delete);
    StmtGuard guard {st};
    sqlite3_bind_int64(st, 1, r.rowid);
    const int rc = db->step(st);
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), m_tableName, QStringLiteral("excluir"));
}

bool Table::rereadRowImpl(Row &r)
{
    Database *db = database();
    if (ServerBackend *s = db->server())
        return s->rereadRow(m_tableName, m_serverCols, r);
    sqlite3_stmt *st = statement(Reread);
    StmtGuard guard {st};
    sqlite3_bind_int64(st, 1, r.rowid);
    const int rc = db->step(st);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        db->raise(rc, m_tableName, QStringLiteral("ler"));
    for (size_t c = 0; c < m_dataFields.size(); ++c)
        r.values[static_cast<size_t>(m_dataFields[c]->m_slot)]
            = readColumn(st, static_cast<int>(c), m_dataFields[c]->type());
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
        keys.push_back(valueFromVariant(
            f->type() == FieldType::AutoInc ? FieldType::LargeInt : f->type(), values[static_cast<int>(k)], f->size()));
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

} // namespace stb::db
