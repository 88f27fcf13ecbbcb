#include "platform/db/pgschema.h"

#include "platform/db/pgconn.h"
#include "platform/db/pgvalue.h"
#include "platform/db/tablemeta.h"

namespace stb::db {

QString pgIdent(const QString &name)
{
    QString q = name.toLower();
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString pgTableName(const QString &table)
{
    return pgIdent(QString::fromLatin1(PgSchema)) + QLatin1Char('.') + pgIdent(table);
}

QString pgIndexName(const TableDef &def, const IndexDef &ix)
{
    // Index names are per schema on the server: the table's name goes in front.
    return (def.name + QLatin1Char('_') + (ix.name.isEmpty() ? QStringLiteral("primary") : ix.name)).toLower().left(63);
}

QString pgOrderTerm(const QString &field, FieldType type, bool caseInsensitive, bool descending)
{
    QString c = pgIdent(field);
    // Upper case by the database's own rules (accented letters too), then
    // compared by code point as the engine does.
    if (type == FieldType::String || type == FieldType::Memo)
        c = (caseInsensitive ? QStringLiteral("upper(%1)").arg(c) : c) + QStringLiteral(" COLLATE \"C\"");
    return c + (descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
}

namespace {

QString indexName(const TableDef &def, const IndexDef &ix) { return pgIdent(pgIndexName(def, ix)); }

QString indexColumns(const TableDef &def, const IndexDef &ix)
{
    QStringList cols;
    for (const QString &f : ix.fieldList()) {
        const FieldDef *fd = def.field(f);
        if (!fd)
            throw EngineError(Err::FieldNotFound,
                QStringLiteral("O índice %1 usa o campo %2, que não existe").arg(ix.name, f), def.name);
        // Case-insensitive order and uniqueness: on the upper-case text; the
        // index serves the datasets' order (see pgOrderTerm).
        cols << pgOrderTerm(
            fd->name, fd->type, ix.options & IndexDef::CaseInsensitive, ix.options & IndexDef::Descending);
    }
    return cols.join(QStringLiteral(", "));
}

} // namespace

QStringList pgCreateTableSql(const TableDef &def)
{
    QStringList cols;
    for (const FieldDef &f : def.fields)
        cols << pgIdent(f.name) + QLatin1Char(' ') + pgColumnType(f)
                + (f.required ? QStringLiteral(" NOT NULL") : QString());
    cols << QStringLiteral("%1 bigserial NOT NULL").arg(pgIdent(QString::fromLatin1(PgRowIdColumn)));
    cols << QStringLiteral("CONSTRAINT %1 UNIQUE (%2)")
                .arg(pgIdent(QString(def.name + QStringLiteral("_stb_rowid")).left(63)),
                    pgIdent(QString::fromLatin1(PgRowIdColumn)));
    const IndexDef *pk = def.primaryIndex();
    // A primary key on plain columns; a case-insensitive one is a unique index
    // on the upper-case text instead.
    if (pk && !(pk->options & IndexDef::CaseInsensitive)) {
        QStringList keyCols;
        for (const QString &f : pk->fieldList()) {
            if (!def.field(f))
                throw EngineError(Err::FieldNotFound,
                    QStringLiteral("A chave primária usa o campo %1, que não existe").arg(f), def.name);
            keyCols << pgIdent(f);
        }
        cols << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                    .arg(indexName(def, *pk), keyCols.join(QStringLiteral(", ")));
    }
    QStringList out;
    out << QStringLiteral("CREATE TABLE %1 (%2)").arg(pgTableName(def.name), cols.join(QStringLiteral(", ")));
    for (const IndexDef &ix : def.indexes) {
        if (pk && &ix == pk && !(ix.options & IndexDef::CaseInsensitive))
            continue;
        out << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                   .arg(ix.isUnique() ? QStringLiteral("UNIQUE ") : QString(), indexName(def, ix),
                       pgTableName(def.name), indexColumns(def, ix));
    }
    return out;
}

void pgEnsureSchema(PgConnection &c)
{
    c.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS %1").arg(pgIdent(QString::fromLatin1(PgSchema))));
    c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (tabela varchar(64) NOT NULL, pasta varchar(16) NOT NULL "
                          "DEFAULT '', versao varchar(8) NOT NULL, definicao text NOT NULL)")
               .arg(pgTableName(QString::fromLatin1(PgCatalog))));
    c.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS stb_catalogo_tabela ON %1 (lower(tabela))")
               .arg(pgTableName(QString::fromLatin1(PgCatalog))));
}

void pgCreateTable(PgConnection &c, const TableDef &def, const QString &version, const QString &folder)
{
    c.exec(QStringLiteral("INSERT INTO %1 (tabela, pasta, versao, definicao) VALUES ($1, $2, $3, $4)")
               .arg(pgTableName(QString::fromLatin1(PgCatalog))),
        QList<QByteArray> {
            def.name.toUtf8(), pgTextOf(FieldType::String, folder), version.toUtf8(), definitionJson(def)},
        def.name);
    for (const QString &sql : pgCreateTableSql(def))
        c.exec(sql, QList<QByteArray> {}, def.name);
}

QList<PgCatalogEntry> pgCatalogEntries(PgConnection &c)
{
    QList<PgCatalogEntry> out;
    const PgResult exists = c.exec(QStringLiteral("SELECT to_regclass($1) IS NOT NULL"),
        QList<QByteArray> {
            (QString::fromLatin1(PgSchema) + QLatin1Char('.') + QString::fromLatin1(PgCatalog)).toUtf8()});
    if (exists.text(0, 0) != "t")
        return out;
    const PgResult r = c.exec(QStringLiteral("SELECT tabela, pasta, versao, definicao FROM %1 ORDER BY lower(tabela)")
                                  .arg(pgTableName(QString::fromLatin1(PgCatalog))));
    for (int i = 0; i < r.rows(); ++i) {
        PgCatalogEntry e;
        if (!definitionFromJson(r.text(i, 3).toByteArray(), e.def))
            throw EngineError(Err::DataDamaged,
                QStringLiteral("A definição da tabela %1 no catálogo do servidor está danificada").arg(r.string(i, 0)),
                r.string(i, 0));
        e.def.name = r.string(i, 0);
        e.folder = r.string(i, 1);
        e.version = r.string(i, 2);
        out << e;
    }
    return out;
}

void pgSyncAutoIncrement(PgConnection &c, const TableDef &def)
{
    for (const FieldDef &f : def.fields) {
        if (f.type != FieldType::AutoInc)
            continue;
        c.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), COALESCE(MAX(%1), 0) + 1, false) FROM %2")
                   .arg(pgIdent(f.name), pgTableName(def.name)),
            QList<QByteArray> {(QString::fromLatin1(PgSchema) + QLatin1Char('.') + def.name.toLower()).toUtf8(),
                f.name.toLower().toUtf8()},
            def.name);
    }
}

PgRowWriter::PgRowWriter(PgConnection &c, const TableDef &def) : m_c(c), m_def(def)
{
    m_perStatement = qMax(1, qMin(500, 30000 / qMax(1, static_cast<int>(def.fields.size()))));
}

void PgRowWriter::add(QList<QByteArray> &&row)
{
    m_params.append(std::move(row));
    if (++m_rows == m_perStatement)
        flush();
}

void PgRowWriter::flush()
{
    if (m_rows == 0)
        return;
    const int n = static_cast<int>(m_def.fields.size());
    QStringList cols, tuples;
    for (const FieldDef &f : m_def.fields)
        cols << pgIdent(f.name);
    for (int r = 0; r < m_rows; ++r) {
        QStringList ph;
        for (int i = 0; i < n; ++i)
            ph << QStringLiteral("$%1").arg(r * n + i + 1);
        tuples << QLatin1Char('(') + ph.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    m_c.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                 .arg(pgTableName(m_def.name), cols.join(QLatin1Char(',')), tuples.join(QLatin1Char(','))),
        m_params, m_def.name);
    m_params.clear();
    m_rows = 0;
}

} // namespace stb::db
