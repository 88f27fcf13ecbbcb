// A read-only dataset over the rows of an SQL statement of the engine's
// dialect, with named parameters; also runs statements that return no rows.
#pragma once

#include "platform/db/datasetbase.h"
#include "platform/db/sqltranslate.h"

#include <QHash>
#include <QStringList>
#include <optional>

struct sqlite3_stmt;

namespace stb::db {

// A parameter of a query.
struct Param {
    QString name;
    QVariant value;
    void setAsInteger(qint64 v) { value = v; }
    void setAsString(const QString &v) { value = v; }
    void setAsFloat(double v) { value = v; }
    void setAsCurrency(Currency v) { value = QVariant::fromValue(v); }
    void setAsDate(const QDate &v) { value = v; }
    void setAsDateTime(const QDateTime &v) { value = v; }
    void setAsBoolean(bool v) { value = v; }
    void clear() { value = QVariant(); }
};

// A dataset over the rows of an SQL statement (read-only).
class Query : public DataSet {
public:
    explicit Query(Database *db = nullptr);

    // The statement as lines; callers may replace single lines before opening.
    QStringList &sql() { return m_sql; }
    void setSql(const QString &text);
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }

    Param &paramByName(const QString &name);
    // Declares the type of a result column (as persistent fields do).
    void setFieldType(const QString &name, FieldType type, int size = 0);

    // Runs a statement that returns no rows; returns the number of rows changed.
    int execSql();
    int rowsAffected() const { return m_rowsAffected; }

protected:
    void openImpl() override;
    void fetchRows() override;

private:
    sqlite3_stmt *prepareAndBind(QStringList *castTables);
    QVariantMap paramValues() const;

    QStringList m_sql;
    QList<Param> m_params;
    QHash<QString, std::pair<FieldType, int>> m_declared;
    int m_rowsAffected = 0;
    QList<FieldType> m_castTypes;
    QList<int> m_castSizes;
    bool m_fieldsDefined = false;
    // How each column is read: its field's type, or Unknown for an expression,
    // whose values keep their own kind.
    std::vector<FieldType> m_readTypes;
    // The last text run (its lines and their join) and its translation.
    QStringList m_translatedLines;
    QString m_translatedFrom;
    std::optional<TranslatedSql> m_translated;
    // A query opened again and again (one invoice after another) runs the
    // same prepared statement: which parameter each of its slots takes, and
    // the result columns whose type does not depend on the rows, are worked
    // out once for it.
    struct Column {
        QString name;
        FieldType type = FieldType::Unknown; // Unknown: judged by the first row's value
        int size = 0;
    };
    sqlite3_stmt *m_shapeStmt = nullptr;
    quint64 m_shapeEpoch = 0;
    quint64 m_shapeDeclared = 0;
    std::vector<Column> m_columns;
    std::vector<int> m_paramSlots; // by statement parameter (from 1): index in m_params, or -1
    qsizetype m_paramSlotsFor = -1; // size of m_params the slots were found for
    quint64 m_declaredVersion = 1;
};

} // namespace stb::db
