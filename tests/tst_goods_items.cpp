// The goods and fuel item dialogs in the running main window, headless: the
// flows a user meets, every question answered by script, and the rows the
// dialogs store. The last test enters whole calculations only through the
// dialogs and compares their amounts with the command-line tool's.
#include "core/datedvalues.h"
#include "core/itemcalc.h"
#include "core/settings.h"
#include "entry/currencyedit.h"
#include "entry/dbcontrols.h"
#include "entry/dbgrid.h"
#include "entry/dlgitem.h"
#include "entry/dlgitemcombustivel.h"
#include "entry/partes.h"
#include "platform/formatting.h"
#include "shell/itemcommands.h"
#include "tests/entry_support.h"
#include "tests/mainwindow_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>

using namespace stb;
using namespace mainwindowtest;
using entrytest::clickOk;
using entrytest::preencheFiscal;
using stbtest::whenModalNamed;

namespace {

using Passo = std::function<void(TFormDlgItem &)>;

// Types an annex code and leaves the field: the deferred look-up runs.
void digitaCodigo(TFormDlgItem &dlg, const QString &code)
{
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.dxEditCodigo->setFocus();
    dlg.dxEditCodigo->selectAll();
    QTest::keyClicks(dlg.dxEditCodigo, code);
    dlg.dxCheckFEM->setFocus();
    dlg.processPrivate();
}

struct Linha {
    QString itemBrelva;
    int idBrelva = 0, nroItem = 0;
    QString descricaoNF;
    Currency valorNF, valorIPI, aliqICMS, mva, mvaPre, credito, valorCredito, pmpf, litros, precoLitro;
    bool fem = false;
};

QList<Linha> linhasGravadas()
{
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT * FROM ITENS ORDER BY IDNOTA, NROITEM"));
    q.open();
    QList<Linha> out;
    for (q.first(); !q.eof(); q.next()) {
        auto m = [&q](const char *f) { return q.fieldByName(QLatin1String(f)).asCurrency(); };
        Linha l;
        l.itemBrelva = q.fieldByName(QStringLiteral("ItemBrelva")).asString();
        l.idBrelva = q.fieldByName(QStringLiteral("IdBrelva")).asInteger();
        l.nroItem = q.fieldByName(QStringLiteral("NroItem")).asInteger();
        l.descricaoNF = q.fieldByName(QStringLiteral("DescricaoNF")).asString();
        l.valorNF = m("ValorNF");
        l.valorIPI = m("ValorIPI");
        l.aliqICMS = m("AliqICMS");
        l.mva = m("MVA");
        l.mvaPre = m("MVAPreAjustada");
        l.credito = m("CreditoICMS");
        l.valorCredito = m("ValorCreditoICMS");
        l.pmpf = m("PMPF");
        l.litros = m("Litros");
        l.precoLitro = m("PrecoLitroNF");
        l.fem = q.fieldByName(QStringLiteral("FEM")).asBoolean();
        out << l;
    }
    return out;
}

} // namespace

class TestGoodsItems : public MainWindowSuite {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void annexLineStored_data();
    void annexLineStored();
    void threeMvasChoiceCancelled();
    void scopeRules_data();
    void scopeRules();
    void specialKindSwitchesToFuels();
    void specialKindNotOffered_data();
    void specialKindNotOffered();
    void adjustedMva_data();
    void adjustedMva();
    void rateQuestionAndDontRepeat();
    void rateChoiceByAtSign();
    void datedMessages_data();
    void datedMessages();
    void htmlAndDontRepeatMessages();
    void menusAndKeys();
    void fuelLines_data();
    void fuelLines();
    void fuelLineStored();
    void f2RepeatsPreviousLine();
    void ipiRateLearnt();
    void ipiInDifferenceOfRates_data();
    void ipiInDifferenceOfRates();
    void deleteRenumbers_data();
    void deleteRenumbers();
    void okChecks_data();
    void okChecks();
    void closingQuestions_data();
    void closingQuestions();
    void alterLine();
    void dialogsMatchCommandLine_data();
    void dialogsMatchCommandLine();

private:
    // The general or, in a fuel calculation, the fuel item dialog.
    void inclui(QList<Passo> passos)
    {
        db::Field *g = DM().TabCalc.findField(QStringLiteral("Grupo"));
        const bool combustivel = g && !g->isNull() && g->asInteger() == 6;
        MainWindowSuite::inclui<TFormDlgItem>(
            combustivel ? QStringLiteral("TFormDlgItemCombustivel") : QStringLiteral("TFormDlgItem"),
            std::move(passos));
    }

    QStringList m_html;
};

void TestGoodsItems::init()
{
    abre();
    m_html.clear();
    setHtmlMessageHandler(
        [this](const QString &title, const QString &html) { m_html << title + QLatin1Char('|') + html; });
}

void TestGoodsItems::cleanup() { fecha(); }

// ---- a line by annex code ---------------------------------------------------------------

void TestGoodsItems::annexLineStored_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("aliq");
    QTest::addColumn<bool>("fem");
    QTest::addColumn<QStringList>("messages"); // after the closing question is left out
    QTest::newRow("plain code") << "01.001.00" << 1 << "71.78"
                                << "18" << false << QStringList {};
    QTest::newRow("FEM and the item's rate") << "02.001.01" << 1 << "35"
                                             << "25" << true << QStringList {};
    QTest::newRow("typed with commas and no zeros")
        << "17,28,1" << 1 << "35"
        << "7" << false
        << QStringList {QStringLiteral("Produto da cesta básica: o crédito do ICMS nas "
                                       "entradas desta mercadoria está limitado a 7% do "
                                       "valor da operação.")};
    QTest::newRow("difference of rates: no MVA") << "01.001.00" << 2 << "0"
                                                 << "18" << false << QStringList {};
}

void TestGoodsItems::annexLineStored()
{
    QFETCH(QString, code);
    QFETCH(int, tipo);
    QFETCH(QString, mva);
    QFETCH(QString, aliq);
    QFETCH(bool, fem);
    QFETCH(QStringList, messages);
    calculo(tipo, true);
    QString description, caption, rateCaption;
    inclui({[&](TFormDlgItem &dlg) {
        caption = dlg.windowTitle();
        rateCaption = dlg.LabelAliqICMS->text();
        QCOMPARE(dlg.dxEditCreditoICMS->text(), QStringLiteral("12,00%"));
        digitaCodigo(dlg, code);
        description = dlg.dxEditDescricao->toPlainText();
        digita(dlg.dxEditValorNF, QStringLiteral("1000"));
        // The food basket's credit limit (12 above 7): keep; then no other invoice.
        m_sink.answers = code.startsWith(QLatin1String("17")) ? QList<bool> {true, false} : QList<bool> {false};
        clickOk(&dlg);
    }});
    QCOMPARE(caption, QStringLiteral("Inclusão de Item"));
    QCOMPARE(rateCaption, tipo == 2 ? QStringLiteral("Alíq ICMS Interna") : QStringLiteral("CTE Interna ICMS"));
    QVERIFY(description.startsWith(QString(21, QLatin1Char(' '))));
    const QList<Linha> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    const Linha &l = rows.first();
    QCOMPARE(l.itemBrelva,
        FormataCodigoBrelva(
            SeparaCodigoBrelva(code).item, SeparaCodigoBrelva(code).ex, SeparaCodigoBrelva(code).subItem));
    QCOMPARE(l.nroItem, 1);
    QVERIFY(l.idBrelva > 0);
    QCOMPARE(l.mva, valor(mva));
    QCOMPARE(l.aliqICMS, valor(aliq));
    QCOMPARE(l.fem, fem);
    QCOMPARE(l.valorNF, Currency::fromInt(1000));
    QCOMPARE(l.credito, Currency::fromInt(12));
    QCOMPARE(l.valorCredito, Currency::fromInt(120));
    QCOMPARE(description.trimmed(), DM().TabItens.fieldByName(QStringLiteral("XDescrBrelva")).asString());
    // Zeros, never nulls, in every amount.
    QCOMPARE(entrytest::count(QStringLiteral(
                 "SELECT COUNT(*) FROM ITENS WHERE VALORNF IS NULL OR VALORIPI IS NULL OR ALIQICMS IS NULL "
                 "OR MVA IS NULL OR CREDITOICMS IS NULL OR VALORCREDITOICMS IS NULL OR PMPF IS NULL OR "
                 "LITROS IS NULL OR PRECOLITRONF IS NULL OR MVAPREAJUSTADA IS NULL")),
        0);
    QStringList texts = m_sink.texts();
    QCOMPARE(texts.takeLast(), QStringLiteral("Quer Incluir mais alguma Nota Fiscal neste Cálculo?"));
    texts.removeIf([](const QString &t) { return t.startsWith(QLatin1String("Pelo Regulamento")); });
    QCOMPARE(texts, messages);
    // The grid shows the line and the invoice its amount to collect.
    QCOMPARE(DM().TabItens.recordCount(), 1);
    QCOMPARE(m_main->LabelItens->text(), QStringLiteral("ITENS DA NF 100 "));
}

void TestGoodsItems::threeMvasChoiceCancelled()
{
    calculo(1, true);
    QString header, mvaShown;
    int options = 0;
    inclui({[&](TFormDlgItem &dlg) {
        whenModalNamed(QStringLiteral("TFormDlgEscolheMVA"), [&](QWidget *choice) {
            header = choice->findChild<QLabel *>(QStringLiteral("LabelInfo"))->text();
            for (int i = 1; i <= 3; ++i)
                options
                    += choice->findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(i))->isVisibleTo(choice);
            choice->findChild<QRadioButton *>(QStringLiteral("RadioButton3"))->click();
            choice->findChild<QPushButton *>(QStringLiteral("BtnCancel"))->click();
        });
        digitaCodigo(dlg, QStringLiteral("21.002.00"));
        mvaShown = dlg.dxEditMVA->text();
        dlg.BtnCancel->click();
    }});
    QCOMPARE(header, QStringLiteral("21.002.00 - Geladeiras e refrigeradores domésticos de uma ou duas portas"));
    QCOMPARE(options, 3);
    QCOMPARE(mvaShown, QStringLiteral("25,00%"));
}

// ---- scope rules ---------------------------------------------------------------------------

void TestGoodsItems::scopeRules_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    QTest::newRow("own construction works, resale")
        << "10.002.01" << 1 << "A substituição tributária neste item é inaplicável (âmbito 10.5).";
    QTest::newRow("own construction works, DIFAL") << "10.002.01" << 2 << "";
    QTest::newRow("public food programme, resale")
        << "17.007.01" << 1 << "A substituição tributária neste item é inaplicável (âmbito 17.4).";
    QTest::newRow("public food programme, FEM") << "17.007.01" << 4 << "";
    QTest::newRow("same item, every operation") << "17.007.00" << 1 << "";
}

void TestGoodsItems::scopeRules()
{
    QFETCH(QString, code);
    QFETCH(int, tipo);
    QFETCH(QString, refusal);
    calculo(tipo, true);
    QString codeAfter;
    bool codeFocused = false;
    m_sink.answers = {false, false};
    inclui({[&](TFormDlgItem &dlg) {
        digitaCodigo(dlg, code);
        codeAfter = dlg.dxEditCodigo->text();
        codeFocused = dlg.dxEditCodigo->hasFocus();
        dlg.BtnCancel->click();
    }});
    const QStringList texts = m_sink.texts();
    if (refusal.isEmpty()) {
        QCOMPARE(codeAfter, code);
        QVERIFY(!texts.join(QLatin1Char('|')).contains(QStringLiteral("inaplicável")));
    } else {
        QCOMPARE(texts.value(0), refusal);
        QCOMPARE(m_sink.entries.value(0).kind, MsgKind::Erro);
        QVERIFY(codeAfter.isEmpty());
        QVERIFY(codeFocused);
    }
}

// ---- special kinds ------------------------------------------------------------------------------

void TestGoodsItems::specialKindSwitchesToFuels()
{
    calculo(1, true);
    QString fuelCaption;
    bool generalHidden = false;
    // Refusal, "switch?" Yes; then the fuel dialog; then no question about the invoice.
    m_sink.answers = {true, false, false};
    inclui({[&](TFormDlgItem &dlg) {
        whenModalNamed(QStringLiteral("TFormDlgItemCombustivel"), [&](QWidget *fuel) {
            fuelCaption = fuel->windowTitle();
            generalHidden = !dlg.isVisible();
            static_cast<TFormDlg *>(fuel)->BtnCancel->click();
        });
        digitaCodigo(dlg, QStringLiteral("06.002.00"));
    }});
    QVERIFY(generalHidden);
    QCOMPARE(fuelCaption, QStringLiteral("Inclusão de Item - COMBUSTÍVEL"));
    QCOMPARE(DM().TabCalc.fieldByName(QStringLiteral("Grupo")).asInteger(), 6);
    QCOMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM CALCULOS WHERE GRUPO = 6")), 1);
    QVERIFY(!m_main->LabelGrupoEspecial->isHidden());
    const QStringList texts = m_sink.texts();
    QCOMPARE(texts.value(0), QStringLiteral("Para calcular este item, é preciso criar o cálculo como \"Especial\"."));
    QCOMPARE(texts.value(1), QStringLiteral("Quer mudar este Cálculo para \"CombustLubrif\"?"));
    // After the switch the fuel dialog's own closing questions come (the invoice has no line).
    QCOMPARE(texts.mid(2),
        (QStringList {QStringLiteral("Esta Nota não tem nenhum item cadastrado. Quer exclui-la?"),
            QStringLiteral("Quer Incluir mais alguma Nota Fiscal neste Cálculo?")}));
}

void TestGoodsItems::specialKindNotOffered_data()
{
    QTest::addColumn<int>("notas");
    QTest::addColumn<bool>("withLine");
    QTest::addColumn<bool>("answer");
    QTest::newRow("answered No") << 1 << false << false;
    QTest::newRow("two invoices") << 2 << false << true;
    QTest::newRow("the invoice has a line") << 1 << true << true;
}

void TestGoodsItems::specialKindNotOffered()
{
    QFETCH(int, notas);
    QFETCH(bool, withLine);
    QFETCH(bool, answer);
    calculo(1, true, 0, Clock::today(), notas);
    if (withLine)
        DM().BaseDados.execSql(QStringLiteral("INSERT INTO ITENS (IdNota, NroItem, ValorNF) VALUES (%1, 1, 10)")
                                   .arg(DM().TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger()));
    QString codeAfter;
    const bool offered = notas == 1 && !withLine;
    m_sink.answers = offered ? QList<bool> {answer} : QList<bool> {}; // the closing questions take No
    inclui({[&](TFormDlgItem &dlg) {
        // Medicines are annex item 15.
        digitaCodigo(dlg, QStringLiteral("15.001.00"));
        codeAfter = dlg.dxEditCodigo->text();
        QVERIFY(dlg.isVisible());
        dlg.BtnCancel->click();
    }});
    const QStringList texts = m_sink.texts();
    QCOMPARE(texts.value(0), QStringLiteral("Para calcular este item, é preciso criar o cálculo como \"Especial\"."));
    QCOMPARE(texts.contains(QStringLiteral("Quer mudar este Cálculo para \"Medicamentos\"?")), offered);
    QVERIFY(codeAfter.isEmpty());
    QCOMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM CALCULOS WHERE GRUPO IS NULL")), 1);
}

// ---- adjusted MVA -------------------------------------------------------------------------------

void TestGoodsItems::adjustedMva_data()
{
    QTest::addColumn<bool>("apply");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("pre");
    QTest::newRow("accepted") << true << "84.35"
                              << "71.78"; // ((1.7178 × 0.88) / 0.82 − 1) × 100
    QTest::newRow("refused") << false << "71.78"
                             << "71.78";
}

void TestGoodsItems::adjustedMva()
{
    QFETCH(bool, apply);
    calculo(1, false);
    QString interstate, internal, original;
    bool preShown = !apply;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItem &dlg) {
        whenModalNamed(QStringLiteral("TFormDlgMVAAjustada"), [&](QWidget *w) {
            auto &mva = static_cast<TFormDlgMVAAjustada &>(*w);
            original = mva.dxMVAOriginal->text();
            interstate = mva.dxAliqInterestadual->text();
            internal = mva.dxAliqInterna->text();
            (apply ? mva.BtnOk : mva.BtnCancel)->click();
        });
        digitaCodigo(dlg, QStringLiteral("01.001.00"));
        preShown = dlg.dxEditMVAPreAjuste->isVisible();
        digita(dlg.dxEditValorNF, QStringLiteral("500"));
        clickOk(&dlg);
    }});
    QCOMPARE(original, QStringLiteral("71,78%"));
    QCOMPARE(interstate, QStringLiteral("12,00%")); // the configured credit rate
    QCOMPARE(internal, QStringLiteral("18,00%")); // MVAAjustada.Aliq of item 01
    QCOMPARE(preShown, apply);
    const QList<Linha> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    QFETCH(QString, mva);
    QFETCH(QString, pre);
    QCOMPARE(rows[0].mva, valor(mva));
    QCOMPARE(rows[0].mvaPre, valor(pre));
}

// ---- rate messages ---------------------------------------------------------------------------------

void TestGoodsItems::rateQuestionAndDontRepeat()
{
    calculo(1, true);
    const QString question = QStringLiteral("Massas recheadas, congeladas ou resfriadas têm alíquota interna de 18%.\r"
                                            "A mercadoria é massa recheada, congelada ou resfriada?");
    QString rate1, rate2;
    // Line 1: Yes with "Não mostre mais"; the information; the credit limit (12 > 7): keep.
    m_sink.answers = {true, true};
    m_sink.dontRepeat = {true, false};
    inclui({[&](TFormDlgItem &dlg) {
                digitaCodigo(dlg, QStringLiteral("17.028.00"));
                rate1 = dlg.dxEditAliqICMS->text();
                digita(dlg.dxEditValorNF, QStringLiteral("100"));
                clickOk(&dlg);
            },
        [&](TFormDlgItem &dlg) {
            m_sink.answers = {false}; // no other invoice
            digitaCodigo(dlg, QStringLiteral("17.028.00"));
            rate2 = dlg.dxEditAliqICMS->text();
            dlg.BtnCancel->click();
        }});
    QCOMPARE(rate1, QStringLiteral("18,00%"));
    QCOMPARE(rate2, QStringLiteral("7,00%"));
    QCOMPARE(m_sink.texts().count(question), 1);
    QVERIFY(TFormDlgItem::instancia().NaoMostrar.contains(QStringLiteral("17.028.00p1")));
    // The item's messages came once per code look-up.
    QCOMPARE(
        m_sink.texts().count(QStringLiteral("Produto da cesta básica: o crédito do ICMS nas entradas desta mercadoria "
                                            "está limitado a 7% do valor da operação.\rMassas recheadas, congeladas ou "
                                            "resfriadas não se incluem neste subitem.")),
        2);
    QCOMPARE(linhasGravadas().value(0).aliqICMS, Currency::fromInt(18));
}

void TestGoodsItems::rateChoiceByAtSign()
{
    calculo(1, true);
    QString rate, memo;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItem &dlg) {
        whenModalNamed(QStringLiteral("TFormDlgEscolheAliquota"), [&](QWidget *w) {
            memo = w->findChild<QPlainTextEdit *>(QStringLiteral("dxMemo"))->toPlainText();
            w->findChild<QRadioButton *>(QStringLiteral("RadioButton1"))->click();
            clickOk(w);
        });
        digitaCodigo(dlg, QStringLiteral("20.016.00"));
        rate = dlg.dxEditAliqICMS->text();
        dlg.BtnCancel->click();
    }});
    QCOMPARE(memo,
        QStringLiteral("Desodorantes: a alíquota interna depende da apresentação do produto.\nEscolha a opção que "
                       "corresponde à mercadoria da nota fiscal:"));
    QCOMPARE(rate, QStringLiteral("18,00%")); // the item's own rate is 25
}

// ---- dated messages -----------------------------------------------------------------------------------

void TestGoodsItems::datedMessages_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<bool>("rateAsked");
    QTest::addColumn<bool>("messageShown");
    QTest::newRow("on its date") << QDate(2028, 12, 31) << "7" << true << true;
    QTest::newRow("the day after") << QDate(2029, 1, 1) << "12" << false << false;
}

void TestGoodsItems::datedMessages()
{
    QFETCH(QDate, today);
    QFETCH(QString, rate);
    QFETCH(bool, rateAsked);
    QFETCH(bool, messageShown);
    Clock::setFixedDate(today);
    calculo(1, true);
    QString shownRate;
    m_sink.answers = {false, false};
    inclui({[&](TFormDlgItem &dlg) {
        digitaCodigo(dlg, QStringLiteral("21.012.00"));
        shownRate = dlg.dxEditAliqICMS->text();
        dlg.BtnCancel->click();
    }});
    QCOMPARE(shownRate, FormatCurr(QStringLiteral(",0.00%"), valor(rate)));
    const QString texts = m_sink.texts().join(QLatin1Char('|'));
    QCOMPARE(texts.contains(QStringLiteral("A mercadoria é importada?")), rateAsked);
    QCOMPARE(texts.contains(QStringLiteral("Notebooks e tablets fabricados no país")), messageShown);
}

void TestGoodsItems::htmlAndDontRepeatMessages()
{
    IniLocal2().writeString(QStringLiteral("Mensagens"), QStringLiteral("17.074.00"),
        QStringLiteral("Margarina: verifique^po teor de gordura."));
    IniLocal2().writeString(QStringLiteral("Mensagens"), QStringLiteral("17.075.00"),
        QStringLiteral("<html><body><b>Açúcar</b> com regime próprio</body></html>"));
    calculo(1, true);
    m_sink.dontRepeat = {true};
    inclui({[&](TFormDlgItem &dlg) {
        digitaCodigo(dlg, QStringLiteral("17.074.00")); // shown, "Não mostre mais" ticked
        digitaCodigo(dlg, QStringLiteral("17.075.00")); // its own window
        digitaCodigo(dlg, QStringLiteral("17.074.00")); // not again
        dlg.BtnCancel->click();
    }});
    QCOMPARE(m_sink.texts().count(QStringLiteral("Margarina: verifique\ro teor de gordura.")), 1);
    QCOMPARE(m_html,
        QStringList {
            QStringLiteral("INFORMAÇÃO IMPORTANTE|<html><body><b>Açúcar</b> com regime próprio</body></html>")});
    QVERIFY(TFormDlgItem::instancia().NaoMostrar.contains(QStringLiteral("17.074.00")));
}

void TestGoodsItems::menusAndKeys()
{
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    QStringList opened;
    auto fecha = [&opened](QWidget *w) {
        opened << w->objectName();
        static_cast<TFormDlg *>(w)->BtnCancel->click();
    };
    whenModalNamed(QStringLiteral("TFormDlgPMPFBebidas"), fecha);
    QTest::keyClick(m_main.get(), Qt::Key_F12);
    whenModalNamed(QStringLiteral("TFormDlgPMPFRacoesPET"), fecha);
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    QTest::keyClick(m_main.get(), Qt::Key_F11);
    QMenu *pesquisa = m_main->PopMenuPesquisa;
    whenModalNamed(QStringLiteral("TFormDlgPMPFCombustiveis"), fecha);
    pesquisa->findChild<QAction *>(QStringLiteral("PMPFAtoCotepe1"))->trigger();
    whenModalNamed(QStringLiteral("TFormDlgMercControladas"), fecha);
    pesquisa->findChild<QAction *>(QStringLiteral("MercadoriasControladas1"))->trigger();
    QCOMPARE(opened,
        (QStringList {
            "TFormDlgPMPFBebidas", "TFormDlgPMPFRacoesPET", "TFormDlgPMPFCombustiveis", "TFormDlgMercControladas"}));
    QVERIFY(!pesquisa->findChild<QAction *>(QStringLiteral("ConsultaAlteracoesDe01082009"))->isVisible());
    // The annex program cannot be started here.
    QVERIFY(m_main->SBConsulta->isEnabled());
    m_main->SBConsulta->click();
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Não consegui abrir o Brelva...")});
    m_main->hide();
}

// ---- fuels ------------------------------------------------------------------------------------------------

void TestGoodsItems::fuelLines_data()
{
    QTest::addColumn<QDate>("issued");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("act");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("pricePerLitre");
    QTest::addColumn<QString>("credit");
    QTest::addColumn<QString>("refusal");
    const QString ato44 = QStringLiteral("Ato COTEPE: Nro \"44/2026\" a partir de 16/11/2026.");
    QTest::newRow("before the oldest act: by MVA") << QDate(2025, 6, 30) << "06.001.00" << 1 << "0"
                                                   << ""
                                                   << "Litros" << true << "12"
                                                   << "";
    QTest::newRow("on the act's first day")
        << QDate(2026, 11, 16) << "06.001.00" << 1 << "4.612" << ato44 << "Litros" << true << "12"
        << "";
    QTest::newRow("the day before it: the previous act")
        << QDate(2026, 11, 15) << "06.002.00" << 1 << "6.421"
        << QStringLiteral("Ato COTEPE: Nro \"41/2026\" a partir de 01/11/2026.") << "Litros" << false << "0"
        << "";
    QTest::newRow("premium gasoline shares the price")
        << QDate(2026, 11, 16) << "06.002.01" << 1 << "6.4385" << ato44 << "Litros" << false << "0"
        << "";
    QTest::newRow("liquefied gas in kilograms")
        << QDate(2026, 11, 16) << "06.007.00" << 1 << "8.931" << ato44 << "Kgs" << false << "0"
        << "";
    QTest::newRow("anhydrous alcohol: always by MVA") << QDate(2026, 11, 16) << "06.009.00" << 1 << "0"
                                                      << ""
                                                      << "Litros" << false << "0"
                                                      << "";
    QTest::newRow("not a fuel") << QDate(2026, 11, 16) << "01.001.00" << 1 << "0"
                                << ""
                                << "Litros" << false << "12"
                                << "Neste cálculo só é possível processar os combustíveis.";
    QTest::newRow("own use, resale") << QDate(2026, 11, 16) << "06.012.01" << 1 << "0"
                                     << ""
                                     << "Litros" << false << "12"
                                     << "A substituição tributária neste item é inaplicável (âmbito 6.2).";
    QTest::newRow("own use, DIFAL") << QDate(2026, 11, 16) << "06.012.01" << 2 << "0"
                                    << ""
                                    << "Litros" << false << "0"
                                    << "";
}

void TestGoodsItems::fuelLines()
{
    QFETCH(QDate, issued);
    QFETCH(QString, code);
    QFETCH(int, tipo);
    QFETCH(QString, price);
    QFETCH(QString, act);
    QFETCH(QString, unit);
    QFETCH(bool, pricePerLitre);
    QFETCH(QString, credit);
    QFETCH(QString, refusal);
    calculo(tipo, true, 6, issued);
    Currency shownPrice = Currency::fromInt(-1), shownCredit;
    QString shownAct, shownUnit;
    bool litresOn = false, valueOn = false, mvaOn = false, perLitreOn = false;
    m_sink.answers = {false, false};
    inclui({[&](TFormDlgItem &d) {
        auto &dlg = static_cast<TFormDlgItemCombustivel &>(d);
        QVERIFY(!dlg.dxEditDescricaoNF->isVisibleTo(&dlg));
        digitaCodigo(dlg, code);
        shownPrice = dlg.dxEditPMPF->value();
        shownAct = dlg.LabelAtoCotepe->text();
        shownUnit = dlg.LabelLitros->text();
        litresOn = dlg.dxEditLitros->isEnabled();
        valueOn = dlg.dxEditValorNF->isEnabled();
        mvaOn = dlg.dxEditMVA->isEnabled();
        perLitreOn = dlg.dxEditPrecoLitroNF->isEnabled();
        shownCredit = dlg.dxEditCreditoICMS->value();
        dlg.BtnCancel->click();
    }});
    const QStringList texts = m_sink.texts();
    if (!refusal.isEmpty()) {
        QCOMPARE(texts.value(0), refusal);
        return;
    }
    QVERIFY2(!texts.join(QLatin1Char('|')).contains(QStringLiteral("inaplicável")), qPrintable(texts.join('|')));
    QCOMPARE(shownPrice, valor(price));
    QCOMPARE(shownAct, act);
    QCOMPARE(shownUnit, unit);
    const bool byPrice = valor(price) > Currency();
    QCOMPARE(litresOn, byPrice);
    QCOMPARE(valueOn, !byPrice);
    QCOMPARE(mvaOn, !byPrice);
    QCOMPARE(perLitreOn, pricePerLitre);
    QCOMPARE(shownCredit, valor(credit));
}

void TestGoodsItems::fuelLineStored()
{
    // A line by PMPF, then a line by MVA; the checks of OK on the way.
    calculo(1, true, 6, QDate(2026, 11, 16));
    bool litresRefused = false, perLitreAsked = false;
    m_sink.answers = {false, true, false};
    inclui({[&](TFormDlgItem &d) {
                auto &dlg = static_cast<TFormDlgItemCombustivel &>(d);
                digitaCodigo(dlg, QStringLiteral("06.001.00"));
                clickOk(&dlg);
                litresRefused = dlg.isVisible() && m_sink.texts().contains(kIncompleto);
                digita(dlg.dxEditLitros, QStringLiteral("5000"));
                clickOk(&dlg); // price per litre 0: No, back to it
                perLitreAsked = dlg.isVisible();
                clickOk(&dlg); // Yes: stored with a zero price per litre
            },
        [&](TFormDlgItem &d) {
            auto &dlg = static_cast<TFormDlgItemCombustivel &>(d);
            digitaCodigo(dlg, QStringLiteral("06.009.00"));
            digita(dlg.dxEditValorNF, QStringLiteral("2000"));
            clickOk(&dlg);
        }});
    QVERIFY(litresRefused);
    QVERIFY(perLitreAsked);
    QVERIFY(m_sink.texts().contains(QStringLiteral("O Preço por Litro na NF deste item é Zero?")));
    const QList<Linha> rows = linhasGravadas();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].itemBrelva, QStringLiteral("06.001.00"));
    QCOMPARE(rows[0].pmpf, valor(QStringLiteral("4.612")));
    QCOMPARE(rows[0].litros, Currency::fromInt(5000));
    QCOMPARE(rows[0].valorNF, Currency());
    QCOMPARE(rows[0].credito, Currency::fromInt(12));
    QCOMPARE(rows[1].itemBrelva, QStringLiteral("06.009.00"));
    QCOMPARE(rows[1].pmpf, Currency());
    QCOMPARE(rows[1].litros, Currency());
    QCOMPARE(rows[1].valorNF, Currency::fromInt(2000));
    QCOMPARE(rows[1].mva, valor(QStringLiteral("31.25")));
    QCOMPARE(rows[1].credito, Currency());
}

// ---- F2, delete, OK, closing ---------------------------------------------------------------------------------

void TestGoodsItems::f2RepeatsPreviousLine()
{
    calculo(1, true);
    m_sink.answers = {false};
    QString descriptionAfterF2;
    inclui({[&](TFormDlgItem &dlg) {
                digitaCodigo(dlg, QStringLiteral("01.001.00"));
                dlg.dxCheckDescricaoNF->click();
                QTest::keyClicks(dlg.dxEditDescricaoNF, QStringLiteral("filtro de oleo"));
                digita(dlg.dxEditValorNF, QStringLiteral("250,5"));
                dlg.dxCheckValorIPI->click();
                digita(dlg.dxEditValorIPI, QStringLiteral("25,05"));
                digita(dlg.dxEditCreditoICMS, QStringLiteral("7"));
                m_sink.answers = {true, false}; // the rate differs from the configured one: correct
                clickOk(&dlg);
            },
        [&](TFormDlgItem &dlg) {
            dlg.dxEditCodigo->setFocus();
            QTest::keyClick(dlg.dxEditCodigo, Qt::Key_F2);
            descriptionAfterF2 = dlg.dxEditDescricao->toPlainText();
            dlg.dxEditDescricaoNF->setFocus();
            QTest::keyClick(dlg.dxEditDescricaoNF, Qt::Key_F2);
            dlg.dxEditValorNF->setFocus();
            QTest::keyClick(dlg.dxEditValorNF, Qt::Key_F2);
            m_sink.answers = {true, false};
            clickOk(&dlg);
        }});
    const QList<Linha> rows = linhasGravadas();
    QCOMPARE(rows.size(), 2);
    QVERIFY(descriptionAfterF2.contains(QStringLiteral("Filtros de óleo")));
    for (const Linha &l : rows) {
        QCOMPARE(l.itemBrelva, QStringLiteral("01.001.00"));
        QCOMPARE(l.idBrelva, rows[0].idBrelva);
        QCOMPARE(l.descricaoNF, QStringLiteral("FILTRO DE OLEO"));
        QCOMPARE(l.valorNF, valor(QStringLiteral("250.5")));
        QCOMPARE(l.valorIPI, valor(QStringLiteral("25.05")));
        QCOMPARE(l.credito, Currency::fromInt(7));
        QCOMPARE(l.valorCredito, valor(QStringLiteral("17.535")));
        QCOMPARE(l.mva, valor(QStringLiteral("71.78")));
        QCOMPARE(l.aliqICMS, Currency::fromInt(18));
    }
    QCOMPARE(rows[1].nroItem, 2);
}

void TestGoodsItems::ipiRateLearnt()
{
    calculo(1, true);
    QString proposed;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItem &dlg) {
                digitaCodigo(dlg, QStringLiteral("01.001.00"));
                digita(dlg.dxEditValorNF, QStringLiteral("200"));
                dlg.dxCheckValorIPI->click(); // enables and enters the IPI
                QTest::keyClicks(dlg.dxEditValorIPI, QStringLiteral("13,37"));
                dlg.dxEditMVA->setFocus(); // leaving it learns 6,685 % as 6,7 %
                clickOk(&dlg);
            },
        [&](TFormDlgItem &dlg) {
            digitaCodigo(dlg, QStringLiteral("01.001.00"));
            digita(dlg.dxEditValorNF, QStringLiteral("400"));
            dlg.dxEditValorIPI->setFocus(); // the box stayed ticked: a proposal
            proposed = dlg.dxEditValorIPI->text();
            dlg.BtnCancel->click();
        }});
    QCOMPARE(Settings::instance().aliqIPI(QStringLiteral("01.001.00")), valor(QStringLiteral("6.7")));
    QCOMPARE(proposed, QStringLiteral("26,80"));
    QCOMPARE(linhasGravadas().value(0).valorIPI, valor(QStringLiteral("13.37")));
}

void TestGoodsItems::ipiInDifferenceOfRates_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No keeps the box unticked") << false;
    QTest::newRow("Yes enables the IPI") << true;
}

void TestGoodsItems::ipiInDifferenceOfRates()
{
    QFETCH(bool, answer);
    calculo(2, false);
    bool ticked = !answer, enabled = !answer;
    inclui({[&](TFormDlgItem &dlg) {
        m_sink.answers = {answer};
        dlg.dxCheckValorIPI->click();
        ticked = dlg.dxCheckValorIPI->isChecked();
        enabled = dlg.dxEditValorIPI->isEnabled();
        m_sink.answers = {};
        dlg.BtnCancel->click();
    }});
    QCOMPARE(ticked, answer);
    QCOMPARE(enabled, answer);
    QCOMPARE(m_sink.texts().value(0),
        QStringLiteral("Nos cálculos de diferencial de alíquota (sem MVA), o valor do IPI deve "
                       "integrar o Valor do Produto (NF), e não ser informado neste campo.\r"
                       "Quer habilitar o campo \"Valor do IPI\"?"));
}

void TestGoodsItems::deleteRenumbers_data()
{
    QTest::addColumn<int>("deleted");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QList<int>>("left"); // ValorNF of the lines left, in NroItem order
    QTest::addColumn<int>("current"); // ValorNF of the current line afterwards
    QTest::newRow("second of four") << 2 << true << QList<int> {10, 30, 40} << 30;
    QTest::newRow("answered No") << 2 << false << QList<int> {10, 20, 30, 40} << 20;
}

void TestGoodsItems::deleteRenumbers()
{
    QFETCH(int, deleted);
    QFETCH(bool, answer);
    QFETCH(QList<int>, left);
    calculo(1, true);
    const int idNota = DM().TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger();
    for (int i = 1; i <= 4; ++i)
        DM().BaseDados.execSql(QStringLiteral("INSERT INTO ITENS (IdNota, NroItem, ValorNF) VALUES (%1, %2, %3)")
                                   .arg(idNota)
                                   .arg(i)
                                   .arg(i * 10));
    db::Table &itens = DM().TabItens;
    itens.refresh();
    QVERIFY(itens.locate(QStringLiteral("NroItem"), {deleted}));
    m_sink.answers = {answer};
    m_main->SBExcluiItem->click();
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Quer excluir este item?")});
    QList<int> values, numbers;
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT NROITEM, VALORNF FROM ITENS ORDER BY NROITEM"));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        numbers << q.field(0).asInteger();
        values << static_cast<int>(q.field(1).asCurrency().toDouble());
    }
    QCOMPARE(values, left);
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers[i], i + 1);
    QTEST(static_cast<int>(itens.fieldByName(QStringLiteral("ValorNF")).asCurrency().toDouble()), "current");
}

void TestGoodsItems::okChecks_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ipi");
    QTest::addColumn<QString>("credit");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("stored");
    QTest::newRow("no description") << ""
                                    << "100" << false << "12" << QList<bool> {} << QStringList {kIncompleto} << false;
    QTest::newRow("no value") << "01.001.00"
                              << "0" << false << "12" << QList<bool> {} << QStringList {kIncompleto} << false;
    QTest::newRow("IPI ticked and zero, No")
        << "01.001.00"
        << "100" << true << "12" << QList<bool> {false} << QStringList {"O Valor do IPI deste item é Zero?"} << false;
    QTest::newRow("zero credit, Yes, then the configured rate")
        << "01.001.00"
        << "100" << false << "0" << QList<bool> {true, true}
        << QStringList {"O Crédito do ICMS deste item é Zero?", "A Alíquota do Crédito do ICMS está correta?"} << true;
    QTest::newRow("other rate, No") << "01.001.00"
                                    << "100" << false << "4" << QList<bool> {false}
                                    << QStringList {"A Alíquota do Crédito do ICMS está correta?"} << false;
    QTest::newRow("food basket at 7") << "17.028.01"
                                      << "100" << false << "7" << QList<bool> {} << QStringList {} << true;
    QTest::newRow("food basket above 7, No")
        << "17.028.01"
        << "100" << false << "7,01" << QList<bool> {false}
        << QStringList {"Pelo Regulamento do ICMS, o crédito do imposto relativo às entradas destas mercadorias não "
                        "pode ser "
                        "superior a 7% do valor da operação.\rContinua com a alíquota informada?"}
        << false;
    QTest::newRow("a star needs no description") << "*"
                                                 << "100" << false << "12" << QList<bool> {} << QStringList {} << true;
}

void TestGoodsItems::okChecks()
{
    QFETCH(QString, code);
    QFETCH(QString, value);
    QFETCH(bool, ipi);
    QFETCH(QString, credit);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, texts);
    QFETCH(bool, stored);
    calculo(1, true);
    bool open = false;
    QStringList shown;
    m_sink.dontRepeat = {true}; // the item's information, if any, once
    inclui({[&](TFormDlgItem &dlg) {
        if (!code.isEmpty())
            digitaCodigo(dlg, code);
        digita(dlg.dxEditValorNF, value);
        if (ipi)
            dlg.dxCheckValorIPI->click();
        digita(dlg.dxEditMVA, dlg.dxEditMVA->value().isZero() ? QStringLiteral("40") : dlg.dxEditMVA->text());
        digita(dlg.dxEditCreditoICMS, credit);
        m_sink.clear();
        m_sink.answers = answers;
        clickOk(&dlg);
        open = dlg.isVisible();
        shown = m_sink.texts();
        m_sink.answers = {false, false};
        if (open)
            dlg.BtnCancel->click();
    }});
    QCOMPARE(shown, texts);
    QCOMPARE(open, !stored);
    QCOMPARE(linhasGravadas().size(), stored ? 1 : 0);
}

void TestGoodsItems::closingQuestions_data()
{
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("invoiceLeft");
    QTest::addColumn<bool>("invoiceDialog");
    QTest::newRow("keep the empty invoice, no other") << QList<bool> {false, false} << true << false;
    QTest::newRow("delete it, then another invoice") << QList<bool> {true, true} << false << true;
}

void TestGoodsItems::closingQuestions()
{
    QFETCH(QList<bool>, answers);
    QFETCH(bool, invoiceDialog);
    calculo(1, true);
    m_sink.answers = answers;
    QString opened;
    if (invoiceDialog)
        whenModalNamed(QStringLiteral("TFormDlgNovaNF"), [&](QWidget *w) {
            opened = w->windowTitle();
            static_cast<TFormDlg *>(w)->BtnCancel->click();
        });
    inclui({});
    QCOMPARE(m_sink.texts(),
        (QStringList {QStringLiteral("Esta Nota não tem nenhum item cadastrado. Quer exclui-la?"),
            QStringLiteral("Quer Incluir mais alguma Nota Fiscal neste Cálculo?")}));
    QTEST(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")) == 1, "invoiceLeft");
    QCOMPARE(opened.startsWith(QStringLiteral("Inclusão de Nova Nota Fiscal")), invoiceDialog);
}

void TestGoodsItems::alterLine()
{
    calculo(1, true);
    m_sink.answers = {false};
    inclui({[&](TFormDlgItem &dlg) {
        digitaCodigo(dlg, QStringLiteral("01.001.00"));
        digita(dlg.dxEditValorNF, QStringLiteral("100"));
        clickOk(&dlg);
    }});
    QString caption, code, value;
    m_sink.clear();
    whenModalNamed(QStringLiteral("TFormDlgItem"), [&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgItem &>(*w);
        caption = dlg.windowTitle();
        code = dlg.dxEditCodigo->text();
        value = dlg.dxEditValorNF->text();
        // Leaving the unchanged code looks nothing up again.
        dlg.dxEditCodigo->setFocus();
        dlg.dxEditValorNF->setFocus();
        dlg.processPrivate();
        digita(dlg.dxEditValorNF, QStringLiteral("150"));
        clickOk(w);
    });
    m_main->dxDBGridItens->rowDoubleClicked();
    QCOMPARE(caption, QStringLiteral("Alteração de Item"));
    QCOMPARE(code, QStringLiteral("01.001.00"));
    QCOMPARE(value, QStringLiteral("100,00"));
    QVERIFY(m_sink.entries.isEmpty());
    const QList<Linha> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].valorNF, Currency::fromInt(150));
    QCOMPARE(rows[0].valorCredito, Currency::fromInt(18));
}

// ---- the dialogs and the command-line tool agree ---------------------------------------------------------------

void TestGoodsItems::dialogsMatchCommandLine_data()
{
    QTest::addColumn<bool>("fuel");
    QTest::newRow("standard calculation, three lines and freight") << false;
    QTest::newRow("fuel calculation, two lines") << true;
}

void TestGoodsItems::dialogsMatchCommandLine()
{
    QFETCH(bool, fuel);
    Clock::setFixedDate(QDate(2026, 11, 20));
    // The header and the invoice, through their dialogs.
    whenModalNamed(QStringLiteral("TFormDlgNovoCalculo"), [fuel](QWidget *w) {
        auto &dlg = static_cast<TFormDlgNovoCalculo &>(*w);
        preencheFiscal();
        if (!dlg.dxCheckInterna->isChecked())
            dlg.dxCheckInterna->click();
        if (!dlg.dxCheckTipo1->isChecked())
            dlg.dxCheckTipo1->click();
        if (fuel) {
            dlg.dxCheckCombustivel->click();
            whenModalNamed(QStringLiteral("TFormDlgCalculoEspecial"), [](QWidget *page) { clickOk(page); });
        }
        whenModalNamed(QStringLiteral("TFormDlgNovaNF"), [fuel](QWidget *nf) {
            auto &nota = static_cast<TFormDlgNovaNF &>(*nf);
            QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("4510"));
            if (!fuel) {
                nota.dxDBFrete->setFocus();
                nota.dxDBFrete->selectAll();
                QTest::keyClicks(nota.dxDBFrete, QStringLiteral("50"));
            }
            clickOk(nf);
        });
        clickOk(w);
    });
    m_sink.answers = {true, true}; // confirm the header; include the freight
    m_main->SBNovo->click();
    QVERIFY(m_main->calcViewOpen());
    m_sink.clear();

    // The lines, through the item dialog.
    QJsonArray itens;
    auto linha = [&itens](const char *code, const char *vnf, const char *ipi, const char *aliq, const char *mva,
                     const char *cred, const char *vcred, bool fem, const char *pmpf, const char *litros,
                     const char *preco) {
        itens.append(QJsonObject {{"ItemBrelva", QLatin1String(code)}, {"ValorNF", QLatin1String(vnf)},
            {"ValorIPI", QLatin1String(ipi)}, {"AliqICMS", QLatin1String(aliq)}, {"MVA", QLatin1String(mva)},
            {"CreditoICMS", QLatin1String(cred)}, {"ValorCreditoICMS", QLatin1String(vcred)}, {"FEM", fem},
            {"PMPF", QLatin1String(pmpf)}, {"Litros", QLatin1String(litros)}, {"PrecoLitroNF", QLatin1String(preco)}});
    };
    if (!fuel) {
        m_sink.answers = {true, false}; // food basket credit above 7: keep; no other invoice
        inclui({[](TFormDlgItem &dlg) {
                    digitaCodigo(dlg, QStringLiteral("01.001.00"));
                    digita(dlg.dxEditValorNF, QStringLiteral("300"));
                    dlg.dxCheckValorIPI->click();
                    digita(dlg.dxEditValorIPI, QStringLiteral("30"));
                    clickOk(&dlg);
                },
            [](TFormDlgItem &dlg) {
                digitaCodigo(dlg, QStringLiteral("17.028.01"));
                dlg.dxCheckValorIPI->click(); // no IPI from here on
                digita(dlg.dxEditValorNF, QStringLiteral("100"));
                clickOk(&dlg);
            },
            [](TFormDlgItem &dlg) {
                digitaCodigo(dlg, QStringLiteral("02.001.01"));
                digita(dlg.dxEditValorNF, QStringLiteral("200"));
                clickOk(&dlg);
            }});
        linha("01.001.00", "300", "30", "18", "71.78", "12", "36", false, "0", "0", "0");
        linha("17.028.01", "100", "0", "7", "35", "12", "12", false, "0", "0", "0");
        linha("02.001.01", "200", "0", "25", "35", "12", "24", true, "0", "0", "0");
    } else {
        m_sink.answers = {false};
        inclui({[](TFormDlgItem &d) {
                    auto &dlg = static_cast<TFormDlgItemCombustivel &>(d);
                    digitaCodigo(dlg, QStringLiteral("06.001.00"));
                    digita(dlg.dxEditLitros, QStringLiteral("5000"));
                    digita(dlg.dxEditPrecoLitroNF, QStringLiteral("3,95"));
                    clickOk(&dlg);
                },
            [](TFormDlgItem &d) {
                auto &dlg = static_cast<TFormDlgItemCombustivel &>(d);
                digitaCodigo(dlg, QStringLiteral("06.002.00"));
                digita(dlg.dxEditLitros, QStringLiteral("3000"));
                clickOk(&dlg);
            }});
        linha("06.001.00", "0", "0", "16", "31.25", "12", "0", false, "4.612", "5000", "3.95");
        linha("06.002.00", "0", "0", "27", "52.14", "0", "0", false, "6.4385", "3000", "0");
    }
    QCOMPARE(DM().TabItens.recordCount(), fuel ? 2 : 3);

    // The amounts as a report run computes them on the stored lines.
    QJsonArray esperadas;
    QString total;
    {
        TDM &dm = DM();
        const CalculoEmCurso calculo(dm, 0);
        dm.TabNotas.refresh();
        total = dm.TabNotas.fieldByName(QStringLiteral("ValorARecolher")).asCurrency().toPlainString(4);
        for (dm.TabItens.first(); !dm.TabItens.eof(); dm.TabItens.next()) {
            QJsonObject o;
            for (const char *f : {"FreteProp", "Soma", "ValorFinal", "ValorICMS", "ValorFEM", "ValorCreditoICMS",
                     "ICMSaRecolher", "ValorMR", "ValorMRRed", "TotalARecolher"})
                o.insert(QLatin1String(f), dm.TabItens.fieldByName(QLatin1String(f)).asCurrency().toPlainString(4));
            esperadas.append(o);
        }
    }

    // The same calculation, written from what the user meant, for the tool.
    const QJsonObject entrada {
        {"calculo",
            QJsonObject {{"Grupo", fuel ? QJsonValue(6) : QJsonValue()}, {"TipoCalculo", 1}, {"DiferencialAliq", false},
                {"OpInterna", DM().TabCalc.fieldByName(QStringLiteral("OpInterna")).asBoolean()}, {"PrintMR", 0}}},
        {"notas",
            QJsonArray {QJsonObject {{"NroNF", "4510"}, {"Frete", fuel ? "0" : "50"}, {"DestaqueICMSST", "0"},
                {"CreditoICMSMedic", "0"}, {"itens", itens}}}}};
    QJsonObject nota;
    QString erro;
    QVERIFY2(computaCli(QStringLiteral(STB_CLI_PATH), entrada, &nota, &erro), qPrintable(erro));
    QCOMPARE(nota.value(QStringLiteral("ValorARecolher")).toString(), total);
    QVERIFY(valor(total) > Currency());
    const QJsonArray linhas = nota.value(QStringLiteral("itens")).toArray();
    QCOMPARE(linhas.size(), esperadas.size());
    for (qsizetype i = 0; i < linhas.size(); ++i) {
        const QJsonObject esperada = esperadas.at(i).toObject();
        const QJsonObject obtida = linhas.at(i).toObject();
        for (auto it = esperada.constBegin(); it != esperada.constEnd(); ++it)
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(i + 1).arg(it.key(), obtida.value(it.key()).toString()),
                QStringLiteral("%1 %2 %3").arg(i + 1).arg(it.key(), it.value().toString()));
    }
}

QTEST_MAIN(TestGoodsItems)
#include "tst_goods_items.moc"
