// The annex consultation program: its window in this process (the six
// consultations, a choice request answered into the request window), and
// the real Brelva program started by the item dialog, answering it and closed
// by the main program's shutdown.
#include "core/annexlookup.h"
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dbgrid.h"
#include "entry/dlgitem.h"
#include "platform/annexconsult.h"
#include "platform/clock.h"
#include "platform/winmsg.h"
#include "shell/formbrelva.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <csignal>

using namespace stb;
using stbtest::dropModalWatches;
using stbtest::TestInstall;
using stbtest::whenModalNamed;

namespace {

QStringList codigos(TFormBrelva &form)
{
    QStringList out;
    db::Query &q = form.Qry;
    for (q.first(); !q.eof(); q.next())
        out << q.fieldByName(QStringLiteral("CODIGO")).asString();
    return out;
}

} // namespace

class TestGoodsBrelva : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void consultations_data();
    void consultations();
    void consultationRequestedByKind();
    void choiceAnsweredIntoTheRequestWindow();
    void headingIsNotAnAnswer();
    void realProgramAnswersTheItemDialog();

private:
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
};

void TestGoodsBrelva::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
    stbtest::copyPristine(m_inst->dataDir());
}

void TestGoodsBrelva::cleanup()
{
    // A program left running by a failed test is ended: its window handle
    // carries its process id.
    if (const qint64 h = annex::JanelaBrelva()) {
        if (!annex::CloseAnnexConsult(2) && h / 1000 != QCoreApplication::applicationPid())
            ::kill(static_cast<pid_t>(h / 1000), SIGKILL);
    }
    TDM::destroyInstance();
    m_inst.reset();
    annex::setPastaPrograma(QString());
    setMessageSink(nullptr);
}

void TestGoodsBrelva::consultations_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("codes"); // empty with a count below: the whole table
    QTest::addColumn<int>("count");
    QTest::newRow("the table") << 1 << "" << QStringList {} << -1;
    QTest::newRow("NCM code with points") << 2 << "1806.31" << QStringList {"17.002.00"} << 1;
    QTest::newRow("NCM code, two rows") << 2 << "27101931" << QStringList {"06.012.00", "06.012.01"} << 2;
    QTest::newRow("annex description") << 3 << "geladeira" << QStringList {"21.002.00"} << 1;
    QTest::newRow("a quote searches") << 3 << "D'AGUA" << QStringList {} << 0;
    QTest::newRow("goods description") << 4 << "barra de chocolate" << QStringList {"17.002.00"} << 1;
    QTest::newRow("introduced on 01/08/2009") << 5 << "" << QStringList {"01.017.01", "02.001.01", "06.002.01"} << 3;
    QTest::newRow("introduced on 01/11/2009") << 6 << "" << QStringList {"10.018.01", "17.028.01", "17.073.01"} << 3;
}

void TestGoodsBrelva::consultations()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QStringList, codes);
    QFETCH(int, count);
    TFormBrelva form(m_inst->dataDir());
    form.consulta(kind, text);
    QCOMPARE(form.ComboModo->currentIndex(), kind - 1);
    QCOMPARE(form.EditPesquisa->isEnabled(), kind >= 2 && kind <= 4);
    const QStringList found = codigos(form);
    if (count < 0) {
        db::Database base(QStringLiteral("Conta"));
        base.setDirectory(m_inst->dataDir());
        db::Query q(&base);
        q.setSql(QStringLiteral("SELECT COUNT(*) FROM BRELVA"));
        q.open();
        QCOMPARE(found.size(), q.field(0).asInteger());
        QCOMPARE(found.value(0), QStringLiteral("01")); // a heading shows its item only
        QCOMPARE(found.value(1), QStringLiteral("01.001.00"));
    } else {
        QCOMPARE(found, codes);
    }
    QVERIFY(m_sink.entries.isEmpty());
    QVERIFY(!form.MemoDetalhe->toPlainText().isEmpty());
    // The FEM column names the rows that carry it.
    QAbstractItemModel *model = form.Grid->model();
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 0).data().toString() == QLatin1String("02.001.01"))
            QCOMPARE(model->index(r, 5).data().toString(), QStringLiteral("Sim"));
}

void TestGoodsBrelva::consultationRequestedByKind()
{
    TFormBrelva form(m_inst->dataDir());
    form.registra();
    QCOMPARE(annex::JanelaBrelva(), form.handle());
    QVERIFY(!form.isVisible());
    QVERIFY(annex::PedeConsulta(m_inst->appDir(), annex::PesquisaDescricaoBrelva));
    QTRY_VERIFY(form.isVisible());
    QCOMPARE(form.ComboModo->currentIndex(), annex::PesquisaDescricaoBrelva - 1);
    QVERIFY(form.EditPesquisa->isEnabled());
    QVERIFY(!form.BtnEscolhe->isVisible()); // nothing to answer
}

void TestGoodsBrelva::choiceAnsweredIntoTheRequestWindow()
{
    TFormBrelva form(m_inst->dataDir());
    MessageWindow caller, request;
    ItemBrelvaConsulta pergunta;
    pergunta.item = 21;
    request.setText(TextoPedidoBrelva(caller.handle(), pergunta));
    QSignalSpy answered(&caller, &MessageWindow::messageReceived);
    QVERIFY(PostMessage(form.handle(), annex::MsgPedido, 2, request.handle()));
    QTRY_VERIFY(form.pedidoPendente());
    QVERIFY(form.isVisible());
    QVERIFY(!form.LabelPedido->isHidden());
    // Positioned on the first entry of item 21.
    QCOMPARE(form.Qry.fieldByName(QStringLiteral("CODIGO")).asString(), QStringLiteral("21.001.00"));
    QVERIFY(form.posiciona(21, 2, 0));
    QString header;
    whenModalNamed(QStringLiteral("TFormDlgEscolheMVA"), [&](QWidget *w) {
        header = w->findChild<QLabel *>(QStringLiteral("LabelInfo"))->text();
        w->findChild<QRadioButton *>(QStringLiteral("RadioButton2"))->click();
        w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->click();
    });
    form.BtnEscolhe->click();
    QCOMPARE(header, QStringLiteral("21.002.00 - Geladeiras e refrigeradores domésticos de uma ou duas portas"));
    QTRY_COMPARE(answered.count(), 1);
    QCOMPARE(answered.at(0), (QVariantList {annex::MsgResposta, qint64(0), qint64(0)}));
    qint64 handle = 0;
    int status = 0;
    const ItemBrelvaConsulta r = LeTextoBrelva(request.text(), &handle, &status);
    QCOMPARE(handle, caller.handle());
    QCOMPARE(status, 1);
    QCOMPARE(r.item, 21);
    QCOMPARE(r.ex, 2);
    QCOMPARE(r.subItem, 0);
    QCOMPARE(r.id, 285);
    QCOMPARE(r.ambito, 1);
    QCOMPARE(r.mva, Currency::fromInt(30));
    QCOMPARE(r.cest, QStringLiteral("21.002.00"));
    QCOMPARE(r.descricao, QStringLiteral("Geladeiras e refrigeradores domésticos de uma ou duas portas"));
    QVERIFY(!form.pedidoPendente());
    QVERIFY(!form.isVisible());
}

void TestGoodsBrelva::headingIsNotAnAnswer()
{
    TFormBrelva form(m_inst->dataDir());
    MessageWindow caller, request;
    request.setText(TextoPedidoBrelva(caller.handle(), ItemBrelvaConsulta {}));
    form.pedido(2, request.handle());
    form.Qry.first(); // the heading of item 1
    QSignalSpy answered(&caller, &MessageWindow::messageReceived);
    QVERIFY(!form.escolhe());
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Escolha um subitem do Brelva (não o título do item).")});
    QVERIFY(form.pedidoPendente());
    QTest::qWait(100);
    QCOMPARE(answered.count(), 0);
    QVERIFY(request.text().contains(QStringLiteral("Status=0")));
}

void TestGoodsBrelva::realProgramAnswersTheItemDialog()
{
    // The program runs without a user: a choice takes the entry the request points at.
    qputenv("STB_MENSAGENS", "stderr");
    annex::setPastaPrograma(QStringLiteral(STB_APPDIR) + QStringLiteral("/Sys"));
    auto main = std::make_unique<TMain>();
    QSignalSpy done(main.get(), &TMain::startupFinished);
    QVERIFY(done.wait(20000));
    TDM &dm = DM();
    dm.TabCalc.append();
    dm.TabCalc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(Clock::now());
    dm.TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm.TabCalc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(true);
    dm.TabCalc.post();
    main->OpenCalcView();
    dm.TabNotas.append();
    dm.TabNotas.fieldByName(QStringLiteral("IdCalculo"))
        .setAsInteger(dm.TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger());
    dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
    dm.TabNotas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("77"));
    dm.TabNotas.post();
    m_sink.clear();

    QString code, mva, description;
    qint64 started = 0;
    whenModalNamed(QStringLiteral("TFormDlgItem"), [&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgItem &>(*w);
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.dxEditCodigo->setFocus();
        // The first digits of a product code: asked of the annex program.
        QTest::keyClicks(dlg.dxEditCodigo, QStringLiteral("1806.31"));
        dlg.dxCheckFEM->setFocus();
        dlg.processPrivate();
        started = annex::JanelaBrelva();
        QTRY_VERIFY_WITH_TIMEOUT(
            dlg.dxEditDescricao->toPlainText().contains(QStringLiteral("Chocolates ao leite")), 20000);
        code = dlg.dxEditCodigo->text();
        mva = dlg.dxEditMVA->text();
        description = dlg.dxEditDescricao->toPlainText().trimmed();
        dlg.BtnCancel->click();
    });
    main->SBIncluiItem->click();
    QVERIFY(started != 0);
    QVERIFY(started / 1000 != QCoreApplication::applicationPid()); // its own process
    QCOMPARE(code, QStringLiteral("17.002.00"));
    QCOMPARE(mva, QStringLiteral("40,00%"));
    QCOMPARE(description, QStringLiteral("Chocolates ao leite, meio amargo e amargo, em barras ou tabletes"));
    QVERIFY(DM().PedidoBrelva() == nullptr); // the answer was read and discarded

    // The shutdown closes the program with its close message.
    main->EncerraSistema();
    QVERIFY(main->statusLog.contains(QStringLiteral("Fechando Brelva...")));
    QVERIFY(!IsWindow(started));
    QCOMPARE(annex::JanelaBrelva(), qint64(0));
    QVERIFY2(!m_sink.texts().join(QLatin1Char('|')).contains(QStringLiteral("Não consegui")),
        qPrintable(m_sink.texts().join('|')));
    main.reset();
    qunsetenv("STB_MENSAGENS");
}

QTEST_MAIN(TestGoodsBrelva)
#include "tst_goods_brelva.moc"
