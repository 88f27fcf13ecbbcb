#include "shell/itemcommands.h"

#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "entry/dbgrid.h"
#include "entry/dlghtmlmsg.h"
#include "entry/dlgitem.h"
#include "entry/dlgitemcombustivel.h"
#include "entry/pmpfgrids.h"
#include "outputs/dlgitemmedic.h"
#include "platform/annexconsult.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QToolButton>

namespace stb {

namespace {

QAction *acao(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
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

} // namespace

ItemCommands::ItemCommands(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("ItemCommands"));
    montaMenus();
    connect(m_main->SBIncluiItem, &QToolButton::clicked, this, &ItemCommands::SBIncluiItemClick);
    connect(m_main->SBAlteraItem, &QToolButton::clicked, this, &ItemCommands::SBAlteraItemClick);
    connect(m_main->SBExcluiItem, &QToolButton::clicked, this, &ItemCommands::SBExcluiItemClick);
    connect(m_main->dxDBGridItens, &DBGrid::rowDoubleClicked, this, &ItemCommands::SBAlteraItemClick);
    connect(m_main->dxDBGridItensMedic, &DBGrid::rowDoubleClicked, this, &ItemCommands::SBAlteraItemClick);
    connect(m_main->dxDBGridItens, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) {
        if (m_main->calcViewOpen())
            m_main->PopMenuItens->popup(m_main->dxDBGridItens->viewport()->mapToGlobal(p));
    });
    connect(m_main->SBConsulta, &QToolButton::clicked, this, [this] { AnnexConsult(annex::Tabela); });
    connect(m_main->SBPesquisa, &QToolButton::clicked, this, [this] {
        m_main->PopMenuPesquisa->popup(m_main->SBPesquisa->mapToGlobal(QPoint(0, m_main->SBPesquisa->height())));
    });
    connect(m_main, &TMain::calcViewChanged, this, &ItemCommands::calculoAberto);
    // The HTML messages of annex items open in their own window.
    setHtmlMessageHandler([](const QString &title, const QString &html) {
        MostraHtmlDialogo(title, html, QApplication::activeWindow());
    });
}

ItemCommands::~ItemCommands()
{
    setHtmlMessageHandler({});
    TFormDlgItem::libera();
    TFormDlgItemCombustivel::libera();
    TFormDlgItemMedic::libera();
    LiberaGridPMPFCombustiveis();
}

void ItemCommands::montaMenus()
{
    QMenu *itens = m_main->PopMenuItens;
    connect(acao(itens, "IncluiItem1", QStringLiteral("Inclui novo ITEM nesta Nota Fiscal")), &QAction::triggered, this,
        &ItemCommands::SBIncluiItemClick);
    connect(acao(itens, "AlteraItem1", QStringLiteral("Altera o ITEM selecionado")), &QAction::triggered, this,
        &ItemCommands::SBAlteraItemClick);
    connect(acao(itens, "ExcluiItem1", QStringLiteral("Exclui o ITEM selecionado")), &QAction::triggered, this,
        &ItemCommands::SBExcluiItemClick);

    QMenu *pesquisa = m_main->PopMenuPesquisa;
    connect(acao(pesquisa, "PesquisaCodigoNBM", QStringLiteral("Pesquisa Código NCM")), &QAction::triggered, this,
        [this] { AnnexConsult(annex::PesquisaNCM); });
    connect(acao(pesquisa, "PesquisaDescricaoNBM", QStringLiteral("Pesquisa Descrição Brelva")), &QAction::triggered,
        this, [this] { AnnexConsult(annex::PesquisaDescricaoBrelva); });
    QAction *mercadoria
        = acao(pesquisa, "PesquisaDescricaoMercadoria", QStringLiteral("Pesquisa Descrição Mercadoria"));
    connect(mercadoria, &QAction::triggered, this, [this] { AnnexConsult(annex::PesquisaDescricaoMercadoria); });
    // The consultations of the items introduced on two dates stay hidden.
    QAction *intro1 = acao(pesquisa, "ConsultaAlteracoesDe01082009", QStringLiteral("Introduzidos em 01/08/2009"));
    QAction *intro2 = acao(pesquisa, "Consultaalteraesde011120091", QStringLiteral("Introduzidos em 01/11/2009"));
    connect(intro1, &QAction::triggered, this, [this] { AnnexConsult(annex::Introduzidos1); });
    connect(intro2, &QAction::triggered, this, [this] { AnnexConsult(annex::Introduzidos2); });
    intro1->setVisible(false);
    intro2->setVisible(false);
    pesquisa->addSeparator();
    QAction *combustiveis = acao(pesquisa, "PMPFAtoCotepe1", QStringLiteral("PMPF Combustíveis"));
    connect(combustiveis, &QAction::triggered, this, [this] { comando([this] { GridPMPFCombustiveis(m_main); }); });
    // The keys show beside the captions; the tray window takes F11/F12 in every window.
    QAction *racoes = acao(pesquisa, "PMPFRacoesPET", QStringLiteral("PMPF Rações PET\tF11"));
    connect(racoes, &QAction::triggered, this, [this] { comando([this] { GridPMPFRacoesPET(m_main); }); });
    QAction *bebidas = acao(pesquisa, "PMPFBebidasAlcolicas1", QStringLiteral("PMPF Bebidas Alcoólicas\tF12"));
    connect(bebidas, &QAction::triggered, this, [this] { comando([this] { GridPMPFBebidas(m_main); }); });
    QAction *controladas
        = acao(pesquisa, "MercadoriasControladas1", QStringLiteral("Códigos de Mercadorias Controladas"));
    connect(controladas, &QAction::triggered, this, [this] { comando([this] { GridMercControladas(m_main); }); });
    if (Contribuinte) {
        for (QAction *a : {mercadoria, combustiveis, controladas})
            a->setVisible(false);
    }
}

int ItemCommands::grupo() const
{
    db::Field *g = DM().TabCalc.findField(QStringLiteral("Grupo"));
    return g && !g->isNull() ? g->asInteger() : 0;
}

void ItemCommands::calculoAberto(bool aberto)
{
    for (QToolButton *b : {m_main->SBIncluiItem, m_main->SBAlteraItem, m_main->SBExcluiItem})
        b->setEnabled(aberto);
}

bool ItemCommands::podeEditar() const
{
    return m_main->calcViewOpen() && DM().TabNotas.isActive() && !DM().TabNotas.isEmpty();
}

db::Table &ItemCommands::linhas() const { return isGrupoMedicamento(grupo()) ? DM().TabItensMedic : DM().TabItens; }

void ItemCommands::SBIncluiItemClick()
{
    if (!podeEditar())
        return;
    TFormDlgItemBase::FimInclusao fim = TFormDlgItemBase::FimInclusao::Nada;
    m_main->ItemDialogOpen = true;
    comando([&] {
        const int g = grupo();
        fim = isGrupoMedicamento(g)    ? IncluiItemMedic(m_main)
            : g == Grupo::Combustiveis ? IncluiItemCombustivel(m_main)
                                       : IncluiItem(m_main);
    });
    m_main->ItemDialogOpen = false;
    TDM &dm = DM();
    if (dm.TabNotas.isActive())
        dm.TabNotasAfterScroll(dm.TabNotas);
    switch (fim) {
    case TFormDlgItemBase::FimInclusao::NovaNota:
        m_main->SBIncluiNota->click();
        break;
    case TFormDlgItemBase::FimInclusao::TrocouGrupo:
        // The view shows the new kind; its own item dialog opens.
        m_main->CloseCalcView();
        m_main->OpenCalcView();
        m_main->SBIncluiItem->click();
        break;
    case TFormDlgItemBase::FimInclusao::Nada:
        break;
    }
}

void ItemCommands::SBAlteraItemClick()
{
    if (!podeEditar() || !linhas().isActive() || linhas().isEmpty())
        return;
    m_main->ItemDialogOpen = true;
    comando([this] {
        if (isGrupoMedicamento(grupo()))
            AlteraItemMedic(m_main);
        else if (grupo() == Grupo::Combustiveis)
            AlteraItemCombustivel(m_main);
        else
            AlteraItem(m_main);
    });
    m_main->ItemDialogOpen = false;
}

void ItemCommands::SBExcluiItemClick()
{
    if (!podeEditar() || !linhas().isActive() || linhas().isEmpty())
        return;
    comando([this] {
        if (isGrupoMedicamento(grupo()))
            ExcluiItemMedic(m_main);
        else if (grupo() == Grupo::Combustiveis)
            ExcluiItemCombustivel(m_main);
        else
            ExcluiItem(m_main);
    });
}

void ItemCommands::AnnexConsult(int kind)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = annex::PedeConsulta(App().AppDir, kind);
    QApplication::restoreOverrideCursor();
    if (!ok)
        MsgErro(QStringLiteral("Não consegui abrir o Brelva..."));
}

bool ItemCommands::FechaBrelva()
{
    bool fechou = annex::CloseAnnexConsult();
    for (int tentativa = 0; !fechou && tentativa < 3; ++tentativa) {
        const QDeadlineTimer espera(1000);
        while (!espera.hasExpired())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 100);
        fechou = annex::CloseAnnexConsult(1);
    }
    if (!fechou)
        MsgErro(QStringLiteral("Não consegui fechar a Tabela Brelva.\rVocê precisa reiniciar o computador!"));
    return fechou;
}

} // namespace stb
