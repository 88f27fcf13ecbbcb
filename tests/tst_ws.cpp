// Workstations in one process: station numbers and the scan under short
// lock settings, the close-all dialog, the close request with its countdown,
// the news pages, the update cycle, the reachability test and the error
// report's lines and listing.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/alcance.h"
#include "platform/db/database.h"
#include "platform/drives.h"
#include "platform/exclusivefile.h"
#include "platform/registry.h"
#include "shell/appglobals.h"
#include "shell/atualizacao.h"
#include "shell/closesystem.h"
#include "shell/crashreport.h"
#include "shell/dbopen.h"
#include "shell/dlgfechatodos.h"
#include "shell/mainwindow.h"
#include "shell/noticias.h"
#include "shell/stations.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <stdexcept>

using namespace stb;
using stbtest::TestInstall;

namespace {

void escreve(const QString &path, const QByteArray &conteudo)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo);
}

QList<TFormNovidade *> janelasNovidade()
{
    QList<TFormNovidade *> l;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<TFormNovidade *>(w); f && f->isVisible())
            l << f;
    return l;
}

// The data module on the installation's data folder, as the start-up makes it.
void abreModulo()
{
    TDM::setDefaultDataDir(App().DataDir);
    DM().DataModuleCreate();
}

} // namespace

class TestWs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stationNumber_data();
    void stationNumber();
    void scanSeesHeldSemaphoresOnly();
    void scanRestoresLockSettings();
    void scanNeedsSharedFolder();

    void countdownText_data();
    void countdownText();
    void closeRequestCountsDownAndEnds();
    void naoEncerraComesBackAfterRecheck();
    void issuingStationNeverCountsDown();

    void fechaTodos_data();
    void fechaTodos();

    void newsDroppedShowsOnce();
    void newsRecordedIsNotShownAgain();
    void latestPagesFillTheMenu();
    void newsWrittenSlowlyShowsComplete();
    void pageChosenAgainIsReadAgain();
    void newsPagePrints_data();
    void newsPagePrints();

    void updateCycle_data();
    void updateCycle();
    void lockedLogSkipsAtualiza();
    void taxpayerCycleStartsNothing();
    void missingProgramIsSkipped();

    void reachability_data();
    void reachability();

    void reportLines_data();
    void reportLines();
    void reportFilter_data();
    void reportFilter();
    void listingLineFormat();
    void listingWalksInstallation();
    void reportFileHasLinesInOrder();

private:
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
};

void TestWs::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
}

void TestWs::cleanup()
{
    setDriveTypeOverride(nullptr);
    qunsetenv("STB_ENDERECO_IP");
    if (TDM::hasInstance())
        TDM::destroyInstance();
    m_inst.reset();
    setMessageSink(nullptr);
}

// ---- stations -----------------------------------------------------------------------

void TestWs::stationNumber_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("numero");
    QTest::newRow("plain") << "192.168.0.15" << 15;
    QTest::newRow("one digit") << "10.0.0.7" << 7;
    QTest::newRow("last 255") << "10.0.0.255" << 255;
    QTest::newRow("ends in 0") << "10.0.0.0" << 0;
    QTest::newRow("no address") << "" << 0;
    QTest::newRow("no dot") << "localhost" << 0;
    QTest::newRow("three characters only") << "10.0.0.1234" << 123;
    QTest::newRow("above 255") << "10.0.0.300" << 0;
}

void TestWs::stationNumber()
{
    QFETCH(QString, ip);
    QFETCH(int, numero);
    QCOMPARE(numeroEstacao(ip), numero);
}

void TestWs::scanSeesHeldSemaphoresOnly()
{
    // This process is workstation 21; semaphores 30 and 31 are held by
    // "other" stations (this process, under entries with other addresses);
    // 40 has a stale entry and no semaphore.
    qputenv("STB_ENDERECO_IP", "10.9.9.21");
    setDriveTypeOverride([](const QString &) { return DriveType::Remote; });
    abreModulo();
    QStringList status, painel;
    QCOMPARE(RegisterStation([&](const QString &t) { status << t; }, [&](const QString &t) { painel << t; }), 21);
    QCOMPARE(
        status, (QStringList {QStringLiteral("Buscando Nro do IP..."), QStringLiteral("Configurando Estação...")}));
    QCOMPARE(painel, QStringList {QStringLiteral("10.9.9.21")});
    Settings &s = Settings::instance();
    QCOMPARE(s.lockEntry(QStringLiteral("21")), QStringLiteral("10.9.9.21"));
    QVERIFY(OpenSysTable(30));
    QVERIFY(OpenSysTable(31));
    s.setLockEntry(QStringLiteral("30"), QStringLiteral("10.9.9.30"));
    s.setLockEntry(QStringLiteral("40"), QStringLiteral("10.9.9.40"));
    // 31 has no entry: it counts as "0.0.0.0", another station.
    QStringList outras = OutrasEstacoes();
    outras.sort();
    QCOMPARE(outras, (QStringList {QStringLiteral("0.0.0.0"), QStringLiteral("10.9.9.30")}));
    QVERIFY(OtherStationsActive());
    CloseSysSemaphore(30);
    CloseSysSemaphore(31);
    QCOMPARE(OutrasEstacoes(), QStringList());
    QVERIFY(!OtherStationsActive());
    // The stale entries stay.
    QCOMPARE(s.lockEntry(QStringLiteral("40")), QStringLiteral("10.9.9.40"));
}

void TestWs::scanRestoresLockSettings()
{
    setDriveTypeOverride([](const QString &) { return DriveType::Remote; });
    abreModulo();
    TDM &dm = DM();
    db::Session &sessao = dm.BaseDados.session();
    sessao.lockRetryCount = 15;
    sessao.lockWaitTime = 100;
    {
        LockCurto curto;
        QCOMPARE(sessao.lockRetryCount, 3);
        QCOMPARE(sessao.lockWaitTime, 10);
    }
    QCOMPARE(sessao.lockRetryCount, 15);
    QCOMPARE(sessao.lockWaitTime, 100);
    OutrasEstacoes();
    QCOMPARE(sessao.lockRetryCount, 15);
    QCOMPARE(sessao.lockWaitTime, 100);
}

void TestWs::scanNeedsSharedFolder()
{
    // A folder on a local disk is never shared: nobody else is detected,
    // even with a semaphore held under another address.
    qputenv("STB_ENDERECO_IP", "10.9.9.21");
    setDriveTypeOverride([](const QString &) { return DriveType::Fixed; });
    abreModulo();
    QVERIFY(OpenSysTable(30));
    Settings::instance().setLockEntry(QStringLiteral("30"), QStringLiteral("10.9.9.30"));
    QVERIFY(!pastaCompartilhada(App().DataDir));
    QVERIFY(!OtherStationsActive());
    QVERIFY(pastaCompartilhada(QStringLiteral("//servidor/dados/")));
    setDriveTypeOverride([](const QString &) { return DriveType::Remote; });
    QVERIFY(OtherStationsActive());
    CloseSysSemaphore(30);
}

// ---- close request ------------------------------------------------------------------

void TestWs::countdownText_data()
{
    QTest::addColumn<int>("segundos");
    QTest::addColumn<QString>("texto");
    QTest::newRow("30") << 30 << QStringLiteral("O sistema ST/Brelva será encerrado em\r\n30 segundos");
    QTest::newRow("2") << 2 << QStringLiteral("O sistema ST/Brelva será encerrado em\r\n2 segundos");
    QTest::newRow("1") << 1 << QStringLiteral("O sistema ST/Brelva será encerrado em\r\n1 segundo");
}

void TestWs::countdownText()
{
    QFETCH(int, segundos);
    QFETCH(QString, texto);
    QCOMPARE(textoEncerramento(segundos), texto);
}

void TestWs::closeRequestCountsDownAndEnds()
{
    const QString pasta = App().DataDir + QStringLiteral("Msg");
    MonitorMensagens monitor({pasta}, App().NaoEntreFile);
    monitor.segundosContagem = 2;
    QSignalSpy fim(&monitor, &MonitorMensagens::encerrar);
    monitor.inicia();
    QVERIFY(monitor.monitoresAtivos());
    QVERIFY(monitor.TimerFolderMonitor->isActive());
    QStringList textos;
    QElapsedTimer relogio;
    QTimer observa;
    connect(&observa, &QTimer::timeout, this, [&] {
        if (TFormCloseSystem *j = monitor.janelaContagem(); j && (textos.isEmpty() || textos.last() != j->texto()))
            textos << j->texto();
    });
    observa.start(20);
    relogio.start();
    escreve(App().NaoEntreFile, {});
    QVERIFY(fim.wait(10000));
    const qint64 ms = relogio.elapsed();
    // The full count first, then down to one second; the end after about two.
    QVERIFY2(textos.size() >= 2, qPrintable(textos.join(QLatin1Char('|'))));
    QCOMPARE(textos.first(), textoEncerramento(2));
    QCOMPARE(textos.last(), textoEncerramento(1));
    QVERIFY2(ms >= 1800, qPrintable(QString::number(ms)));
    // While the countdown ran the monitors were off.
    QVERIFY(!monitor.monitoresAtivos());
    QVERIFY(!monitor.TimerFolderMonitor->isActive());
}

void TestWs::naoEncerraComesBackAfterRecheck()
{
    MonitorMensagens monitor({App().DataDir + QStringLiteral("Msg")}, App().NaoEntreFile);
    monitor.segundosContagem = 30;
    monitor.TimerMsg->setInterval(300);
    QSignalSpy fim(&monitor, &MonitorMensagens::encerrar);
    monitor.inicia();
    int vezes = 0;
    QTimer observa;
    connect(&observa, &QTimer::timeout, this, [&] {
        TFormCloseSystem *j = monitor.janelaContagem();
        if (!j || !j->isVisible())
            return;
        ++vezes;
        // "Não Encerra" twice, then "Encerra agora".
        if (vezes < 3)
            j->BtnNaoEncerra->click();
        else
            j->BtnEncerra->click();
    });
    observa.start(50);
    escreve(App().NaoEntreFile, {});
    QVERIFY(fim.wait(10000));
    QCOMPARE(vezes, 3);
    QCOMPARE(fim.size(), 1);

    // Once the request is gone the re-check stops and the monitors come back.
    observa.stop();
    MonitorMensagens outro({App().DataDir + QStringLiteral("Msg")}, App().NaoEntreFile);
    outro.TimerMsg->setInterval(300);
    bool recusou = false;
    QTimer recusa;
    connect(&recusa, &QTimer::timeout, this, [&] {
        if (TFormCloseSystem *j = outro.janelaContagem(); j && j->isVisible() && !recusou) {
            recusou = true;
            j->BtnNaoEncerra->click();
        }
    });
    recusa.start(50);
    outro.inicia(); // the request stands: the countdown shows at once
    QVERIFY(recusou);
    QVERIFY(outro.TimerMsg->isActive());
    QFile::remove(App().NaoEntreFile);
    QTRY_VERIFY(!outro.TimerMsg->isActive());
    QVERIFY(outro.monitoresAtivos());
    QVERIFY(outro.TimerFolderMonitor->isActive());
    QVERIFY(!outro.janelaContagem());
}

void TestWs::issuingStationNeverCountsDown()
{
    MonitorMensagens monitor({App().DataDir + QStringLiteral("Msg")}, App().NaoEntreFile);
    monitor.segundosContagem = 1;
    monitor.ClosingOthers = true;
    QSignalSpy fim(&monitor, &MonitorMensagens::encerrar);
    QSignalSpy paginas(&monitor, &MonitorMensagens::paginasMudaram);
    monitor.inicia();
    QCOMPARE(paginas.size(), 1);
    escreve(App().NaoEntreFile, {});
    // The change is seen (the monitors stop) but no countdown shows.
    QTRY_VERIFY(!monitor.monitoresAtivos());
    QTest::qWait(1500);
    QVERIFY(!monitor.janelaContagem());
    QCOMPARE(fim.size(), 0);
    QCOMPARE(paginas.size(), 1);
}

// ---- close-all dialog -------------------------------------------------------------------

void TestWs::fechaTodos_data()
{
    QTest::addColumn<QStringList>("outras");
    QTest::addColumn<QList<bool>>("respostas");
    QTest::addColumn<bool>("aceito");
    QTest::addColumn<QStringList>("mensagens");
    const QString pergunta = questionText(QStringLiteral("Quer fechar o sistema ST/Brelva em todos os terminais"));
    const QString certeza = questionText(QStringLiteral("Tem Certeza?"));
    QTest::newRow("alone") << QStringList() << QList<bool>() << false
                           << QStringList {QStringLiteral("Apenas este terminal está utilizando o sistema ST/Brelva!")};
    QTest::newRow("both confirmed") << QStringList {QStringLiteral("10.0.0.5"), QStringLiteral("10.0.0.6")}
                                    << QList<bool> {true, true} << true << QStringList {pergunta, certeza};
    QTest::newRow("second declined") << QStringList {QStringLiteral("10.0.0.5")} << QList<bool> {true, false} << false
                                     << QStringList {pergunta, certeza};
    QTest::newRow("first declined") << QStringList {QStringLiteral("10.0.0.5")} << QList<bool> {false} << false
                                    << QStringList {pergunta};
}

void TestWs::fechaTodos()
{
    QFETCH(QStringList, outras);
    QFETCH(QList<bool>, respostas);
    QFETCH(bool, aceito);
    QFETCH(QStringList, mensagens);
    abreModulo();
    m_sink.answers = respostas;
    bool closingOthers = false;
    const QString pedido = App().NaoEntreFile;
    QStringList lista;
    {
        TFormDlgFechaTodos dlg(closingOthers, pedido);
        dlg.varredura = [&] { return outras; };
        if (!aceito && !outras.isEmpty())
            // Declined: the dialog stays with its list; the test cancels it.
            QTimer::singleShot(300, &dlg, [&] {
                for (int i = 0; i < dlg.ListBox->count(); ++i)
                    lista << dlg.ListBox->item(i)->text();
                dlg.reject();
            });
        const int r = dlg.exec();
        QCOMPARE(r == QDialog::Accepted, aceito);
        QCOMPARE(QFileInfo::exists(pedido), aceito);
        QCOMPARE(closingOthers, aceito);
        QCOMPARE(dlg.criouPedido(), aceito);
        if (!aceito && !outras.isEmpty())
            QCOMPARE(lista, outras);
    }
    // The dialog's end takes the request back and clears the flag.
    QVERIFY(!QFileInfo::exists(pedido));
    QVERIFY(!closingOthers);
    QCOMPARE(m_sink.texts(), mensagens);
}

// ---- news -------------------------------------------------------------------------------------

namespace {
// A window's news pages, with the monitor of DataDir/Msg started.
struct PaginasVigiadas {
    QWidget janela;
    QMenu menu;
    Novidades novidades {App().AppDir, App().DataDir, &menu, &janela};
    MonitorMensagens monitor {{App().DataDir + QStringLiteral("Msg")}, App().NaoEntreFile};
    PaginasVigiadas()
    {
        QObject::connect(&monitor, &MonitorMensagens::paginasMudaram, &novidades, &Novidades::varreAgora);
        monitor.inicia();
    }
};
} // namespace

void TestWs::newsDroppedShowsOnce()
{
    PaginasVigiadas p;
    for (QAction *a : p.novidades.Msg)
        QVERIFY(!a->isVisible());
    const QString pagina = App().DataDir + QStringLiteral("Msg/Aviso1.html");
    escreve(pagina, "<html><head><title>Aviso da Unidade</title></head><body><p>Reunião amanhã.</p></body></html>");
    QTRY_VERIFY_WITH_TIMEOUT(p.novidades.Msg[0]->isVisible(), 10000);
    QVERIFY(p.novidades.Msg[0]->text().startsWith(QStringLiteral("Aviso1 - ")));
    QVERIFY(!p.novidades.Msg[1]->isVisible());
    QTRY_COMPARE(janelasNovidade().size(), 1);
    TFormNovidade *f = janelasNovidade().first();
    QVERIFY(f->windowTitle().startsWith(QStringLiteral("Aviso da Unidade de ")));
    QVERIFY(f->Browser->toPlainText().contains(QStringLiteral("Reunião amanhã.")));
    stbtest::saveScreenshot(f, QStringLiteral("ws-novidade"));
    f->close();
    QTRY_COMPARE(janelasNovidade().size(), 0);
    // Another file in the folder: the first page does not show again.
    escreve(App().DataDir + QStringLiteral("Msg/nota.txt"), "x");
    QTest::qWait(600);
    p.monitor.verifica();
    QCOMPARE(janelasNovidade().size(), 0);
    QCOMPARE(p.novidades.exibidas().size(), 1);
    // Closed with the box cleared: nothing recorded, so the next run shows it.
    QVERIFY(Settings::instance().novidade(QStringLiteral("Aviso1.html")).isEmpty());
}

void TestWs::newsRecordedIsNotShownAgain()
{
    const QString pagina = App().AppDir + QStringLiteral("Novidades/Versao 5.html");
    escreve(pagina, "<html><body>Nova versão <a href=\"file://STBrelva.html\">ajuda</a></body></html>");
    {
        // Delivered before the program started: shown by the first scan.
        QFile f(pagina);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    QStringList abertos;
    TMain::setShellOpenHook([&](const QString &f) { abertos << f; });
    {
        QWidget janela;
        QMenu menu;
        Novidades novidades(App().AppDir, App().DataDir, &menu, &janela);
        novidades.iniciaVarredura();
        novidades.aguardaVarredura();
        QVERIFY(novidades.Nov[0]->isVisible());
        QCOMPARE(janelasNovidade().size(), 1);
        TFormNovidade *f = janelasNovidade().first();
        // A page without a title is captioned with its file name.
        QVERIFY(f->windowTitle().startsWith(QStringLiteral("Versao 5 de ")));
        // The help link opens the installation's help page.
        emit f->Browser->anchorClicked(QUrl(QStringLiteral("file://STBrelva.html")));
        QCOMPARE(abertos, QStringList {App().AppDir + QStringLiteral("STBrelva.html")});
        f->CheckNaoExibir->setChecked(true);
        f->BtnFecha->click();
        QTRY_COMPARE(janelasNovidade().size(), 0);
        QVERIFY(!Settings::instance().novidade(QStringLiteral("Versao 5.html")).isEmpty());
    }
    {
        // Another run: recorded, so it stays in the menu only; opened from
        // the menu and closed with the box cleared, its record goes.
        QWidget janela;
        QMenu menu;
        Novidades novidades(App().AppDir, App().DataDir, &menu, &janela);
        novidades.varreAgora();
        QCOMPARE(janelasNovidade().size(), 0);
        novidades.Nov[0]->trigger();
        QCOMPARE(janelasNovidade().size(), 1);
        TFormNovidade *f = janelasNovidade().first();
        QVERIFY(f->CheckNaoExibir->isChecked());
        f->CheckNaoExibir->setChecked(false);
        f->BtnFecha->click();
        QTRY_COMPARE(janelasNovidade().size(), 0);
        QVERIFY(Settings::instance().novidade(QStringLiteral("Versao 5.html")).isEmpty());
    }
    TMain::setShellOpenHook({});
}

void TestWs::latestPagesFillTheMenu()
{
    // Five messages in two folders: the three latest fill Msg1..Msg3.
    const QDateTime base = QDateTime::currentDateTime().addDays(-10);
    const QStringList pastas {App().DataDir + QStringLiteral("Msg/"), App().AppDir + QStringLiteral("Msg/")};
    for (int i = 0; i < 5; ++i) {
        const QString arquivo = pastas[i % 2] + QStringLiteral("m%1.html").arg(i);
        escreve(arquivo, "<html></html>");
        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(base.addDays(i), QFileDevice::FileModificationTime));
    }
    escreve(pastas[0] + QStringLiteral("NAOENTRE.MSG.txt"), "not a page");
    const ListaPaginas lista = listaPaginas(App().AppDir + QStringLiteral("Novidades"), {pastas[0], pastas[1]});
    QCOMPARE(lista.novidades.size(), 0);
    QCOMPARE(lista.mensagens.size(), 5);
    QWidget janela;
    QMenu menu;
    Novidades novidades(App().AppDir, App().DataDir, &menu, &janela);
    novidades.exibeAutomaticamente = false;
    novidades.varreAgora();
    QCOMPARE(
        novidades.Msg[0]->text(), QStringLiteral("m4 - ") + base.addDays(4).toString(QStringLiteral("dd/MM/yyyy")));
    QCOMPARE(novidades.Msg[1]->text().left(2), QStringLiteral("m3"));
    QCOMPARE(novidades.Msg[2]->text().left(2), QStringLiteral("m2"));
    for (QAction *a : novidades.Nov)
        QVERIFY(!a->isVisible());
    QCOMPARE(janelasNovidade().size(), 0);
}

void TestWs::newsWrittenSlowlyShowsComplete()
{
    // A page copied into the folder in two writes: listed at once, shown
    // only when complete, and once.
    PaginasVigiadas p;
    const QString pagina = App().DataDir + QStringLiteral("Msg/Circular.html");
    QFile f(pagina);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<html><head><title>Circular 12</title></head>");
    f.flush();
    QTRY_VERIFY_WITH_TIMEOUT(p.novidades.Msg[0]->isVisible(), 10000);
    QTest::qWait(400);
    f.write("<body><p>Prazo de entrega prorrogado até sexta.</p></body></html>");
    f.close();
    QTRY_COMPARE_WITH_TIMEOUT(janelasNovidade().size(), 1, 10000);
    TFormNovidade *janelaPagina = janelasNovidade().first();
    QVERIFY(janelaPagina->Browser->toPlainText().contains(QStringLiteral("Prazo de entrega prorrogado até sexta.")));
    QTest::qWait(2500);
    QCOMPARE(janelasNovidade().size(), 1);
    QCOMPARE(p.novidades.exibidas().size(), 1);
}

void TestWs::pageChosenAgainIsReadAgain()
{
    const QString pagina = App().DataDir + QStringLiteral("Msg/Plantao.html");
    escreve(pagina, "<html><body><p>Plantão: Ana</p></body></html>");
    TFormNovidade f(pagina, App().AppDir);
    QVERIFY(f.Browser->toPlainText().contains(QStringLiteral("Plantão: Ana")));
    escreve(pagina, "<html><body><p>Plantão: Bruno</p></body></html>");
    f.mostraArquivo(pagina);
    QVERIFY(f.Browser->toPlainText().contains(QStringLiteral("Plantão: Bruno")));
}

void TestWs::newsPagePrints_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("titulo");
    QTest::addColumn<QStringList>("textos");
    QTest::newRow("title and accents")
        << QStringLiteral("Aviso.html")
        << QByteArray(
               "<html><head><meta charset=\"utf-8\"><title>Atenção: Reunião</title></head><body>"
               "<p>Reunião às 14h na sala de reuniões; não faltem.</p><p>Última linha ç ã õ é.</p></body></html>")
        << QStringLiteral("Atenção: Reunião")
        << QStringList {QStringLiteral("Reunião às 14h na sala de reuniões; não faltem."),
               QStringLiteral("Última linha ç ã õ é.")};
    QTest::newRow("no title: the file's name")
        << QStringLiteral("Versão 5.html")
        << QByteArray("<html><body><h1>Nova versão</h1><ul><li>Cálculo do FEM</li><li>Relatório "
                      "revisto</li></ul></body></html>")
        << QStringLiteral("Versão 5")
        << QStringList {
               QStringLiteral("Nova versão"), QStringLiteral("Cálculo do FEM"), QStringLiteral("Relatório revisto")};
    QTest::newRow("page opening with a list")
        << QStringLiteral("Lista.html")
        << QByteArray("<html><head><title>Prazos</title></head><body><ol><li>Março: entrega</li><li>Abril: "
                      "revisão</li></ol></body></html>")
        << QStringLiteral("Prazos")
        << QStringList {QStringLiteral("1. Março: entrega"), QStringLiteral("2. Abril: revisão")};
    QTest::newRow("page opening with a table")
        << QStringLiteral("Tabela.html")
        << QByteArray(
               "<html><head><title>Alíquotas</title></head><body><table><tr><td>Março</td><td>18%</td></tr></table>"
               "<p>Fim do aviso.</p></body></html>")
        << QStringLiteral("Alíquotas") << QStringList {QStringLiteral("Março 18%"), QStringLiteral("Fim do aviso.")};
}

void TestWs::newsPagePrints()
{
    QFETCH(QString, nome);
    QFETCH(QByteArray, html);
    QFETCH(QString, titulo);
    QFETCH(QStringList, textos);
    const QString pagina = App().DataDir + QStringLiteral("Msg/") + nome;
    escreve(pagina, html);
    TFormNovidade f(pagina, App().AppDir);
    f.show();
    const QString legenda
        = titulo + QStringLiteral(" de ") + QFileInfo(pagina).lastModified().toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(f.windowTitle(), legenda);

    // "Imprime" offers the print dialog; accepted, the page goes to the
    // printer it was given (here a PDF file).
    const QString pdf = m_inst->path(QStringLiteral("novidade.pdf"));
    f.impressora().setOutputFormat(QPrinter::PdfFormat);
    f.impressora().setOutputFileName(pdf);
    bool dialogo = false;
    stbtest::whenModal([&dialogo](QWidget *w) {
        dialogo = qobject_cast<QPrintDialog *>(w) != nullptr;
        if (auto *d = qobject_cast<QDialog *>(w))
            d->accept();
    });
    f.BtnImprime->click();
    QVERIFY(dialogo);
    // Named after the page's file: the caption's date has slashes, which
    // the dialog would turn into folders of the proposed file name.
    QCOMPARE(f.impressora().docName(), QFileInfo(pagina).completeBaseName());
    QVERIFY(QFileInfo(pdf).size() > 0);

    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList linhas = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    QStringList limpas;
    for (const QString &l : linhas)
        if (!l.trimmed().isEmpty())
            limpas << l.simplified();
    // The caption heads the paper, then the page's own text follows.
    QVERIFY2(!limpas.isEmpty() && limpas.first() == legenda, qPrintable(limpas.join(QLatin1Char('|'))));
    for (const QString &t : textos)
        QVERIFY2(limpas.join(QLatin1Char('\n')).contains(t),
            qPrintable(t + QStringLiteral(" in ") + limpas.join(QLatin1Char('|'))));
    // The heading is on the paper only, never in the window.
    QVERIFY(!f.Browser->toPlainText().contains(legenda));
}

// ---- update cycle --------------------------------------------------------------------------

void TestWs::updateCycle_data()
{
    // Minutes after start at which the clock is looked at, and the program
    // started then ("" none).
    QTest::addColumn<QList<int>>("minutos");
    QTest::addColumn<QStringList>("iniciados");
    QTest::newRow("first after 30 minutes")
        << QList<int> {29, 30} << QStringList {QString(), QStringLiteral("NovaVersao")};
    QTest::newRow("then 120, 30, 120") << QList<int> {30, 149, 150, 179, 180, 300}
                                       << QStringList {QStringLiteral("NovaVersao"), QString(),
                                              QStringLiteral("Atualiza"), QString(), QStringLiteral("NovaVersao"),
                                              QStringLiteral("Atualiza")};
}

void TestWs::updateCycle()
{
    QFETCH(QList<int>, minutos);
    QFETCH(QStringList, iniciados);
    for (const char *p : {"NovaVersao.exe", "Atualiza.exe"})
        escreve(App().AppDir + QLatin1String(p), "#!/bin/sh\n");
    const QDateTime inicio(QDate(2026, 3, 2), QTime(8, 0));
    QDateTime agora = inicio;
    QStringList iniciou;
    CicloAtualizacao ciclo(
        App().AppDir, true, [&] { return agora; },
        [&](const QString &p) {
            iniciou << QFileInfo(p).completeBaseName();
            return true;
        });
    ciclo.inicia();
    QCOMPARE(ciclo.proximo(), inicio.addSecs(30 * 60));
    QVERIFY(ciclo.TimerAtualiza->isActive());
    for (int i = 0; i < minutos.size(); ++i) {
        agora = inicio.addSecs(qint64(minutos[i]) * 60);
        iniciou.clear();
        ciclo.verifica();
        QCOMPARE(iniciou, iniciados[i].isEmpty() ? QStringList() : QStringList {iniciados[i]});
        QVERIFY(ciclo.TimerAtualiza->isActive());
    }
}

void TestWs::lockedLogSkipsAtualiza()
{
    escreve(App().AppDir + QStringLiteral("Atualiza.exe"), "#!/bin/sh\n");
    escreve(App().AppDir + QStringLiteral("NovaVersao.exe"), "#!/bin/sh\n");
    const QString log = App().AppDir + QStringLiteral("Atualiza/Atualiza.log");
    escreve(log, "atualizando\n");
    QStringList iniciou;
    CicloAtualizacao ciclo(App().AppDir, true, {}, [&](const QString &p) {
        iniciou << QFileInfo(p).completeBaseName();
        return true;
    });
    ciclo.AlternateLaunch = true;
    {
        ArquivoExclusivo atualizacaoEmCurso(log);
        QVERIFY(atualizacaoEmCurso.isHeld());
        QVERIFY(!podeAbrirExclusivo(log));
        ciclo.TimerAtualizaTimer();
        QCOMPARE(iniciou, QStringList());
        // The turn passed all the same: next comes NovaVersao after 30 minutes.
        QCOMPARE(ciclo.intervaloMin(), 30);
        QVERIFY(!ciclo.AlternateLaunch);
    }
    QVERIFY(podeAbrirExclusivo(log));
    ciclo.AlternateLaunch = true;
    ciclo.TimerAtualizaTimer();
    QCOMPARE(iniciou, QStringList {QStringLiteral("Atualiza")});
    // The network down skips it too.
    iniciou.clear();
    ciclo.NetworkDown = true;
    ciclo.AlternateLaunch = true;
    ciclo.TimerAtualizaTimer();
    QCOMPARE(iniciou, QStringList());
}

void TestWs::taxpayerCycleStartsNothing()
{
    for (const char *p : {"NovaVersao.exe", "Atualiza.exe"})
        escreve(App().AppDir + QLatin1String(p), "#!/bin/sh\n");
    QStringList iniciou;
    CicloAtualizacao ciclo(App().AppDir, false, {}, [&](const QString &p) {
        iniciou << p;
        return true;
    });
    for (int i = 0; i < 4; ++i)
        ciclo.TimerAtualizaTimer();
    QCOMPARE(iniciou, QStringList());
}

void TestWs::missingProgramIsSkipped()
{
    // A real start: a NovaVersao program that leaves a mark; Atualiza is missing.
    const QString marca = App().AppDir + QStringLiteral("marca.txt");
    escreve(
        App().AppDir + QStringLiteral("novaversao"), QStringLiteral("#!/bin/sh\necho ok > '%1'\n").arg(marca).toUtf8());
    QFile(App().AppDir + QStringLiteral("novaversao"))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(
        programaAtualizacao(App().AppDir, QStringLiteral("NovaVersao")), App().AppDir + QStringLiteral("novaversao"));
    QCOMPARE(programaAtualizacao(App().AppDir, QStringLiteral("Atualiza")), QString());
    CicloAtualizacao ciclo(App().AppDir, true);
    ciclo.TimerAtualizaTimer();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marca), 10000);
    ciclo.TimerAtualizaTimer(); // Atualiza: missing, nothing happens
    QCOMPARE(ciclo.intervaloMin(), 30);
    QCOMPARE(m_sink.texts(), QStringList());
}

// ---- reachability -----------------------------------------------------------------------------

void TestWs::reachability_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<bool>("alcancado");
    QTest::newRow("server listening") << "aberto" << true;
    QTest::newRow("port closed") << "fechado" << false;
    QTest::newRow("no host") << "vazio" << false;
}

void TestWs::reachability()
{
    QFETCH(QString, caso);
    QFETCH(bool, alcancado);
    QTcpServer servidor;
    QVERIFY(servidor.listen(QHostAddress::LocalHost));
    const quint16 porta = servidor.serverPort();
    if (caso != QLatin1String("aberto"))
        servidor.close();
    TesteAlcance teste(caso == QLatin1String("vazio") ? QString() : QStringLiteral("127.0.0.1"), porta, 2000);
    QSignalSpy spy(&teste, &TesteAlcance::resultado);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toBool(), alcancado);
    QVERIFY(teste.concluido());
}

// ---- error reports --------------------------------------------------------------------------------

void TestWs::reportLines_data()
{
    QTest::addColumn<bool>("contribuinte");
    QTest::addColumn<int>("lastError");
    QTest::addColumn<QStringList>("linhas");
    const QStringList comuns {QStringLiteral(", Comp: estacao1, IP: 10.0.0.8"),
        QStringLiteral("AF Centro, 3333-4444, af@uf.gov"), QStringLiteral("Usuario=Maria"),
        QStringLiteral("Exe=/opt/st/Sys/STBrelvaApp, Versão: 5.2"), QStringLiteral("AppDir=/opt/st/"),
        QStringLiteral("Dados=/mnt/dados/")};
    const QStringList fim {
        QStringLiteral("DataModule=TabCalc, TabNotas"), QStringLiteral("STExecs=Brelva: Sim; RegEsp: Não; ARM: Não.")};
    QTest::newRow("tax unit, no error code") << false << 0 << comuns + fim;
    QTest::newRow("taxpayer with error code") << true << 2
                                              << QStringList {QStringLiteral("Versao=Contribuinte")} + comuns
            + QStringList {QStringLiteral("LastError=2: No such file or directory")} + fim;
}

void TestWs::reportLines()
{
    QFETCH(bool, contribuinte);
    QFETCH(int, lastError);
    QFETCH(QStringList, linhas);
    relatorio::DadosRelatorio d;
    d.contribuinte = contribuinte;
    d.computador = QStringLiteral("estacao1");
    d.ip = QStringLiteral("10.0.0.8");
    d.unidade = QStringLiteral("AF Centro");
    d.telefone = QStringLiteral("3333-4444");
    d.email = QStringLiteral("af@uf.gov");
    d.usuario = QStringLiteral("Maria");
    d.exe = QStringLiteral("/opt/st/Sys/STBrelvaApp");
    d.versao = QStringLiteral("5.2");
    d.appDir = QStringLiteral("/opt/st/");
    d.dataDir = QStringLiteral("/mnt/dados/");
    d.lastError = lastError;
    d.lastErrorTexto = lastError ? QStringLiteral("No such file or directory") : QString();
    d.tabelas = QStringLiteral("TabCalc, TabNotas");
    d.brelva = true;
    QCOMPARE(relatorio::linhasExtras(d), linhas);
    QCOMPARE(relatorio::blocoExtras(d), linhas.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n"));
}

void TestWs::reportFilter_data()
{
    QTest::addColumn<int>("tipo");
    QTest::addColumn<bool>("reporta");
    QTest::newRow("engine error") << 0 << true;
    QTest::newRow("connection lost") << 1 << false;
    QTest::newRow("conversion") << 2 << false;
    QTest::newRow("out of range") << 3 << false;
    QTest::newRow("floating point") << 4 << false;
    QTest::newRow("Data inválida") << 5 << false;
    QTest::newRow("other runtime error") << 6 << true;
}

void TestWs::reportFilter()
{
    QFETCH(int, tipo);
    QFETCH(bool, reporta);
    auto verifica = [&](const std::exception &e) {
        QCOMPARE(relatorio::deveReportar(e), reporta);
        QCOMPARE(relatorio::conexaoPerdida(e), tipo == 1);
    };
    switch (tipo) {
    case 0:
        verifica(db::EngineError(db::Err::DiskFull, QStringLiteral("disco cheio")));
        break;
    case 1:
        verifica(db::EngineError(db::Err::ConnectionLost, QStringLiteral("rede")));
        break;
    case 2:
        verifica(std::invalid_argument("'abc' não é um número"));
        break;
    case 3:
        verifica(std::out_of_range("valor fora da faixa"));
        break;
    case 4:
        verifica(std::domain_error("operação inválida"));
        break;
    case 5:
        verifica(std::runtime_error("Data inválida: 31/02/2026"));
        break;
    default:
        verifica(std::runtime_error("Dados inválidos"));
        break;
    }
    QCOMPARE(relatorio::textoErroRede(QStringLiteral("servidor")),
        QStringLiteral(
            "Atenção: Houve um erro na rede. O sistema ST/Brelva vai ser encerrado.\rVocê deve reiniciar este "
            "computador e também o computador onde a\rbase de dados está armazenada (servidor)."));
}

void TestWs::listingLineFormat()
{
    const QString arquivo = App().AppDir + QStringLiteral("Atualiza.log");
    escreve(arquivo, QByteArray(1234567, 'x'));
    QFile f(arquivo);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime quando(QDate(2026, 1, 5), QTime(9, 7, 3));
    QVERIFY(f.setFileTime(quando, QFileDevice::FileModificationTime));
    f.close();
    QCOMPARE(relatorio::linhaArquivo(7, QFileInfo(arquivo)),
        QStringLiteral("0007: 1.234.567 05/01/2026 09:07:03        Atualiza.log"));
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
    const QString linha = relatorio::linhaArquivo(12, QFileInfo(arquivo));
    QCOMPARE(linha, QStringLiteral("0012: 1.234.567 05/01/2026 09:07:03    R   Atualiza.log"));
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

void TestWs::listingWalksInstallation()
{
    const QString app = App().AppDir;
    for (const char *nome : {"Atualiza.ini", "Sys/Ferramenta.BPL", "Sys/Outro.exe", "notas.txt", "Atualiza/Copia.log"})
        escreve(app + QLatin1String(nome), "x");
    Registry::writeInteger(Registry::Root::CurrentUser, Settings::chaveHandles(), QStringLiteral("Brelva.Main"), 4242);
    Registry::writeString(
        Registry::Root::CurrentUser, Settings::chaveHandles(), QStringLiteral("STBrelva.AppDir"), app);
    const QStringList linhas = relatorio::listagemSTInfo(app).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QStringList nomes;
    int numero = 0;
    for (const QString &l : linhas) {
        if (l.size() < 5 || l[4] != QLatin1Char(':') || !l[0].isDigit() || l.contains(QLatin1Char('=')))
            continue;
        QCOMPARE(l.left(4).toInt(), ++numero);
        nomes << l.section(QLatin1Char(' '), -1);
    }
    for (const char *nome :
        {"Atualiza.ini", "Ferramenta.BPL", "Outro.exe", "Copia.log", "STBrelva.ini", "STBrelva2.ini"})
        QVERIFY2(nomes.contains(QLatin1String(nome)), qPrintable(nomes.join(QLatin1Char(','))));
    QVERIFY(!nomes.contains(QStringLiteral("notas.txt")));
    // The handles of both roots, then the folder values.
    QVERIFY(linhas.contains(QStringLiteral("Erro lendo HKEY_LOCAL_MACHINE\\Software\\Orvant\\Handles")));
    QVERIFY2(linhas.contains(QStringLiteral("0001: Brelva.Main=4242"))
            || linhas.contains(QStringLiteral("0002: Brelva.Main=4242")),
        qPrintable(linhas.join(QLatin1Char('\n'))));
    QCOMPARE(linhas.value(linhas.size() - 2), QStringLiteral("STBrelva.AppDir=") + app);
    QVERIFY(linhas.last().startsWith(QStringLiteral("STBrelva.Path=")));
}

void TestWs::reportFileHasLinesInOrder()
{
    Settings::instance().setUnidade(
        QStringLiteral("AF Norte"), QStringLiteral("José"), QStringLiteral("3030"), QStringLiteral("af@x"));
    const QString arquivo
        = relatorio::escreveRelatorio(QStringLiteral("Status do Sistema ST/Brelva"), QStringLiteral("Teste"), 0);
    QVERIFY(!arquivo.isEmpty());
    QFile f(arquivo);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString texto = QString::fromUtf8(f.readAll());
    const QStringList ordem {QStringLiteral("Status do Sistema ST/Brelva"), QStringLiteral(", Comp: "),
        QStringLiteral("AF Norte, 3030, af@x"), QStringLiteral("Usuario=José"), QStringLiteral("Exe="),
        QStringLiteral("AppDir=") + App().AppDir, QStringLiteral("Dados=") + App().DataDir,
        QStringLiteral("DataModule="), QStringLiteral("STExecs=Brelva: Não; RegEsp: Não; ARM: Não."),
        QStringLiteral("STInfo.txt"), QStringLiteral("STBrelva.ini")};
    qsizetype pos = 0;
    for (const QString &parte : ordem) {
        const qsizetype em = texto.indexOf(parte, pos);
        QVERIFY2(em >= 0, qPrintable(parte + QStringLiteral(" in\n") + texto));
        pos = em + parte.size();
    }
    QVERIFY(!texto.contains(QStringLiteral("LastError=")));
    QVERIFY(QFileInfo::exists(QDir::tempPath() + QStringLiteral("/STInfo.txt")));
}

QTEST_MAIN(TestWs)
#include "tst_ws.moc"
