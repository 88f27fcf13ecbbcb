#include "entry/cadastro.h"

#include "core/messages.h"
#include "entry/cadempresa.h"

#include <QPushButton>
#include <QToolButton>

namespace stb {

TFormDlgCadastro::TFormDlgCadastro(db::Table &table, const QString &caption, QWidget *parent)
    : TFormDlgGrid(table.database(), parent),
      m_table(table)
{
    setObjectName(QStringLiteral("TFormDlgCadastro"));
    setWindowTitle(caption);
    SBAlteraItem = new QToolButton(body());
    SBAlteraItem->setObjectName(QStringLiteral("SBAlteraItem"));
    SBAlteraItem->setText(QStringLiteral("Altera"));
    SBExcluiItem = new QToolButton(body());
    SBExcluiItem->setObjectName(QStringLiteral("SBExcluiItem"));
    SBExcluiItem->setText(QStringLiteral("Exclui"));
    topRow()->addStretch(1);
    topRow()->addWidget(SBAlteraItem);
    topRow()->addWidget(SBExcluiItem);
    BtnCancel->hide();
    connect(SBAlteraItem, &QToolButton::clicked, this, &TFormDlgCadastro::SBAlteraItemClick);
    connect(SBExcluiItem, &QToolButton::clicked, this, &TFormDlgCadastro::SBExcluiItemClick);
    if (m_table.isActive())
        m_table.refresh();
    else
        m_table.open();
    dxDBGrid->setDataSet(&m_table);
    QList<DataSetModel::Column> cols;
    for (db::Field *f : m_table.fields())
        if (f->kind() == db::Field::Kind::Data)
            cols << DataSetModel::Column {
                f->name(), f->label(), f->size() > 0 ? std::min(f->size(), 50) : 12, true, {}};
    dxDBGrid->setColumns(cols);
    // The first column is the grid's key: rows appear in its order.
    dxDBGrid->headerClicked(0);
    finishCreate();
}

void TFormDlgCadastro::SBExcluiItemClick()
{
    if (m_table.isEmpty())
        return;
    if (ConfirmaPadraoNao(
            QStringLiteral("Confirma ") + QStringLiteral("excluir o item selecionado") + QLatin1Char('?')))
        m_table.remove();
}

void TFormDlgCadastro::SBAlteraItemClick()
{
    if (m_table.isEmpty() || m_table.fieldCount() < 2)
        return;
    db::Field &numero = m_table.field(0);
    db::Field &nome = m_table.field(1);
    QString name = nome.asString();
    if (CadastraEmpresa(numero.label(), numero.asString(), name, this)) {
        m_table.edit();
        nome.setAsString(name);
        m_table.post();
    }
}

void Cadastro(db::Table &table, const QString &caption, QWidget *parent)
{
    TFormDlgCadastro dlg(table, caption, parent);
    dlg.exec();
}

} // namespace stb
