#include "entry/formdlggrid.h"

#include <QLayout>
#include <QPushButton>

namespace stb {

TFormDlgGrid::TFormDlgGrid(db::Database *database, QWidget *parent) : TFormDlg(parent), Qry(database)
{
    setWindowFlags(windowFlags() & ~Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(true);
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(0, 0, 0, 0);
    m_topRow = new QHBoxLayout;
    layout->addLayout(m_topRow);
    dxDBGrid = new DBGrid(body());
    dxDBGrid->setObjectName(QStringLiteral("dxDBGrid"));
    layout->addWidget(dxDBGrid, 1);
    Qry.objectName = QStringLiteral("Qry");
    connect(dxDBGrid, &DBGrid::rowDoubleClicked, this, [this] { BtnOk->click(); });
    // The arrows move through the rows from the first key; Enter takes the row.
    dxDBGrid->setFocus();
    resize(640, 420);
}

TFormDlgGrid::~TFormDlgGrid()
{
    // The grid's model observes Qry, which goes before the child widgets.
    dxDBGrid->setDataSet(nullptr);
}

} // namespace stb
