// The main window's workstation parts in each edition: the tray menu and
// its hidden entries, the update programs (never in the taxpayer edition),
// the close buttons, the address in the status line, the end command.
#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/drives.h"
#include "shell/appglobals.h"
#include "shell/atualizacao.h"
#include "shell/closesystem.h"
#include "shell/dbopen.h"
#include "shell/estacaocommands.h"
#include "shell/mainwindow.h"
#include "shell/noticias.h"
#include "shell/trayapp.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace stb;
using stbtest::TestInstall;

class TestWsMain : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void trayEntries_data();
    void trayEntries();
    void updateProgramsByEdition();
    void closeButtonsOnLocalFolder();
    void endCommandAsksFirst();
    void networkDownShowsInVersionLine();
    void hotKeysFromAnyWindow_data();
    void hotKeysFromAnyWindow();
    void trayNewsGreyedWithoutNews();
    void hiddenWithoutTrayComesBack();
    void trayClicks_data();
    void trayClicks();
    void closeAllThenEnd_data();
    void closeAllThenEnd();

private:
    std::unique_ptr<TestInstall> m_inst;
    std::unique_ptr<TMain> m_main;
    RecordingSink m_sink;
};

void TestWsMain::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    // The update server is this computer, where nobody answers on its port.
    m_inst->setIni(QStringLiteral("HostFazenda"), QStringLiteral("Host"), QStringLiteral("127.0.0.1"));
    m_inst->applyToProcess();
    annex::setPastaPrograma(m_inst->path(QStringLiteral("semprograma")));
    qputenv("STB_ENDERECO_IP", "10.1.1.77");
    m_main = std::make_unique<TMain>();
    QSignalSpy done(m_main.get(), &TMain::startupFinished);
    QVERIFY(done.wait(30000));
}

void TestWsMain::cleanup()
{
    stbtest::dropModalWatches();
    setDriveTypeOverride(nullptr);
    m_main.reset();
    if (TDM::hasInstance())
        TDM::destroyInstance();
    m_inst.reset();
    qunsetenv("STB_ENDERECO_IP");
    annex::setPastaPrograma(QString());
    setMessageSink(nullptr);
}

void TestWsMain::trayEntries_data()
{
    QTest::addColumn<QString>("entrada");
    QTest::addColumn<bool>("visivelUnidade");
    QTest::addColumn<bool>("visivelContribuinte");
    QTest::newRow("Emissão de ARM") << "EmissordeTRM1" << true << false;
    QTest::newRow("Consulta Regime Especial") << "ConsultaRegimeEspecial1" << true << false;
    QTest::newRow("Consulta Tabela Brelva") << "ConsultaTabelaBrelva1" << true << true;
    QTest::newRow("Pesquisa") << "Pesquisa1" << true << true;
    QTest::newRow("NBM") << "NBM1" << true << true;
    QTest::newRow("Descrição NBM") << "DescrioNBM1" << true << true;
    QTest::newRow("Descrição de Mercadoria") << "DescriodeMercadoria1" << true << false;
    QTest::newRow("Novidades") << "Novidades1" << true << true;
    QTest::newRow("Ajuda") << "Ajuda1" << true << true;
    QTest::newRow("Cálculo ST") << "CalculoST" << true << true;
    QTest::newRow("Cálculo Rápido") << "CalculoRapido1" << true << false;
    QTest::newRow("Fim") << "Fim1" << true << true;
    QTest::newRow("Você Sabia? (help menu)") << "VoceSabia1" << true << false;
    QTest::newRow("Códigos de Ocorrências") << "CodigosDeOcorrencias1" << true << false;
}

void TestWsMain::trayEntries()
{
    QFETCH(QString, entrada);
    QFETCH(bool, visivelUnidade);
    QFETCH(bool, visivelContribuinte);
    QAction *a = m_main->findChild<QAction *>(entrada);
    QVERIFY2(a, qPrintable(entrada));
    QCOMPARE(a->isVisible(), Contribuinte ? visivelContribuinte : visivelUnidade);
}

void TestWsMain::updateProgramsByEdition()
{
    // Two update programs that leave a mark when they run.
    const QString app = App().AppDir;
    for (const char *nome : {"NovaVersao", "Atualiza"}) {
        const QString programa = app + QLatin1String(nome);
        QFile f(programa);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho ok > '%1.marca'\n").arg(programa).toUtf8());
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    CicloAtualizacao *ciclo = m_main->Estacao->TrayApp->Atualizacao;
    QVERIFY(ciclo->TimerAtualiza->isActive());
    QCOMPARE(ciclo->intervaloMin(), 30);
    ciclo->NetworkDown = false;
    ciclo->TimerAtualizaTimer();
    ciclo->TimerAtualizaTimer();
    QTest::qWait(Contribuinte ? 1500 : 0);
    if (Contribuinte) {
        QVERIFY(!QFileInfo::exists(app + QStringLiteral("NovaVersao.marca")));
        QVERIFY(!QFileInfo::exists(app + QStringLiteral("Atualiza.marca")));
    } else {
        QTRY_VERIFY(QFileInfo::exists(app + QStringLiteral("NovaVersao.marca")));
        QTRY_VERIFY(QFileInfo::exists(app + QStringLiteral("Atualiza.marca")));
    }
}

void TestWsMain::closeButtonsOnLocalFolder()
{
    // A data folder on a local disk: no other workstation can be detected.
    QVERIFY(m_main->SBFimEx->isHidden());
    m_main->PopMenuFecha->popup(QPoint(0, 0));
    QAction *todos = m_main->findChild<QAction *>(QStringLiteral("FechaoSistemaemtodososterminais1"));
    QVERIFY(todos);
    QVERIFY(!todos->isVisible());
    m_main->PopMenuFecha->hide();
    // The workstation's address in the status line.
    QCOMPARE(m_main->StatusPanel[2]->text(), QStringLiteral("10.1.1.77"));
    stbtest::saveScreenshot(
        m_main.get(), Contribuinte ? QStringLiteral("ws-main-contribuinte") : QStringLiteral("ws-main"));
}

void TestWsMain::endCommandAsksFirst()
{
    m_sink.answers = {false};
    m_main->Estacao->TrayApp->Fim1->trigger();
    QCOMPARE(m_sink.texts(), QStringList {questionText(QStringLiteral("Finaliza a aplicação ST/Brelva"))});
    QVERIFY(!m_main->ReallyClosing);
    m_sink.clear();
    m_sink.answers = {true};
    m_main->Estacao->TrayApp->Fim1->trigger();
    QVERIFY(m_main->ReallyClosing);
    QVERIFY(m_main->statusLog.contains(QStringLiteral("Finalizando...")));
}

void TestWsMain::networkDownShowsInVersionLine()
{
    if (Contribuinte) {
        // No reachability test in this edition: the version line has no intranet part.
        QVERIFY(!m_main->Estacao->TrayApp->redeVerificada());
        QVERIFY(!m_main->versionLine().contains(QStringLiteral("Intranet")));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(m_main->Estacao->TrayApp->redeVerificada(), 5000);
    QVERIFY(m_main->Estacao->TrayApp->NetworkDown);
    QVERIFY(m_main->Estacao->TrayApp->Atualizacao->NetworkDown);
    QVERIFY(!m_main->IntranetOk);
    QVERIFY(m_main->versionLine().endsWith(QStringLiteral(" [Intranet não Ok]")));
}

void TestWsMain::hotKeysFromAnyWindow_data()
{
    QTest::addColumn<int>("tecla");
    QTest::addColumn<QString>("onde");
    QTest::addColumn<QString>("grade");
    const QString racoes = QStringLiteral("TFormDlgPMPFRacoesPET"), bebidas = QStringLiteral("TFormDlgPMPFBebidas");
    QTest::newRow("F11 in the main window") << int(Qt::Key_F11) << "principal" << racoes;
    QTest::newRow("F12 in the main window") << int(Qt::Key_F12) << "principal" << bebidas;
    QTest::newRow("F12 in a modal dialog") << int(Qt::Key_F12) << "modal" << bebidas;
    QTest::newRow("F11 in another window, main hidden") << int(Qt::Key_F11) << "outra" << racoes;
    QTest::newRow("F11 in its own grid: no second grid") << int(Qt::Key_F11) << "repetida" << racoes;
}

void TestWsMain::hotKeysFromAnyWindow()
{
    QFETCH(int, tecla);
    QFETCH(QString, onde);
    QFETCH(QString, grade);
    const auto key = static_cast<Qt::Key>(tecla);
    auto abertas = [&grade] {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == grade && w->isVisible();
        return n;
    };
    int vistas = 0, maximo = 0;
    QDialog modal(m_main.get());
    modal.setObjectName(QStringLiteral("OutroDialogo"));
    stbtest::whenModalNamed(grade, [&](QWidget *w) {
        ++vistas;
        if (onde == QLatin1String("repetida")) {
            // The key again inside its grid stacks nothing.
            QTest::keyClick(w, key);
            QTest::qWait(300);
        }
        maximo = abertas();
        w->close();
        modal.reject();
    });
    m_main->show();
    if (onde == QLatin1String("modal")) {
        stbtest::whenModalNamed(modal.objectName(), [key](QWidget *w) { QTest::keyClick(w, key); });
        modal.exec();
    } else if (onde == QLatin1String("outra")) {
        m_main->hide();
        QWidget outra;
        outra.show();
        QTest::keyClick(&outra, key);
        QTRY_COMPARE(vistas, 1);
    } else {
        QTest::keyClick(m_main.get(), key);
        QTRY_COMPARE(vistas, 1);
    }
    QTRY_COMPARE(vistas, 1);
    QCOMPARE(maximo, 1);
    QTRY_COMPARE(abertas(), 0);
}

void TestWsMain::trayNewsGreyedWithoutNews()
{
    TTrayApp *tray = m_main->Estacao->TrayApp;
    Novidades *paginas = m_main->Estacao->Paginas;
    paginas->exibeAutomaticamente = false;
    emit tray->Menu->aboutToShow();
    QVERIFY(!tray->Novidades1->isEnabled());
    // A message page is no news: the sub-menu stays greyed.
    const auto escreve = [](const QString &arquivo) {
        QDir().mkpath(QFileInfo(arquivo).absolutePath());
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html><head><title>Aviso</title></head><body>x</body></html>");
    };
    escreve(App().DataDir + QStringLiteral("Msg/aviso.html"));
    paginas->varreAgora();
    emit tray->Menu->aboutToShow();
    QVERIFY(!tray->Novidades1->isEnabled());
    escreve(App().AppDir + QStringLiteral("Novidades/versao.html"));
    paginas->varreAgora();
    emit tray->Menu->aboutToShow();
    QVERIFY(tray->Novidades1->isEnabled());
    QVERIFY(tray->Novidades1->menu()->actions().contains(paginas->Nov[0]));
    QVERIFY(paginas->Nov[0]->isVisible());
}

void TestWsMain::hiddenWithoutTrayComesBack()
{
    // No notification area here (as when its host ends): closing minimises,
    // and a window hidden all the same comes back minimised.
    QVERIFY(!m_main->Estacao->bandejaVisivel());
    m_main->show();
    m_main->close();
    QVERIFY(m_main->isVisible());
    QTRY_VERIFY(m_main->isMinimized());
    m_main->hide();
    QTRY_VERIFY_WITH_TIMEOUT(m_main->isVisible() && m_main->isMinimized(), 5000);
    QVERIFY(!m_main->ReallyClosing);
}

void TestWsMain::trayClicks_data()
{
    QTest::addColumn<bool>("duplo");
    QTest::newRow("single click: the menu drops 200 ms later") << false;
    QTest::newRow("double click: the window comes back, no menu") << true;
}

void TestWsMain::trayClicks()
{
    QFETCH(bool, duplo);
    TTrayApp *tray = m_main->Estacao->TrayApp;
    m_main->show();
    m_main->showMinimized();
    emit tray->RxTray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!tray->Menu->isVisible());
    if (duplo) {
        QTest::qWait(50);
        emit tray->RxTray->activated(QSystemTrayIcon::DoubleClick);
        QTest::qWait(400);
        QVERIFY(!tray->Menu->isVisible());
        QVERIFY(m_main->isVisible());
        QVERIFY(!m_main->isMinimized());
    } else {
        QTRY_VERIFY(tray->Menu->isVisible());
        QVERIFY(m_main->isMinimized());
        tray->Menu->hide();
    }
}

void TestWsMain::closeAllThenEnd_data()
{
    QTest::addColumn<bool>("encerra");
    QTest::newRow("end confirmed: the request stays while the process ends") << true;
    QTest::newRow("end declined: the request goes, the monitors watch again") << false;
}

void TestWsMain::closeAllThenEnd()
{
    QFETCH(bool, encerra);
    // Another workstation comes to the shared folder after this one started
    // alone: semaphore 30 under its address.
    QVERIFY(m_main->SBFimEx->isHidden());
    setDriveTypeOverride([](const QString &) { return DriveType::Remote; });
    QVERIFY(OpenSysTable(30));
    Settings::instance().setLockEntry(QStringLiteral("30"), QStringLiteral("10.1.1.30"));
    // Its window activated, this one offers SBFimEx (never the taxpayer edition).
    QEvent ativa(QEvent::WindowActivate);
    QCoreApplication::sendEvent(m_main.get(), &ativa);
    QCOMPARE(m_main->SBFimEx->isHidden(), Contribuinte);
    emit m_main->PopMenuFecha->aboutToShow();
    QCOMPARE(m_main->Estacao->FechaoSistemaemtodososterminais1->isVisible(), !Contribuinte);
    if (Contribuinte) {
        CloseSysSemaphore(30);
        return;
    }
    MonitorMensagens *monitor = m_main->Estacao->Monitor;
    m_sink.answers = {true, true, encerra};
    m_main->Estacao->FechaTodosClick();
    QCOMPARE(m_sink.texts(),
        (QStringList {questionText(QStringLiteral("Quer fechar o sistema ST/Brelva em todos os terminais")),
            questionText(QStringLiteral("Tem Certeza?")),
            questionText(QStringLiteral("Finaliza a aplicação ST/Brelva"))}));
    QCOMPARE(m_main->ReallyClosing, encerra);
    QCOMPARE(QFileInfo::exists(App().NaoEntreFile), encerra);
    QCOMPARE(monitor->ClosingOthers, encerra);
    // The issuing workstation never counts down.
    QTest::qWait(500);
    QVERIFY(!monitor->janelaContagem());
    if (!encerra) {
        QVERIFY(monitor->monitoresAtivos());
        QVERIFY(monitor->TimerFolderMonitor->isActive());
    }
    CloseSysSemaphore(30);
}

QTEST_MAIN(TestWsMain)
#include "tst_ws_main.moc"
