// The one-field dialog in which a company's or a tax officer's name is typed
// for a document number (CadastraEmpresa).
#pragma once

#include "entry/formdlg.h"

class QLabel;
class QLineEdit;

namespace stb {

class TFormDlgCadEmpresa : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgCadEmpresa(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr; // the number's label
    QLabel *Label2 = nullptr; // "Nome da Empresa" / "Nome do Fiscal"
    QLineEdit *dxEdit1 = nullptr; // the number, read-only
    QLineEdit *dxEdit2 = nullptr; // the name, upper case

    void setup(const QString &label, const QString &number, const QString &name);

private:
    void updateOk();
};

// Asks for the name of a number; true when the user confirmed a non-empty
// name, which is returned in `name` (left unchanged otherwise).
bool CadastraEmpresa(const QString &label, const QString &number, QString &name, QWidget *parent = nullptr);

} // namespace stb
