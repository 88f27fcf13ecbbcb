#include "entry/dbgrid.h"

#include <QHeaderView>

namespace stb {

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSortRole(DataSetModel::SortRole);
    m_proxy->setDynamicSortFilter(false);
    setModel(m_proxy);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
    // Sorting is driven by the header rule below, not by the view.
    setSortingEnabled(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DBGrid::headerClicked);
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex &) { emit rowDoubleClicked(); });
}

void DBGrid::setDataSet(db::DataSet *ds)
{
    if (m_model) {
        m_proxy->setSourceModel(nullptr);
        delete m_model;
        m_model = nullptr;
    }
    if (!ds)
        return;
    m_model = new DataSetModel(ds, this);
    m_proxy->setSourceModel(m_model);
    connect(m_model, &DataSetModel::currentRowChanged, this, &DBGrid::followCursor);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current, const QModelIndex &) { moveCursor(current); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_proxy->invalidate();
        applyColumns();
    });
    if (ds->isActive())
        followCursor(ds->currentRow());
}

void DBGrid::setColumns(const QList<DataSetModel::Column> &columns)
{
    if (!m_model)
        return;
    m_model->setColumns(columns);
    applyColumns();
}

void DBGrid::setColumnVisible(const QString &field, bool visible)
{
    if (!m_model)
        return;
    m_model->setColumnVisible(field, visible);
    applyColumns();
}

void DBGrid::setStretchColumn(const QString &field)
{
    m_stretch = field;
    applyColumns();
}

void DBGrid::applyColumns()
{
    if (!m_model)
        return;
    const QList<DataSetModel::Column> &cols = m_model->columns();
    const int stretch = m_stretch.isEmpty() ? -1 : m_model->columnOf(m_stretch);
    horizontalHeader()->setStretchLastSection(stretch < 0);
    // Widths are in characters; digits are wider than the average letter.
    const int charWidth = std::max(fontMetrics().averageCharWidth(), fontMetrics().horizontalAdvance(QLatin1Char('0')));
    for (int i = 0; i < cols.size(); ++i) {
        setColumnHidden(i, !cols[i].visible);
        int chars = cols[i].width;
        if (chars <= 0) {
            const QString caption = m_model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
            chars = std::max<int>(static_cast<int>(caption.size()) + 2, 8);
        }
        horizontalHeader()->setSectionResizeMode(i, i == stretch ? QHeaderView::Stretch : QHeaderView::Interactive);
        if (i != stretch)
            setColumnWidth(i, chars * charWidth + 12);
    }
}

void DBGrid::headerClicked(int column)
{
    if (m_proxy->sortColumn() == column && m_proxy->sortOrder() == Qt::AscendingOrder) {
        m_proxy->sort(-1);
        m_proxy->invalidate();
        horizontalHeader()->setSortIndicatorShown(false);
    } else {
        m_proxy->sort(column, Qt::AscendingOrder);
        horizontalHeader()->setSortIndicatorShown(true);
        horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
    }
    if (dataSet() && dataSet()->isActive())
        followCursor(dataSet()->currentRow());
}

int DBGrid::sourceRow(int viewRow) const { return m_proxy->mapToSource(m_proxy->index(viewRow, 0)).row(); }

int DBGrid::viewRow(int sourceRow) const
{
    if (!m_model)
        return -1;
    return m_proxy->mapFromSource(m_model->index(sourceRow, 0)).row();
}

void DBGrid::followCursor(int row)
{
    if (m_syncing || !m_model)
        return;
    m_syncing = true;
    const int v = row >= 0 ? viewRow(row) : -1;
    if (v >= 0) {
        const QModelIndex idx = m_proxy->index(v, 0);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    m_syncing = false;
}

void DBGrid::moveCursor(const QModelIndex &current)
{
    if (m_syncing || !current.isValid() || !m_model)
        return;
    db::DataSet *ds = m_model->dataSet();
    const int src = m_proxy->mapToSource(current).row();
    if (!ds->isActive() || src < 0 || src == ds->currentRow() || ds->state() != db::DataSet::State::Browse)
        return;
    m_syncing = true;
    ds->setRecNo(src + 1);
    m_syncing = false;
}

} // namespace stb
