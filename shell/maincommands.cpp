// Main window: menus and the commands of the tool bar.
#include "shell/mainwindow.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/cadastro.h"
#include "entry/calculoespecial.h"
#include "entry/dbgrid.h"
#include "entry/escolhecalculo.h"
#include "shell/appglobals.h"
#include "shell/dlgopcoes.h"
#include "shell/dlgunidade.h"
#include "shell/mainreport.h"
#include "shell/mediccommands.h"
#include "shell/nfecommands.h"
#include "shell/quickcommands.h"
#include "shell/trmcommands.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace stb {

namespace {
TMain *g_form = nullptr;
std::function<void(const QString &)> g_shellOpen;

QAction *menuAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}
} // namespace

void registerMainFormInstance(TMain *form) { g_form = form; }
TMain *TMain::instance() { return g_form; }

void TMain::setShellOpenHook(std::function<void(const QString &)> hook) { g_shellOpen = std::move(hook); }

void TMain::shellOpen(const QString &target)
{
    if (g_shellOpen) {
        g_shellOpen(target);
        return;
    }
    const QUrl url = target.contains(QLatin1String("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    QDesktopServices::openUrl(url);
}

void TMain::buildMenus()
{
    // Help, options and links.
    PopMenuAjuda = new QMenu(this);
    PopMenuAjuda->setObjectName(QStringLiteral("PopMenuAjuda"));
    QAction *voceSabia = menuAction(PopMenuAjuda, "VoceSabia1", QStringLiteral("Você Sabia?"));
    voceSabia->setEnabled(false);
    connect(menuAction(PopMenuAjuda, "OpcoesDoSistema", QStringLiteral("Opções do Sistema")), &QAction::triggered, this,
        &TMain::OpcoesDoSistemaClick);
    connect(menuAction(PopMenuAjuda, "AjudadoSistema", QStringLiteral("Ajuda do Sistema")), &QAction::triggered, this,
        &TMain::AjudadoSistemaClick);
    QAction *unidade
        = menuAction(PopMenuAjuda, "IdentificaodaUnidadeVelfa1", QStringLiteral("Identificação da Unidade/Velfa"));
    connect(unidade, &QAction::triggered, this, &TMain::IdentificacaoUnidadeClick);
    MenuCadastros = PopMenuAjuda->addMenu(QStringLiteral("Cadastros"));
    MenuCadastros->setObjectName(QStringLiteral("Cadastros1"));
    connect(menuAction(MenuCadastros, "Remetentes1", QStringLiteral("Remetentes")), &QAction::triggered, this,
        [this] { CadastroClick(QStringLiteral("Remetentes")); });
    connect(menuAction(MenuCadastros, "Destinatarios1", QStringLiteral("Destinatários")), &QAction::triggered, this,
        [this] { CadastroClick(QStringLiteral("Destinatários")); });
    connect(menuAction(MenuCadastros, "Fiscais1", QStringLiteral("Fiscais")), &QAction::triggered, this,
        [this] { CadastroClick(QStringLiteral("Fiscais")); });
    menuAction(PopMenuAjuda, "AtualizacaoDaTabelaMedicamentos1", QStringLiteral("Atualização da Tabela Medicamentos"))
        ->setEnabled(false);
    connect(menuAction(PopMenuAjuda, "InformacoesSobreOCalculoDeMedicamentos",
                QStringLiteral("Informações sobre o Cálculo Especial e de Medicamentos")),
        &QAction::triggered, this, &TMain::InformacoesCalculoClick);
    PopMenuAjuda->addSeparator();
    MenuLinks = PopMenuAjuda->addMenu(QStringLiteral("Links Úteis"));
    MenuLinks->setObjectName(QStringLiteral("MenuLinks"));
    PopMenuAjuda->addSeparator();
    menuAction(PopMenuAjuda, "STCheck1", QStringLiteral("Envia Email com Status do Sistema"))->setEnabled(false);
    connect(menuAction(PopMenuAjuda, "SobreoSistema1", QStringLiteral("Sobre o Sistema...")), &QAction::triggered, this,
        &TMain::SobreoSistemaClick);
    if (Contribuinte) {
        MenuCadastros->menuAction()->setVisible(false);
        unidade->setVisible(false);
        voceSabia->setVisible(false);
    }

    PopMenuPesquisa = new QMenu(this);
    PopMenuPesquisa->setObjectName(QStringLiteral("PopMenuPesquisa"));
    PopMenuFecha = new QMenu(this);
    PopMenuFecha->setObjectName(QStringLiteral("PopMenuFecha"));
    connect(menuAction(PopMenuFecha, "FechaoSistema1", QStringLiteral("Fecha o Sistema neste terminal")),
        &QAction::triggered, this, &TMain::EncerraSistema);
    PopMenuTRM = new QMenu(this);
    PopMenuTRM->setObjectName(QStringLiteral("PopMenuTRM"));

    PopMenuNotas = new QMenu(this);
    PopMenuNotas->setObjectName(QStringLiteral("PopMenuNotas"));
    connect(PopMenuNotas->addAction(QStringLiteral("Inclui nova Nota Fiscal")), &QAction::triggered, this,
        &TMain::SBIncluiNotaClick);
    connect(PopMenuNotas->addAction(QStringLiteral("Altera dados da Nota selecionada")), &QAction::triggered, this,
        &TMain::SBAlteraNotaClick);
    connect(PopMenuNotas->addAction(QStringLiteral("Exclui a Nota selecionada")), &QAction::triggered, this,
        &TMain::SBExcluiNotaClick);
    PopMenuItens = new QMenu(this);
    PopMenuItens->setObjectName(QStringLiteral("PopMenuItens"));
    new MedicCommands(this); // medicine table, its update and the NBM workbook
    new QuickCommands(this); // the quick calculation
    new TrmCommands(this); // collection documents (SBTrm)
    new NFeCommands(this); // NF-e import into the open calculation
    new ComandosRelatorio(this); // SBPrintCalc and its menu entry

    connect(SBNovo, &QToolButton::clicked, this, &TMain::SBNovoClick);
    connect(SBAbre, &QToolButton::clicked, this, &TMain::SBAbreClick);
    connect(SBFecha, &QToolButton::clicked, this, &TMain::SBFechaClick);
    connect(SBAltera, &QPushButton::clicked, this, &TMain::SBAlteraClick);
    connect(SBIncluiNota, &QToolButton::clicked, this, &TMain::SBIncluiNotaClick);
    connect(SBAlteraNota, &QToolButton::clicked, this, &TMain::SBAlteraNotaClick);
    connect(SBExcluiNota, &QToolButton::clicked, this, &TMain::SBExcluiNotaClick);
    connect(SBRegEspecial, &QToolButton::clicked, this, &TMain::SBRegEspecialClick);
    connect(SBAjuda, &QToolButton::clicked, this, &TMain::SBAjudaClick);
    connect(SBFim, &QToolButton::clicked, this, &TMain::SBFimClick);
    connect(SBFimEx, &QToolButton::clicked, this,
        [this] { PopMenuFecha->popup(SBFimEx->mapToGlobal(QPoint(0, SBFimEx->height()))); });
    connect(dxDBGridNotas, &DBGrid::rowDoubleClicked, this, &TMain::SBAlteraNotaClick);
    connect(dxDBGridNotas, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) {
        if (m_calcViewOpen)
            PopMenuNotas->popup(dxDBGridNotas->viewport()->mapToGlobal(p));
    });
}

// ---- calculation commands --------------------------------------------------------

bool TMain::VerificaNovaVersao()
{
    const QFileInfo newer(App().AppDir + QStringLiteral("Sys/STBrelvaApp"));
    const QFileInfo running(QCoreApplication::applicationFilePath());
    if (newer.exists() && newer.canonicalFilePath() != running.canonicalFilePath()
        && newer.lastModified() > running.lastModified()) {
        if (Confirma(QStringLiteral(
                "Há uma nova versão para ser instalada. Para isso, basta reiniciar o sistema ST/Brelva.\r"
                "Quer encerrar o sistema agora"))) {
            EncerraSistema();
            return false;
        }
    }
    return true;
}

void TMain::SBAbreClick()
{
    if (!VerificaNovaVersao())
        return;
    const int id = EscolheCalculo(this);
    if (id < 1)
        return;
    TDM &dm = DM();
    if (dm.TabCalc.locate(QStringLiteral("IdCalculo"), {id}))
        OpenCalcView();
}

void TMain::SBFechaClick()
{
    CloseCalcView();
    DM().TabCalc.refresh();
}

void TMain::SBRegEspecialClick()
{
    MsgInformacao(QStringLiteral("A consulta aos regimes especiais está desatualizada.\rVerifique no site da Velfa."));
}

void TMain::CadastroClick(const QString &which)
{
    TDM &dm = DM();
    db::Table *table = which == QLatin1String("Remetentes") ? &dm.TabRemet
        : which == QLatin1String("Fiscais")                 ? &dm.TabFisc
                                                            : &dm.TabDest;
    Cadastro(*table, which, this);
}

// ---- help menu ---------------------------------------------------------------------

void TMain::SBAjudaClick()
{
    RebuildMenuLinks();
    PopMenuAjuda->popup(SBAjuda->mapToGlobal(QPoint(0, SBAjuda->height())));
}

void TMain::RebuildMenuLinks()
{
    MenuLinks->clear();
    Links.clear();
    const QStringList keys = Settings::instance().iniLocal2().readSection(QStringLiteral("Links"));
    for (const QString &key : keys) {
        Links << key;
        if (key == QLatin1String("-")) {
            MenuLinks->addSeparator();
            continue;
        }
        QAction *a = MenuLinks->addAction(key);
        connect(a, &QAction::triggered, this, [this, key] { AbreLink(key); });
    }
    if (!keys.isEmpty())
        MenuLinks->addSeparator();
    const char *const nesh[] = {"Nesh2007 - &1 de 4 (até 29.33)", "Nesh2007 - &2 de 4 (esquemas cap. 29)",
        "Nesh2007 - &3 de 4 (até 70.11)", "Nesh2007 - &4 de 4 (até final)"};
    for (int i = 0; i < 4; ++i) {
        QAction *a = MenuLinks->addAction(QString::fromUtf8(nesh[i]));
        a->setEnabled(NeshAvailable);
        connect(a, &QAction::triggered, this, [this, i] {
            const QString file = QStringLiteral("%1/Nesh2007%2de4.pdf").arg(NeshFolder).arg(i + 1);
            if (!QFileInfo::exists(file))
                MsgAviso(QStringLiteral("\"%1\" não localizada.").arg(file));
            else
                shellOpen(file);
        });
    }
    QAction *where = MenuLinks->addAction(QStringLiteral("Localização dos arquivos Nesh"));
    connect(where, &QAction::triggered, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Localização dos arquivos Nesh"),
            NeshFolder, QStringLiteral("Nesh2007 (Nesh20071de4.pdf)"));
        if (file.isEmpty())
            return;
        NeshFolder = QFileInfo(file).absolutePath();
        NeshAvailable = true;
        Settings::instance().setNesh2007(NeshFolder);
    });
}

QString TMain::enderecoLink(const QString &key) const
{
    IniFile &ini = Settings::instance().iniLocal2();
    QString value = ini.readString(QStringLiteral("Links"), QString(key).remove(QLatin1Char('&')));
    if (value.startsWith(QLatin1String("$PMPF$"))
        && !ini.readString(QStringLiteral("PMPF.PORT"), QStringLiteral("HTTP")).isEmpty())
        value = ini.readString(QStringLiteral("PMPF.PORT"), value.mid(6, 64));
    return value;
}

void TMain::AbreLink(const QString &key)
{
    const QString target = enderecoLink(key);
    if (!target.isEmpty())
        shellOpen(target);
}

void TMain::OpcoesDoSistemaClick()
{
    if (Contribuinte)
        TFormDlgOpcoesContribuinte::executa(this);
    else
        TFormDlgOpcoes::executa(this);
}

void TMain::IdentificacaoUnidadeClick()
{
    if (Contribuinte)
        TFormDlgUnidadeContribuinte::executa(this);
    else
        TFormDlgUnidade::executa(this);
}

void TMain::AjudadoSistemaClick()
{
    shellOpen(App().AppDir + (Contribuinte ? QStringLiteral("STBrelvaContrib.html") : QStringLiteral("STBrelva.html")));
}

void TMain::InformacoesCalculoClick() { MostraCalculoEspecial(this); }

void TMain::SobreoSistemaClick()
{
    MsgInformacao(QStringLiteral("Cálculo da Substituição Tributária - Brelva do RICMS - Versão ") + VersionText
        + QStringLiteral(" [") + QCoreApplication::applicationVersion() + QLatin1Char(']'));
}

} // namespace stb
