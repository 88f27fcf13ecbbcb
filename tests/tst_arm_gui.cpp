// The collection-document commands in the running main window, headless: the
// menu of SBTrm with and without a calculation, and a document created from
// a calculation with two sender/recipient pairs, handed to a stand-in
// collection-document program (idle or busy) or, without one, left in its
// table with the folder named.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/clock.h"
#include "platform/db/field.h"
#include "platform/winmsg.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace stb;
using stbtest::TestInstall;

namespace {

void grava(db::Table &t, const QStringList &campos)
{
    t.append();
    for (const QString &c : campos)
        t.fieldByName(c.section(QLatin1Char('='), 0, 0)).setAsString(c.section(QLatin1Char('='), 1));
}

} // namespace

class TestArmGui : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menu();
    void criaEEntrega_data();
    void criaEEntrega();

private:
    // A calculation with invoices 10 (ALFA) and 11 (BETA) to one recipient, shown in the window.
    void abreCalculoComDoisPares();
    QAction *acao(const char *nome) { return m_main->findChild<QAction *>(QLatin1String(nome)); }

    std::unique_ptr<TestInstall> m_inst;
    std::unique_ptr<TMain> m_main;
    RecordingSink m_sink;
};

void TestArmGui::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
    annex::setPastaPrograma(m_inst->path(QStringLiteral("semprograma")));
    Clock::setFixedDate(QDate(2012, 3, 14));
    m_main = std::make_unique<TMain>();
    QSignalSpy done(m_main.get(), &TMain::startupFinished);
    QVERIFY(done.wait(20000));
    // The installation's ARM folder as a workstation has it (the table made once).
    DM().CriaTabela(DM().TabARM);
    m_sink.clear();
}

void TestArmGui::cleanup()
{
    m_main.reset();
    m_inst.reset();
    annex::setPastaPrograma(QString());
    Clock::reset();
    setMessageSink(nullptr);
}

void TestArmGui::abreCalculoComDoisPares()
{
    TDM &dm = DM();
    for (db::Table *t : {&dm.TabCalc, &dm.TabNotas, &dm.TabItens, &dm.TabRemet, &dm.TabDest})
        if (!t->isActive())
            t->open();
    grava(dm.TabRemet, {"CNPJRemet=11.222.333/0001-81", "Remetente=ALFA DISTRIBUIDORA"});
    dm.TabRemet.post();
    grava(dm.TabRemet, {"CNPJRemet=11.444.777/0001-61", "Remetente=BETA COMERCIO"});
    dm.TabRemet.post();
    grava(dm.TabDest, {"IEDest=062.307.904.0081", "Destinatario=MERCADO CENTRAL"});
    dm.TabDest.post();
    grava(dm.TabCalc, {"Masp=111.111-1"});
    dm.TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm.TabCalc.post();
    m_main->OpenCalcView();
    const int idCalculo = dm.TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    for (const char *nota : {"10|11.222.333/0001-81", "11|11.444.777/0001-61"}) {
        const QString n = QString::fromLatin1(nota);
        grava(dm.TabNotas,
            {QStringLiteral("NroNF=") + n.section(QLatin1Char('|'), 0, 0),
                QStringLiteral("CNPJRemet=") + n.section(QLatin1Char('|'), 1), "IEDest=062.307.904.0081"});
        dm.TabNotas.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(idCalculo);
        dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
        dm.TabNotas.post();
    }
}

void TestArmGui::menu()
{
    QVERIFY(m_main->SBTrm->isEnabled());
    QTest::mouseClick(m_main->SBTrm, Qt::LeftButton);
    QVERIFY(m_main->PopMenuTRM->isVisible());
    QVERIFY(!acao("CriaARM")->isEnabled()); // no calculation open
    QVERIFY(acao("AbreARM")->isEnabled());
    m_main->PopMenuTRM->hide();

    abreCalculoComDoisPares();
    QTest::mouseClick(m_main->SBTrm, Qt::LeftButton);
    QVERIFY(acao("CriaARM")->isEnabled());
    m_main->PopMenuTRM->hide();

    // Without the program, "Abre o Sistema de ARM" says where the documents are.
    acao("AbreARM")->trigger();
    QCOMPARE(m_sink.texts().size(), 1);
    QVERIFY2(m_sink.texts().first().contains(QDir::toNativeSeparators(DM().BaseARM.directory())),
        qPrintable(m_sink.texts().first()));
}

void TestArmGui::criaEEntrega_data()
{
    QTest::addColumn<int>("programa"); // 0 none, 1 idle, 2 editing another document
    QTest::addColumn<QString>("textoDepois"); // the program's document window afterwards
    QTest::addColumn<QString>("mensagem"); // beginning of the message after the question ("" none)
    QTest::newRow("no program: the record stays, the folder is named")
        << 0 << QString() << "O ARM A12075800001 foi gravado";
    QTest::newRow("idle program: takes the key") << 1 << "A12075800001" << QString();
    QTest::newRow("busy program: refuses, keeps its document")
        << 2 << "B12075800007"
        << "Um ARM está sendo editado. Não posso emitir o novo ARM agora...";
}

void TestArmGui::criaEEntrega()
{
    QFETCH(int, programa);
    QFETCH(QString, textoDepois);
    QFETCH(QString, mensagem);
    // The stand-in program: its main window and its document window.
    MessageWindow principal, documento;
    QList<QPair<qint64, qint64>> comandos;
    connect(&principal, &MessageWindow::messageReceived, this, [&comandos](int msg, qint64 w, qint64) {
        if (msg == WinMsg::WM_SYSCOMMAND)
            comandos << qMakePair(qint64(msg), w);
    });
    if (programa > 0) {
        Settings::instance().setHandle(QStringLiteral("ARM.Main"), principal.handle());
        Settings::instance().setHandle(QStringLiteral("ARM"), documento.handle());
        if (programa == 2)
            documento.setText(QStringLiteral("B12075800007"));
    }
    abreCalculoComDoisPares();

    m_sink.answers = {true};
    acao("CriaARM")->trigger();
    QStringList textos = m_sink.texts();
    QCOMPARE(textos.value(0), QStringLiteral("Confirma gerar um ARM para este Cálculo?"));
    if (mensagem.isEmpty()) {
        QCOMPARE(textos.size(), 1);
    } else {
        QCOMPARE(textos.size(), 2);
        QVERIFY2(textos[1].startsWith(mensagem), qPrintable(textos[1]));
        if (programa == 0)
            QVERIFY(textos[1].contains(QDir::toNativeSeparators(DM().BaseARM.directory())));
    }
    QCOMPARE(DM().TabCalc.fieldByName(QStringLiteral("NroTRM")).asString(), QStringLiteral("A12075800001"));
    if (programa > 0) {
        QTRY_COMPARE(comandos.size(), 2);
        QCOMPARE(comandos[0].second, qint64(WinMsg::SC_MINIMIZE));
        QCOMPARE(comandos[1].second, qint64(WinMsg::SC_RESTORE));
        QTRY_COMPARE(documento.text(), textoDepois);
    }

    // Asking again opens the same document: no question, no second record.
    m_sink.clear();
    documento.setText(QString());
    acao("CriaARM")->trigger();
    textos = m_sink.texts();
    if (programa == 0) {
        QCOMPARE(textos.size(), 1);
        QVERIFY2(textos[0].startsWith(QStringLiteral("Este cálculo já tem o ARM A12075800001")), qPrintable(textos[0]));
    } else {
        QCOMPARE(textos, QStringList {});
        QTRY_COMPARE(documento.text(), QStringLiteral("A12075800001"));
    }
    DM().TabARM.open();
    QCOMPARE(DM().TabARM.recordCount(), 1);
    DM().TabARM.close();
}

QTEST_MAIN(TestArmGui)
#include "tst_arm_gui.moc"
