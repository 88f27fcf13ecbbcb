// Amounts of one invoice line under every rule (ST, DIFAL 2 and 3, fuel by
// PMPF), the rounding at each step, the fine modes and the DIFAL share by
// year. Expected values were worked out by hand with decimal arithmetic.
#include "core/itemcalc.h"
#include "platform/clock.h"

#include <QTest>

using namespace stb;

namespace {

Currency cur(const QString &text)
{
    const auto c = Currency::parsePlain(text);
    if (!c)
        qFatal("bad amount in test data: %s", qPrintable(text));
    return *c;
}

// "Key=value;Key=value" into a map.
QHash<QString, QString> pairs(const QString &text)
{
    QHash<QString, QString> out;
    for (const QString &p : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = p.indexOf(QLatin1Char('='));
        out.insert(p.left(eq).trimmed(), p.mid(eq + 1).trimmed());
    }
    return out;
}

QString text(const std::optional<Currency> &c) { return c ? c->toPlainString(4) : QStringLiteral("-"); }

// A line and its run's context from "Key=value" pairs (amounts, FEM,
// ItemBrelva, DiferencialAliq, Combustivel, Tipo, Modo, Ano).
void leEntrada(const QHash<QString, QString> &in, ItemEntrada &e, ContextoCalculo &ctx)
{
    const std::pair<const char *, Currency *> amounts[]
        = {{"ValorNF", &e.valorNF}, {"ValorIPI", &e.valorIPI}, {"AliqICMS", &e.aliqICMS}, {"MVA", &e.mva},
            {"CreditoICMS", &e.creditoICMS}, {"ValorCreditoICMS", &e.valorCreditoICMS}, {"PMPF", &e.pmpf},
            {"Litros", &e.litros}, {"PrecoLitroNF", &e.precoLitroNF}, {"Frete", &e.frete}};
    for (const auto &[key, target] : amounts)
        if (in.contains(QLatin1String(key)))
            *target = cur(in.value(QLatin1String(key)));
    e.fem = in.value(QStringLiteral("FEM")) == QLatin1String("1");
    e.itemBrelva = in.value(QStringLiteral("ItemBrelva"), QStringLiteral("01.001.00"));
    ctx.diferencialAliq = in.value(QStringLiteral("DiferencialAliq")) == QLatin1String("1");
    ctx.combustivel = in.value(QStringLiteral("Combustivel")) == QLatin1String("1");
    ctx.tipoCalculo = in.value(QStringLiteral("Tipo"), QStringLiteral("0")).toInt();
    ctx.mr = fatoresMR(in.value(QStringLiteral("Modo"), QStringLiteral("0")).toInt(), 50, 100, 20);
    ctx.partilhaDIFAL = PartilhaDIFAL(in.value(QStringLiteral("Ano"), QStringLiteral("2024")).toInt());
}

} // namespace

class TestItemCalc : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }
    void item_data();
    void item();
    void freightBaseAskedOnlyWhenNeeded();
    void amountsBeyondTheRange_data();
    void amountsBeyondTheRange();
    void fineModes_data();
    void fineModes();
    void partilhaDIFAL_data();
    void partilhaDIFAL();
};

void TestItemCalc::item_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *in, const char *out) {
        QTest::newRow(name) << QString::fromUtf8(in) << QString::fromUtf8(out);
    };
    // ICMS/ST (types 1, 4 and null).
    row("ST: 100 with MVA 40 at 18 less 12", "ValorNF=100;MVA=40;AliqICMS=18;ValorCreditoICMS=12;Tipo=1",
        "FreteProp=-;Soma=100;ValorFinal=140;ValorICMS=25.20;ValorFEM=-;ICMSaRecolher=13.20;TotalARecolher=13.20");
    row("ST with FEM: 2% of the base, never in the total",
        "ValorNF=100;MVA=40;AliqICMS=18;ValorCreditoICMS=12;FEM=1;Tipo=1",
        "ValorFinal=140;ValorFEM=2.80;ICMSaRecolher=13.20;TotalARecolher=13.20");
    row("type 4 and null follow the ST rule", "ValorNF=100;MVA=40;AliqICMS=18;ValorCreditoICMS=12;Tipo=4",
        "ValorFinal=140;ICMSaRecolher=13.20");
    row("ST credit above the debit collects 0", "ValorNF=100;AliqICMS=12;ValorCreditoICMS=13",
        "ValorICMS=12;ICMSaRecolher=0;TotalARecolher=0");
    row("half cent of the base rounds up (0.275)", "ValorNF=0.25;MVA=10", "ValorFinal=0.28");
    row("half cent of the ICMS rounds up (0.045)", "ValorNF=0.25;AliqICMS=18", "ValorICMS=0.05;ICMSaRecolher=0.05");
    row("half cent of the freight share rounds up (0.025)", "ValorNF=100;Frete=0.10;Base=400;AliqICMS=18",
        "FreteProp=0.03;Soma=100.03;ValorICMS=18.01");
    // Freight shares.
    row("freight share 300 of 400", "ValorNF=300;Frete=50;Base=400;MVA=40;AliqICMS=18;ValorCreditoICMS=36",
        "FreteProp=37.50;Soma=337.50;ValorFinal=472.50;ValorICMS=85.05;ICMSaRecolher=49.05");
    row("freight share 100 of 400", "ValorNF=100;Frete=50;Base=400;MVA=40;AliqICMS=18;ValorCreditoICMS=12",
        "FreteProp=12.50;Soma=112.50");
    row("freight share of a third", "ValorNF=100;Frete=100;Base=300", "FreteProp=33.33;Soma=133.33");
    row("no freight base: no share", "ValorNF=100;Frete=50;Base=0", "FreteProp=-;Soma=100");
    row("IPI in the value", "ValorNF=100;ValorIPI=10;Frete=44;Base=440;AliqICMS=18;ValorCreditoICMS=12;Tipo=1",
        "FreteProp=11;Soma=121;ValorICMS=21.78;ICMSaRecolher=9.78");
    row("DiferencialAliq leaves IPI out of the value, not of the base",
        "ValorNF=100;ValorIPI=10;Frete=44;Base=440;DiferencialAliq=1;AliqICMS=18;ValorCreditoICMS=12;Tipo=2",
        "FreteProp=10;Soma=110;ValorFinal=119.51;ValorICMS=21.51;ICMSaRecolher=9.51");
    // DIFAL.
    row("type 2: gross-up of 880 at 18", "ValorNF=1000;AliqICMS=18;ValorCreditoICMS=120;Tipo=2",
        "Soma=1000;ValorFinal=1073.17;ValorICMS=193.17;ValorFEM=0;ICMSaRecolher=73.17");
    row("type 2 with FEM: divisor with 2 more points", "ValorNF=1000;AliqICMS=18;ValorCreditoICMS=120;FEM=1;Tipo=2",
        "ValorFinal=1100;ValorFEM=22;ValorICMS=198;ICMSaRecolher=78");
    row("type 2: half cent of the gross-up rounds up (1.005)", "ValorNF=0.804;AliqICMS=20;Tipo=2",
        "ValorFinal=1.01;ValorICMS=0.21;ICMSaRecolher=0.21");
    row("type 2: half cent of the FEM rounds up (0.005)", "ValorNF=0.2;AliqICMS=18;FEM=1;Tipo=2",
        "ValorFinal=0.25;ValorFEM=0.01;ValorICMS=0.04;ICMSaRecolher=0.04");
    row("type 3 in 2020: 6 points of the base, share 100%",
        "ValorNF=1000;AliqICMS=18;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2020",
        "ValorFinal=1073.17;ValorICMS=193.17;ICMSaRecolher=64.3902;TotalARecolher=64.3902");
    row("type 3 in 2018: share 80%, not rounded to cents",
        "ValorNF=1000;AliqICMS=18;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2018", "ICMSaRecolher=51.5122");
    row("type 3 in 2017: share 60%", "ValorNF=1000;AliqICMS=18;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2017",
        "ICMSaRecolher=38.6341");
    row("type 3 in 2016: share 40%", "ValorNF=1000;AliqICMS=18;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2016",
        "ICMSaRecolher=25.7561");
    row("type 3 with FEM", "ValorNF=1000;AliqICMS=18;CreditoICMS=12;ValorCreditoICMS=120;FEM=1;Tipo=3;Ano=2020",
        "ValorFinal=1100;ValorFEM=22;ValorICMS=198;ICMSaRecolher=66");
    row("type 3 without a rate difference collects 0",
        "ValorNF=1000;AliqICMS=12;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2020", "ICMSaRecolher=0");
    row("type 2 at rate 100: zero divisor gives a zero base", "ValorNF=100;AliqICMS=100;Tipo=2",
        "ValorFinal=0;ICMSaRecolher=0");
    // Fine on a type-3 amount: half a ten-thousandth goes to the even digit.
    row("fine mode 4 on 53.0125: 26.50625 to even",
        "ValorNF=1000.01;AliqICMS=17;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2020;Modo=4",
        "ValorFinal=1060.25;ICMSaRecolher=53.0125;ValorMR=26.5062;ValorMRRed=5.3012;TotalARecolher=58.3137");
    row("fine mode 2: the reduced fine is the fine",
        "ValorNF=1000.01;AliqICMS=17;CreditoICMS=12;ValorCreditoICMS=120;Tipo=3;Ano=2020;Modo=2",
        "ValorMR=26.5062;ValorMRRed=26.5062;TotalARecolher=79.5187");
    // Fuel by PMPF.
    row("fuel 06.001.00: credit at the invoice price deducted",
        "Combustivel=1;ItemBrelva=06.001.00;Litros=1000;PMPF=4.0123;PrecoLitroNF=3.1;AliqICMS=25;CreditoICMS=12;"
        "ValorNF=3100;ValorCreditoICMS=999;Frete=10;Base=100",
        "FreteProp=-;Soma=-;ValorFEM=-;ValorFinal=4012.30;ValorICMS=1003.08;ValorCreditoICMS=372;ICMSaRecolher=631.08");
    row("fuel 06.001.00: credit above the debit collects 0",
        "Combustivel=1;ItemBrelva=06.001.00;Litros=1000;PMPF=4.0123;PrecoLitroNF=5;AliqICMS=25;CreditoICMS=25",
        "ValorICMS=1003.08;ValorCreditoICMS=1250;ICMSaRecolher=0");
    row("other fuel item: no credit deducted",
        "Combustivel=1;ItemBrelva=06.002.00;Litros=1000;PMPF=4.0123;PrecoLitroNF=3.1;AliqICMS=25;CreditoICMS=12;"
        "ValorCreditoICMS=372",
        "ValorCreditoICMS=-;ValorICMS=1003.08;ICMSaRecolher=1003.08");
    row("fuel rule with FEM and a fine", "Combustivel=1;ItemBrelva=06.002.00;Litros=10;PMPF=5;AliqICMS=18;FEM=1;Modo=3",
        "ValorFEM=-;ValorFinal=50;ValorICMS=9;ValorMR=9;ValorMRRed=9;TotalARecolher=18");
    row("PMPF line outside a fuel calculation: general rule",
        "ItemBrelva=06.001.00;ValorNF=3100;Litros=1000;PMPF=4.0123;AliqICMS=25;ValorCreditoICMS=372",
        "Soma=3100;ValorFinal=3100;ValorICMS=775;ICMSaRecolher=403");
}

void TestItemCalc::item()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const auto in = pairs(input);
    ItemEntrada e;
    ContextoCalculo ctx;
    leEntrada(in, e, ctx);
    const Currency base = cur(in.value(QStringLiteral("Base"), QStringLiteral("0")));

    const ItemValores r = CalculaItem(ctx, e, [&] { return base; });

    const QHash<QString, QString> got = {
        {QStringLiteral("FreteProp"), text(r.freteProp)},
        {QStringLiteral("Soma"), text(r.soma)},
        {QStringLiteral("ValorFEM"), text(r.valorFEM)},
        {QStringLiteral("ValorCreditoICMS"), text(r.valorCreditoICMS)},
        {QStringLiteral("ValorFinal"), text(r.valorFinal)},
        {QStringLiteral("ValorICMS"), text(r.valorICMS)},
        {QStringLiteral("ICMSaRecolher"), text(r.icmsARecolher)},
        {QStringLiteral("ValorMR"), text(r.valorMR)},
        {QStringLiteral("ValorMRRed"), text(r.valorMRRed)},
        {QStringLiteral("TotalARecolher"), text(r.totalARecolher)},
    };
    const auto want = pairs(expected);
    for (auto it = want.cbegin(); it != want.cend(); ++it) {
        QVERIFY2(got.contains(it.key()), qPrintable(it.key()));
        const QString w = it.value() == QLatin1String("-") ? it.value() : cur(it.value()).toPlainString(4);
        QCOMPARE(it.key() + QLatin1Char('=') + got.value(it.key()), it.key() + QLatin1Char('=') + w);
    }
}

void TestItemCalc::freightBaseAskedOnlyWhenNeeded()
{
    // The base costs a query: a fuel line priced by PMPF never asks for it.
    int asked = 0;
    ItemEntrada e;
    ContextoCalculo ctx;
    ctx.combustivel = true;
    e.pmpf = Currency::fromInt(5);
    e.litros = Currency::fromInt(10);
    CalculaItem(ctx, e, [&] {
        ++asked;
        return Currency::fromInt(100);
    });
    QCOMPARE(asked, 0);
    ctx.combustivel = false;
    CalculaItem(ctx, e, [&] {
        ++asked;
        return Currency::fromInt(100);
    });
    QCOMPARE(asked, 1);
}

void TestItemCalc::amountsBeyondTheRange_data()
{
    // An amount that leaves the currency range (±922,337,203,685,477.5807)
    // stops the line, naming the field;
    // nothing is ever computed with a capped value.
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("campo"); // empty: the line computes
    // Inside one expression a product may pass the range: only the amounts
    // the rules name are converted, and 2.52e13 is one.
    QTest::newRow("ST, a product past the range inside the expression")
        << "ValorNF=99999999999999.9999;MVA=40;AliqICMS=18;Tipo=1"
        << "";
    QTest::newRow("ST, just inside the range") << "ValorNF=36000000000000;MVA=40;AliqICMS=18;Tipo=1"
                                               << "";
    QTest::newRow("ST, the base itself overflows") << "ValorNF=900000000000000;MVA=40;AliqICMS=18;Tipo=1"
                                                   << "ValorFinal";
    QTest::newRow("DIFAL gross-up beyond the range") << "ValorNF=900000000000000;AliqICMS=18;Tipo=2"
                                                     << "ValorFinal";
    QTest::newRow("fuel litres x PMPF") << "Combustivel=1;Litros=100000000000;PMPF=100000;AliqICMS=25"
                                        << "ValorFinal";
    QTest::newRow("value plus IPI") << "ValorNF=900000000000000;ValorIPI=900000000000000;AliqICMS=18"
                                    << "Soma";
    QTest::newRow("negative amounts compute") << "ValorNF=-100;MVA=40;AliqICMS=18;ValorCreditoICMS=-12;Tipo=1"
                                              << "";
}

void TestItemCalc::amountsBeyondTheRange()
{
    QFETCH(QString, input);
    QFETCH(QString, campo);
    ItemEntrada e;
    ContextoCalculo ctx;
    leEntrada(pairs(input), e, ctx);
    try {
        const ItemValores r = CalculaItem(ctx, e, [] { return Currency(); });
        QVERIFY2(
            campo.isEmpty(), qPrintable(QStringLiteral("computed ValorICMS %1").arg(r.valorICMS.toPlainString(4))));
        QVERIFY(r.valorICMS != Currency::max() && r.valorICMS != Currency::min());
    } catch (const EstouroValor &err) {
        QCOMPARE(err.campo(), campo);
        QVERIFY(err.mensagem().contains(campo));
    }
}

void TestItemCalc::fineModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("settings"); // MRNormal, MREmDobro, MRReducao
    QTest::addColumn<QString>("percentual");
    QTest::addColumn<QString>("fator");
    const QList<int> defaults {50, 100, 20};
    QTest::newRow("0 none chosen") << 0 << defaults << "0.0000"
                                   << "1.0000";
    QTest::newRow("1 Sem MR") << 1 << defaults << "0.0000"
                              << "1.0000";
    QTest::newRow("2 simples sem redução") << 2 << defaults << "0.5000"
                                           << "1.0000";
    QTest::newRow("3 em dobro sem redução") << 3 << defaults << "1.0000"
                                            << "1.0000";
    QTest::newRow("4 simples com redução") << 4 << defaults << "0.5000"
                                           << "0.2000";
    QTest::newRow("5 em dobro com redução") << 5 << defaults << "1.0000"
                                            << "0.2000";
    QTest::newRow("4 with other settings") << 4 << QList<int> {30, 60, 15} << "0.3000"
                                           << "0.1500";
    QTest::newRow("5 with a zero reduction") << 5 << QList<int> {30, 60, 0} << "0.6000"
                                             << "1.0000";
    QTest::newRow("unknown mode: none") << 9 << defaults << "0.0000"
                                        << "1.0000";
}

void TestItemCalc::fineModes()
{
    QFETCH(int, mode);
    QFETCH(QList<int>, settings);
    QFETCH(QString, percentual);
    QFETCH(QString, fator);
    const FatoresMR f = fatoresMR(mode, settings[0], settings[1], settings[2]);
    QCOMPARE(f.PercentualMR.toPlainString(4), percentual);
    QCOMPARE(f.FatorReducaoMR.toPlainString(4), fator);
}

void TestItemCalc::partilhaDIFAL_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("share");
    QTest::newRow("2016") << QDate(2016, 12, 31) << "0.4000";
    QTest::newRow("2017") << QDate(2017, 1, 1) << "0.6000";
    QTest::newRow("2018") << QDate(2018, 7, 1) << "0.8000";
    QTest::newRow("2019") << QDate(2019, 1, 1) << "1.0000";
    QTest::newRow("3000") << QDate(3000, 12, 31) << "1.0000";
    QTest::newRow("3001") << QDate(3001, 1, 1) << "0.4000";
}

void TestItemCalc::partilhaDIFAL()
{
    QFETCH(QDate, today);
    QFETCH(QString, share);
    QCOMPARE(PartilhaDIFAL(today.year()).toPlainString(4), share);
}

QTEST_GUILESS_MAIN(TestItemCalc)
#include "tst_itemcalc.moc"
