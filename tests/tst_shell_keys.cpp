// The main window and its dialogs driven by keys alone, typed at once as an
// officer types who does not look at the screen: keys typed ahead of a
// deferred question, amounts that are not numbers, the keys of the commands
// and where the focus is when a dialog opens.
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dbgrid.h"
#include "entry/dlgitem.h"
#include "entry/dlgitemcombustivel.h"
#include "entry/dlgmvaajustada.h"
#include "outputs/dlgprintcalculo.h"
#include "shell/dlgunidade.h"
#include "tests/entry_support.h"
#include "tests/mainwindow_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QToolButton>
#include <QtTest/qtestspontaneevent.h>

using namespace stb;
using namespace mainwindowtest;
using entrytest::datilografa;
using entrytest::foco;
using entrytest::tecla;
using stbtest::whenModalNamed;

namespace {

// Rows of ITENS as stored: code and product value.
QList<QPair<QString, Currency>> linhas()
{
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT ITEMBRELVA, VALORNF FROM ITENS ORDER BY IDNOTA, NROITEM"));
    q.open();
    QList<QPair<QString, Currency>> out;
    for (q.first(); !q.eof(); q.next())
        out << qMakePair(q.field(0).asString(), q.field(1).asCurrency());
    return out;
}

// The key that reaches a button: its accelerator (Alt + the letter after
// "&"), else its own shortcut.
QKeySequence teclaDoBotao(const QAbstractButton *b)
{
    const QKeySequence m = QKeySequence::mnemonic(b->text());
    return m.isEmpty() ? b->shortcut() : m;
}

void ativa(QWidget *w)
{
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class TestShellKeys : public MainWindowSuite {
    Q_OBJECT

private slots:
    void init() { abre(); }
    void cleanup() { fecha(); }
    void typedAheadReachTheirFields_data();
    void typedAheadReachTheirFields();
    void enterOnAnAmountThatIsNoNumber_data();
    void enterOnAnAmountThatIsNoNumber();
    void everyRepeatedCommandHasItsOwnKey_data();
    void everyRepeatedCommandHasItsOwnKey();
    void commandKeysOpenTheirDialogs_data();
    void commandKeysOpenTheirDialogs();
    void unitDialogTakesTheFirstKeys();
    void calculationListByArrowsAndEnter();
    void invoiceFromDateToFreight();
    void closeButtonOfTheHeaderAsksAsEscape();
    void dialogsReopenWhereTheyWere_data();
    void dialogsReopenWhereTheyWere();
};

// ---- keys typed ahead of the code's questions -------------------------------------------

void TestShellKeys::typedAheadReachTheirFields_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<QDate>("emissao");
    QTest::addColumn<QString>("teclas");
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("esperado");
    QTest::addColumn<bool>("ajuste"); // the adjusted MVA is offered
    QTest::addColumn<bool>("gravada"); // Enter stored the line
    const QDate hoje = Clock::today();
    QTest::newRow("goods, Tab after the value") << 0 << hoje << "01.001.00\t500,00\t"
                                                << "dxEditValorNF"
                                                << "500" << true << false;
    QTest::newRow("goods, Enter after the value: the questions, then the line") << 0 << hoje << "01.001.00\t500,00\r"
                                                                                << "dxEditValorNF"
                                                                                << "500" << true << true;
    QTest::newRow("fuel priced by PMPF: its MVA is not adjusted") << 6 << QDate(2026, 11, 16) << "06.001.00\t5000\t"
                                                                  << "dxEditLitros"
                                                                  << "5000" << false << false;
}

void TestShellKeys::typedAheadReachTheirFields()
{
    QFETCH(int, grupo);
    QFETCH(QDate, emissao);
    QFETCH(QString, teclas);
    QFETCH(QString, campo);
    QFETCH(QString, esperado);
    QFETCH(bool, ajuste);
    QFETCH(bool, gravada);
    calculo(1, false, grupo, emissao); // interstate: the adjusted MVA is offered
    TFormDlgMVAAjustada::NaoMostraImportada = false; // and the 4 % question in it
    m_sink.answers = {false};
    std::shared_ptr<bool> fim;
    bool ofereceu = false, digitadoAntes = false;
    Currency noCampo = Currency::fromInt(-1);
    whenModalNamed(QStringLiteral("TFormDlgMVAAjustada"), [&](QWidget *w) {
        // The officer answers once she looks up from the invoice.
        static_cast<void>(QTest::qWaitFor([&] { return fim && *fim; }, 5000));
        ofereceu = true;
        digitadoAntes = fim && *fim;
        // Shown, the dialog asks its own question (the 4 % credit).
        static_cast<void>(QTest::qWaitFor(
            [&] { return m_sink.texts().join(QLatin1Char('|')).contains(QStringLiteral("Quer usar 4%")); }, 5000));
        static_cast<TFormDlg *>(w)->BtnCancel->click(); // "Não Aplica"
    });
    inclui<TFormDlgItem>(grupo == 6 ? QStringLiteral("TFormDlgItemCombustivel") : QStringLiteral("TFormDlgItem"),
        {[&](TFormDlgItem &dlg) {
            ativa(&dlg);
            dlg.dxEditCodigo->setFocus();
            fim = datilografa(&dlg, teclas);
            QTRY_VERIFY(*fim);
            if (gravada) {
                // Accepted: the line is stored once the dialog's loop returns.
                QTRY_VERIFY(!dlg.isVisible());
                return;
            }
            QTRY_VERIFY(!dlg.dxEditDescricao->toPlainText().trimmed().isEmpty());
            QTest::qWait(300); // whatever the look-up opens, it has opened
            noCampo = dlg.findChild<CurrencyEdit *>(campo)->value();
            dlg.BtnCancel->click();
        }});
    QCOMPARE(ofereceu, ajuste);
    if (ajuste) {
        QVERIFY(digitadoAntes);
        QVERIFY2(m_sink.texts().join(QLatin1Char('|')).contains(QStringLiteral("Quer usar 4% como crédito")),
            qPrintable(m_sink.texts().join(QLatin1Char('|'))));
    }
    if (gravada) {
        const auto l = linhas();
        QCOMPARE(l.size(), 1);
        QCOMPARE(l[0].first, QStringLiteral("01.001.00"));
        QCOMPARE(l[0].second, valor(esperado));
    } else {
        QCOMPARE(noCampo, valor(esperado));
    }
}

// ---- an amount that is no number --------------------------------------------------------------

void TestShellKeys::enterOnAnAmountThatIsNoNumber_data()
{
    QTest::addColumn<QString>("antes"); // typed and looked up first
    QTest::addColumn<QString>("teclas");
    QTest::newRow("Enter") << ""
                           << "01.001.00\t12a,3\r";
    QTest::newRow("Tab") << ""
                         << "01.001.00\t12a,3\t";
    QTest::newRow("Enter, the code looked up before") << "01.001.00\t"
                                                      << "12a,3\r";
}

void TestShellKeys::enterOnAnAmountThatIsNoNumber()
{
    QFETCH(QString, antes);
    QFETCH(QString, teclas);
    calculo(1, true);
    QString texto, focoDepois;
    bool aberto = false;
    inclui<TFormDlgItem>(QStringLiteral("TFormDlgItem"), {[&](TFormDlgItem &dlg) {
        ativa(&dlg);
        dlg.dxEditCodigo->setFocus();
        if (!antes.isEmpty()) {
            auto fim = datilografa(&dlg, antes);
            QTRY_VERIFY(*fim);
            QTRY_VERIFY(!dlg.dxEditDescricao->toPlainText().trimmed().isEmpty());
            QCOMPARE(foco(), QStringLiteral("dxEditValorNF"));
        }
        auto fim = datilografa(&dlg, teclas);
        QTRY_VERIFY(*fim);
        QTRY_VERIFY(m_sink.texts().join(QLatin1Char('|')).contains(QStringLiteral("\"12a,3\" não é um valor.")));
        QTest::qWait(500); // the look-up, if it waited, is over
        aberto = dlg.isVisible();
        texto = dlg.dxEditValorNF->text();
        focoDepois = foco();
        dlg.BtnCancel->click();
    }});
    QVERIFY(aberto);
    QCOMPARE(texto, QStringLiteral("12a,3"));
    QCOMPARE(focoDepois, QStringLiteral("dxEditValorNF"));
    QVERIFY2(!m_sink.texts().contains(kIncompleto), qPrintable(m_sink.texts().join(QLatin1Char('|'))));
    int recusas = 0;
    for (const QString &t : m_sink.texts())
        recusas += t.contains(QStringLiteral("\"12a,3\"")) ? 1 : 0;
    QCOMPARE(recusas, 1);
    QVERIFY(linhas().isEmpty());
}

// ---- the keys of the commands -----------------------------------------------------------------------

void TestShellKeys::everyRepeatedCommandHasItsOwnKey_data()
{
    QTest::addColumn<QString>("janela");
    QTest::addColumn<QStringList>("comandos");
    QTest::newRow("main window") << "TMain"
                                 << QStringList {"SBNovo", "SBAbre", "SBFecha", "SBPrintCalc", "SBCalcRapido",
                                        "SBRegEspecial", "SBConsulta", "SBPesquisa", "SBAjuda", "SBAltera",
                                        "SBIncluiNota", "SBAlteraNota", "SBExcluiNota", "SBIncluiItem", "SBAlteraItem",
                                        "SBExcluiItem"};
    QTest::newRow("print options") << "TFormDlgPrintCalculo"
                                   << QStringList {"CheckMR2ComReducao", "CheckMR2SemReducao", "CheckMR1ComReducao",
                                          "CheckMR1SemReducao", "CheckSemMR", "CheckMedicSintetica",
                                          "CheckMedicAnalitica"};
}

void TestShellKeys::everyRepeatedCommandHasItsOwnKey()
{
    QFETCH(QString, janela);
    QFETCH(QStringList, comandos);
    calculo(1, true);
    std::unique_ptr<TFormDlgPrintCalculo> opcoes;
    QWidget *w = m_main.get();
    if (janela != QLatin1String("TMain")) {
        opcoes = std::make_unique<TFormDlgPrintCalculo>(m_main.get());
        opcoes->prepara(QString(), true, 1, QString());
        w = opcoes.get();
    }
    // Every key of the window, with what it reaches.
    QMultiHash<QKeySequence, QString> donos;
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
        if (b->isVisibleTo(w) && !teclaDoBotao(b).isEmpty())
            donos.insert(teclaDoBotao(b), b->objectName());
    for (QLabel *l : w->findChildren<QLabel *>())
        if (l->buddy() && l->isVisibleTo(w) && !QKeySequence::mnemonic(l->text()).isEmpty())
            donos.insert(QKeySequence::mnemonic(l->text()), l->buddy()->objectName());
    for (QShortcut *s : w->findChildren<QShortcut *>())
        donos.insert(s->key(), s->objectName());
    QStringList problemas;
    for (const QKeySequence &k : donos.uniqueKeys())
        if (donos.count(k) > 1)
            problemas << k.toString() + QStringLiteral(" reaches ")
                    + QStringList(donos.values(k)).join(QLatin1Char('+'));
    for (const QString &c : comandos)
        if (!donos.values().contains(c))
            problemas << c + QStringLiteral(" has no key");
    QVERIFY2(problemas.isEmpty(), qPrintable(problemas.join(QStringLiteral("; "))));
}

void TestShellKeys::commandKeysOpenTheirDialogs_data()
{
    QTest::addColumn<int>("tecla");
    QTest::addColumn<int>("modificadores");
    QTest::addColumn<QString>("dialogo");
    QTest::newRow("Alt+B: the calculation list") << int(Qt::Key_B) << int(Qt::AltModifier) << "TFormDlgEscolheCalculo";
    QTest::newRow("Alt+I: a new invoice") << int(Qt::Key_I) << int(Qt::AltModifier) << "TFormDlgNovaNF";
    QTest::newRow("Alt+A: the invoice altered") << int(Qt::Key_A) << int(Qt::AltModifier) << "TFormDlgNovaNF";
    QTest::newRow("Alt+U: a new line") << int(Qt::Key_U) << int(Qt::AltModifier) << "TFormDlgItem";
    QTest::newRow("Insert: a new line") << int(Qt::Key_Insert) << int(Qt::NoModifier) << "TFormDlgItem";
}

void TestShellKeys::commandKeysOpenTheirDialogs()
{
    QFETCH(int, tecla);
    QFETCH(int, modificadores);
    QFETCH(QString, dialogo);
    calculo(1, true);
    m_sink.answers = {true}; // "Cancela as informações?"
    QString aberto;
    whenModalNamed(dialogo, [&](QWidget *w) {
        aberto = w->objectName();
        static_cast<QDialog *>(w)->reject();
    });
    m_main->show();
    ativa(m_main.get());
    m_main->dxDBGridNotas->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(tecla), Qt::KeyboardModifiers(modificadores));
    QTRY_COMPARE(aberto, dialogo);
    m_main->hide();
}

// ---- where the focus starts ---------------------------------------------------------------------------

void TestShellKeys::unitDialogTakesTheFirstKeys()
{
    QString focado;
    whenModalNamed(QStringLiteral("TFormDlgUnidade"), [&](QWidget *w) {
        ativa(w);
        focado = foco();
        static_cast<QDialog *>(w)->reject();
    });
    TFormDlgUnidade::executa(m_main.get());
    QCOMPARE(focado, QStringLiteral("dxPickUnidade"));
}

void TestShellKeys::calculationListByArrowsAndEnter()
{
    // Three calculations; the list shows the latest first. Down, Down, Enter
    // opens the oldest.
    const int primeiro = calculo(1, true);
    calculo(1, true);
    calculo(1, true);
    m_main->SBFecha->click();
    whenModalNamed(QStringLiteral("TFormDlgEscolheCalculo"), [&](QWidget *w) {
        ativa(w);
        tecla(Qt::Key_Down);
        tecla(Qt::Key_Down);
        tecla(Qt::Key_Return);
    });
    m_main->SBAbre->click();
    QTRY_VERIFY(DM().TabCalc.isActive() && !DM().TabCalc.isEmpty());
    QCOMPARE(DM().TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger(), primeiro);
}

void TestShellKeys::invoiceFromDateToFreight()
{
    calculo(1, true);
    int tabs = -1;
    m_sink.answers = {true};
    whenModalNamed(QStringLiteral("TFormDlgNovaNF"), [&](QWidget *w) {
        ativa(w);
        w->findChild<QWidget *>(QStringLiteral("dxDBDataEmissao"))->setFocus(Qt::TabFocusReason);
        for (int i = 1; i <= 12; ++i) {
            tecla(Qt::Key_Tab);
            QApplication::processEvents();
            if (foco() == QLatin1String("dxDBFrete")) {
                tabs = i;
                break;
            }
        }
        static_cast<QDialog *>(w)->reject();
    });
    m_main->SBIncluiNota->click();
    // Date, sender's number, recipient's number, freight.
    QCOMPARE(tabs, 3);
}

void TestShellKeys::closeButtonOfTheHeaderAsksAsEscape()
{
    bool abertoAposNao = false, fechadoAposSim = false;
    m_sink.answers = {false, true};
    whenModalNamed(QStringLiteral("TFormDlgNovoCalculo"), [&](QWidget *w) {
        ativa(w);
        // As the window system sends it for Alt+F4 or the title bar's button.
        auto fecha = [w] {
            QCloseEvent e;
            QSpontaneKeyEvent::setSpontaneous(&e);
            qApp->notify(w, &e); // sendEvent would take the mark away
        };
        fecha();
        abertoAposNao = w->isVisible();
        fecha();
        fechadoAposSim = !w->isVisible();
    });
    m_main->SBNovo->click();
    QCOMPARE(m_sink.texts().count(QStringLiteral("Cancela as informações?")), 2);
    QVERIFY(abertoAposNao);
    QVERIFY(fechadoAposSim);
}

// ---- where the dialogs open ------------------------------------------------------------------------------

void TestShellKeys::dialogsReopenWhereTheyWere_data()
{
    QTest::addColumn<QString>("dialogo");
    QTest::newRow("kept for the run: the invoice") << "TFormDlgNovaNF";
    QTest::newRow("made at each use: the calculation list") << "TFormDlgEscolheCalculo";
}

void TestShellKeys::dialogsReopenWhereTheyWere()
{
    QFETCH(QString, dialogo);
    calculo(1, true);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QToolButton *botao = dialogo == QLatin1String("TFormDlgNovaNF") ? m_main->SBIncluiNota : m_main->SBAbre;
    m_sink.answers = {true, true};
    QPoint centro, segunda;
    const QPoint levada(137, 91);
    whenModalNamed(dialogo, [&](QWidget *w) {
        centro = w->frameGeometry().center();
        w->move(levada); // where the officer drags it
        static_cast<QDialog *>(w)->reject();
    });
    botao->click();
    whenModalNamed(dialogo, [&](QWidget *w) {
        segunda = w->pos();
        static_cast<QDialog *>(w)->reject();
    });
    botao->click();
    // The first time centred on the main window, then where it was left.
    const QPoint meio = m_main->frameGeometry().center();
    QVERIFY2((centro - meio).manhattanLength() <= 4,
        qPrintable(QStringLiteral("%1,%2 / %3,%4").arg(centro.x()).arg(centro.y()).arg(meio.x()).arg(meio.y())));
    QCOMPARE(segunda, levada);
    m_main->hide();
}

QTEST_MAIN(TestShellKeys)
#include "tst_shell_keys.moc"
