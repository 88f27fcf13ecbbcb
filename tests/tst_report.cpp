// The calculation report, prepared from calculations stored through the data
// module and printed to real PDF files read back with pdftotext: the lines,
// totals and summaries it prints, the fine options, the highlight
// apportionment, DIFAL and fuel layouts, the taxpayer edition, the medicine
// listings, the codes, what a printing stores, and the pagination of a long
// calculation.
#include "calc_fixture.h"
#include "core/grupos.h"
#include "outputs/formrep.h"
#include "platform/clock.h"
#include "platform/inifile.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>

using namespace stb;
using calctest::Fixture;

namespace {

const char *kItemA = "ItemBrelva=01.001.00,ValorNF=300,AliqICMS=18,MVA=40,CreditoICMS=12,ValorCreditoICMS=36,FEM=1";
const char *kItemB
    = "ItemBrelva=98.001.00,ValorNF=100,ValorIPI=10,AliqICMS=18,MVA=71.5,CreditoICMS=12,ValorCreditoICMS=12";

// Cells of a printed line by column, as text.
QString txt(const Celulas &c, Coluna col) { return c[static_cast<size_t>(col)].texto; }

// The report printed to a PDF in `dir`, as pdftotext -layout reads it (pages split by form feeds).
QString pdfTexto(RelatorioCalculo &rel, const QString &dir)
{
    const QString arquivo = dir + QStringLiteral("/rel.pdf");
    {
        QFile f(arquivo);
        if (!f.open(QIODevice::WriteOnly) || !rel.gravaPdf(f))
            return QStringLiteral("(gravação do PDF falhou)");
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), arquivo, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("(pdftotext falhou: %1)").arg(QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

void remetente(Fixture &f, const QString &cnpj, const QString &nome)
{
    f.dm->TabRemet.append();
    f.dm->TabRemet.fieldByName(QStringLiteral("CNPJRemet")).setAsString(cnpj);
    f.dm->TabRemet.fieldByName(QStringLiteral("Remetente")).setAsString(nome);
    f.dm->TabRemet.post();
}

void destinatario(Fixture &f, const QString &ie, const QString &nome)
{
    f.dm->TabDest.append();
    f.dm->TabDest.fieldByName(QStringLiteral("IEDest")).setAsString(ie);
    f.dm->TabDest.fieldByName(QStringLiteral("Destinatario")).setAsString(nome);
    f.dm->TabDest.post();
}

// Two invoices, one sender, two recipients; the first highlights 10.00.
// Invoice amounts to collect: 50.00 and 30.00 (V = 80), lines 60.00 and 30.00.
void calculoComDestaque(Fixture &f)
{
    remetente(f, QStringLiteral("27.418.536/0001-88"), QStringLiteral("SERRA VERDE"));
    destinatario(f, QStringLiteral("062.107.354.0080"), QStringLiteral("ALFA"));
    destinatario(f, QStringLiteral("186.042.719.0013"), QStringLiteral("BETA"));
    f.calculo("TipoCalculo=1,DiferencialAliq=0");
    f.nota("NroNF=1,CNPJRemet=27.418.536/0001-88,IEDest=062.107.354.0080,DestaqueICMSST=10");
    f.item("ItemBrelva=01.001.00,ValorNF=1000,AliqICMS=18,MVA=0,CreditoICMS=12,ValorCreditoICMS=120");
    f.nota("NroNF=2,CNPJRemet=27.418.536/0001-88,IEDest=186.042.719.0013");
    f.item("ItemBrelva=17.001.00,ValorNF=500,AliqICMS=18,MVA=0,CreditoICMS=12,ValorCreditoICMS=60");
}

const ResumoImpresso &resumo(const Impressao &imp, const char *chave)
{
    for (const ResumoImpresso &r : imp.resumos)
        if (r.chave == QLatin1String(chave))
            return r;
    qFatal("no summary %s", chave);
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }
    void totalDaNota_data();
    void totalDaNota();
    void lineAmountsAndFemLine();
    void mrOptions_data();
    void mrOptions();
    void revenueCodes_data();
    void revenueCodes();
    void highlightApportionedOverSummaries();
    void somaMROff();
    void difalProporcional();
    void fuelLayout();
    void taxpayerEdition();
    void merchandiseAndOccurrenceCodes();
    void specialRegimesUnderSummaries();
    void printingStoresTotalsAndOptions();
    void medicineListings_data();
    void medicineListings();
    void longCalculationPagination();
};

void TestReport::totalDaNota_data()
{
    QTest::addColumn<QStringList>("itens");
    QTest::addColumn<bool>("total");
    QTest::newRow("one line: no total") << QStringList {QString::fromLatin1(kItemB)} << false;
    QTest::newRow("two lines: total") << QStringList {QString::fromLatin1(kItemA), QString::fromLatin1(kItemB)} << true;
}

void TestReport::totalDaNota()
{
    QFETCH(QStringList, itens);
    QFETCH(bool, total);
    Fixture f;
    f.calculo("TipoCalculo=1");
    f.nota("NroNF=4510,Frete=50");
    for (const QString &i : itens)
        f.item(i);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(4, QString());
    const NotaImpressa &n = rep.impressao().notas.at(0);
    QCOMPARE(n.total.has_value(), total);
    const QString pdf = pdfTexto(rep, f.dir.path());
    QCOMPARE(pdf.count(QStringLiteral("Total da Nota")), total ? 1 : 0);
    if (total) {
        // Sums of the lines; the highlight line is blank without a highlight.
        QCOMPARE(txt(n.total->celulas, ColValor), QStringLiteral("400,00"));
        QCOMPARE(txt(n.total->celulas, ColFrete), QStringLiteral("50,00"));
        QCOMPARE(txt(n.total->celulas, ColARecolher), QStringLiteral("74,92"));
        QCOMPARE(txt(n.total->celulas, ColDestaque), QString());
        QVERIFY(txt(n.total->celulas, ColAliq).isEmpty()); // rates print nothing on totals
        QVERIFY(n.total->fem.has_value());
    }
}

void TestReport::lineAmountsAndFemLine()
{
    Fixture f;
    f.calculo("TipoCalculo=1");
    f.nota("NroNF=4510,Frete=50,DestaqueICMSST=5");
    f.item(QString::fromLatin1(kItemA));
    f.item(QString::fromLatin1(kItemB));
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(4, QString());
    const NotaImpressa &n = rep.impressao().notas.at(0);
    const Celulas &c = n.itens.at(0).celulas;
    // Freight 50 × 300/410, base with MVA, the line's share of the highlight
    // 48.82 × 5 / (5 + 69.9176), then MR 50 % and 20 % of it.
    const QStringList esperado {
        "36,59", "336,59", "40%", "471,23", "84,82", "36,00", "3,26", "45,56", "22,78", "4,56", "50,12"};
    const QList<Coluna> colunas {
        ColFrete, ColSoma, ColMVA, ColBC, ColICMS, ColCred, ColDestaque, ColARecolher, ColMR, ColMRRed, ColTotal};
    for (int k = 0; k < colunas.size(); ++k)
        QCOMPARE(txt(c, colunas[k]), esperado[k]);
    QCOMPARE(txt(n.itens.at(1).celulas, ColMVA), QStringLiteral("71,5%"));
    // The FEM line: 2 % of the base, its fines, and ICMS + FEM.
    QVERIFY(n.itens.at(0).fem);
    QVERIFY(!n.itens.at(1).fem);
    const Celulas &fem = *n.itens.at(0).fem;
    QCOMPARE(txt(fem, ColARecolher), QStringLiteral("9,42"));
    QCOMPARE(txt(fem, ColMR), QStringLiteral("4,71"));
    QCOMPARE(txt(fem, ColMRRed), QStringLiteral("0,94"));
    QCOMPARE(txt(fem, ColTotal), QStringLiteral("10,36"));
    QCOMPARE(txt(fem, ColICMSFEM), QStringLiteral("60,48"));
    // The invoice total nets the highlight once.
    QCOMPARE(txt(n.total->celulas, ColDestaque), QStringLiteral("5,00"));
    QCOMPARE(txt(n.total->celulas, ColARecolher), QStringLiteral("69,92"));
    QCOMPARE(txt(*n.total->fem, ColICMSFEM), QStringLiteral("87,27"));
    // What the PDF shows, read back: the first line with its amounts in order.
    const QString pdf = pdfTexto(rep, f.dir.path());
    const QString linha = pdf.section(QStringLiteral("01.001.00"), 1).section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(linha.simplified().split(QLatin1Char(' ')),
        QStringList({"300,00", "0,00", "36,59", "336,59", "40%", "471,23", "18%", "84,82", "12%", "36,00", "3,26",
            "45,56", "22,78", "4,56", "50,12"}));
    QVERIFY(pdf.contains(QStringLiteral("FEM:")));
    QVERIFY(pdf.contains(QStringLiteral("ICMS + FEM")));
}

void TestReport::mrOptions_data()
{
    QTest::addColumn<int>("opcao");
    QTest::addColumn<QString>("tituloMR");
    QTest::addColumn<QString>("tituloRed");
    QTest::addColumn<QString>("mr");
    QTest::addColumn<QString>("red");
    QTest::addColumn<QString>("total");
    // One line of ICMS/ST to collect 21.96 (188.65 × 18 % − 12.00).
    QTest::newRow("1 Sem MR: columns hidden") << 1 << QString() << QString() << QString() << QString() << "21,96";
    QTest::newRow("2 simples sem redução") << 2 << "MR 50%"
                                           << "MR S/R"
                                           << "10,98"
                                           << "10,98"
                                           << "32,94";
    QTest::newRow("3 em dobro sem redução") << 3 << "MR 100%"
                                            << "MR S/R"
                                            << "21,96"
                                            << "21,96"
                                            << "43,92";
    QTest::newRow("4 simples com redução") << 4 << "MR 50%"
                                           << "MR 20%"
                                           << "10,98"
                                           << "2,20"
                                           << "24,16";
    QTest::newRow("5 em dobro com redução") << 5 << "MR 100%"
                                            << "MR 20%"
                                            << "21,96"
                                            << "4,39"
                                            << "26,35";
}

void TestReport::mrOptions()
{
    QFETCH(int, opcao);
    QFETCH(QString, tituloMR);
    QFETCH(QString, tituloRed);
    QFETCH(QString, mr);
    QFETCH(QString, red);
    QFETCH(QString, total);
    Fixture f;
    f.calculo("TipoCalculo=1");
    f.nota("NroNF=1");
    f.item(QString::fromLatin1(kItemB));
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(opcao, QString());
    const Impressao &imp = rep.impressao();
    const bool comMR = !tituloMR.isEmpty();
    QCOMPARE(imp.colunas[ColMR].visivel, comMR);
    QCOMPARE(imp.colunas[ColMRRed].visivel, comMR);
    QCOMPARE(imp.colunas[ColMR].titulo, tituloMR);
    QCOMPARE(imp.colunas[ColMRRed].titulo, tituloRed);
    const Celulas &c = imp.notas.at(0).itens.at(0).celulas;
    if (comMR) {
        QCOMPARE(txt(c, ColMR), mr);
        QCOMPARE(txt(c, ColMRRed), red);
    }
    QCOMPARE(txt(c, ColTotal), total);
    const QString pdf = pdfTexto(rep, f.dir.path());
    QCOMPARE(pdf.contains(QStringLiteral("MR S/R")), tituloRed == QLatin1String("MR S/R"));
    QCOMPARE(pdf.contains(QRegularExpression(QStringLiteral("MR \\d+%"))), comMR);
    QCOMPARE(pdf.contains(QStringLiteral("MR:")), comMR); // no fine codes without a fine
}

void TestReport::revenueCodes_data()
{
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("opcao");
    QTest::addColumn<QString>("codigos");
    QTest::newRow("ST, no fine") << 1 << "01.001.00" << 1 << "ICMS-ST: 323-6  ";
    QTest::newRow("ST, simple fine") << 1 << "01.001.00" << 2 << "ICMS-ST: 323-6  MR: 522-3  FEM: 310-3  MR-FEM: 521-5";
    QTest::newRow("ST, reduced simple fine")
        << 1 << "01.001.00" << 4 << "ICMS-ST: 323-6  MR: 522-3  FEM: 310-3  MR-FEM: 521-5";
    QTest::newRow("ST, double fine") << 1 << "01.001.00" << 5 << "ICMS-ST: 323-6  MR: 523-1  FEM: 310-3  MR-FEM: 527-2";
    QTest::newRow("ST, rice, no fine") << 1 << "98.001.00" << 1 << "ICMS-ST: 323-6  ICMS-Notif-Arroz: 322-8  ";
    QTest::newRow("ST, rice, double fine")
        << 1 << "98.001.00" << 3 << "ICMS-ST: 323-6  ICMS-Notif-Arroz: 322-8  MR: 523-1  FEM: 310-3  MR-FEM: 527-2";
    QTest::newRow("DIFAL, no fine") << 2 << "98.001.00" << 1 << "ICMS: 721-1  FEM: 718-7";
    QTest::newRow("DIFAL, simple fine") << 3 << "01.001.00" << 2 << "ICMS: 721-1  MR: 526-4  FEM: 718-7  MR-FEM: 521-5";
    QTest::newRow("DIFAL, double fine") << 2 << "01.001.00" << 5 << "ICMS: 721-1  MR: 526-4  FEM: 718-7  MR-FEM: 527-2";
}

void TestReport::revenueCodes()
{
    QFETCH(int, tipo);
    QFETCH(QString, item);
    QFETCH(int, opcao);
    QFETCH(QString, codigos);
    Fixture f;
    f.calculo(QStringLiteral("TipoCalculo=%1,DiferencialAliq=%2").arg(tipo).arg(tipo == 1 ? 0 : 1));
    f.nota("NroNF=1");
    f.item(QStringLiteral("ItemBrelva=%1,ValorNF=100,AliqICMS=18,MVA=40,CreditoICMS=12,ValorCreditoICMS=12").arg(item));
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(opcao, QString());
    QCOMPARE(rep.impressao().codReceita, codigos);
    QVERIFY(
        pdfTexto(rep, f.dir.path()).simplified().contains(QStringLiteral("Código Receita : ") + codigos.simplified()));
}

void TestReport::highlightApportionedOverSummaries()
{
    Fixture f;
    calculoComDestaque(f);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(4, QString());
    const Impressao &imp = rep.impressao();
    // The sender's 90.00 loses 90 × 10/90; the recipients' 60.00 and 30.00
    // lose their rounded shares 6.67 and 3.33; fines follow the reduced amounts.
    struct Linha {
        const char *resumo, *nome, *destaque, *icms, *mr, *red, *total;
    };
    const Linha esperado[] = {{"remetentes", "SERRA VERDE", "10,00", "80,00", "40,00", "8,00", "88,00"},
        {"destinatarios", "ALFA", "6,67", "53,33", "26,67", "5,33", "58,66"},
        {"destinatarios", "BETA", "3,33", "26,67", "13,34", "2,67", "29,34"}};
    for (const Linha &e : esperado) {
        const ResumoImpresso &r = resumo(imp, e.resumo);
        QVERIFY(r.visivel);
        const auto it = std::find_if(
            r.linhas.begin(), r.linhas.end(), [&](const LinhaImpressa &l) { return l.nome == QLatin1String(e.nome); });
        QVERIFY2(it != r.linhas.end(), e.nome);
        QCOMPARE(txt(it->celulas, ColDestaque), QLatin1String(e.destaque));
        QCOMPARE(txt(it->celulas, ColARecolher), QLatin1String(e.icms));
        QCOMPARE(txt(it->celulas, ColMR), QLatin1String(e.mr));
        QCOMPARE(txt(it->celulas, ColMRRed), QLatin1String(e.red));
        QCOMPARE(txt(it->celulas, ColTotal), QLatin1String(e.total));
    }
    // Ordered by name; the closing line adds the rows up.
    const ResumoImpresso &dest = resumo(imp, "destinatarios");
    QCOMPARE(dest.linhas.at(0).nome, QStringLiteral("ALFA"));
    QCOMPARE(dest.total.rotulo, QStringLiteral("Total dos Destinatários"));
    QCOMPARE(txt(dest.total.celulas, ColARecolher), QStringLiteral("80,00"));
    QCOMPARE(txt(dest.total.celulas, ColTotal), QStringLiteral("88,00"));
    // The annex-item summary is kept but not printed in the general report.
    QVERIFY(!resumo(imp, "itens").visivel);
    // The line of the first invoice: its whole highlight, 60 × 10 / (10 + 50).
    QCOMPARE(txt(imp.notas.at(0).itens.at(0).celulas, ColDestaque), QStringLiteral("10,00"));
    QCOMPARE(txt(imp.notas.at(0).itens.at(0).celulas, ColARecolher), QStringLiteral("50,00"));
    const QString pdf = pdfTexto(rep, f.dir.path());
    QVERIFY(pdf.contains(QStringLiteral("Tt Dest")));
    QVERIFY(pdf.contains(QStringLiteral("Tt Remt")));
    QVERIFY(pdf.contains(QStringLiteral("Total dos Destinatários")));
    QVERIFY(pdf.contains(QStringLiteral("Rem: 27.418.536/0001-88 SERRA VERDE")));
    // The working sets are closed once the report is prepared.
    QVERIFY(!f.dm->MemRemet.isActive());
    QVERIFY(!f.dm->MemDest.isActive());
    QVERIFY(!f.dm->MemMVA.isActive());
}

void TestReport::somaMROff()
{
    // With the highlight the line prints 50.00 to collect: the sum rule
    // gives 50 + 5, the stored total is 60 + 6 (the line without its share).
    for (const bool soma : {true, false}) {
        Fixture f;
        calculoComDestaque(f);
        ConfigRelatorio cfg;
        cfg.somaMR = soma;
        TFormRep rep(*f.dm, cfg);
        rep.Prepara(4, QString());
        QCOMPARE(txt(rep.impressao().notas.at(0).itens.at(0).celulas, ColTotal),
            soma ? QStringLiteral("55,00") : QStringLiteral("66,00"));
    }
}

void TestReport::difalProporcional()
{
    Clock::setFixedDate(QDate(2020, 6, 1)); // share 100 %
    Fixture f;
    f.calculo("TipoCalculo=3,DiferencialAliq=1");
    f.nota("NroNF=1");
    f.item("ItemBrelva=01.001.00,ValorNF=1000,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=120");
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(2, QString());
    const Impressao &imp = rep.impressao();
    QCOMPARE(imp.rotuloDIFAL, QStringLiteral("(DIFAL proporcional)"));
    for (Coluna c : {ColMVA, ColAliq, ColICMS, ColAliqCred, ColCred})
        QVERIFY2(!imp.colunas[c].visivel, qPrintable(chaveColuna(c)));
    const Celula &aRecolher = imp.notas.at(0).itens.at(0).celulas[ColARecolher];
    QCOMPARE(aRecolher.texto, QStringLiteral("64,39"));
    QCOMPARE(aRecolher.valor->toPlainString(4), QStringLiteral("64.3902"));
    QCOMPARE(imp.notas.at(0).itens.at(0).celulas[ColBC].texto, QStringLiteral("1.073,17"));
    const QString pdf = pdfTexto(rep, f.dir.path());
    QVERIFY(pdf.contains(QStringLiteral("(DIFAL proporcional)")));
    for (const char *cab : {"MVA", "ICMSTotal", "Créd ICMS"})
        QVERIFY2(!pdf.contains(QString::fromUtf8(cab)), cab);
}

void TestReport::fuelLayout()
{
    Fixture f;
    f.calculo("TipoCalculo=1,Grupo=6");
    f.nota("NroNF=7,Frete=20");
    f.item("ItemBrelva=06.001.00,ValorNF=3100,Litros=1000,PMPF=4.0123,PrecoLitroNF=3.1,AliqICMS=25,CreditoICMS=12");
    f.item("ItemBrelva=06.002.00,ValorNF=200,ValorIPI=20,AliqICMS=18,MVA=30,CreditoICMS=12,ValorCreditoICMS=24");
    // Ethanol without a value of its own: the value column shows the litres
    // at the invoice's price; another fuel without a value shows 0.
    f.item("ItemBrelva=06.001.00,Litros=2000,PMPF=4.2,PrecoLitroNF=3.85,AliqICMS=25,CreditoICMS=12");
    f.item("ItemBrelva=06.009.00,Litros=2000,PMPF=4.2,PrecoLitroNF=3.85,AliqICMS=25");
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(1, QString());
    const Impressao &imp = rep.impressao();
    QVERIFY(imp.colunas[ColLitros].visivel);
    QCOMPARE(imp.colunas[ColValor].titulo, QStringLiteral("$ Lt/NF"));
    QCOMPARE(imp.colunas[ColIPI].titulo, QStringLiteral("Valor NF"));
    QCOMPARE(imp.colunas[ColFrete].titulo, QStringLiteral("Frete+IPI"));
    QCOMPARE(imp.colunas[ColMVA].titulo, QStringLiteral("PMPF ou MVA"));
    const Celulas &pmpf = imp.notas.at(0).itens.at(0).celulas;
    QCOMPARE(txt(pmpf, ColLitros), QStringLiteral("1.000,0"));
    QCOMPARE(txt(pmpf, ColValor), QStringLiteral("3,1000"));
    QCOMPARE(txt(pmpf, ColIPI), QStringLiteral("3.100,00"));
    QCOMPARE(txt(pmpf, ColMVA), QStringLiteral("4,0123"));
    QCOMPARE(txt(pmpf, ColSoma), QString()); // no sum on a PMPF line
    QCOMPARE(txt(pmpf, ColCred), QStringLiteral("372,00")); // 1000 × 3.10 × 12 %
    QCOMPARE(txt(pmpf, ColBC), QStringLiteral("4.012,30"));
    const Celulas &mva = imp.notas.at(0).itens.at(1).celulas;
    QCOMPARE(txt(mva, ColLitros), QString());
    QCOMPARE(txt(mva, ColMVA), QStringLiteral("30%"));
    QCOMPARE(txt(mva, ColFrete), QStringLiteral("40,00")); // the whole freight (the only non-PMPF line) + IPI
    QCOMPARE(txt(imp.notas.at(0).itens.at(2).celulas, ColIPI), QStringLiteral("7.700,00"));
    QCOMPARE(txt(imp.notas.at(0).itens.at(3).celulas, ColIPI), QStringLiteral("0,00"));
    // The invoice total leaves value, IPI, freight and sum out.
    const Celulas &tot = imp.notas.at(0).total->celulas;
    for (Coluna c : {ColValor, ColIPI, ColFrete, ColSoma})
        QVERIFY2(txt(tot, c).isEmpty(), qPrintable(chaveColuna(c)));
    const QString pdf = pdfTexto(rep, f.dir.path());
    for (const char *cab : {"$ Lt/NF", "Valor NF", "Frete+IPI", "Litros"})
        QVERIFY2(pdf.contains(QString::fromUtf8(cab)), cab);
}

void TestReport::taxpayerEdition()
{
    Fixture f;
    calculoComDestaque(f);
    ConfigRelatorio cfg;
    cfg.contribuinte = true;
    TFormRep rep(*f.dm, cfg);
    rep.Prepara(1, QStringLiteral("Conferido"));
    const Impressao &imp = rep.impressao();
    QCOMPARE(imp.rodape,
        QStringLiteral("Conferido As informações do cálculo são de inteira responsabilidade do contribuinte."));
    QVERIFY(!imp.mostraCodigos);
    for (const ResumoImpresso &r : imp.resumos)
        QVERIFY(!r.visivel);
    QVERIFY(imp.notas.at(0).textoRem.isEmpty());
    QVERIFY(imp.notas.at(0).textoDest.isEmpty());
    const QString pdf = pdfTexto(rep, f.dir.path()).simplified();
    QVERIFY(pdf.contains(QStringLiteral("As informações do cálculo são de inteira responsabilidade do contribuinte.")));
    QVERIFY(!pdf.contains(QStringLiteral("Código Receita")));
    QVERIFY(!pdf.contains(QStringLiteral("Código Ocorrência")));
    QVERIFY(!pdf.contains(QStringLiteral("SERRA VERDE")));
}

void TestReport::merchandiseAndOccurrenceCodes()
{
    Fixture f;
    IniFile ini(f.dir.filePath(QStringLiteral("STBrelva2.ini")));
    ini.writeString(QStringLiteral("CodMercadoria"), QStringLiteral("1"), QStringLiteral("1002,1001"));
    ini.writeString(QStringLiteral("CodMercadoria"), QStringLiteral("17"), QStringLiteral("1001,1171"));
    ini.writeString(QStringLiteral("Mercadorias"), QStringLiteral("1001"), QStringLiteral("AUTOPECAS"));
    ini.writeString(QStringLiteral("Mercadorias"), QStringLiteral("1002"), QStringLiteral("BATERIAS"));
    ini.writeString(QStringLiteral("CodOcorrencia"), QStringLiteral("Ocorrencias"), QStringLiteral("A=um,^pB=dois"));
    f.calculo("TipoCalculo=1");
    f.nota("NroNF=1");
    f.item("ItemBrelva=17.001.00,ValorNF=10,AliqICMS=18,MVA=10,CreditoICMS=12");
    f.item("ItemBrelva=01.001.00,ValorNF=10,AliqICMS=18,MVA=10,CreditoICMS=12");
    f.item("ItemBrelva=05.001.00,ValorNF=10,AliqICMS=18,MVA=10,CreditoICMS=12");
    ConfigRelatorio cfg;
    cfg.codigos = &ini;
    TFormRep rep(*f.dm, cfg);
    rep.Prepara(1, QString());
    // Sorted, once each; an item without codes gives 999, a code without a name "???".
    QCOMPARE(
        rep.impressao().codMercadoria, QStringList({"1001 = AUTOPECAS", "1002 = BATERIAS", "1171 = ???", "999 = ???"}));
    QCOMPARE(rep.impressao().codOcorrencia, QStringLiteral("A=um,\nB=dois"));
    const QString pdf = pdfTexto(rep, f.dir.path());
    QVERIFY(pdf.contains(QStringLiteral("1171 = ???")));
    QVERIFY(pdf.contains(QStringLiteral("B=dois")));
}

void TestReport::specialRegimesUnderSummaries()
{
    Fixture f;
    f.dm->TabRegimeEspecial.open();
    auto regime = [&](const char *cnpj, const char *ie, int codigo, const char *pp) {
        db::Table &t = f.dm->TabRegimeEspecial;
        t.append();
        t.fieldByName(QStringLiteral("NOME")).setAsString(QStringLiteral("EMPRESA"));
        t.fieldByName(QStringLiteral("UF")).setAsString(QStringLiteral("QZ"));
        t.fieldByName(QStringLiteral("REGIME")).setAsInteger(codigo);
        t.fieldByName(QStringLiteral("CNPJ")).setAsString(QString::fromLatin1(cnpj));
        t.fieldByName(QStringLiteral("IE")).setAsString(QString::fromLatin1(ie));
        t.fieldByName(QStringLiteral("PP")).setAsString(QString::fromLatin1(pp));
        t.post();
    };
    regime("27.418.536/0001-88", "", 1, "PTA 1");
    regime("", "062.107.354.0080", 12, "PTA 12"); // concerns item 12: not printed for item 01
    calculoComDestaque(f);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(1, QString());
    const ResumoImpresso &remet = resumo(rep.impressao(), "remetentes");
    QVERIFY2(remet.linhas.at(0).regimes.endsWith(QStringLiteral(": PTA 1")), qPrintable(remet.linhas.at(0).regimes));
    for (const LinhaImpressa &l : resumo(rep.impressao(), "destinatarios").linhas)
        QVERIFY(l.regimes.isEmpty());
    QVERIFY(pdfTexto(rep, f.dir.path()).contains(QStringLiteral(": PTA 1")));
}

void TestReport::printingStoresTotalsAndOptions()
{
    Fixture f;
    calculoComDestaque(f);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(5, QStringLiteral("Lacre 123"));
    db::Query q(&f.dm->BaseDados);
    q.setSql(QStringLiteral("SELECT NroNF, TotalARecolher FROM NOTAS ORDER BY NroNF"));
    q.open();
    QStringList totais;
    for (q.first(); !q.eof(); q.next())
        totais << q.field(1).asCurrency().toPlainString(2);
    QCOMPARE(totais, QStringList({"50.00", "30.00"}));
    q.close();
    q.setSql(QStringLiteral("SELECT PrintMR, PrintObserv FROM CALCULOS"));
    q.open();
    QCOMPARE(q.field(0).asInteger(), 5);
    QCOMPARE(q.field(1).asString(), QStringLiteral("Lacre 123"));
    QVERIFY(pdfTexto(rep, f.dir.path()).contains(QStringLiteral("Lacre 123")));
}

void TestReport::medicineListings_data()
{
    QTest::addColumn<bool>("analitica");
    QTest::addColumn<QStringList>("descricoes");
    QTest::addColumn<QStringList>("valores"); // BC/ST of each line
    QTest::addColumn<QStringList>("creditos");
    QTest::addColumn<QStringList>("totais");
    // Credit 10.00 over 133.33 of medicines: 7.50 and 2.50 (each rounded);
    // to collect 18.00 − 7.50 and 5.9994 − 2.50, rounded; MR 50 % without reduction.
    QTest::newRow("analítica") << true << QStringList {"+ DIPIRONA", "15.1 - SORO"} << QStringList {"100,00", "33,33"}
                               << QStringList {"7,50", "2,50"} << QStringList {"15,75", "5,25"};
    // One line per invoice: the rounded values and ICMS added up, the whole credit.
    QTest::newRow("sintética") << false << QStringList {"Total da nota"} << QStringList {"133,33"}
                               << QStringList {"10,00"} << QStringList {"21,00"};
}

void TestReport::medicineListings()
{
    QFETCH(bool, analitica);
    QFETCH(QStringList, descricoes);
    QFETCH(QStringList, valores);
    QFETCH(QStringList, creditos);
    QFETCH(QStringList, totais);
    Fixture f;
    f.calculo("TipoCalculo=1,Grupo=113,OpInterna=0");
    f.nota("NroNF=9,CreditoICMSMedic=10");
    f.itemMedic("CodBarra=7891234567890,Descricao=DIPIRONA,Qtd=2,DebVlMerc=100,DebAliqICMS=18,Lista=+,Lote=L1");
    f.itemMedic("CodBarra=15.1,Descricao=SORO,Qtd=1,DebVlMerc=33.33,DebAliqICMS=18,Lista=-,Lote=L2");
    // The basis line names the margins the lines took: the interstate lists
    // at 18 %, not the internal ones.
    IniFile ini(f.dir.filePath(QStringLiteral("STBrelva2.ini")));
    const QString secao = QStringLiteral("MVA.Medic.15.1");
    for (const auto &[chave, margem] : {std::pair {"stPosQZ18", "38,24"}, {"stNegQZ18", "33"}, {"stNeuQZ18", "41,38"},
             {"stPosUF18", "45,22"}, {"stNegUF18", "39,68"}, {"stNeuUF18", "48,52"}, {"stPosUF12", "38,76"}})
        ini.writeString(secao, QLatin1String(chave), QLatin1String(margem));
    ConfigRelatorio cfg;
    cfg.codigos = &ini;
    auto rel = CriaRelatorio(*f.dm, cfg, analitica);
    rel->Prepara(2, QString());
    const Impressao &imp = rel->impressao();
    QVERIFY(imp.medicamento);
    const std::vector<LinhaImpressa> &linhas = imp.notas.at(0).itens;
    QCOMPARE(int(linhas.size()), descricoes.size());
    for (int i = 0; i < descricoes.size(); ++i) {
        QCOMPARE(txt(linhas[size_t(i)].celulas, ColValor), descricoes[i]);
        QCOMPARE(txt(linhas[size_t(i)].celulas, ColBC), valores[i]);
        QCOMPARE(txt(linhas[size_t(i)].celulas, ColCred), creditos[i]);
        QCOMPARE(txt(linhas[size_t(i)].celulas, ColTotal), totais[i]);
    }
    QCOMPARE(imp.notas.at(0).total.has_value(), analitica);
    QCOMPARE(imp.colunas[ColMVA].titulo, analitica ? QStringLiteral("Qtd") : QString());
    QCOMPARE(imp.colunas[ColSoma].titulo, analitica ? QStringLiteral("Pr Unit") : QString());
    QVERIFY(!imp.colunas[ColIPI].visivel);
    QVERIFY(!imp.colunas[ColICMSFEM].visivel);
    if (analitica)
        QCOMPARE(txt(linhas[0].celulas, ColSoma), QStringLiteral("50,00")); // unit price
    // Summaries: recipients, annex item 15, senders, all printed.
    QCOMPARE(imp.resumos.at(1).chave, QStringLiteral("itens"));
    QCOMPARE(imp.resumos.at(1).linhas.at(0).nome, QStringLiteral("Item 15-Medicamentos"));
    QCOMPARE(txt(imp.resumos.at(1).linhas.at(0).celulas, ColARecolher), QStringLiteral("14,00")); // 24.00 − 10.00
    QCOMPARE(imp.codReceita, QStringLiteral("ICMS-ST: 323-6  MR: 522-3  ICMS-FEM: 310-3  MR 50%: 521-5"));
    QCOMPARE(imp.baseNegrito, QStringLiteral("ICMS CALCULADO COM BASE NA MVA"));
    QCOMPARE(imp.baseLinha,
        QStringLiteral("Lista Positiva (+): 45,22%, Negativa (-): 39,68%, Neutra (N/C): 48,52% - MVA Ajustada"));
    QVERIFY(imp.avisoMultaIsolada);
    const QString pdf = pdfTexto(*rel, f.dir.path());
    QVERIFY(pdf.contains(descricoes.at(0)));
    QVERIFY(pdf.contains(QStringLiteral("ATENÇÃO: VERIFICAR INCIDÊNCIA DE MULTA ISOLADA")));
    QVERIFY(pdf.contains(QStringLiteral("1118 = OUTROS MEDIC OU PROD FARMAC P/USO HUMANO")));
    // The toggle label is for the screen only.
    QVERIFY(!imp.rotuloAlterna.isEmpty());
    QVERIFY(!pdf.contains(QStringLiteral("Clique aqui")));
}

void TestReport::longCalculationPagination()
{
    Fixture f;
    f.calculo("TipoCalculo=1");
    f.dm->BaseDados.startTransaction();
    const db::DataSet::Event aposPost = f.dm->TabItens.afterPost;
    f.dm->TabItens.afterPost = nullptr;
    for (int n = 0; n < 300; ++n) {
        f.nota(QStringLiteral("NroNF=%1").arg(10000 + n));
        for (int i = 0; i <= n % 4; ++i)
            f.item(QStringLiteral("ItemBrelva=01.%1.00,ValorNF=%2,AliqICMS=18,MVA=40,CreditoICMS=12,FEM=%3")
                       .arg(n % 900 + 100, 3, 10, QLatin1Char('0'))
                       .arg(100 + n)
                       .arg(i == 1 ? 1 : 0));
    }
    f.dm->TabItens.afterPost = aposPost;
    f.dm->BaseDados.commit();
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(4, QStringLiteral("Rodapé de teste"));
    const int paginas = rep.paginas();
    QVERIFY(paginas > 10);

    // No band runs past the foot of the area between the page header and footer,
    // and an invoice (a kept-together group) stays on one page.
    const rep::RelatorioBandas &b = rep.bandas();
    const QRectF util = b.pagina.paintRect(QPageLayout::Millimeter);
    const double topo = b.posicoes().front().y;
    QVERIFY(topo > util.top());
    QHash<int, int> paginaDoBloco;
    for (const rep::BandaPosicionada &p : b.posicoes()) {
        QVERIFY2(p.y + p.altura <= topo + b.alturaUtil() + 1e-6, qPrintable(p.nome));
        if (p.nome == QLatin1String("resumo") || p.nome.startsWith(QLatin1String("resumo.")))
            continue;
        const auto it = paginaDoBloco.constFind(p.bloco);
        if (it == paginaDoBloco.cend())
            paginaDoBloco.insert(p.bloco, p.pagina);
        else
            QCOMPARE(p.pagina, *it);
    }
    QCOMPARE(paginaDoBloco.size(), 300);

    // Every page of the PDF says which of how many it is, and carries the remark.
    const QStringList pdfPaginas = pdfTexto(rep, f.dir.path()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pdfPaginas.size(), paginas);
    for (int p = 0; p < paginas; ++p) {
        QVERIFY2(pdfPaginas[p].contains(QStringLiteral("Página %1 de %2").arg(p + 1).arg(paginas)),
            qPrintable(QString::number(p + 1)));
        QVERIFY(pdfPaginas[p].contains(QStringLiteral("Rodapé de teste")));
    }
    // Each invoice's header and its first line are on the same PDF page.
    for (int n = 0; n < 300; n += 37) {
        const QString nf = QStringLiteral("NF %1").arg(10000 + n);
        const QString linha = QStringLiteral("01.%1.00").arg(n % 900 + 100, 3, 10, QLatin1Char('0'));
        const auto pagina
            = std::find_if(pdfPaginas.begin(), pdfPaginas.end(), [&](const QString &t) { return t.contains(nf); });
        QVERIFY2(pagina != pdfPaginas.end(), qPrintable(nf));
        QVERIFY2(pagina->contains(linha), qPrintable(nf));
    }
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
