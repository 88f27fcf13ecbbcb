// The margin and rate dialogs and the reference-table grids, headless: every
// question answered by script, each dialog driven as a user does.
#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dlgescolhemva.h"
#include "entry/dlgmvaajustada.h"
#include "entry/pmpfgrids.h"
#include "platform/formatting.h"
#include "tests/mainwindow_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace stb;
using namespace mainwindowtest;
using stbtest::TestInstall;

namespace {

QRadioButton *radio(QWidget *dlg, int n)
{
    return dlg->findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(n));
}

int visiveis(QWidget *dlg)
{
    int n = 0;
    for (int i = 1; i <= 4; ++i)
        n += radio(dlg, i)->isVisibleTo(dlg) ? 1 : 0;
    return n;
}

QStringList textosColuna(DBGrid *grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, column).data().toString();
    return out;
}

} // namespace

class TestGoodsDialogs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rateChoice_data();
    void rateChoice();
    void mvaChoiceDialog_data();
    void mvaChoiceDialog();
    void adjustedMva_data();
    void adjustedMva();
    void importedGoodsQuestion();
    void adjustedEditedBack();
    void applyRefusedKeepsDialogOpen();
    void creditByAmount_data();
    void creditByAmount();
    void fuelPricesGrid();
    void beveragesSearch_data();
    void beveragesSearch();
    void petFoodPackage_data();
    void petFoodPackage();
    void petFoodPanel();
    void controlledGoodsFilter_data();
    void controlledGoodsFilter();

private:
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
};

void TestGoodsDialogs::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
    stbtest::copyPristine(m_inst->dataDir());
    TDM::setDefaultDataDir(m_inst->dataDir());
    TFormDlgMVAAjustada::NaoMostraImportada = false;
}

void TestGoodsDialogs::cleanup()
{
    LiberaGridPMPFCombustiveis();
    m_inst.reset();
    setMessageSink(nullptr);
}

void TestGoodsDialogs::rateChoice_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("choice"); // 0: Escape
    QTest::addColumn<QString>("rate");
    const QString duas = QStringLiteral("Escolha^pa opção@Corporal (18%)|Colônia (25%)|@@7|12|");
    QTest::newRow("two options, the second") << duas << 2 << 2 << "12";
    QTest::newRow("two options, the first") << duas << 2 << 1 << "7";
    QTest::newRow("two options, Escape") << duas << 2 << 0 << "7";
    QTest::newRow("rates without the last bar repeat the second")
        << QStringLiteral("Escolha@A|B|C|D@@7|12") << 4 << 4 << "12";
    QTest::newRow("four options, the third") << QStringLiteral("Texto@A|B|C|D|@@18|25|12|7") << 4 << 3 << "12";
    QTest::newRow("configured message") << QStringLiteral(
        "Fones: escolha.^pOpção:@Fones (18%)|Caixas (25%)|Auto (18%)|@@18|25|18|")
                                        << 3 << 2 << "25";
}

void TestGoodsDialogs::rateChoice()
{
    QFETCH(QString, message);
    QFETCH(int, shown);
    QFETCH(int, choice);
    bool okBefore = true;
    int shownNow = 0;
    QString memo;
    stbtest::whenModal([&](QWidget *w) {
        okBefore = w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->isEnabled();
        shownNow = visiveis(w);
        memo = w->findChild<QPlainTextEdit *>(QStringLiteral("dxMemo"))->toPlainText();
        if (choice == 0) {
            QTest::keyClick(w, Qt::Key_Escape);
            return;
        }
        radio(w, choice)->click();
        QVERIFY(radio(w, choice)->font().bold());
        QVERIFY(w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->isEnabled());
        w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->click();
    });
    const Currency r = EscolheAliquota(message);
    QFETCH(QString, rate);
    QCOMPARE(r, *Currency::parsePlain(rate));
    QVERIFY(!okBefore);
    QCOMPARE(shownNow, shown);
    QVERIFY(!memo.contains(QLatin1Char('@')));
    QVERIFY(!memo.contains(QLatin1String("^p")));
}

void TestGoodsDialogs::mvaChoiceDialog_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("pick"); // 0: cancel
    QTest::addColumn<int>("result");
    const QStringList tres {
        QStringLiteral("Fabricante: 25,00%"), QStringLiteral("Atacadista: 30,00%"), QStringLiteral("Demais: 35,00%")};
    QTest::newRow("three, the third") << tres << 3 << 3;
    QTest::newRow("three, cancelled") << tres << 0 << 0;
    QTest::newRow("two, the second") << tres.mid(0, 2) << 2 << 2;
    QTest::newRow("two, confirmed at once") << tres.mid(0, 2) << 1 << 1;
}

void TestGoodsDialogs::mvaChoiceDialog()
{
    QFETCH(QStringList, options);
    QFETCH(int, pick);
    int shown = 0;
    QString info, caption;
    stbtest::whenModal([&](QWidget *w) {
        caption = w->windowTitle();
        shown = visiveis(w);
        info = w->findChild<QLabel *>(QStringLiteral("LabelInfo"))->text();
        QVERIFY(radio(w, 1)->isChecked() && radio(w, 1)->font().bold());
        if (pick == 0) {
            w->findChild<QPushButton *>(QStringLiteral("BtnCancel"))->click();
            return;
        }
        radio(w, pick)->click();
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(radio(w, i)->font().bold(), i == pick);
        w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->click();
    });
    const int r = EscolheOpcaoMVABrelva(QStringLiteral("21.002.00 - Geladeiras"), options);
    QTEST(r, "result");
    QCOMPARE(shown, options.size());
    QCOMPARE(caption, QStringLiteral("Escolha a MVA"));
    QCOMPARE(info, QStringLiteral("21.002.00 - Geladeiras"));
}

void TestGoodsDialogs::adjustedMva_data()
{
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("interstate");
    QTest::addColumn<QString>("internal");
    QTest::addColumn<QString>("adjusted");
    QTest::addColumn<bool>("asksApply"); // "A MVA só é ajustada..." at Aplica
    QTest::addColumn<bool>("accepted");
    QTest::newRow("40, 12, 18") << "40"
                                << "12"
                                << "18"
                                << "50.24" << false << true;
    QTest::newRow("equal rates") << "40"
                                 << "18"
                                 << "18"
                                 << "40" << false << true;
    QTest::newRow("internal rate 0") << "40"
                                     << "12"
                                     << "0"
                                     << "0" << true << false;
    QTest::newRow("MVA 0") << "0"
                           << "12"
                           << "18"
                           << "0" << false << false;
    QTest::newRow("35, 7, 17") << "35"
                               << "7"
                               << "17"
                               << "51.27" << false << true;
}

void TestGoodsDialogs::adjustedMva()
{
    QFETCH(QString, mva);
    QFETCH(QString, interstate);
    QFETCH(QString, internal);
    QFETCH(QString, adjusted);
    QFETCH(bool, asksApply);
    QString shownAdjusted, note;
    m_sink.answers = {false, true}; // imported goods: No; "Continua sem ajustar": Yes
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgMVAAjustada &>(*w);
        QTRY_COMPARE(m_sink.entries.size(), 1); // the imported-goods question, 100 ms after showing
        shownAdjusted = dlg.dxMVAAjustada->text();
        note = dlg.dxMemo->toPlainText();
        dlg.BtnOk->click();
    });
    const ResultadoMVAAjustada r = MVAAjustada(
        QString(), *Currency::parsePlain(mva), *Currency::parsePlain(interstate), *Currency::parsePlain(internal));
    QTEST(r.aceita, "accepted");
    QCOMPARE(r.mva, *Currency::parsePlain(adjusted));
    QCOMPARE(shownAdjusted, FormatCurr(QStringLiteral(",0.00%"), *Currency::parsePlain(adjusted)));
    QVERIFY(!r.credito4);
    QCOMPARE(note, NotaPadraoMVAAjustada());
    const QStringList texts = m_sink.texts();
    QCOMPARE(texts.value(0),
        QStringLiteral("Nas operações interestaduais com mercadoria importada a alíquota de crédito é 4%.\r"
                       "Quer usar 4% como crédito?"));
    QCOMPARE(texts.size(), asksApply ? 2 : 1);
    if (asksApply)
        QCOMPARE(texts.value(1),
            QStringLiteral("A MVA só é ajustada quando a alíquota interna for superior à alíquota "
                           "interestadual.\rContinua sem ajustar a MVA?"));
}

void TestGoodsDialogs::importedGoodsQuestion()
{
    // Yes with the box ticked: 4 % as credit, the notice, and no question for the rest of the run.
    m_sink.answers = {true};
    m_sink.dontRepeat = {true};
    QString interstate;
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgMVAAjustada &>(*w);
        QTRY_COMPARE(m_sink.entries.size(), 2);
        interstate = dlg.dxAliqInterestadual->text();
        dlg.BtnOk->click();
    });
    ResultadoMVAAjustada r = MVAAjustada(
        QStringLiteral("Nota do item"), Currency::fromInt(40), Currency::fromInt(12), Currency::fromInt(18));
    QVERIFY(r.aceita);
    QVERIFY(r.credito4);
    QCOMPARE(interstate, QStringLiteral("4,00%"));
    QCOMPARE(r.mva, valor("63.90")); // ((1.40 × 0.96) / 0.82 − 1) × 100
    QCOMPARE(
        m_sink.texts().value(1), QStringLiteral("Você pode alterar manualmente o crédito para 4% nos próximos ítens."));
    QVERIFY(TFormDlgMVAAjustada::NaoMostraImportada);

    m_sink.clear();
    stbtest::whenModal([&](QWidget *w) {
        QTest::qWait(300);
        static_cast<TFormDlgMVAAjustada &>(*w).BtnOk->click();
    });
    r = MVAAjustada(QString(), Currency::fromInt(40), Currency::fromInt(12), Currency::fromInt(18));
    QVERIFY(m_sink.entries.isEmpty());
    QCOMPARE(r.mva, valor("50.24"));
    QVERIFY(!r.credito4);
}

void TestGoodsDialogs::adjustedEditedBack()
{
    TFormDlgMVAAjustada::NaoMostraImportada = true;
    QString original;
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgMVAAjustada &>(*w);
        QVERIFY(dlg.dxMVAAjustada->focusPolicy() == Qt::ClickFocus);
        digita(dlg.dxMVAAjustada, QStringLiteral("60"));
        original = dlg.dxMVAOriginal->text();
        // Editing an input computes the adjusted MVA again.
        digita(dlg.dxAliqInterna, QStringLiteral("17"));
        dlg.BtnOk->click();
    });
    const ResultadoMVAAjustada r
        = MVAAjustada(QString(), Currency::fromInt(40), Currency::fromInt(12), Currency::fromInt(18));
    // ((1.60 × 0.82) / 0.88 − 1) × 100 = 49.09; then with 17 %: ((1.4909 × 0.88) / 0.83 − 1) × 100 = 58.07
    QCOMPARE(original, QStringLiteral("49,09%"));
    QCOMPARE(r.mva, valor("58.07"));
}

void TestGoodsDialogs::applyRefusedKeepsDialogOpen()
{
    TFormDlgMVAAjustada::NaoMostraImportada = true;
    bool stayedOpen = false;
    m_sink.answers = {false};
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgMVAAjustada &>(*w);
        dlg.BtnOk->click(); // interstate 12 above internal 7: asked, No
        stayedOpen = dlg.isVisible();
        dlg.BtnCancel->click();
    });
    const ResultadoMVAAjustada r
        = MVAAjustada(QString(), Currency::fromInt(40), Currency::fromInt(12), Currency::fromInt(7));
    QVERIFY(stayedOpen);
    QVERIFY(!r.aceita);
    QCOMPARE(m_sink.texts().size(), 1);
}

void TestGoodsDialogs::creditByAmount_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("rate"); // empty: nothing returned
    QTest::newRow("12 % of 1000") << "1000"
                                  << "120" << true << "12";
    QTest::newRow("fractions") << "333.33"
                               << "23,33" << true << "6.9991";
    QTest::newRow("zero product value: configured rate") << "0"
                                                         << "50" << true << "12";
    QTest::newRow("cancelled") << "1000"
                               << "120" << false << "";
}

void TestGoodsDialogs::creditByAmount()
{
    QFETCH(QString, product);
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QString, rate);
    QString caption;
    stbtest::whenModal([&](QWidget *w) {
        caption = w->windowTitle();
        auto &dlg = static_cast<TFormDlgCreditoICMS &>(*w);
        digita(dlg.dxCurrencyEdit, typed);
        (ok ? dlg.BtnOk : dlg.BtnCancel)->click();
    });
    const auto r = CreditoPorValor(*Currency::parsePlain(product), Currency::fromInt(12));
    QCOMPARE(caption, QStringLiteral("Crédito do ICMS"));
    QCOMPARE(r.has_value(), !rate.isEmpty());
    if (r)
        QCOMPARE(*r, *Currency::parsePlain(rate));
}

void TestGoodsDialogs::fuelPricesGrid()
{
    QWidget *first = nullptr;
    QStringList atos, alcool, captions;
    stbtest::whenModal([&](QWidget *w) {
        first = w;
        auto &g = static_cast<TFormDlgPMPFCombustiveis &>(*w);
        atos = textosColuna(g.dxDBGrid, 0);
        alcool = textosColuna(g.dxDBGrid, 2);
        for (int c = 0; c < g.dxDBGrid->model()->columnCount(); ++c)
            captions << g.dxDBGrid->model()->headerData(c, Qt::Horizontal).toString();
        g.BtnOk->click();
    });
    GridPMPFCombustiveis();
    QCOMPARE(captions, (QStringList {"Ato", "Vigência", "Álcool", "Gasolina", "Diesel", "GLP", "QAV"}));
    QCOMPARE(atos.size(), 14);
    QCOMPARE(atos.first(), QStringLiteral("44/2026")); // latest act first
    QCOMPARE(alcool.first(), QStringLiteral("4,6120"));
    QCOMPARE(first->windowTitle(), QStringLiteral("PMPF Combustíveis - ATO COTEPE"));
    // The grid is kept for the run.
    QWidget *second = nullptr;
    stbtest::whenModal([&](QWidget *w) {
        second = w;
        static_cast<TFormDlg *>(w)->BtnCancel->click();
    });
    GridPMPFCombustiveis();
    QCOMPARE(second, first);
}

void TestGoodsDialogs::beveragesSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("internal");
    QTest::newRow("brand with its three headings")
        << "weiss" << QStringList {"001", "00102", "0010202", "001020201", "001020202"};
    QTest::newRow("accents and case") << "três serras" << QStringList {"001", "00104", "0010401", "0010402", "0010403"};
    QTest::newRow("nothing found") << "xyz" << QStringList {};
}

void TestGoodsDialogs::beveragesSearch()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, internal);
    int all = 0;
    bool closedWhileTyping = false, none = false;
    QStringList rows;
    QString caption;
    stbtest::whenModal([&](QWidget *w) {
        auto &g = static_cast<TFormDlgPMPFBebidas &>(*w);
        caption = g.windowTitle();
        all = g.Qry.recordCount();
        // A letter typed in the grid goes to the search box.
        g.dxDBGrid->setFocus();
        QTest::keyClicks(g.dxDBGrid, typed.left(1));
        g.dxEditPesquisa->insert(typed.mid(1)); // as typed (the test keyboard knows no accents)
        closedWhileTyping = !g.Qry.isActive();
        QTRY_VERIFY(g.Qry.isActive());
        QCOMPARE(g.dxEditPesquisa->text(), typed);
        rows = textosColuna(g.dxDBGrid, 4);
        none = g.LabelNenhum->isVisible();
        g.BtnOk->click();
    });
    GridPMPFBebidas();
    QCOMPARE(caption, QStringLiteral("PMPF Bebidas - ") + Settings::instance().portariaBebidas());
    QVERIFY(all > 30);
    QVERIFY(closedWhileTyping);
    QCOMPARE(rows, internal);
    QCOMPARE(none, internal.isEmpty());
}

void TestGoodsDialogs::petFoodPackage_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("kg");
    QTest::addColumn<bool>("warns");
    QTest::newRow("5 kg in a package up to 5 kg") << "Até 5kg"
                                                  << "5" << false;
    QTest::newRow("5.01 kg in a package up to 5 kg") << "Até 5kg"
                                                     << "5.01" << true;
    QTest::newRow("5 kg in a package above 5 kg") << "Acima de 5kg"
                                                  << "5" << true;
    QTest::newRow("5.01 kg in a package above 5 kg") << "Acima de 5kg"
                                                     << "5.01" << false;
    QTest::newRow("no weight") << "Até 5kg"
                               << "0" << false;
    QTest::newRow("no package") << ""
                                << "7" << false;
}

void TestGoodsDialogs::petFoodPackage()
{
    QFETCH(QString, package);
    QFETCH(QString, kg);
    QTEST(EmbalagemNaoConfere(package, *Currency::parsePlain(kg)), "warns");
}

void TestGoodsDialogs::petFoodPanel()
{
    QString value3, caption;
    bool warning3 = true, warning6 = false;
    QStringList rows;
    stbtest::whenModal([&](QWidget *w) {
        auto &g = static_cast<TFormDlgPMPFRacoesPET &>(*w);
        caption = g.windowTitle();
        QTest::keyClicks(g.dxEditPesquisa, QStringLiteral("felinus"));
        QTRY_VERIFY(g.Qry.isActive());
        rows = textosColuna(g.dxDBGrid, 5);
        g.dxDBGrid->selectRow(1); // 02001: up to 5 kg, 34,60 per kg
        digita(g.dxPeso, QStringLiteral("3"));
        value3 = g.dxValor->text();
        warning3 = g.LabelAviso->isVisible();
        digita(g.dxPeso, QStringLiteral("6"));
        warning6 = g.LabelAviso->isVisible();
        g.BtnOk->click();
    });
    GridPMPFRacoesPET();
    QCOMPARE(caption, QStringLiteral("PMPF Rações PET - ") + Settings::instance().portariaRacoesPET());
    QCOMPARE(rows, (QStringList {"02", "02001", "02002", "02003", "02004", "03", "03003"}));
    QCOMPARE(value3, QStringLiteral("R$ 103,80"));
    QVERIFY(!warning3);
    QVERIFY(warning6);
}

void TestGoodsDialogs::controlledGoodsFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("caption");
    QTest::newRow("word") << "ALCOOL" << QStringList {"1011", "1013", "1041"}
                          << "Mercadorias Controladas - Procurando por ALCOOL";
    QTest::newRow("as typed: lower case finds nothing")
        << "alcool" << QStringList {} << "Mercadorias Controladas - Procurando por alcool";
    QTest::newRow("a quote searches") << "D'AGUA" << QStringList {}
                                      << "Mercadorias Controladas - Procurando por D'AGUA";
    QTest::newRow("empty restores") << "" << QStringList {} << "Mercadorias Controladas";
}

void TestGoodsDialogs::controlledGoodsFilter()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, codes);
    QStringList shown;
    QString shownCaption;
    bool detached = false;
    int all = 0;
    stbtest::whenModal([&](QWidget *w) {
        auto &g = static_cast<TFormDlgMercControladas &>(*w);
        all = g.Qry.recordCount();
        QTest::keyClicks(g.dxEditPesquisa, typed.isEmpty() ? QStringLiteral("X") : typed);
        detached = g.dxDBGrid->dataSet() == nullptr;
        if (typed.isEmpty())
            g.dxEditPesquisa->clear();
        QTest::keyClick(g.dxEditPesquisa, Qt::Key_Return);
        QVERIFY(g.isVisible()); // Enter searches, it does not close
        shown = textosColuna(g.dxDBGrid, 0);
        shownCaption = g.windowTitle();
        g.BtnCancel->click();
    });
    GridMercControladas();
    QVERIFY(detached);
    QFETCH(QString, caption);
    QCOMPARE(shownCaption, caption);
    QCOMPARE(shown.size(), typed.isEmpty() ? all : codes.size());
    if (!typed.isEmpty())
        QCOMPARE(shown, codes);
}

QTEST_MAIN(TestGoodsDialogs)
#include "tst_goods_dialogs.moc"
