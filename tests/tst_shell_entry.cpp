// The calculation entry driven through the main window: the "Novo" command
// with its header and first invoice (and the NF-e button it enables), and a whole calculation with two
// invoices typed from the keyboard alone.
#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dbcontrols.h"
#include "entry/dlgnovanf.h"
#include "entry/dlgnovocalculo.h"
#include "platform/clock.h"
#include "shell/mainwindow.h"
#include "tests/entry_support.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace stb;
using namespace entrytest;

namespace {

const QString kCnpjA = QStringLiteral("11444777000161"); // valid, no special regime
const QString kCnpjB = QStringLiteral("11222333000181"); // valid, no special regime
const QString kIeB = QStringLiteral("0621234567872"); // valid, no special regime
const QString kIeRegime = QStringLiteral("3671192830076"); // two sample regimes
const QString kCadEmpresa = QStringLiteral("TFormDlgCadEmpresa");

} // namespace

class TestShellEntry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void newCalculationAndFirstInvoice();
    void calculationAndTwoInvoicesByKeyboard();

private:
    // The data module as the program's start leaves it, and its main window.
    Sessao s;
    std::unique_ptr<TMain> main;
};

void TestShellEntry::init()
{
    s.inicia();
    TDM::destroyInstance(); // the program's start builds its own
    main = std::make_unique<TMain>();
    QSignalSpy done(main.get(), &TMain::startupFinished);
    QVERIFY(done.wait(20000));
    janelaBase() = main.get();
    s.sink.clear();
}

void TestShellEntry::cleanup()
{
    s.escopo.reset();
    TFormDlgNovoCalculo::libera();
    TFormDlgNovaNF::libera();
    main.reset();
    s.encerra();
}

void TestShellEntry::newCalculationAndFirstInvoice()
{
    // Novo: the header, then the invoice dialog at once.
    stbtest::whenModal([](QWidget *w) {
        auto &dlg = static_cast<TFormDlgNovoCalculo &>(*w);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Inclusão de Novo Cálculo"));
        QVERIFY(dlg.dxCheckPadrao->isChecked());
        QVERIFY(!dlg.dxDBDataHora->text().isEmpty());
        preencheFiscal();
        stbtest::whenModal([](QWidget *nf) {
            auto &nota = static_cast<TFormDlgNovaNF &>(*nf);
            QVERIFY(nota.windowTitle().startsWith(QStringLiteral("Inclusão de Nova Nota Fiscal")));
            QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("nf123"));
            clickOk(nf);
        });
        clickOk(w);
    });
    // The NF-e import button beside the invoice buttons works only on an open calculation.
    auto *nfe = main->findChild<QToolButton *>(QStringLiteral("SBImportaNFe"));
    QVERIFY(nfe && nfe->menu());
    QVERIFY(!nfe->isEnabled());
    main->SBNovoClick();
    QVERIFY(main->calcViewOpen());
    QVERIFY(nfe->isEnabled());
    QStringList entradas;
    for (QAction *a : nfe->menu()->actions())
        entradas << a->text();
    QCOMPARE(entradas, (QStringList {"Importar NF-e (XML)...", "Importar NF-e de uma pasta..."}));
    QCOMPARE(s.sink.texts().count(QStringLiteral("Confirma as informações?")), 1);
    const int id = DM().TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM CALCULOS WHERE IDCALCULO = %1 AND TIPOCALCULO = 1 AND "
                                  "DIFERENCIALALIQ = 0 AND GRUPO IS NULL AND CNPJREMET IS NULL AND IEDEST IS NULL")
                       .arg(id)),
        1);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE IDCALCULO = %1 AND NRONF = 'NF123'").arg(id)), 1);
    QCOMPARE(DM().TabNotas.recordCount(), 1);
    QCOMPARE(main->EditIdCalculo->text(), QString::number(id));
}

void TestShellEntry::calculationAndTwoInvoicesByKeyboard()
{
    // Tabs until `name` has the focus (at most `max` presses).
    auto tabAte = [](const QString &name, int max = 30) {
        for (int i = 0; i < max && foco() != name; ++i) {
            tecla(Qt::Key_Tab);
            QApplication::processEvents();
        }
        QCOMPARE(foco(), name);
    };
    auto nomeia = [this](const QString &nome) {
        return quandoAbrir(s.escopo.get(), kCadEmpresa, [nome](QWidget *) {
            digita(nome);
            tecla(Qt::Key_Return);
        });
    };
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    s.sink.answers = {true, true}; // "Confirma as informações?", the freight question
    bool cabecalho = false, nota1 = false, nota2 = false;

    quandoAbrir(s.escopo.get(), QStringLiteral("TFormDlgNovoCalculo"), [&](QWidget *) {
        QCOMPARE(foco(), QStringLiteral("dxDBMasp"));
        auto fiscal = nomeia(QStringLiteral("Maria Fiscal"));
        digita(QStringLiteral("1234567"));
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*fiscal);
        QTRY_COMPARE(foco(), QStringLiteral("dxDBCNPJRemetente"));
        auto remetente = nomeia(QStringLiteral("Comercial Alfa"));
        digita(kCnpjA);
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*remetente);
        QTRY_COMPARE(foco(), QStringLiteral("dxDBIEDestinatario"));
        digita(kIeRegime); // the special regimes give its name
        tabAte(QStringLiteral("dxDBObserv"));
        digita(QStringLiteral("carga de teste"));
        tecla(Qt::Key_Return); // the default button
        cabecalho = true;
    });
    quandoAbrir(
        s.escopo.get(), QStringLiteral("TFormDlgNovaNF"),
        [&](QWidget *) {
            QCOMPARE(foco(), QStringLiteral("dxDBNroNF"));
            digita(QStringLiteral("4510"));
            tecla(Qt::Key_Tab);
            QCOMPARE(foco(), QStringLiteral("dxDBDataEmissao"));
            digita(QStringLiteral("05032024"));
            tecla(Qt::Key_Up); // one day on
            tabAte(QStringLiteral("dxDBFrete")); // the parties come from the header
            digita(QStringLiteral("150,00"));
            tabAte(QStringLiteral("BtnOk"));
            tecla(Qt::Key_Space);
            nota1 = true;
        },
        30000);
    tecla(Qt::Key_N, Qt::AltModifier); // "&Novo Cálculo", clicked a moment later
    QTRY_VERIFY_WITH_TIMEOUT(nota1, 30000);
    QVERIFY(cabecalho);

    quandoAbrir(s.escopo.get(), QStringLiteral("TFormDlgNovaNF"), [&](QWidget *) {
        digita(QStringLiteral("4511"));
        tabAte(QStringLiteral("dxDBCNPJRemetente"));
        auto remetente = nomeia(QStringLiteral("Empresa Beta"));
        digita(kCnpjB); // over the header's
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*remetente);
        QTRY_COMPARE(foco(), QStringLiteral("dxDBIEDestinatario"));
        auto destinatario = nomeia(QStringLiteral("Loja Gama"));
        digita(kIeB);
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*destinatario);
        QTRY_COMPARE(foco(), QStringLiteral("dxDBFrete"));
        tecla(Qt::Key_Return); // no freight: stored without a question
        nota2 = true;
    });
    tabAte(QStringLiteral("SBIncluiNota"), 60);
    tecla(Qt::Key_Space);
    QVERIFY(nota2);

    QStringList perguntas;
    for (const RecordingSink::Entry &e : std::as_const(s.sink.entries))
        if (e.kind == MsgKind::Pergunta)
            perguntas << e.text.section(QLatin1Char('\r'), -1);
    QCOMPARE(perguntas,
        (QStringList {QStringLiteral("Confirma as informações?"),
            QStringLiteral("Confirma incluir o valor do frete no cálculo do ICMS-ST?")}));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM CALCULOS WHERE MASP = '123.456-7' AND CNPJREMET = "
                                  "'11.444.777/0001-61' AND IEDEST = '367.119.283.0076' AND OBSERV = 'CARGA DE TESTE' "
                                  "AND TIPOCALCULO = 1")),
        1);
    QCOMPARE(
        count(QStringLiteral("SELECT COUNT(*) FROM FISCAIS WHERE MASP = '123.456-7' AND FISCAL = 'MARIA FISCAL'")), 1);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM REMETENTES WHERE (CNPJREMET = '11.444.777/0001-61' AND "
                                  "REMETENTE = 'COMERCIAL ALFA') OR (CNPJREMET = '11.222.333/0001-81' AND "
                                  "REMETENTE = 'EMPRESA BETA')")),
        2);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DESTINATARIOS WHERE IEDEST = '062.123.456.7872' AND "
                                  "DESTINATARIO = 'LOJA GAMA'")),
        1);
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT N.NRONF, N.DATAEMISSAO, N.FRETE, N.CNPJREMET, N.IEDEST FROM NOTAS N "
                            "JOIN CALCULOS C ON C.IDCALCULO = N.IDCALCULO ORDER BY N.IDNOTA"));
    q.open();
    QStringList linhas;
    for (q.first(); !q.eof(); q.next())
        linhas << QStringList {q.field(0).asString(), q.field(1).asDate().toString(Qt::ISODate),
            q.field(2).asCurrency().toPlainString(2), q.field(3).asString(), q.field(4).asString()}
                      .join(QLatin1Char(' '));
    QCOMPARE(linhas,
        (QStringList {QStringLiteral("4510 2024-03-06 150.00 11.444.777/0001-61 367.119.283.0076"),
            QStringLiteral("4511 %1 0.00 11.222.333/0001-81 062.123.456.7872")
                .arg(Clock::today().toString(Qt::ISODate))}));
}

QTEST_MAIN(TestShellEntry)
#include "tst_shell_entry.moc"
