#include "platform/db/query.h"

#include "platform/db/serverbackend.h"
#include "platform/db/sqltranslate.h"
#include "platform/db/sqlvalue.h"
#include "platform/db/stmtguard.h"

#include <sqlite3.h>

namespace stb::db {

namespace {

// A result column's name made unique among the columns before it.
QString uniqueName(QStringList &used, const QString &name)
{
    QString unique = name;
    for (int k = 1; used.contains(unique, Qt::CaseInsensitive); ++k)
        unique = name + QLatin1Char('_') + QString::number(k);
    used << unique;
    return unique;
}

} // namespace

Query::Query(Database *db) : DataSet(db) {}

void Query::setSql(const QString &text) { m_sql = text.split(QLatin1Char('\n')); }

Param &Query::paramByName(const QString &name)
{
    for (Param &p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    m_params << Param {name, {}};
    return m_params.back();
}

void Query::setFieldType(const QString &name, FieldType type, int size)
{
    m_declared.insert(name.toLower(), {type, size});
    ++m_declaredVersion;
}

sqlite3_stmt *Query::prepareAndBind(QStringList *)
{
    Database *db = database();
    // A query run again and again (one invoice after another) keeps its
    // text: it is translated once.
    if (!m_translated || m_sql != m_translatedLines) {
        const QString text = sqlText();
        if (!m_translated || text != m_translatedFrom) {
            m_translated = translateSql(text);
            m_translatedFrom = text;
        }
        m_translatedLines = m_sql;
    }
    const TranslatedSql &tr = *m_translated;
    m_castTypes = tr.castTypes;
    m_castSizes = tr.castSizes;
    sqlite3_stmt *st = db->prepare(tr.sql, tr.tables);
    const bool sameStatement = st == m_shapeStmt && m_shapeEpoch == db->statementEpoch() && !db->isTemporary(st);
    if (!sameStatement || m_paramSlotsFor != m_params.size()) {
        // Parameters by name; unbound ones are null.
        const int n = sqlite3_bind_parameter_count(st);
        m_paramSlots.assign(static_cast<size_t>(n) + 1, -1);
        for (int i = 1; i <= n; ++i) {
            const char *pn = sqlite3_bind_parameter_name(st, i);
            if (!pn)
                continue;
            const QString name = QString::fromUtf8(pn + 1);
            for (qsizetype k = 0; k < m_params.size(); ++k)
                if (m_params[k].name.compare(name, Qt::CaseInsensitive) == 0)
                    m_paramSlots[static_cast<size_t>(i)] = static_cast<int>(k);
        }
        m_paramSlotsFor = db->isTemporary(st) ? -1 : m_params.size();
        m_shapeStmt = st;
        m_shapeEpoch = db->statementEpoch();
        m_shapeDeclared = 0; // the columns are found again for this statement
    }
    for (size_t i = 1; i < m_paramSlots.size(); ++i) {
        if (m_paramSlots[i] < 0)
            continue;
        const QVariant &v = m_params[m_paramSlots[i]].value;
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
        bindValue(st, static_cast<int>(i), t, valueFromVariant(t, v));
    }
    return st;
}

void Query::openImpl()
{
    // Fields come from the statement's result columns (fetchRows defines them).
    m_fieldsDefined = false;
}

QVariantMap Query::paramValues() const
{
    QVariantMap out;
    for (const Param &p : m_params)
        out.insert(p.name, p.value);
    return out;
}

void Query::fetchRows()
{
    Database *db = database();
    if (ServerBackend *s = db->server()) {
        ServerBackend::Result res = s->runSql(sqlText(), paramValues(), m_declared);
        if (!m_fieldsDefined) {
            QStringList used;
            for (const ServerBackend::Column &c : res.columns)
                addDataField(
                    uniqueName(used, c.name), c.type == FieldType::Unknown ? FieldType::String : c.type, c.size, false);
            m_fieldsDefined = true;
        }
        m_rows = std::move(res.rows);
        return;
    }
    sqlite3_stmt *st = prepareAndBind(nullptr);
    StmtGuard guard {st};
    const int ncol = sqlite3_column_count(st);
    std::vector<Row> rows;
    int rc = db->step(st);
    if (!m_fieldsDefined) {
        if (m_shapeDeclared != m_declaredVersion || db->isTemporary(st)) {
            // Names made unique, and the types the statement itself gives:
            // declared, cast, or the stored column's.
            m_columns.assign(static_cast<size_t>(ncol), Column {});
            QStringList used;
            for (int c = 0; c < ncol; ++c) {
                Column &col = m_columns[static_cast<size_t>(c)];
                col.name = uniqueName(used, QString::fromUtf8(sqlite3_column_name(st, c)));
                const auto decl = m_declared.constFind(col.name.toLower());
                if (decl != m_declared.cend()) {
                    col.type = decl->first;
                    col.size = decl->second;
                } else if (c < m_castTypes.size() && m_castTypes[c] != FieldType::Unknown) {
                    col.type = m_castTypes[c];
                    col.size = m_castSizes.value(c);
                } else if (const char *origin = sqlite3_column_origin_name(st, c)) {
                    const char *schema = sqlite3_column_database_name(st, c);
                    const char *table = sqlite3_column_table_name(st, c);
                    if (const FieldDef *fd = db->originField(QString::fromUtf8(schema ? schema : ""),
                            QString::fromUtf8(table ? table : ""), QString::fromUtf8(origin))) {
                        col.type = fd->type == FieldType::AutoInc ? FieldType::Integer : fd->type;
                        col.size = fd->size;
                    }
                }
            }
            m_shapeDeclared = m_declaredVersion;
        }
        m_readTypes.assign(static_cast<size_t>(ncol), FieldType::Unknown);
        for (int c = 0; c < ncol; ++c) {
            const Column &col = m_columns[static_cast<size_t>(c)];
            FieldType type = col.type;
            if (type == FieldType::Unknown) {
                // An expression: values keep their own kind; the type only guides presentation.
                type = rc == SQLITE_ROW ? typeOfColumnValue(st, c) : FieldType::String;
            } else {
                m_readTypes[static_cast<size_t>(c)] = type;
            }
            addDataField(col.name, type, col.size, false);
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
    if (ServerBackend *s = db->server()) {
        m_rowsAffected = s->runSql(sqlText(), paramValues()).affected;
        return m_rowsAffected;
    }
    sqlite3_stmt *st = prepareAndBind(nullptr);
    StmtGuard guard {st};
    int rc;
    while ((rc = db->step(st)) == SQLITE_ROW) {}
    if (rc != SQLITE_DONE)
        db->raise(sqlite3_extended_errcode(db->connection()), {}, QStringLiteral("executar"));
    m_rowsAffected = sqlite3_changes(db->connection());
    return m_rowsAffected;
}

} // namespace stb::db
