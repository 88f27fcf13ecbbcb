// Main window: the commands of the calculation header and of the invoices.
#include "shell/mainwindow.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dbgrid.h"
#include "entry/dlgnovanf.h"
#include "entry/dlgnovocalculo.h"

#include <QLabel>

namespace stb {

namespace {

int grupoAtual()
{
    db::Field *g = DM().TabCalc.findField(QStringLiteral("Grupo"));
    return g && !g->isNull() ? g->asInteger() : 0;
}

// Runs an entry command; an engine error reaches the user as a message.
template<typename Fn> void comando(Fn &&fn)
{
    try {
        fn();
    } catch (const db::EngineError &e) {
        MsgErro(e.message());
    }
}

// Posting a row does not scroll, so the item heading is refreshed by hand
// once the invoice dialog has stored (or renumbered) the current invoice.
void refreshCaptionItens()
{
    TDM &dm = DM();
    if (dm.TabNotas.isActive())
        dm.TabNotasAfterScroll(dm.TabNotas);
}

} // namespace

void TMain::SBNovoClick()
{
    if (!VerificaNovaVersao())
        return;
    comando([this] {
        if (IncluiCalculo(this)) {
            OpenCalcView();
            SBIncluiNotaClick();
        }
    });
}

void TMain::SBAlteraClick()
{
    if (!m_calcViewOpen)
        return;
    comando([this] {
        const int antes = grupoAtual();
        if (AlteraCalculo(this)) {
            if (grupoAtual() != antes) {
                CloseCalcView();
                OpenCalcView();
            } else {
                updateCalcHeader();
            }
        }
    });
}

void TMain::SBIncluiNotaClick()
{
    if (!m_calcViewOpen)
        return;
    comando([this] {
        IncluiNota(this);
        refreshCaptionItens();
    });
}

void TMain::SBAlteraNotaClick()
{
    if (!m_calcViewOpen || DM().TabNotas.isEmpty())
        return;
    comando([this] {
        AlteraNota(this);
        refreshCaptionItens();
    });
}

void TMain::SBExcluiNotaClick()
{
    if (!m_calcViewOpen || DM().TabNotas.isEmpty())
        return;
    comando([this] { ExcluiNota(this); });
}

} // namespace stb
