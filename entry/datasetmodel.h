// A Qt item model over a dataset of the engine: one row per dataset row, one
// column per chosen field, text as the field displays it (display formats,
// lookup and calculated fields computed for each shown row).
#pragma once

#include "platform/db/dataset.h"

#include <QAbstractTableModel>
#include <unordered_map>

namespace stb {

class DataSetModel : public QAbstractTableModel, public db::DataSetObserver {
    Q_OBJECT

public:
    struct Column {
        QString field;
        QString caption; // the field's label when empty
        int width = 0; // in characters; 0: the field's display width or a guess
        bool visible = true;
        // Replaces the shown text of a value (for example a code shown by name).
        std::function<QString(const db::Field &, const db::Value &)> text;
    };

    // Sort role: the stored value, so numbers and dates sort by value.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit DataSetModel(db::DataSet *ds, QObject *parent = nullptr);
    ~DataSetModel() override;

    db::DataSet *dataSet() const { return m_ds; }
    void setColumns(const QList<Column> &columns);
    // One column per visible field of the open dataset.
    void setColumnsFromFields();
    const QList<Column> &columns() const { return m_columns; }
    int columnOf(const QString &field) const;
    void setColumnVisible(const QString &field, bool visible);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void dataSetEvent(db::DataSet &ds, db::DataEvent event, int row) override;

signals:
    void currentRowChanged(int row);

private:
    const std::vector<db::Value> &rowValues(int row) const;
    db::Field *fieldOf(int column) const;
    void rebindFields();

    db::DataSet *m_ds;
    QList<Column> m_columns;
    mutable QList<db::Field *> m_fields;
    mutable std::unordered_map<int, std::vector<db::Value>> m_cache;
    int m_rows = 0;
};

} // namespace stb
