#include "platform/db/schemasql.h"

#include <QStringList>
#include <sqlite3.h>

namespace stb::db {

QString quoteIdent(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString quoteText(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString physicalIndexName(const IndexDef &ix)
{
    return QStringLiteral("ix_") + (ix.name.isEmpty() ? QStringLiteral("PRIMARY") : ix.name);
}

bool isRowidIndex(const TableDef &def, const IndexDef &ix)
{
    const QStringList f = ix.fieldList();
    if (!ix.isPrimary() || f.size() != 1)
        return false;
    const FieldDef *fd = def.field(f[0]);
    return fd && fd->type == FieldType::AutoInc;
}

QString declaredType(const FieldDef &f)
{
    switch (f.type) {
    case FieldType::SmallInt:
        return QStringLiteral("SMALLINT");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::LargeInt:
        return QStringLiteral("BIGINT");
    case FieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Float:
    case FieldType::Currency:
        return QStringLiteral("REAL"); // REAL affinity keeps SQL arithmetic in floating point
    case FieldType::String:
        return QStringLiteral("VARCHAR(%1)").arg(f.size > 0 ? f.size : 255);
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case FieldType::Boolean:
        return QStringLiteral("BOOLEAN");
    case FieldType::Blob:
        return QStringLiteral("BLOB");
    case FieldType::Unknown:
        break;
    }
    return QStringLiteral("TEXT");
}

QString columnList(const QList<FieldDef> &fields)
{
    QStringList cols;
    for (const FieldDef &f : fields)
        cols << quoteIdent(f.name);
    return cols.join(QStringLiteral(", "));
}

QString convertExpr(const QString &col, const FieldDef &to)
{
    switch (to.type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc:
    case FieldType::Boolean:
        return QStringLiteral("CAST(%1 AS INTEGER)").arg(col);
    case FieldType::Float:
    case FieldType::Currency:
        return QStringLiteral("CAST(%1 AS REAL)").arg(col);
    case FieldType::String:
        return QStringLiteral("substr(CAST(%1 AS TEXT), 1, %2)").arg(col).arg(to.size > 0 ? to.size : 255);
    case FieldType::Memo:
        return QStringLiteral("CAST(%1 AS TEXT)").arg(col);
    default:
        return col;
    }
}

void createIndexes(sqlite3 *db, const QString &schema, const TableDef &def)
{
    for (const IndexDef &ix : def.indexes) {
        if (isRowidIndex(def, ix))
            continue;
        QStringList cols;
        for (const QString &f : ix.fieldList()) {
            if (!def.field(f))
                throw EngineError(Err::FieldNotFound,
                    QStringLiteral("O índice %1 usa o campo %2, que não existe").arg(ix.name, f), def.name);
            QString c = quoteIdent(f);
            if (ix.options & IndexDef::CaseInsensitive)
                c += QStringLiteral(" COLLATE PTCI");
            if (ix.options & IndexDef::Descending)
                c += QStringLiteral(" DESC");
            cols << c;
        }
        const QString sql
            = QStringLiteral("CREATE %1INDEX %2.%3 ON %4 (%5)")
                  .arg(ix.isUnique() ? QStringLiteral("UNIQUE ") : QString(), quoteIdent(schema),
                      quoteIdent(physicalIndexName(ix)), quoteIdent(def.name), cols.join(QStringLiteral(", ")));
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw EngineError((rc & 0xff) == SQLITE_CONSTRAINT ? Err::KeyViolation : Err::SqlError,
                QStringLiteral("Não foi possível criar o índice %1 da tabela %2: %3")
                    .arg(ix.name, def.name, QString::fromUtf8(sqlite3_errmsg(db))),
                def.name);
    }
}

} // namespace stb::db
