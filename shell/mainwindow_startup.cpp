// Main window: creation, the deferred start-up and the shutdown.
#include "shell/mainwindow.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/dbgrid.h"
#include "entry/dlghtmlmsg.h"
#include "entry/dlgnovanf.h"
#include "platform/drives.h"
#include "platform/shortcuts.h"
#include "platform/winmsg.h"
#include "shell/appglobals.h"
#include "shell/crashreport.h"
#include "shell/datafiles.h"
#include "shell/dbmaint.h"
#include "shell/dbopen.h"
#include "shell/dlgunidade.h"
#include "shell/estacaocommands.h"
#include "shell/formminimiza.h"
#include "shell/itemcommands.h"
#include "shell/nbm.h"
#include "shell/shortcuts.h"
#include "shell/startup.h"
#include "shell/stations.h"
#include "shell/upgrades.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

namespace stb {

namespace {

constexpr int WM_USER_2 = 1026; // the deferred start-up

class DeferredStartEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + WM_USER_2));
        return t;
    }
    DeferredStartEvent() : QEvent(eventType()) {}
};

} // namespace

extern void registerMainFormInstance(TMain *form);

TMain::TMain(QWidget *parent) : QMainWindow(parent)
{
    registerMainFormInstance(this);
    setObjectName(QStringLiteral("Main"));
    setMinimumSize(738, 460);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(9);
    if (!QFontInfo(f).exactMatch())
        f = QApplication::font();
    setFont(f);
    buildLayout();
    buildMenus();
    Itens = new ItemCommands(this);
    FormCreate();
}

TMain::~TMain() { registerMainFormInstance(nullptr); }

void TMain::FormCreate()
{
    AppGlobals &g = App();
    Settings &s = Settings::instance();
    // 1. Title of the application.
    g.Titulo = QStringLiteral("Cálculo ST/Brelva");
    // 2. The process formats numbers with its own "," decimal and "."
    //    thousands separators whatever the desktop's regional settings say,
    //    so there is nothing to correct here.
    // 3. Configuration (no effect when already opened at process start).
    AbreConfiguracao();
    // 4. The tray window, with the workstation's commands.
    Estacao = new ComandosEstacao(this);
    // 5. Version.
    VersionText = s.versaoAtual();
    if (VersionText.isEmpty())
        VersionText = QCoreApplication::applicationVersion();
    VersionDate = s.dataVersaoAtual();
    // 6. The collection-document button follows ExecARM.
    SBTrm->setVisible(s.ExecARM());
    connect(&s, &Settings::execARMChanged, SBTrm, &QWidget::setVisible);
    // 8. Unit and user; caption.
    g.UserName = s.usuario();
    g.UnitName = s.unitName();
    QString caption = tituloAplicacao();
    if (Contribuinte)
        caption += QStringLiteral(" - Versão Contribuinte");
    setWindowTitle(caption);
    LedIndex = 2;
    // 10. Edition differences.
    if (!Contribuinte) {
        ConsultaNBMPath = s.consultaNBM();
    } else {
        dxDBGridNotas->setColumnVisible(QStringLiteral("XRemetente"), false);
        dxDBGridNotas->setColumnVisible(QStringLiteral("XDestinatario"), false);
        for (QToolButton *b : {SBRegEspecial, SBTrm, SBFimEx, SBCalcRapido})
            b->hide();
        if (!s.removeRegEsp()) {
            for (const QString &folder :
                {s.shellFolder(QStringLiteral("Programs")), s.shellFolder(QStringLiteral("Common Programs"))}) {
                removeShortcut(folder + QStringLiteral("/STBrelva"), QStringLiteral("Regimes Especiais"));
                removeShortcut(folder + QStringLiteral("/STBrelva"), QStringLiteral("STFerramentas"));
            }
            s.setRemoveRegEsp(true);
        }
    }
    if (g.AppWindow)
        connect(g.AppWindow, &MessageWindow::messageReceived, this, [this](int msg, qint64 w, qint64) {
            // A second start brings this instance to the front.
            if (msg == WinMsg::WM_SYSCOMMAND && w == WinMsg::SC_RESTORE) {
                showNormal();
                raise();
                activateWindow();
            }
        });
    // Centre on the primary screen.
    resize(1000, 640);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // SBAjuda becomes available 15 seconds after creation.
    TimerBtnAjuda = new QTimer(this);
    TimerBtnAjuda->setObjectName(QStringLiteral("TimerBtnAjuda"));
    TimerBtnAjuda->setSingleShot(true);
    TimerBtnAjuda->setInterval(15000);
    connect(TimerBtnAjuda, &QTimer::timeout, this, [this] { SBAjuda->setEnabled(true); });
    TimerBtnAjuda->start();
    // 11. The deferred start-up.
    QCoreApplication::postEvent(this, new DeferredStartEvent);
}

void TMain::customEvent(QEvent *e)
{
    if (e->type() == DeferredStartEvent::eventType()) {
        DeferredStartup();
        return;
    }
    QMainWindow::customEvent(e);
}

void TMain::DeferredStartup()
{
    StartingUp = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setCommandsEnabled(false);
    bool aborted = false;
    try {
        runStartupSteps();
    } catch (const SilentAbort &) {
        // After a re-creation of the database: the rest of the start-up is
        // skipped without a message.
        aborted = true;
    } catch (const EncerraProcesso &fim) {
        QApplication::restoreOverrideCursor();
        ReallyClosing = true;
        close();
        QCoreApplication::exit(fim.exitCode);
        return;
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        if (m_apos15) {
            // From the annex table on, the process-wide error handling.
            relatorio::trataExcecao(e);
            emit startupFinished();
            return;
        }
        QString msg = QStringLiteral("Houve um erro crítico no sistema ST/Brelva. Ele será encerrado.\r")
            + QString::fromUtf8(e.what());
        if (!isLocalFolder(App().DataDir))
            msg += QStringLiteral("\rTente iniciar o sistema pelo computador onde ele está instalado: ")
                + computerOfPath(App().DataDir) + QLatin1Char('.');
        relatorio::escreveRelatorio(QStringLiteral("Erro no sistema ST/Brelva"), msg, 0);
        MsgErro(msg);
        EncerraSistema();
        return;
    }
    if (aborted || !m_startupDone) {
        // Commands stay disabled until the next start.
        QApplication::restoreOverrideCursor();
    }
    // 21. Ask the update server for its current host (failures ignored).
    if (!Contribuinte)
        AtualizaHost();
    // 22. The HTML message window once.
    {
        TFormDlgHTMLMsg htmlMsg(this);
    }
    emit startupFinished();
}

void TMain::runStartupSteps()
{
    AppGlobals &g = App();
    Settings &s = Settings::instance();
    // 1.
    ShowVersionStatus();
    // 2. The data module.
    ShowStatus(QStringLiteral("Criando Módulo de Dados..."));
    Links.clear();
    TDM::setDefaultDataDir(g.DataDir);
    TDM &dm = DM();
    dm.setPristineDir(g.AppDir + QStringLiteral("Sys/Dados/"));
    dm.DataModuleCreate();
    // 3. The table files, delivered files and the medicine table.
    ShowStatus(QStringLiteral("Verificando novos Arquivos de Dados..."));
    connect(&dm, &TDM::statusText, this, &TMain::ShowStatus, Qt::UniqueConnection);
    CheckDataFiles();
    Estacao->abreVoceSabiaInicio();
    // 4. Data sources.
    ShowStatus(QStringLiteral("Inicializando DataSets..."));
    dm.TabItens.close();
    dm.TabNotas.close();
    bindDataSources();
    // 5. This workstation.
    Estacao->registraEstacao();
    // 6. Settings.
    ShowStatus(QStringLiteral("Lendo Configurações..."));
    LeConfiguracoes();
    // 7, 8. Structure and configuration upgrades.
    ShowStatus(QStringLiteral("Checando Modificações nas Estruturas dos Arquivos..."));
    CheckStructures(OutrasEstacoesAtivas);
    ShowStatus(QStringLiteral("Checando Alterações de Configuração..."));
    CheckConfiguration(VersionText);
    // 9. Annex items.
    ShowStatus(QStringLiteral("Lendo Itens do Brelva..."));
    CarregaItensBrelva();
    // 10. Reindex.
    ShowStatus(QStringLiteral("Checando Reindexação..."));
    bool reindexed = false;
    const bool wanted = s.reindex() || s.reindexOnce();
    if (s.reindexOnce())
        s.setReindexOnce(false);
    // The computer of the data folder rebuilds it. Tables on a server are
    // nobody's computer: the first workstation to start while no other one
    // uses the system rebuilds them.
    const bool reindexaAqui
        = g.Servidor.isEmpty() ? isLocalFolder(g.DataDir) || s.localDrive() : !OutrasEstacoesAtivas();
    if (wanted && reindexaAqui)
        reindexed = ReindexAll(false);
    // 11. Calculations.
    ShowStatus(QStringLiteral("Inicializando Cálculos..."));
    CloseCalcView();
    if (g.UnitName.isEmpty())
        s.setMsg2(false);
    // 12. Shortcuts and first run.
    ShowStatus(QStringLiteral("Verificando Links..."));
    ProcessaAtalhos();
    // 13. Working tables.
    if (!reindexed)
        AbreTabelas();
    // 14. Message folders.
    QDir().mkpath(g.DataDir + QStringLiteral("Msg"));
    QDir().mkpath(g.AppDir + QStringLiteral("Msg"));
    Estacao->iniciaMonitores();
    // 15. Annex table; notes.
    m_apos15 = true;
    ShowStatus(QStringLiteral("Abrindo Tabela Brelva..."));
    if (!dm.TabBrelva.isActive())
        dm.TabBrelva.open();
    LocalizaNesh();
    // 16. News; the unit identification once.
    ShowStatus(QStringLiteral("Verificando Novidades..."));
    Estacao->verificaNovidades(!s.msg2() && !g.Desassistido);
    if (!s.msg2() && !g.Desassistido) {
        if (Contribuinte)
            TFormDlgUnidadeContribuinte::executa(this);
        else
            TFormDlgUnidade::executa(this);
        s.setMsg2(true);
    }
    // 17. The NBM product search re-created when an update asks for it.
    if (!Contribuinte)
        StartNBMCreate();
    // 18. Commands.
    QFile::remove(g.AppDir + QStringLiteral("Sys/STBrelva"));
    QFile::remove(g.AppDir + QStringLiteral("Sys/STBrelva.exe"));
    StartingUp = false;
    EnableCommands();
    // 19. Ready.
    ShowVersionStatus();
    Estacao->ativaBandeja();
    QApplication::restoreOverrideCursor();
    m_startupDone = true;
    // 20. The tips stay in front while they are open.
    Estacao->aguardaVoceSabia();
}

void TMain::EnableCommands()
{
    setCommandsEnabled(true);
    // SBTrm by edition; SBFimEx only while other workstations use the system.
    Estacao->habilitaComandos();
    SBAjuda->setEnabled(true);
    CloseCalcView();
}

void TMain::LeConfiguracoes()
{
    AppGlobals &g = App();
    Settings &s = Settings::instance();
    g.AliqCreditoICMS = s.aliqCreditoICMS();
    g.AliqCreditoICMSAviso = s.aliqCreditoICMSAviso();
    g.CalculaMR = s.calculaMR();
    DM().TabCalc.close();
}

void TMain::AbreTabelas()
{
    TDM &dm = DM();
    ShowStatus(QStringLiteral("Abrindo arquivos em ") + App().DataDir + QStringLiteral(" ..."));
    const std::pair<const char *, db::Table *> tables[]
        = {{"Fiscais (1/6)", &dm.TabFisc}, {"Remetentes (2/6)", &dm.TabRemet}, {"Destinatários (3/6)", &dm.TabDest},
            {"Cálculos (4/6)", &dm.TabCalc}, {"Notas (5/6)", &dm.TabNotas}, {"Itens (6/6)", &dm.TabItens}};
    for (const auto &[status, table] : tables) {
        ShowStatus(QString::fromUtf8(status));
        if (!table->isActive())
            table->open();
    }
    dm.setAvisoTabelaAusente(true);
}

void TMain::ProcessaAtalhos()
{
    AppGlobals &g = App();
    Settings &s = Settings::instance();
    if (!g.SetupSwitch) {
        if (s.LinkAllUsers() && !s.linkEx())
            return;
        if (!s.LinkAllUsers() && s.registroLink(QStringLiteral("Link.Ex")) == QLatin1String("0"))
            return;
        // A normal start leaves the start-up folder as it is.
        criaAtalhos(AtalhoInicializacao::Manter);
        return;
    }
    if (Contribuinte) {
        s.setModuloContribuinte(true);
        QFile::remove(g.AppDir + QStringLiteral("ARM.exe"));
        QFile::remove(g.AppDir + QStringLiteral("ARM"));
    }
    if (!g.NoHelpSwitch)
        shellOpen(g.AppDir + (Contribuinte ? QStringLiteral("STBrelvaContrib.html") : QStringLiteral("STBrelva.html")));
    criaAtalhos(atalhoInicializacao(s.IniAuto()));
}

void TMain::LocalizaNesh()
{
    NeshFolder = Settings::instance().nesh2007();
    while (NeshFolder.endsWith(QLatin1Char('/')) && NeshFolder.size() > 1)
        NeshFolder.chop(1);
    NeshAvailable = QFileInfo::exists(NeshFolder + QStringLiteral("/Nesh20071de4.pdf"));
    if (!NeshAvailable) {
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (QFileInfo::exists(docs + QStringLiteral("/Nesh20071de4.pdf"))) {
            NeshFolder = docs;
            NeshAvailable = true;
        }
    }
}

void TMain::AtualizaHost()
{
    // The update server answers its current host name on its query page.
    auto *nam = new QNetworkAccessManager(this);
    nam->setTransferTimeout(5000);
    const QUrl url(
        QStringLiteral("http://%1:8080/?A=32&SECTION=STBrelva&INFO=Host&VS=ST").arg(Settings::instance().host()));
    QNetworkReply *reply = nam->get(QNetworkRequest(url));
    connect(reply, &QNetworkReply::finished, this, [reply, nam] {
        if (reply->error() == QNetworkReply::NoError) {
            const QString body = QString::fromUtf8(reply->readAll());
            if (body.startsWith(QLatin1String("OK")))
                Settings::instance().setHost(body.mid(11, 128).trimmed());
        }
        reply->deleteLater();
        nam->deleteLater();
    });
}

// ---- shutdown -----------------------------------------------------------------

void TMain::EncerraSistema()
{
    ReallyClosing = true;
    close();
    QCoreApplication::quit();
}

void TMain::SBFimClick()
{
    if (CtrlHeld || Contribuinte) {
        EncerraSistema();
        return;
    }
    TFormMinimiza dlg(this);
    const int r = dlg.exec();
    if (r == TFormMinimiza::Fecha)
        EncerraSistema();
    else
        close();
}

bool TMain::FormCloseQuery()
{
    if (Reindexing) {
        MsgAviso(QStringLiteral(
            "Não posso fechar o sistema agora. Os Arquivos estão sendo reindexados. Tente daqui a alguns minutos."));
        return false;
    }
    if (TDM::hasInstance()) {
        TDM &dm = DM();
        for (db::DataSet *ds : {static_cast<db::DataSet *>(&dm.TabCalc), static_cast<db::DataSet *>(&dm.TabNotas)})
            if (ds->isActive()
                && (ds->state() == db::DataSet::State::Edit || ds->state() == db::DataSet::State::Insert)) {
                MsgAviso(QStringLiteral("Salve ou cancele as alterações antes de fechar o sistema."));
                return false;
            }
    }
    if (ItemDialogOpen) {
        MsgAviso(QStringLiteral("Salve ou cancele as alterações antes de fechar o sistema."));
        return false;
    }
    if (ReallyClosing)
        return true;
    if (!CloseGuard) {
        CloseGuard = true;
        showMinimized();
        CloseGuard = false;
    }
    return true;
}

void TMain::FormClose()
{
    ShowStatus(QStringLiteral("Fechando Cálculos..."));
    if (TDM::hasInstance())
        CloseCalcView();
    ShowStatus(QStringLiteral("Fechando Regime Especial..."));
    bool fechou = CloseRegimeEspecial(1);
    for (int tentativa = 0; !fechou && tentativa < 3; ++tentativa) {
        esperaProcessando(1000);
        fechou = CloseRegimeEspecial(1);
    }
    if (!fechou)
        MsgErro(QStringLiteral("Não consegui fechar o Regime Especial.\rVocè precisa reiniciar o computador!"));
    ShowStatus(QStringLiteral("Fechando Brelva..."));
    ItemCommands::FechaBrelva();
    ShowStatus(QStringLiteral("Finalizando..."));
}

void TMain::closeEvent(QCloseEvent *e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    if (!ReallyClosing) {
        // Closing keeps the program running. The window is hidden only when a
        // visible tray icon can bring it back; otherwise it is minimised, so
        // it always stays reachable.
        if (Estacao && Estacao->bandejaVisivel())
            hide();
        else
            showMinimized();
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

void TMain::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Control)
        CtrlHeld = true;
    QMainWindow::keyPressEvent(e);
}

void TMain::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Control && !ReallyClosing)
        CtrlHeld = false;
    QMainWindow::keyReleaseEvent(e);
}

} // namespace stb
