// Main window: the commands of the calculation header and of the invoices.
#include "shell/mainwindow.h"

namespace stb {

void TMain::SBNovoClick()
{
    if (!VerificaNovaVersao())
        return;
}

void TMain::SBAlteraClick() {}
void TMain::SBIncluiNotaClick() {}
void TMain::SBAlteraNotaClick() {}
void TMain::SBExcluiNotaClick() {}

} // namespace stb
