// Maintenance of the three registers (senders, recipients, tax officers).
#pragma once

#include "entry/formdlggrid.h"

class QToolButton;

namespace stb {

class TFormDlgCadastro : public TFormDlgGrid {
    Q_OBJECT

public:
    TFormDlgCadastro(db::Table &table, const QString &caption, QWidget *parent = nullptr);

    QToolButton *SBExcluiItem = nullptr;
    QToolButton *SBAlteraItem = nullptr;

    void SBExcluiItemClick();
    void SBAlteraItemClick();

private:
    db::Table &m_table;
};

// Shows the register of `table` under `caption` ("Remetentes", "Destinatários", "Fiscais").
void Cadastro(db::Table &table, const QString &caption, QWidget *parent = nullptr);

} // namespace stb
