// Identification of the tax unit (TFormDlgUnidade) and, in the taxpayer
// edition, of the user (TFormDlgUnidadeContribuinte).
#pragma once

#include "entry/formdlg.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace stb {

class TFormDlgUnidade : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgUnidade(QWidget *parent = nullptr);

    QLabel *LabelTitulo = nullptr;
    QLabel *LabelUnidade = nullptr, *LabelUsuario = nullptr;
    QComboBox *dxPickUnidade = nullptr;
    QLineEdit *dxEditUsuario = nullptr, *dxEditFone = nullptr, *dxEditEmail = nullptr;

    // The department's tax units offered by the list (the first entry is empty).
    static QStringList unidades();
    // Shows the dialog of the edition; true when confirmed.
    static bool executa(QWidget *parent = nullptr);

protected:
    void BtnOkClick() override;
};

class TFormDlgUnidadeContribuinte : public TFormDlgUnidade {
    Q_OBJECT

public:
    explicit TFormDlgUnidadeContribuinte(QWidget *parent = nullptr);
    static bool executa(QWidget *parent = nullptr);
};

} // namespace stb
