#include "entry/datasetmodel.h"

#include <QFont>

namespace stb {

using db::DataEvent;
using db::FieldType;

DataSetModel::DataSetModel(db::DataSet *ds, QObject *parent) : QAbstractTableModel(parent), m_ds(ds)
{
    m_ds->addObserver(this);
    m_rows = m_ds->isActive() ? m_ds->recordCount() : 0;
}

DataSetModel::~DataSetModel() { m_ds->removeObserver(this); }

void DataSetModel::setColumns(const QList<Column> &columns)
{
    beginResetModel();
    m_columns = columns;
    rebindFields();
    m_cache.clear();
    endResetModel();
}

void DataSetModel::setColumnsFromFields()
{
    QList<Column> cols;
    if (m_ds->isActive())
        for (db::Field *f : m_ds->fields())
            if (f->visible)
                cols << Column {f->name(), {}, 0, true, {}};
    setColumns(cols);
}

int DataSetModel::columnOf(const QString &field) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataSetModel::setColumnVisible(const QString &field, bool visible)
{
    const int c = columnOf(field);
    if (c >= 0)
        m_columns[c].visible = visible;
}

void DataSetModel::rebindFields()
{
    m_fields.clear();
    for (const Column &c : m_columns)
        m_fields << (m_ds->isActive() ? m_ds->findField(c.field) : nullptr);
}

db::Field *DataSetModel::fieldOf(int column) const
{
    if (column < 0 || column >= m_fields.size())
        return nullptr;
    return m_fields[column];
}

int DataSetModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows; }
int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

const std::vector<db::Value> &DataSetModel::rowValues(int row) const
{
    auto it = m_cache.find(row);
    if (it == m_cache.end())
        it = m_cache.emplace(row, m_ds->rowForDisplay(row)).first;
    return it->second;
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_ds->isActive() || index.row() >= m_ds->recordCount())
        return {};
    db::Field *f = fieldOf(index.column());
    if (!f)
        return {};
    if (role == Qt::TextAlignmentRole) {
        switch (f->type()) {
        case FieldType::Currency:
        case FieldType::Float:
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::LargeInt:
        case FieldType::AutoInc:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    if (role != Qt::DisplayRole && role != SortRole && role != Qt::ToolTipRole)
        return {};
    const std::vector<db::Value> &values = rowValues(index.row());
    const db::Value &v = values[static_cast<size_t>(f->index())];
    if (role == SortRole) {
        if (const auto *s = std::get_if<QString>(&v))
            return s->toUpper();
        return db::variantFromValue(f->type(), v);
    }
    const Column &col = m_columns[index.column()];
    if (col.text)
        return col.text(*f, v);
    return f->formatValue(v);
}

QVariant DataSetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, o, role);
    if (role == Qt::DisplayRole) {
        const Column &c = m_columns[section];
        if (!c.caption.isEmpty())
            return c.caption;
        if (db::Field *f = fieldOf(section))
            return f->label();
        return c.field;
    }
    return {};
}

void DataSetModel::dataSetEvent(db::DataSet &, DataEvent event, int row)
{
    switch (event) {
    case DataEvent::CurrentChanged:
        emit currentRowChanged(row);
        return;
    case DataEvent::StateChanged:
        return;
    case DataEvent::RowChanged:
        if (row >= 0 && row < m_rows) {
            m_cache.erase(row);
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            return;
        }
        break;
    default:
        break;
    }
    // Anything else: rows may have moved, appeared or gone.
    beginResetModel();
    rebindFields();
    m_cache.clear();
    m_rows = m_ds->isActive() ? m_ds->recordCount() : 0;
    endResetModel();
    if (m_ds->isActive())
        emit currentRowChanged(m_ds->currentRow());
}

} // namespace stb
