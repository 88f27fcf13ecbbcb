// The annex look-up without windows: codes as typed, the request text, the
// choice among several MVAs, the local answer from the sample annex, and the
// remote question to a stand-in annex window registered as "Brelva.Main"
// (request window, the two posted messages, the newest request replacing the
// previous one), plus closing the annex program.
#include "core/annexlookup.h"
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/winmsg.h"
#include "tests/support/testenv.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using stbtest::TestInstall;

class TestGoodsCore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void codeAsTyped_data();
    void codeAsTyped();
    void requestTextRoundTrip();
    void mvaChoice_data();
    void mvaChoice();
    void localAnswer_data();
    void localAnswer();
    void remoteQuestion();
    void newestRequestReplacesPrevious();
    void annexProgramMissing();
    void closingTheAnnexProgram_data();
    void closingTheAnnexProgram();
    void excludedFromAdjustment_data();
    void excludedFromAdjustment();

private:
    std::unique_ptr<TestInstall> m_inst;
    std::unique_ptr<TDM> m_dm;
    RecordingSink m_sink;
};

void TestGoodsCore::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
    stbtest::copyPristine(m_inst->dataDir());
    m_dm = std::make_unique<TDM>(m_inst->dataDir());
    // No annex program can be started from the test's own folder.
    annex::setPastaPrograma(m_inst->path(QStringLiteral("semprograma")));
}

void TestGoodsCore::cleanup()
{
    m_dm.reset();
    m_inst.reset();
    annex::setPastaPrograma(QString());
    setMessageSink(nullptr);
}

void TestGoodsCore::codeAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("ex");
    QTest::addColumn<int>("sub");
    QTest::addColumn<bool>("hasItem");
    QTest::addColumn<bool>("hasLast");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("full code") << "17.028.01" << 17 << 28 << 1 << true << true << "17.028.01";
    QTest::newRow("commas") << "17,28,1" << 17 << 28 << 1 << true << true << "17.028.01";
    QTest::newRow("item and extension") << "6.1" << 6 << 1 << 0 << true << true << "06.001.00";
    QTest::newRow("item only") << "17" << 17 << 0 << 0 << true << false << "17.000.00";
    QTest::newRow("item and a point") << "17." << 17 << 0 << 0 << true << false << "17.000.00";
    QTest::newRow("no item") << ".5" << 0 << 5 << 0 << false << true << "00.005.00";
    QTest::newRow("product code") << "8421.23" << 8421 << 23 << 0 << true << true << "8421.023.00";
    QTest::newRow("letters") << "AB.1" << 0 << 1 << 0 << true << true << "00.001.00";
}

void TestGoodsCore::codeAsTyped()
{
    QFETCH(QString, typed);
    const CodigoBrelva c = SeparaCodigoBrelva(typed);
    QTEST(c.item, "item");
    QTEST(c.ex, "ex");
    QTEST(c.subItem, "sub");
    QTEST(c.temItem, "hasItem");
    QTEST(c.temUltimaParte, "hasLast");
    QTEST(FormataCodigoBrelva(c.item, c.ex, c.subItem), "formatted");
}

void TestGoodsCore::requestTextRoundTrip()
{
    ItemBrelvaConsulta c;
    c.item = 17;
    c.ex = 28;
    c.descricao = QStringLiteral("Macarrão\r\ninstantâneo");
    c.mva = *Currency::parsePlain(QStringLiteral("35.5"));
    c.fem = 1;
    QCOMPARE(TextoPedidoBrelva(4242, c),
        QStringLiteral("Handle=4242\r\nItem=17\r\nEx=28\r\nSubItem=0\r\nAmbito=0\r\nId=0\r\n"
                       "Descr=Macarrão instantâneo\r\nMVA=35,50\r\nStatus=0\r\nFEM=1"));
    c.cest = QStringLiteral("17.028.01");
    c.subItem = 1;
    c.ambito = 1;
    c.id = 231;
    qint64 handle = 0;
    int status = -1;
    const ItemBrelvaConsulta back = LeTextoBrelva(TextoRespostaBrelva(99, c), &handle, &status);
    QCOMPARE(handle, qint64(99));
    QCOMPARE(status, 1);
    QCOMPARE(back.item, 17);
    QCOMPARE(back.ex, 28);
    QCOMPARE(back.subItem, 1);
    QCOMPARE(back.ambito, 1);
    QCOMPARE(back.id, 231);
    QCOMPARE(back.fem, 1);
    QCOMPARE(back.mva, c.mva);
    QCOMPARE(back.cest, QStringLiteral("17.028.01"));
    QCOMPARE(back.descricao, QStringLiteral("Macarrão instantâneo"));
    // An answer written with a "." decimal reads the same.
    QCOMPARE(LeTextoBrelva(QStringLiteral("MVA=71.78\nItem=1")).mva, *Currency::parsePlain(QStringLiteral("71.78")));
}

void TestGoodsCore::mvaChoice_data()
{
    QTest::addColumn<QString>("mva2");
    QTest::addColumn<QString>("mva3");
    QTest::addColumn<int>("answer"); // what the chooser returns; -1: must not be asked
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("options");
    QTest::newRow("one MVA") << "0"
                             << "0" << -1 << "40" << 0;
    QTest::newRow("second MVA 0 with a third") << "0"
                                               << "55" << -1 << "40" << 0;
    QTest::newRow("two, second chosen") << "36.56"
                                        << "0" << 2 << "36.56" << 2;
    QTest::newRow("three, third chosen") << "36.56"
                                         << "55" << 3 << "55" << 3;
    QTest::newRow("three, cancelled") << "36.56"
                                      << "55" << 0 << "40" << 3;
    QTest::newRow("three, first confirmed") << "36.56"
                                            << "55" << 1 << "40" << 3;
}

void TestGoodsCore::mvaChoice()
{
    QFETCH(QString, mva2);
    QFETCH(QString, mva3);
    QFETCH(int, answer);
    QFETCH(QString, expected);
    QFETCH(int, options);
    QStringList shown;
    QString header;
    bool asked = false;
    const Currency r = TDM::EscolheMVABrelva(QStringLiteral("01.003.00 - Correias"), QStringLiteral("Demais casos"),
        Currency::fromInt(40), QStringLiteral("Fidelidade"), *Currency::parsePlain(mva2), QStringLiteral("Terceira"),
        *Currency::parsePlain(mva3), [&](const QString &h, const QStringList &o) {
            asked = true;
            header = h;
            shown = o;
            return answer;
        });
    QCOMPARE(r, *Currency::parsePlain(expected));
    QCOMPARE(asked, answer >= 0);
    QCOMPARE(shown.size(), options);
    if (asked) {
        QCOMPARE(header, QStringLiteral("01.003.00 - Correias"));
        QCOMPARE(shown.value(0), QStringLiteral("Demais casos: 40,00%"));
        QCOMPARE(shown.value(1), QStringLiteral("Fidelidade: 36,56%"));
    }
}

void TestGoodsCore::localAnswer_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<int>("ambito");
    QTest::addColumn<int>("fem");
    QTest::addColumn<QString>("cest");
    QTest::addColumn<QString>("header"); // the choice dialog's header; empty: not asked
    QTest::newRow("one MVA") << "17.028.01" << -1 << "35" << 1 << 0 << "17.028.01"
                             << "";
    QTest::newRow("with FEM") << "02.001.01" << -1 << "35" << 1 << 1 << "02.001.01"
                              << "";
    QTest::newRow("scope of own use") << "06.012.01" << -1 << "61.31" << 2 << 0 << "06.012.01"
                                      << "";
    QTest::newRow("three MVAs, cancelled") << "21.002.00" << 0 << "25" << 1 << 0 << "21.002.00"
                                           << "21.002.00 - ";
    QTest::newRow("three MVAs, third") << "21.002.00" << 3 << "35" << 1 << 0 << "21.002.00"
                                       << "21.002.00 - ";
    QTest::newRow("extension only") << "17.020" << -1 << "35" << 1 << 0 << "17.020.00"
                                    << "";
}

void TestGoodsCore::localAnswer()
{
    QFETCH(QString, code);
    QFETCH(int, choice);
    QFETCH(QString, header);
    const CodigoBrelva partes = SeparaCodigoBrelva(code);
    ItemBrelvaConsulta c;
    c.item = partes.item;
    c.ex = partes.ex;
    c.subItem = partes.subItem;
    QString asked;
    const bool found = m_dm->ProcuraItemBrelva(2, 0, c, [&](const QString &h, const QStringList &) {
        asked = h;
        return choice;
    });
    QVERIFY(found);
    QVERIFY2(m_sink.entries.isEmpty(), qPrintable(m_sink.texts().join('|')));
    QFETCH(QString, mva);
    QCOMPARE(c.mva, *Currency::parsePlain(mva));
    QTEST(c.ambito, "ambito");
    QTEST(c.fem, "fem");
    QTEST(c.cest, "cest");
    QVERIFY(c.id > 0);
    QVERIFY(!c.descricao.isEmpty());
    QCOMPARE(asked.left(header.size()), header);
    QCOMPARE(asked.isEmpty(), header.isEmpty());
    if (!header.isEmpty())
        QCOMPARE(asked, QStringLiteral("21.002.00 - ") + c.descricao);
    QVERIFY(m_dm->PedidoBrelva() == nullptr);
}

void TestGoodsCore::remoteQuestion()
{
    MessageWindow annexWindow, caller;
    Settings::instance().setHandle(annex::nomeJanela(), annexWindow.handle());
    QSignalSpy toAnnex(&annexWindow, &MessageWindow::messageReceived);
    QSignalSpy toCaller(&caller, &MessageWindow::messageReceived);
    // Item 17 exists as a heading, but a code without extension and sub-item
    // always goes to the annex program.
    ItemBrelvaConsulta c;
    c.item = 17;
    c.mva = Currency::fromInt(12);
    bool asked = false;
    QVERIFY(!m_dm->ProcuraItemBrelva(2, caller.handle(), c, [&](const QString &, const QStringList &) {
        asked = true;
        return 1;
    }));
    QVERIFY(!asked);
    QCOMPARE(m_dm->HandleBrelva, annexWindow.handle());
    MessageWindow *request = m_dm->PedidoBrelva();
    QVERIFY(request);
    QCOMPARE(request->text(),
        QStringLiteral("Handle=%1\r\nItem=17\r\nEx=0\r\nSubItem=0\r\nAmbito=0\r\nId=0\r\nDescr=\r\n"
                       "MVA=12,00\r\nStatus=0\r\nFEM=0")
            .arg(caller.handle()));
    // Posted: nothing arrives before the event loop runs.
    QCOMPARE(toAnnex.count(), 0);
    QVERIFY(toAnnex.wait(2000));
    QTRY_COMPARE(toCaller.count(), 1);
    QCOMPARE(toAnnex.at(0), (QVariantList {annex::MsgPedido, qint64(2), request->handle()}));
    QCOMPARE(toCaller.at(0), (QVariantList {annex::MsgFrente, qint64(0), qint64(0)}));
    // The annex program reads the request from the window's text.
    QCOMPARE(GetWindowText(request->handle()), std::optional<QString>(request->text()));
    QVERIFY(m_sink.entries.isEmpty());
}

void TestGoodsCore::newestRequestReplacesPrevious()
{
    MessageWindow annexWindow, caller;
    Settings::instance().setHandle(annex::nomeJanela(), annexWindow.handle());
    ItemBrelvaConsulta first;
    first.item = 17;
    QVERIFY(!m_dm->ProcuraItemBrelva(2, caller.handle(), first, {}));
    const qint64 firstHandle = m_dm->PedidoBrelva()->handle();
    ItemBrelvaConsulta second;
    second.item = 1806;
    QVERIFY(!m_dm->ProcuraItemBrelva(1, caller.handle(), second, {}));
    const qint64 secondHandle = m_dm->PedidoBrelva()->handle();
    QVERIFY(secondHandle != firstHandle);
    QVERIFY(!IsWindow(firstHandle));
    QVERIFY(!GetWindowText(firstHandle).has_value());
    QVERIFY(GetWindowText(secondHandle)->contains(QStringLiteral("\r\nItem=1806\r\n")));
    m_dm->DescartaPedidoBrelva();
    QVERIFY(!IsWindow(secondHandle));
}

void TestGoodsCore::annexProgramMissing()
{
    // No live window is registered (a stale handle counts as none) and the
    // program cannot be started: the error, and the caller keeps its values.
    Settings::instance().setHandle(annex::nomeJanela(), 123456789);
    ItemBrelvaConsulta c;
    c.item = 17;
    c.descricao = QStringLiteral("MANTIDA");
    QVERIFY(!m_dm->ProcuraItemBrelva(2, 1, c, {}));
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Não consegui abrir o Brelva...")});
    QCOMPARE(m_sink.entries.at(0).kind, MsgKind::Erro);
    QCOMPARE(c.descricao, QStringLiteral("MANTIDA"));
    QVERIFY(m_dm->PedidoBrelva() == nullptr);
}

void TestGoodsCore::closingTheAnnexProgram_data()
{
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("obeys");
    QTest::addColumn<bool>("closed");
    QTest::newRow("not running") << false << false << true;
    QTest::newRow("closes on the message") << true << true << true;
    QTest::newRow("does not close") << true << false << false;
}

void TestGoodsCore::closingTheAnnexProgram()
{
    QFETCH(bool, registered);
    QFETCH(bool, obeys);
    auto *annexWindow = new MessageWindow;
    QPointer<MessageWindow> guard(annexWindow);
    Settings::instance().setHandle(annex::nomeJanela(), registered ? annexWindow->handle() : 0);
    QList<int> received;
    connect(annexWindow, &MessageWindow::messageReceived, this, [&](int msg, qint64, qint64) {
        received << msg;
        if (obeys && msg == annex::MsgFecha)
            annexWindow->deleteLater();
    });
    QTEST(annex::CloseAnnexConsult(1), "closed");
    QCOMPARE(received, registered ? QList<int> {annex::MsgFecha} : QList<int> {});
    delete guard.data();
}

void TestGoodsCore::excludedFromAdjustment_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("excluded");
    QTest::newRow("item listed") << "07.001.00" << true;
    QTest::newRow("item itself") << "98" << true;
    QTest::newRow("other item") << "17.028.00" << false;
    QTest::newRow("empty") << "" << false;
}

void TestGoodsCore::excludedFromAdjustment()
{
    QFETCH(QString, code);
    QTEST(m_dm->ExcluidoMVAAjustada(code), "excluded");
}

QTEST_GUILESS_MAIN(TestGoodsCore)
#include "tst_goods_core.moc"
