#include "shell/mediccommands.h"

#include "core/datamodule.h"
#include "outputs/dlgatualizatabmedic.h"
#include "outputs/dlgescolhemedic.h"
#include "outputs/dlggeratabelanbm.h"
#include "outputs/medic.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QToolButton>

namespace stb {

MedicCommands::MedicCommands(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("MedicCommands"));
    TabelaABCFarma1 = main->PopMenuPesquisa->addAction(QStringLiteral("Tabela CMED/ABCFarma"));
    TabelaABCFarma1->setObjectName(QStringLiteral("TabelaABCFarma1"));
    connect(TabelaABCFarma1, &QAction::triggered, this, &MedicCommands::TabelaABCFarmaClick);
    // The workbook is written whole by the program (no template file), so the
    // entry is always available.
    NBMPlanilhaExcel1 = main->PopMenuPesquisa->addAction(QStringLiteral("NBM - Planilha Excel"));
    NBMPlanilhaExcel1->setObjectName(QStringLiteral("NBMPlanilhaExcel1"));
    connect(NBMPlanilhaExcel1, &QAction::triggered, this, &MedicCommands::NBMPlanilhaExcelClick);
    AtualizacaoDaTabelaMedicamentos1
        = main->PopMenuAjuda->findChild<QAction *>(QStringLiteral("AtualizacaoDaTabelaMedicamentos1"));
    if (!AtualizacaoDaTabelaMedicamentos1) {
        AtualizacaoDaTabelaMedicamentos1
            = main->PopMenuAjuda->addAction(QStringLiteral("Atualização da Tabela Medicamentos"));
        AtualizacaoDaTabelaMedicamentos1->setObjectName(QStringLiteral("AtualizacaoDaTabelaMedicamentos1"));
    }
    AtualizacaoDaTabelaMedicamentos1->setEnabled(true);
    connect(AtualizacaoDaTabelaMedicamentos1, &QAction::triggered, this,
        &MedicCommands::AtualizacaoDaTabelaMedicamentosClick);
    // The search button drops its menu down when nothing else does.
    if (!main->SBPesquisa->menu()) {
        main->SBPesquisa->setMenu(main->PopMenuPesquisa);
        main->SBPesquisa->setPopupMode(QToolButton::InstantPopup);
    }
    // The search menu now has entries of its own: its button works once the
    // start-up has enabled the commands.
    connect(main, &TMain::startupFinished, this, [main] {
        if (main->SBAbre->isEnabled())
            main->SBPesquisa->setEnabled(true);
    });
    connect(&MedicStatus::instance(), &MedicStatus::status, main, [main](const QString &s) { main->ShowStatus(s); });
}

MedicCommands::~MedicCommands() { LiberaEscolheMedic(); }

void MedicCommands::TabelaABCFarmaClick() { FormDlgEscolheMedic(m_main).mostra(); }

void MedicCommands::AtualizacaoDaTabelaMedicamentosClick() { TFormDlgAtualizaTabMedic::AtualizaTabelaMedic(m_main); }

void MedicCommands::NBMPlanilhaExcelClick()
{
    TFormDlgGeraTabelaNBM::Executa(
        DM().BaseDados, PastaDocumentos(), QCoreApplication::applicationVersion(), &TMain::shellOpen, m_main);
}

} // namespace stb
