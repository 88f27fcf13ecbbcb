// The medicine item dialog in the running main window, headless: medicines
// found by bar code and by name with several hits (the chooser's own cases,
// "*" among them, are in tst_medic_gui), an annex code typed with a comma,
// the margins of the lists (internal, interstate adjusted, the list choice),
// quantity 1, the OK checks, the batch repeat, alter and delete, and the
// stored lines computing as the command-line tool computes them. What the
// shared item dialog base does alike for goods lines is tested there.
#include "core/itemcalc.h"
#include "entry/currencyedit.h"
#include "entry/dbgrid.h"
#include "outputs/dlgescolhemedic.h"
#include "outputs/dlgitemmedic.h"
#include "outputs/medic.h"
#include "tests/mainwindow_fixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>

using namespace stb;
using namespace mainwindowtest;
using stbtest::whenModalNamed;

namespace {

// Types into the first edit and leaves it: the deferred search runs.
void digitaMedicamento(TFormDlgItemMedic &dlg, const QString &text)
{
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.dxEditCodBarra->setFocus();
    dlg.dxEditCodBarra->selectAll();
    QTest::keyClicks(dlg.dxEditCodBarra, text);
    dlg.dxEditAliqICMS->setFocus();
    dlg.processPrivate();
    dlg.processPrivate(); // what the look-up posted in turn
}

struct LinhaMedic {
    int nroItem = 0, qtd = 0;
    QString codBarra, descricao, laboratorio, lista, lote;
    Currency debVlMerc, aliq, mva, mvaPre, credito;
};

QList<LinhaMedic> linhasGravadas()
{
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT * FROM ITENSMEDIC ORDER BY IDNOTA, NROITEM"));
    q.open();
    QList<LinhaMedic> out;
    for (q.first(); !q.eof(); q.next()) {
        auto m = [&q](const char *f) { return q.fieldByName(QLatin1String(f)).asCurrency(); };
        auto s = [&q](const char *f) { return q.fieldByName(QLatin1String(f)).asString(); };
        LinhaMedic l;
        l.nroItem = q.fieldByName(QStringLiteral("NroItem")).asInteger();
        l.qtd = q.fieldByName(QStringLiteral("Qtd")).asInteger();
        l.codBarra = s("CodBarra");
        l.descricao = s("Descricao");
        l.laboratorio = s("Laboratorio");
        l.lista = s("Lista");
        l.lote = s("Lote");
        l.debVlMerc = m("DebVlMerc");
        l.aliq = m("DebAliqICMS");
        l.mva = m("MVA");
        l.mvaPre = m("MVAPreAjustada");
        l.credito = m("CreditoICMS");
        out << l;
    }
    return out;
}

} // namespace

class TestMedicItems : public MainWindowSuite {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void lineTotal_data();
    void lineTotal();
    void annexList_data();
    void annexList();
    void medicineByBarCode_data();
    void medicineByBarCode();
    void nameWithSeveralHits();
    void annexCodeWithComma();
    void listChoice_data();
    void listChoice();
    void quantityOne_data();
    void quantityOne();
    void okChecks_data();
    void okChecks();
    void batchRepeatAlterAndDelete();
    void dialogMatchesCommandLine_data();
    void dialogMatchesCommandLine();

private:
    void inclui(Passos<TFormDlgItemMedic> passos)
    {
        MainWindowSuite::inclui<TFormDlgItemMedic>(QStringLiteral("TFormDlgItemMedic"), std::move(passos));
    }

    QByteArray m_tabela;
};

void TestMedicItems::initTestCase()
{
    m_tabela = amostraMedic(QStringLiteral(STB_SAMPLE_ZLB));
    QVERIFY(m_tabela.size() > 100000);
}

void TestMedicItems::init()
{
    abre([this](stbtest::TestInstall &inst) {
        QFile f(inst.dataDir() + QStringLiteral("TabMedic.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_tabela);
    });
}

void TestMedicItems::cleanup() { fecha(); }

// ---- the arithmetic of the line ------------------------------------------------------------------

void TestMedicItems::lineTotal_data()
{
    QTest::addColumn<int>("qtd");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("total");
    QTest::newRow("3 x 10 with MVA 20") << 3 << "10"
                                        << "20"
                                        << "36";
    QTest::newRow("price table: no margin") << 2 << "45.71"
                                            << "0"
                                            << "91.42";
    QTest::newRow("four decimals kept, no rounding to cents") << 2 << "30"
                                                              << "38.24"
                                                              << "82.944";
    QTest::newRow("quantity 0") << 0 << "10"
                                << "20"
                                << "0";
    QTest::newRow("unit price with four decimals") << 7 << "1.2345"
                                                   << "0"
                                                   << "8.6415";
}

void TestMedicItems::lineTotal()
{
    QFETCH(int, qtd);
    QFETCH(QString, unit);
    QFETCH(QString, mva);
    QFETCH(QString, total);
    QCOMPARE(TotalItemMedic(qtd, valor(unit), valor(mva)), valor(total));
}

void TestMedicItems::annexList_data()
{
    QTest::addColumn<int>("subItem");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("lista");
    QTest::newRow("1 positive") << 1 << "Lista Positiva"
                                << "Positiva";
    QTest::newRow("3 negative, lower case") << 3 << "medicamentos da lista negativa"
                                            << "Negativa";
    QTest::newRow("4 neutral") << 4 << "Lista Neutra"
                               << "Neutra";
    QTest::newRow("2 is always neutral") << 2 << "Lista Positiva"
                                         << "Neutra";
    QTest::newRow("5 has no list") << 5 << "Lista Positiva"
                                   << "";
    QTest::newRow("1 without a list named") << 1 << "Sacos de plástico"
                                            << "";
}

void TestMedicItems::annexList()
{
    QFETCH(int, subItem);
    QFETCH(QString, texto);
    QTEST(ListaDoAnexo(subItem, texto), "lista");
}

// ---- medicines from the price table --------------------------------------------------------------

void TestMedicItems::medicineByBarCode_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<bool>("interna");
    QTest::addColumn<QString>("codigo");
    QTest::addColumn<QString>("qtd");
    QTest::addColumn<QString>("unit"); // typed (group 113); empty: the table's price stays
    QTest::addColumn<QString>("aliq");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("mvaPre");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("lista");
    QTest::newRow("price table, 18 %") << 13 << true << "7890453488752"
                                       << "2"
                                       << ""
                                       << "18"
                                       << "0"
                                       << "0"
                                       << "91.42"
                                       << "+";
    QTest::newRow("price table, generic at 12 %") << 13 << true << "7895038184616"
                                                  << "3"
                                                  << ""
                                                  << "12"
                                                  << "0"
                                                  << "0"
                                                  << "419.34"
                                                  << "+";
    QTest::newRow("list MVA, internal: stPosQZ18") << 113 << true << "7890453488752"
                                                   << "2"
                                                   << "30"
                                                   << "18"
                                                   << "38.24"
                                                   << "0"
                                                   << "82.944"
                                                   << "+";
    QTest::newRow("list MVA, interstate: stNegUF18 adjusted") << 113 << false << "7896597846410"
                                                              << "1"
                                                              << "100"
                                                              << "18"
                                                              << "49.9"
                                                              << "39.68"
                                                              << "149.9"
                                                              << "-";
    QTest::newRow("list MVA, interstate generic: stPosUF12, nothing to adjust") << 113 << false << "7895038184616"
                                                                                << "1"
                                                                                << "100"
                                                                                << "12"
                                                                                << "38.76"
                                                                                << "38.76"
                                                                                << "138.76"
                                                                                << "+";
}

void TestMedicItems::medicineByBarCode()
{
    QFETCH(int, grupo);
    QFETCH(bool, interna);
    QFETCH(QString, codigo);
    QFETCH(QString, qtd);
    QFETCH(QString, unit);
    calculo(1, interna, grupo);
    QString caption, unitShown;
    bool ajustadaVista = false;
    m_sink.answers = {false}; // no other invoice
    inclui({[&](TFormDlgItemMedic &dlg) {
        caption = dlg.windowTitle();
        QCOMPARE(dlg.dxEditQtd->text(), QStringLiteral("0"));
        if (!interna)
            whenModalNamed(QStringLiteral("TFormDlgMVAAjustada"), [&](QWidget *w) {
                ajustadaVista = true;
                w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->click();
            });
        digitaMedicamento(dlg, codigo);
        unitShown = dlg.dxEditVlUnit->text();
        digita(dlg.dxEditQtd, qtd);
        if (!unit.isEmpty())
            digita(dlg.dxEditVlUnit, unit);
        dlg.BtnOk->click();
    }});
    QCOMPARE(caption, QStringLiteral("Inclusão de Item - MEDICAMENTO - Tabela de Outubro/2007"));
    QCOMPARE(ajustadaVista, !interna);
    // In a margin calculation the invoice price is typed: the table's price is cleared.
    QCOMPARE(unitShown == QLatin1String("0,00"), grupo == 113);
    const QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    const LinhaMedic &l = rows.first();
    QCOMPARE(l.nroItem, 1);
    QCOMPARE(l.codBarra, codigo);
    QVERIFY(!l.descricao.isEmpty());
    QVERIFY(!l.laboratorio.isEmpty());
    QCOMPARE(l.qtd, qtd.toInt());
    QTEST(l.lista, "lista");
    QFETCH(QString, aliq);
    QFETCH(QString, mva);
    QFETCH(QString, mvaPre);
    QFETCH(QString, total);
    QCOMPARE(l.aliq, valor(aliq));
    QCOMPARE(l.mva, valor(mva));
    QCOMPARE(l.mvaPre, valor(mvaPre));
    QCOMPARE(l.debVlMerc, valor(total));
    QCOMPARE(l.credito, Currency::fromInt(12));
    QCOMPARE(m_sink.texts(), QStringList {QStringLiteral("Quer Incluir mais alguma Nota Fiscal neste Cálculo?")});
    // The grid of the medicine lines shows it.
    QVERIFY(!m_main->dxDBGridItensMedic->isHidden());
    QCOMPARE(DM().TabItensMedic.recordCount(), 1);
}

void TestMedicItems::nameWithSeveralHits()
{
    // The chooser lists the hits of the first word; the one picked fills the line.
    calculo(1, true, 13);
    QString codigo, descricao;
    int listadas = 0;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItemMedic &dlg) {
        whenModalNamed(QStringLiteral("TFormDlgEscolheMedic"), [&](QWidget *w) {
            auto &c = static_cast<TFormDlgEscolheMedic &>(*w);
            listadas = c.Qry.recordCount();
            c.Qry.setRecNo(2);
            codigo = c.Qry.fieldByName(QStringLiteral("CODBARRA")).asString();
            descricao = c.Qry.fieldByName(QStringLiteral("DESCRICAO")).asString();
            c.BtnOk->click();
        });
        digitaMedicamento(dlg, QStringLiteral("praona comprimido"));
        digita(dlg.dxEditQtd, QStringLiteral("1"));
        dlg.BtnOk->click();
    }});
    QVERIFY2(listadas >= 2, qPrintable(QString::number(listadas)));
    const QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].codBarra, codigo);
    QCOMPARE(rows[0].descricao, descricao);
    QVERIFY(rows[0].debVlMerc > Currency());
}

void TestMedicItems::annexCodeWithComma()
{
    calculo(1, true, 13);
    QString descricao, codigo;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItemMedic &dlg) {
        // Nothing searched in the price table: no chooser may show.
        digitaMedicamento(dlg, QStringLiteral("13,1"));
        codigo = dlg.dxEditCodBarra->text();
        descricao = dlg.dxEditDescricao->text();
        digita(dlg.dxEditQtd, QStringLiteral("2"));
        digita(dlg.dxEditVlUnit, QStringLiteral("50"));
        dlg.BtnOk->click();
    }});
    QCOMPARE(codigo, QStringLiteral("13.001.00"));
    // The description field holds 50 characters.
    QCOMPARE(descricao, QStringLiteral("Sacos, sacolas e bolsas de plástico, inclusive para lixo").left(50));
    const QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].codBarra, QStringLiteral("13.001.00"));
    // The annex margin and the line's total with it.
    QCOMPARE(rows[0].mva, Currency::fromInt(40));
    QCOMPARE(rows[0].debVlMerc, Currency::fromInt(140));
}

void TestMedicItems::listChoice_data()
{
    QTest::addColumn<bool>("interna");
    QTest::addColumn<QStringList>("margens"); // 18 %, then 12 %: negative, positive, neutral
    QTest::addColumn<QString>("mva"); // the neutral list at 12 %
    QTest::addColumn<QString>("total");
    QTest::newRow("internal") << true << QStringList {"33,00", "38,24", "41,38", "27,18", "32,13", "35,17"} << "35.17"
                              << "13.517";
    // The interstate margins, as the medicine's own look-up takes them (the
    // adjustment declined).
    QTest::newRow("interstate") << false << QStringList {"39,68", "45,22", "48,52", "33,57", "38,76", "41,97"}
                                << "41.97"
                                << "14.197";
}

void TestMedicItems::listChoice()
{
    QFETCH(bool, interna);
    QFETCH(QStringList, margens);
    QFETCH(QString, mva);
    QFETCH(QString, total);
    calculo(1, interna, 113);
    QStringList captions;
    bool okSemEscolha = true;
    QString lista;
    Currency mvaLinha, aliq;
    m_sink.answers = {false};
    auto recusaAjuste = [] {
        whenModalNamed(QStringLiteral("TFormDlgMVAAjustada"), [](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    };
    inclui({[&](TFormDlgItemMedic &dlg) {
        if (!interna)
            recusaAjuste();
        digitaMedicamento(dlg, QStringLiteral("7890453488752"));
        whenModalNamed(QStringLiteral("TFormDlgEscolheMVAMedic"), [&](QWidget *w) {
            auto &c = static_cast<TFormDlgEscolheMVAMedic &>(*w);
            for (QRadioButton *r : c.Radio)
                captions << r->text();
            c.BtnOk->click(); // no choice: stays open
            okSemEscolha = c.isVisible();
            c.Radio[5]->click(); // neutral list, 12 %
            QVERIFY(c.GroupBox12->font().bold());
            QVERIFY(!c.GroupBox18->font().bold());
            if (!interna)
                recusaAjuste();
            c.BtnOk->click();
        });
        QTest::mouseDClick(dlg.dxEditLista, Qt::LeftButton);
        lista = dlg.dxEditLista->text();
        mvaLinha = dlg.dxEditMVA->value();
        aliq = dlg.dxEditAliqICMS->value();
        digita(dlg.dxEditQtd, QStringLiteral("1"));
        digita(dlg.dxEditVlUnit, QStringLiteral("10"));
        dlg.BtnOk->click();
    }});
    QCOMPARE(captions,
        (QStringList {QStringLiteral("Lista Negativa (%1%)").arg(margens[0]),
            QStringLiteral("Lista Positiva (%1%)").arg(margens[1]),
            QStringLiteral("Lista Neutra (%1%)").arg(margens[2]),
            QStringLiteral("Lista Negativa (%1%)").arg(margens[3]),
            QStringLiteral("Lista Positiva (%1%)").arg(margens[4]),
            QStringLiteral("Lista Neutra (%1%)").arg(margens[5])}));
    QVERIFY(okSemEscolha);
    QCOMPARE(lista, QStringLiteral("Neutra"));
    QCOMPARE(mvaLinha, valor(mva));
    QCOMPARE(aliq, Currency::fromInt(12));
    const QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].lista, QStringLiteral("N"));
    QCOMPARE(rows[0].debVlMerc, valor(total));
}

void TestMedicItems::quantityOne_data()
{
    QTest::addColumn<bool>("permiteAlterar");
    QTest::newRow("cursor skips the quantity") << false;
    QTest::newRow("quantity stays editable") << true;
}

void TestMedicItems::quantityOne()
{
    QFETCH(bool, permiteAlterar);
    calculo(1, true, 13);
    QString qtdAoMarcar, qtd;
    bool saltou = false;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItemMedic &dlg) {
                dlg.PermiteAlterarQtd->setChecked(permiteAlterar);
                digitaMedicamento(dlg, QStringLiteral("7890453488752"));
                dlg.dxCheckQtd->setChecked(true);
                qtdAoMarcar = dlg.dxEditQtd->text();
                dlg.BtnOk->click();
            },
        [&](TFormDlgItemMedic &dlg) {
            // The next line starts at 0 again; entering the quantity gives 1.
            digitaMedicamento(dlg, QStringLiteral("7895038184616"));
            dlg.dxEditQtd->setFocus();
            dlg.processPrivate();
            qtd = dlg.dxEditQtd->text();
            saltou = dlg.focusWidget() != dlg.dxEditQtd;
            dlg.BtnOk->click();
        }});
    QCOMPARE(qtdAoMarcar, QStringLiteral("1"));
    QCOMPARE(qtd, QStringLiteral("1"));
    QCOMPARE(saltou, !permiteAlterar);
    const QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].qtd, 1);
    QCOMPARE(rows[0].debVlMerc, valor(QStringLiteral("45.71")));
    QCOMPARE(rows[1].qtd, 1);
    QCOMPARE(rows[1].debVlMerc, valor(QStringLiteral("139.78")));
}

void TestMedicItems::okChecks_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<QString>("codigo"); // empty: typed by hand
    QTest::addColumn<QString>("qtd");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("aliq"); // typed over the table's when not empty
    QTest::addColumn<bool>("grava");
    QTest::newRow("no description") << 13 << ""
                                    << "1"
                                    << "10"
                                    << "" << false;
    QTest::newRow("quantity 0") << 13 << "7890453488752"
                                << "0"
                                << ""
                                << "" << false;
    QTest::newRow("total 0") << 113 << "7890453488752"
                             << "2"
                             << ""
                             << "" << false;
    QTest::newRow("margin calculation without rate") << 113 << "7890453488752"
                                                     << "2"
                                                     << "10"
                                                     << "0" << false;
    QTest::newRow("price table without rate is complete") << 13 << "7890453488752"
                                                          << "2"
                                                          << ""
                                                          << "0" << true;
    QTest::newRow("complete") << 113 << "7890453488752"
                              << "2"
                              << "10"
                              << "" << true;
}

void TestMedicItems::okChecks()
{
    QFETCH(int, grupo);
    QFETCH(QString, codigo);
    QFETCH(QString, qtd);
    QFETCH(QString, unit);
    QFETCH(QString, aliq);
    QFETCH(bool, grava);
    calculo(1, true, grupo);
    QStringList mensagens;
    bool aberto = false;
    m_sink.answers = {false};
    inclui({[&](TFormDlgItemMedic &dlg) {
        if (!codigo.isEmpty())
            digitaMedicamento(dlg, codigo);
        digita(dlg.dxEditQtd, qtd);
        if (!unit.isEmpty())
            digita(dlg.dxEditVlUnit, unit);
        if (!aliq.isEmpty())
            digita(dlg.dxEditAliqICMS, aliq);
        m_sink.clear();
        dlg.BtnOk->click();
        mensagens = m_sink.texts();
        aberto = dlg.isVisible();
        if (aberto)
            dlg.BtnCancel->click();
    }});
    QCOMPARE(mensagens.isEmpty(), grava);
    if (!grava)
        QCOMPARE(mensagens, QStringList {kIncompleto});
    QCOMPARE(linhasGravadas().size(), grava ? 1 : 0);
}

void TestMedicItems::batchRepeatAlterAndDelete()
{
    calculo(1, true, 13);
    m_sink.answers = {false};
    QString loteRepetido;
    inclui({[&](TFormDlgItemMedic &dlg) {
                dlg.RepeteLote->setChecked(true);
                digitaMedicamento(dlg, QStringLiteral("7890453488752"));
                digita(dlg.dxEditQtd, QStringLiteral("1"));
                digita(dlg.dxEditLote, QStringLiteral("L123"));
                dlg.BtnOk->click();
            },
        [&](TFormDlgItemMedic &dlg) {
            loteRepetido = dlg.dxEditLote->text();
            digitaMedicamento(dlg, QStringLiteral("7895038184616"));
            digita(dlg.dxEditQtd, QStringLiteral("2"));
            dlg.BtnOk->click();
        },
        [&](TFormDlgItemMedic &dlg) {
            dlg.RepeteLote->setChecked(false);
            digitaMedicamento(dlg, QStringLiteral("7896597846410"));
            digita(dlg.dxEditQtd, QStringLiteral("1"));
            dlg.BtnOk->click();
        }});
    QCOMPARE(loteRepetido, QStringLiteral("L123"));
    QList<LinhaMedic> rows = linhasGravadas();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1].lote, QStringLiteral("L123"));
    QCOMPARE(rows[2].lote, QStringLiteral("L123")); // cleared only for the next line

    // Alter the second line: the fields come back and the unit price from the total.
    TDM &dm = DM();
    dm.TabItensMedic.setRecNo(2);
    QString caption, unit, qtd;
    whenModalNamed(QStringLiteral("TFormDlgItemMedic"), [&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgItemMedic &>(*w);
        caption = dlg.windowTitle();
        unit = dlg.dxEditVlUnit->text();
        qtd = dlg.dxEditQtd->text();
        digita(dlg.dxEditQtd, QStringLiteral("5"));
        dlg.BtnOk->click();
    });
    m_main->dxDBGridItensMedic->rowDoubleClicked();
    QCOMPARE(caption, QStringLiteral("Alteração de Item - MEDICAMENTO - Tabela de Outubro/2007"));
    QCOMPARE(unit, QStringLiteral("139,78"));
    QCOMPARE(qtd, QStringLiteral("2"));
    rows = linhasGravadas();
    QCOMPARE(rows[1].qtd, 5);
    QCOMPARE(rows[1].debVlMerc, valor(QStringLiteral("698.9")));

    // The main window's delete acts on the medicine lines (their renumbering
    // is the data module's, tested there).
    dm.TabItensMedic.first();
    m_sink.answers = {true};
    m_main->SBExcluiItem->click();
    QCOMPARE(linhasGravadas().value(0).codBarra, QStringLiteral("7895038184616"));
}

// ---- the dialog and the command-line tool agree ----------------------------------------------------------

void TestMedicItems::dialogMatchesCommandLine_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<bool>("interna");
    QTest::newRow("price table") << 13 << true;
    QTest::newRow("list margins, interstate") << 113 << false;
}

void TestMedicItems::dialogMatchesCommandLine()
{
    QFETCH(int, grupo);
    QFETCH(bool, interna);
    Clock::setFixedDate(QDate(2026, 11, 20));
    calculo(1, interna, grupo);
    // A credit on the invoice.
    TDM &dm = DM();
    dm.TabNotas.edit();
    dm.TabNotas.fieldByName(QStringLiteral("CreditoICMSMedic")).setAsCurrency(Currency::fromInt(15));
    dm.TabNotas.post();
    if (!interna)
        for (int i = 0; i < 3; ++i)
            whenModalNamed(QStringLiteral("TFormDlgMVAAjustada"),
                [](QWidget *w) { w->findChild<QPushButton *>(QStringLiteral("BtnOk"))->click(); });
    m_sink.answers = {false};
    const QStringList codigos {
        QStringLiteral("7890453488752"), QStringLiteral("7895038184616"), QStringLiteral("7896597846410")};
    Passos<TFormDlgItemMedic> passos;
    for (int i = 0; i < codigos.size(); ++i)
        passos << [&, i](TFormDlgItemMedic &dlg) {
            digitaMedicamento(dlg, codigos[i]);
            digita(dlg.dxEditQtd, QString::number(i + 2));
            if (grupo == 113)
                digita(dlg.dxEditVlUnit, QStringLiteral("%1,25").arg(20 + i * 7));
            dlg.BtnOk->click();
        };
    inclui(passos);
    QCOMPARE(linhasGravadas().size(), 3);

    // What the program shows for the stored lines.
    QString total;
    QStringList debitos;
    {
        const CalculoEmCurso c(dm, 0);
        dm.TabNotas.refresh();
        total = dm.TabNotas.fieldByName(QStringLiteral("ValorARecolher")).asCurrency().toPlainString(4);
        for (dm.TabItensMedic.first(); !dm.TabItensMedic.eof(); dm.TabItensMedic.next())
            debitos << dm.TabItensMedic.fieldByName(QStringLiteral("DebVlICMS")).asCurrency().toPlainString(4);
    }

    // The same lines for the tool, as stored.
    QJsonArray itens;
    for (const LinhaMedic &l : linhasGravadas())
        itens.append(QJsonObject {{"CodBarra", l.codBarra}, {"Descricao", l.descricao}, {"Qtd", l.qtd},
            {"DebVlMerc", l.debVlMerc.toPlainString(4)}, {"DebAliqICMS", l.aliq.toPlainString(4)},
            {"MVA", l.mva.toPlainString(4)}, {"MVAPreAjustada", l.mvaPre.toPlainString(4)},
            {"CreditoICMS", l.credito.toPlainString(4)}, {"Lista", l.lista}});
    const QJsonObject entrada {{"calculo",
                                   QJsonObject {{"Grupo", grupo}, {"TipoCalculo", 1}, {"DiferencialAliq", false},
                                       {"OpInterna", interna}, {"PrintMR", 0}}},
        {"notas",
            QJsonArray {QJsonObject {{"NroNF", "100"}, {"Frete", "0"}, {"DestaqueICMSST", "0"},
                {"CreditoICMSMedic", "15"}, {"itensMedic", itens}}}}};
    QJsonObject nota;
    QString erro;
    QVERIFY2(computaCli(QStringLiteral(STB_CLI_PATH), entrada, &nota, &erro), qPrintable(erro));
    QCOMPARE(nota.value(QStringLiteral("ValorARecolher")).toString(), total);
    QStringList debitosCli;
    for (const QJsonValue &v : nota.value(QStringLiteral("itensMedic")).toArray())
        debitosCli << v.toObject().value(QStringLiteral("DebVlICMS")).toString();
    QCOMPARE(debitosCli, debitos);
    QVERIFY(valor(total) > Currency());
}

QTEST_MAIN(TestMedicItems)
#include "tst_medic_items.moc"
