// TFormDlgGrid: a sizeable dialog with a data grid (dxDBGrid) over its own
// query (Qry); a double click on the grid clicks BtnOk.
#pragma once

#include "entry/dbgrid.h"
#include "entry/formdlg.h"
#include "platform/db/dataset.h"

#include <QVBoxLayout>

namespace stb {

class TFormDlgGrid : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgGrid(db::Database *database, QWidget *parent = nullptr);
    ~TFormDlgGrid() override;

    DBGrid *dxDBGrid = nullptr;
    db::Query Qry;

protected:
    // Layout of the body: a row for buttons above the grid.
    QHBoxLayout *topRow() const { return m_topRow; }

private:
    QHBoxLayout *m_topRow = nullptr;
};

} // namespace stb
