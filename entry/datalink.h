// A link from a widget to a dataset: a callback run on every change of the
// dataset (rows, current row, state), removed with the link.
#pragma once

#include "platform/db/dataset.h"

#include <QObject>
#include <functional>

namespace stb {

class DataLink : public QObject, public db::DataSetObserver {
public:
    DataLink(db::DataSet *ds, std::function<void()> onChange, QObject *parent = nullptr)
        : QObject(parent),
          m_ds(ds),
          m_onChange(std::move(onChange))
    {
        m_ds->addObserver(this);
    }
    ~DataLink() override { m_ds->removeObserver(this); }
    void dataSetEvent(db::DataSet &, db::DataEvent, int) override
    {
        if (m_onChange)
            m_onChange();
    }
    db::DataSet *dataSet() const { return m_ds; }

private:
    db::DataSet *m_ds;
    std::function<void()> m_onChange;
};

} // namespace stb
