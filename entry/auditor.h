// The electronic-auditor look-up: the company names of a sender CNPJ and a
// recipient IE, remembered for the run once the user confirms them in
// TFormDlgAuditor.
#pragma once

#include "entry/formdlg.h"

class QLineEdit;

namespace stb {

class TFormDlgAuditor : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgAuditor(QWidget *parent = nullptr);

    QLineEdit *dxEditCNPJ = nullptr;
    QLineEdit *dxEditNomeRemetente = nullptr;
    QLineEdit *dxEditIE = nullptr;
    QLineEdit *dxEditNomeDestinatario = nullptr;
};

// The marker of a company the auditor does not know.
QString empresaNaoConsta();

// Looks the two numbers (digits only) up. Fails at once when the option
// "Auditor Eletrônico" is off. Names already confirmed in this run come from
// the run's list; otherwise the dialog shows both numbers and the current
// names, and OK records the names shown. On success the names are returned
// in `nomeRemetente` and `nomeDestinatario` (unchanged when none is known).
bool ConsultaAuditor(const QString &cnpj, const QString &ie, QString &nomeRemetente, QString &nomeDestinatario,
    QWidget *parent = nullptr);

// The run's list ("número=nome" lines) and whether it changed.
QStringList listaAuditor();
bool listaAuditorAlterada();
void limpaListaAuditor();

} // namespace stb
