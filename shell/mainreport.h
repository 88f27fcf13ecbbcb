// The report commands of the main window: SBPrintCalc ("Visualiza e imprime
// o cálculo") and its entry in the invoices' menu. The print options dialog
// is created on first use and kept, so its choices persist.
#pragma once

#include <QObject>

class QAction;

namespace stb {

class TMain;
class TFormDlgPrintCalculo;

class ComandosRelatorio : public QObject {
    Q_OBJECT

public:
    explicit ComandosRelatorio(TMain *main);

    QAction *ImprimeCalculo = nullptr; // the menu entry

    // The print command: the options flow, then the report with the status
    // text, the wait cursor while it is prepared and the grids detached;
    // everything is restored afterwards, also after a failure.
    void SBPrintCalcClick();

private:
    TMain *m_main;
    TFormDlgPrintCalculo *m_dialogo = nullptr;
};

} // namespace stb
