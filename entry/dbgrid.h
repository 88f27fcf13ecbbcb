// A data grid bound to a dataset: row select, sorting by a header click
// (a column already sorted ascending loses its sort instead of turning
// descending), the selected row following the dataset's cursor and moving it.
#pragma once

#include "entry/datasetmodel.h"

#include <QSortFilterProxyModel>
#include <QTableView>

namespace stb {

class DBGrid : public QTableView {
    Q_OBJECT

public:
    explicit DBGrid(QWidget *parent = nullptr);

    // Binds the grid to a dataset (nullptr detaches it).
    void setDataSet(db::DataSet *ds);
    db::DataSet *dataSet() const { return m_model ? m_model->dataSet() : nullptr; }
    DataSetModel *dataModel() const { return m_model; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }

    void setColumns(const QList<DataSetModel::Column> &columns);
    void setColumnVisible(const QString &field, bool visible);
    // The column that takes the width left over (instead of the last one).
    void setStretchColumn(const QString &field);
    // The header-click rule, also callable from tests.
    void headerClicked(int column);
    // Row of the dataset shown on a given view row, and back.
    int sourceRow(int viewRow) const;
    int viewRow(int sourceRow) const;

signals:
    void rowDoubleClicked();

private:
    void applyColumns();
    void followCursor(int row);
    void moveCursor(const QModelIndex &current);

    DataSetModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    bool m_syncing = false;
    QString m_stretch;
};

} // namespace stb
