#include "shell/estacaocommands.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/dlghtmlmsg.h"
#include "shell/appglobals.h"
#include "shell/closesystem.h"
#include "shell/crashreport.h"
#include "shell/dbopen.h"
#include "shell/dlgfechatodos.h"
#include "shell/mainwindow.h"
#include "shell/noticias.h"
#include "shell/stations.h"
#include "shell/trayapp.h"
#include "shell/vocesabia.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTextBrowser>
#include <QToolButton>

namespace stb {

namespace {
QAction *acao(QMenu *menu, const char *nome, const QString &legenda)
{
    QAction *a = menu->addAction(legenda);
    a->setObjectName(QLatin1String(nome));
    return a;
}

// A file of a folder named without regard to case; `nome` when none matches.
QString semCaixa(const QString &pasta, const QString &nome)
{
    for (const QFileInfo &fi : QDir(pasta).entryInfoList(QDir::Files))
        if (fi.fileName().compare(nome, Qt::CaseInsensitive) == 0)
            return fi.absoluteFilePath();
    return QDir(pasta).filePath(nome);
}
} // namespace

ComandosEstacao::ComandosEstacao(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("ComandosEstacao"));
    const AppGlobals &g = App();

    // Help menu: the entries that existed disabled come alive here.
    QMenu *ajuda = main->PopMenuAjuda;
    VoceSabia1 = ajuda->findChild<QAction *>(QStringLiteral("VoceSabia1"));
    if (VoceSabia1) {
        VoceSabia1->setEnabled(true);
        connect(VoceSabia1, &QAction::triggered, this, &ComandosEstacao::VoceSabiaClick);
    }
    STCheck1 = ajuda->findChild<QAction *>(QStringLiteral("STCheck1"));
    if (STCheck1) {
        STCheck1->setEnabled(true);
        connect(STCheck1, &QAction::triggered, this, &ComandosEstacao::STCheckClick);
    }
    VersaodoSistema = acao(ajuda, "VersaodoSistema", QStringLiteral("Versão do Sistema"));
    VersaodoSistema->setVisible(false);
    connect(VersaodoSistema, &QAction::triggered, this, &ComandosEstacao::VersaoDoSistemaClick);
    // News and message pages at the end of the help menu.
    Paginas = new Novidades(g.AppDir, g.DataDir, ajuda, main);
    Paginas->exibeAutomaticamente = !g.Desassistido;

    // Search menu: the NBM consultation and the occurrence codes.
    QMenu *pesquisa = main->PopMenuPesquisa;
    pesquisa->addSeparator();
    ConsultaNBM2002x2007 = acao(pesquisa, "ConsultaNBM2002x2007", QStringLiteral("Consulta NBM - 2002 x 2007 x 2012"));
    connect(ConsultaNBM2002x2007, &QAction::triggered, this, &ComandosEstacao::ConsultaNBMClick);
    CodigosDeOcorrencias1 = acao(pesquisa, "CodigosDeOcorrencias1", QStringLiteral("Códigos de Ocorrências"));
    connect(CodigosDeOcorrencias1, &QAction::triggered, this, &ComandosEstacao::CodigosDeOcorrenciasClick);
    connect(pesquisa, &QMenu::aboutToShow, this, &ComandosEstacao::ajustaMenuPesquisa);
    if (Contribuinte)
        CodigosDeOcorrencias1->setVisible(false);

    // Close menu: all workstations, offered only while others are registered.
    FechaoSistemaemtodososterminais1 = acao(main->PopMenuFecha, "FechaoSistemaemtodososterminais1",
        QStringLiteral("Fecha o Sistema em todos os terminais"));
    connect(FechaoSistemaemtodososterminais1, &QAction::triggered, this, &ComandosEstacao::FechaTodosClick);
    connect(main->PopMenuFecha, &QMenu::aboutToShow, this,
        [this] { FechaoSistemaemtodososterminais1->setVisible(!Contribuinte && OtherStationsActive()); });
    // A workstation that started alone learns of the others when its window
    // comes back to the front.
    main->installEventFilter(this);

    // The message folders: DataDir/Msg always, AppDir/Msg in the tax units' edition.
    QStringList pastas {g.DataDir + QStringLiteral("Msg")};
    if (!Contribuinte)
        pastas << g.AppDir + QStringLiteral("Msg");
    Monitor = new MonitorMensagens(pastas, g.NaoEntreFile, this);
    connect(Monitor, &MonitorMensagens::paginasMudaram, Paginas, &Novidades::varreAgora);
    connect(Monitor, &MonitorMensagens::encerrar, main, &TMain::EncerraSistema);

    // The tray window, and whether the department's network answers.
    TrayApp = new TTrayApp(main, Paginas);
    if (!Contribuinte) {
        connect(TrayApp, &TTrayApp::redeVerificadaChanged, main, [main](bool networkDown) {
            main->IntranetOk = !networkDown;
            if (!main->StartingUp)
                main->ShowVersionStatus();
        });
        TrayApp->verificaRede(Settings::instance().host());
    }
}

ComandosEstacao::~ComandosEstacao() { delete m_voceSabia; }

// ---- start-up steps ------------------------------------------------------------

void ComandosEstacao::abreVoceSabiaInicio()
{
    if (Contribuinte || App().MinimizeSwitch || App().Desassistido || !m_main->isVisible())
        return;
    m_voceSabia = new TFormDlgHTMLVoceSabia(m_main);
    if (m_voceSabia->vazio()) {
        delete m_voceSabia;
        return;
    }
    m_voceSabia->setAttribute(Qt::WA_DeleteOnClose);
    m_voceSabia->show();
}

void ComandosEstacao::registraEstacao()
{
    NumeroEstacao = RegisterStation([this](const QString &t) { m_main->ShowStatus(t); },
        [this](const QString &ip) { m_main->StatusPanel[2]->setText(ip); });
}

void ComandosEstacao::iniciaMonitores() { Monitor->inicia(); }

void ComandosEstacao::verificaNovidades(bool aguarda)
{
    Paginas->iniciaVarredura();
    if (aguarda)
        Paginas->aguardaVarredura();
}

void ComandosEstacao::habilitaComandos()
{
    // SBFimEx only while another workstation uses the system.
    const bool outras = !Contribuinte && OtherStationsActive();
    m_main->SBFimEx->setVisible(outras);
    m_main->SBFimEx->setEnabled(outras);
}

void ComandosEstacao::ativaBandeja() { TrayApp->ativa(); }

void ComandosEstacao::aguardaVoceSabia()
{
    // The wait ends with the window, or when the program is ending.
    while (m_voceSabia && !m_main->ReallyClosing) {
        m_voceSabia->raise();
        esperaProcessando(200);
    }
}

bool ComandosEstacao::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_main && e->type() == QEvent::WindowActivate && !m_main->StartingUp && !m_main->ReallyClosing)
        habilitaComandos();
    return false;
}

bool ComandosEstacao::bandejaVisivel() const { return TrayApp && TrayApp->iconeVisivel(); }

// ---- commands ------------------------------------------------------------------------

void ComandosEstacao::FechaTodosClick()
{
    m_fechaTodos = std::make_unique<TFormDlgFechaTodos>(Monitor->ClosingOthers, App().NaoEntreFile, m_main);
    if (m_fechaTodos->exec() != QDialog::Accepted) {
        m_fechaTodos.reset();
        return;
    }
    // The request stays until this process ends; this workstation ends now.
    TrayApp->Fim1Click();
    // Declined: the request goes with the dialog, or it would stand for as
    // long as this workstation runs and keep asking the others.
    if (!m_main->ReallyClosing) {
        m_fechaTodos.reset();
        // The monitors stood down when the request appeared; they watch again.
        Monitor->inicia();
    }
}

void ComandosEstacao::VoceSabiaClick()
{
    if (m_voceSabia) {
        m_voceSabia->raise();
        return;
    }
    MostraVoceSabia(m_main);
}

void ComandosEstacao::STCheckClick()
{
    if (!Confirma(QStringLiteral("Envia um email para o desenvolvedor com o Status do Sistema ST/Brelva")))
        return;
    // The report stays on this computer; the user sends the file himself.
    const QString arquivo = relatorio::escreveRelatorio(
        QStringLiteral("Status do Sistema ST/Brelva"), QStringLiteral("Status do Sistema ST/Brelva"), 0);
    if (arquivo.isEmpty())
        MsgErro(QStringLiteral("Não consegui gravar o Status do Sistema em ") + relatorio::pastaRelatorios()
            + QLatin1Char('.'));
    else
        MsgInformacao(QStringLiteral("O Status do Sistema ST/Brelva foi gravado em:\r") + arquivo);
}

void ComandosEstacao::VersaoDoSistemaClick()
{
    QFile f(semCaixa(App().AppDir, QStringLiteral("Versao.txt")));
    if (!f.open(QIODevice::ReadOnly)) {
        MsgAviso(QStringLiteral("\"%1\" não localizada.").arg(f.fileName()));
        return;
    }
    TFormDlgHTMLMsg dlg(m_main);
    dlg.setWindowTitle(QStringLiteral("Versão do Sistema"));
    dlg.Browser->setPlainText(QString::fromUtf8(f.readAll()));
    dlg.exec();
}

QString ComandosEstacao::programaConsultaNBM() const
{
    if (!m_main->ConsultaNBMPath.isEmpty() && QFileInfo::exists(m_main->ConsultaNBMPath))
        return m_main->ConsultaNBMPath;
    for (const char *nome : {"InstalaConsultaNBM.exe", "InstalaConsultaNBM"}) {
        const QString instalador = semCaixa(App().AppDir, QLatin1String(nome));
        if (QFileInfo::exists(instalador))
            return instalador;
    }
    return {};
}

void ComandosEstacao::ajustaMenuPesquisa()
{
    const QString programa = programaConsultaNBM();
    const bool instalado = !programa.isEmpty() && programa == m_main->ConsultaNBMPath;
    ConsultaNBM2002x2007->setText(instalado ? QStringLiteral("Consulta NBM - 2002 x 2007")
                                            : QStringLiteral("Instala Consulta NBM - 2002 x 2007"));
    ConsultaNBM2002x2007->setEnabled(!programa.isEmpty());
    if (QAction *planilha = m_main->findChild<QAction *>(QStringLiteral("NBMPlanilhaExcel1")))
        planilha->setEnabled(QFileInfo::exists(semCaixa(App().AppDir, QStringLiteral("TabelaNBM-Brelva.xls"))));
}

void ComandosEstacao::ConsultaNBMClick()
{
    const QString programa = programaConsultaNBM();
    if (!programa.isEmpty())
        QProcess::startDetached(programa, {}, QFileInfo(programa).absolutePath());
}

void ComandosEstacao::CodigosDeOcorrenciasClick()
{
    TMain::shellOpen(semCaixa(App().AppDir + QStringLiteral("Dados"), QStringLiteral("Tabela de Ocorrências.xls")));
}

} // namespace stb
