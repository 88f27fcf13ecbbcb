#include "shell/trayapp.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/alcance.h"
#include "shell/appglobals.h"
#include "shell/atualizacao.h"
#include "shell/mainwindow.h"
#include "shell/noticias.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

namespace stb {

namespace {
// The program's icon, drawn: "ST" on a blue tile, so its place in the
// notification area and in the task list is told from other programs'.
QIcon iconePrograma()
{
    QIcon icone;
    for (const int lado : {16, 22, 24, 32, 48, 64}) {
        QPixmap p(lado, lado);
        p.fill(Qt::transparent);
        QPainter pintor(&p);
        pintor.setRenderHint(QPainter::Antialiasing);
        pintor.setPen(Qt::NoPen);
        pintor.setBrush(QColor(0x1f, 0x5f, 0xa8));
        pintor.drawRoundedRect(QRectF(0.5, 0.5, lado - 1, lado - 1), lado / 6.0, lado / 6.0);
        QFont f(QStringLiteral("Sans"));
        f.setBold(true);
        f.setPixelSize(lado * 9 / 16);
        pintor.setFont(f);
        pintor.setPen(Qt::white);
        pintor.drawText(QRect(0, 0, lado, lado), Qt::AlignCenter, QStringLiteral("ST"));
        pintor.end();
        icone.addPixmap(p);
    }
    return icone;
}
} // namespace

TTrayApp::TTrayApp(TMain *main, Novidades *novidades) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("TrayApp"));
    Menu = new QMenu(main);
    Menu->setObjectName(QStringLiteral("TrayMenu"));
    EmissordeTRM1 = repassa(Menu, "EmissordeTRM1", QStringLiteral("Emissão de ARM"), "AbreARM");
    ConsultaRegimeEspecial1 = Menu->addAction(QStringLiteral("Consulta Regime Especial"));
    ConsultaRegimeEspecial1->setObjectName(QStringLiteral("ConsultaRegimeEspecial1"));
    connect(ConsultaRegimeEspecial1, &QAction::triggered, main->SBRegEspecial, &QToolButton::click);
    ConsultaTabelaBrelva1 = Menu->addAction(QStringLiteral("Consulta Tabela Brelva"));
    ConsultaTabelaBrelva1->setObjectName(QStringLiteral("ConsultaTabelaBrelva1"));
    connect(ConsultaTabelaBrelva1, &QAction::triggered, main->SBConsulta, &QToolButton::click);
    QMenu *pesquisa = Menu->addMenu(QStringLiteral("Pesquisa"));
    Pesquisa1 = pesquisa->menuAction();
    Pesquisa1->setObjectName(QStringLiteral("Pesquisa1"));
    NBM1 = repassa(pesquisa, "NBM1", QStringLiteral("NBM"), "PesquisaCodigoNBM");
    DescrioNBM1 = repassa(pesquisa, "DescrioNBM1", QStringLiteral("Descrição NBM"), "PesquisaDescricaoNBM");
    DescriodeMercadoria1 = repassa(
        pesquisa, "DescriodeMercadoria1", QStringLiteral("Descrição de Mercadoria"), "PesquisaDescricaoMercadoria");
    QMenu *noticias = Menu->addMenu(QStringLiteral("Novidades"));
    Novidades1 = noticias->menuAction();
    Novidades1->setObjectName(QStringLiteral("Novidades1"));
    if (novidades)
        novidades->preencheMenuBandeja(noticias);
    Ajuda1 = Menu->addAction(QStringLiteral("Ajuda"));
    Ajuda1->setObjectName(QStringLiteral("Ajuda1"));
    connect(Ajuda1, &QAction::triggered, main, &TMain::AjudadoSistemaClick);
    Menu->addSeparator();
    CalculoST = Menu->addAction(QStringLiteral("Cálculo ST"));
    CalculoST->setObjectName(QStringLiteral("CalculoST"));
    connect(CalculoST, &QAction::triggered, this, &TTrayApp::mostraJanela);
    CalculoRapido1 = Menu->addAction(QStringLiteral("Cálculo Rápido"));
    CalculoRapido1->setObjectName(QStringLiteral("CalculoRapido1"));
    connect(CalculoRapido1, &QAction::triggered, main->SBCalcRapido, &QToolButton::click);
    Menu->addSeparator();
    Fim1 = Menu->addAction(QStringLiteral("Fim"));
    Fim1->setObjectName(QStringLiteral("Fim1"));
    connect(Fim1, &QAction::triggered, this, &TTrayApp::Fim1Click);
    if (Contribuinte)
        for (QAction *a : {EmissordeTRM1, ConsultaRegimeEspecial1, DescriodeMercadoria1, CalculoRapido1})
            a->setVisible(false);

    RxTray = new QSystemTrayIcon(this);
    RxTray->setObjectName(QStringLiteral("RxTray"));
    RxTray->setToolTip(QStringLiteral("ST/Brelva"));
    const QIcon icone = iconePrograma();
    RxTray->setIcon(icone);
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(icone);
    RxTray->setContextMenu(Menu);
    TimerTray = new QTimer(this);
    TimerTray->setObjectName(QStringLiteral("TimerTray"));
    TimerTray->setSingleShot(true);
    TimerTray->setInterval(200);
    connect(TimerTray, &QTimer::timeout, this, [this] { Menu->popup(QCursor::pos()); });
    TimerBandeja = new QTimer(this);
    TimerBandeja->setObjectName(QStringLiteral("TimerBandeja"));
    TimerBandeja->setInterval(2000);
    connect(TimerBandeja, &QTimer::timeout, this, [this] {
        if (!m_main->isVisible() && !m_main->ReallyClosing && !iconeVisivel())
            m_main->showMinimized();
    });
    connect(RxTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            cliqueSimples();
        else if (r == QSystemTrayIcon::DoubleClick)
            cliqueDuplo();
    });

    // With no news the sub-menu is greyed rather than dropping empty.
    connect(Menu, &QMenu::aboutToShow, this, [this, novidades] {
        bool alguma = false;
        if (novidades)
            for (QAction *a : novidades->Nov)
                alguma = alguma || a->isVisible();
        Novidades1->setEnabled(alguma);
    });
    qApp->installEventFilter(this);

    // The update programs: every cycle in the tax units' edition, none in
    // the taxpayer edition.
    Atualizacao = new CicloAtualizacao(App().AppDir, !Contribuinte, {}, {}, this);
    Atualizacao->inicia();
}

TTrayApp::~TTrayApp()
{
    // The menu belongs to the main window; the icon goes with this object.
    if (RxTray)
        RxTray->hide();
}

QAction *TTrayApp::repassa(QMenu *menu, const char *nome, const QString &legenda, const char *acaoPrincipal)
{
    QAction *a = menu->addAction(legenda);
    a->setObjectName(QLatin1String(nome));
    const QString alvo = QLatin1String(acaoPrincipal);
    connect(a, &QAction::triggered, this, [this, alvo] {
        if (QAction *principal = m_main->findChild<QAction *>(alvo))
            principal->trigger();
    });
    return a;
}

bool TTrayApp::eventFilter(QObject *o, QEvent *e)
{
    if ((e->type() != QEvent::KeyPress && e->type() != QEvent::ShortcutOverride) || !o->isWidgetType())
        return false;
    auto *k = static_cast<QKeyEvent *>(e);
    if (k->modifiers() != Qt::NoModifier || (k->key() != Qt::Key_F11 && k->key() != Qt::Key_F12))
        return false;
    if (e->type() == QEvent::ShortcutOverride) {
        // Taken here rather than by a window's shortcut, which a modal
        // dialog or a hidden main window would block.
        e->accept();
        return true;
    }
    const QString nome
        = k->key() == Qt::Key_F11 ? QStringLiteral("PMPFRacoesPET") : QStringLiteral("PMPFBebidasAlcolicas1");
    QAction *grade = m_main->findChild<QAction *>(nome);
    if (!grade || !grade->isEnabled() || k->isAutoRepeat() || m_gradesAbertas.contains(nome))
        return true;
    // The grid is modal: the key is taken when it closes.
    m_gradesAbertas.insert(nome);
    grade->trigger();
    m_gradesAbertas.remove(nome);
    return true;
}

void TTrayApp::ativa()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        RxTray->show();
    TimerBandeja->start();
}

bool TTrayApp::iconeVisivel() const
{
    // The icon stays "visible" after the notification area's host ends.
    return RxTray && RxTray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayApp::verificaRede(const QString &host, int limiteMs)
{
    delete m_teste;
    m_teste = new TesteAlcance(host, 8080, limiteMs, this);
    connect(m_teste, &TesteAlcance::resultado, this, [this](bool alcancado) {
        NetworkDown = !alcancado;
        Atualizacao->NetworkDown = NetworkDown;
        m_redeVerificada = true;
        m_teste->deleteLater();
        emit redeVerificadaChanged(NetworkDown);
    });
}

void TTrayApp::Fim1Click()
{
    if (!Confirma(QStringLiteral("Finaliza a aplicação ST/Brelva")))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_main->ShowStatus(QStringLiteral("Finalizando..."));
    QApplication::restoreOverrideCursor();
    m_main->EncerraSistema();
}

void TTrayApp::cliqueSimples() { TimerTray->start(); }

void TTrayApp::cliqueDuplo()
{
    TimerTray->stop();
    mostraJanela();
}

void TTrayApp::mostraJanela()
{
    if (m_main->isMinimized())
        m_main->showNormal();
    else
        m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace stb
