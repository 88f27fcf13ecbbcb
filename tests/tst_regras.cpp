// The shared tax rules one by one, with the worked examples of the rules and
// the cases that once went wrong, and the quick calculation's total against
// an exact rational evaluation of its rules on random calculations.
//
// The exact evaluation below knows nothing of Expr: it keeps every value as a
// fraction of 128-bit integers and rounds to the ten-thousandth (ties to the
// even digit) only where the rules name a value.
#include "core/calcrapido.h"
#include "core/regras.h"

#include <QTest>
#include <random>

using namespace stb;

namespace {

Currency cur(const char *text)
{
    const auto c = Currency::parsePlain(QLatin1String(text));
    if (!c)
        qFatal("bad amount in test data: %s", text);
    return *c;
}

QString txt(Currency c) { return c.toPlainString(4); }

// ---- the exact evaluation ----------------------------------------------------

using Int = __int128;

Int mdc(Int a, Int b)
{
    if (a < 0)
        a = -a;
    if (b < 0)
        b = -b;
    while (b != 0) {
        const Int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

struct Fracao {
    Int n = 0, d = 1;

    static Fracao de(Currency c) { return Fracao {c.raw(), 10000}.reduz(); }
    static Fracao inteiro(Int v) { return Fracao {v, 1}; }
    Fracao reduz() const
    {
        const Int g = mdc(n, d);
        Fracao r {g ? n / g : 0, g ? d / g : 1};
        if (r.d < 0) {
            r.n = -r.n;
            r.d = -r.d;
        }
        return r;
    }
    Fracao operator+(const Fracao &o) const { return Fracao {n * o.d + o.n * d, d * o.d}.reduz(); }
    Fracao operator-(const Fracao &o) const { return Fracao {n * o.d - o.n * d, d * o.d}.reduz(); }
    Fracao operator*(const Fracao &o) const
    {
        const Int g1 = mdc(n, o.d), g2 = mdc(o.n, d);
        const Int a = g1 ? n / g1 : 0, b = g2 ? o.n / g2 : 0;
        return Fracao {a * b, (g2 ? d / g2 : d) * (g1 ? o.d / g1 : o.d)}.reduz();
    }
    Fracao operator/(const Fracao &o) const { return *this * Fracao {o.d, o.n}.reduz(); }
    bool zero() const { return n == 0; }
    bool positivo() const { return n > 0; }
    // The nearest ten-thousandth, ties to the even digit.
    Currency moeda() const
    {
        const Int num = n * 10000;
        Int q = num / d, r = num % d;
        if (r < 0) {
            r += d;
            --q; // floor
        }
        if (2 * r > d || (2 * r == d && (q % 2 != 0)))
            ++q;
        return Currency::fromRaw(static_cast<std::int64_t>(q));
    }
};

Fracao F(Currency c) { return Fracao::de(c); }
const Fracao Cem = Fracao::inteiro(100);
const Fracao Um = Fracao::inteiro(1);

// The quick line's T and the total box, written from the rules of the quick
// calculation: each value the rules name is converted, nothing else.
Currency tPMPF(const LinhaRapida &l)
{
    return (F(l.litros) * F(l.pmpf) * F(l.aliqICMS) / Cem - F(l.litros) * F(l.precoLitroNF) * F(l.creditoICMS) / Cem)
        .moeda();
}

Currency linhaOraculo(int tipo, const LinhaRapida &l, Currency partilha, Currency *fem)
{
    Currency t;
    *fem = Currency();
    if (!l.pmpf.isZero()) {
        t = tPMPF(l);
    } else if (tipo == 2 || tipo == 3) {
        const Fracao x = F(l.valorNF) - F(l.valorCreditoICMS);
        const Currency aliq = l.fem ? l.aliqICMS + Currency::fromInt(2) : l.aliqICMS;
        const Fracao divisor = Um - F(aliq) / Cem;
        const Currency base = divisor.zero() ? Currency() : (x / divisor).moeda();
        if (l.fem)
            *fem = (F(base) * Fracao::inteiro(2) / Cem).moeda();
        const Currency valorICMS = ((F(base) - x) - F(*fem)).moeda();
        if (tipo == 3) {
            const Fracao d = F(l.aliqICMS) - F(l.creditoICMS);
            t = d.positivo() ? (F(base) * d / Cem * F(partilha)).moeda() : Currency();
        } else {
            t = valorICMS - l.valorCreditoICMS;
        }
    } else {
        t = ((F(l.valorNF) + F(l.valorIPI)) * (Um + F(l.mva) / Cem) * F(l.aliqICMS) / Cem
            - F(l.valorNF) * F(l.creditoICMS) / Cem)
                .moeda();
    }
    // Outside the difference of rates the FEM is 2 % of the value, a PMPF
    // line's too.
    if (tipo != 2 && tipo != 3 && l.fem)
        *fem = (F(l.valorNF) * Fracao::inteiro(2) / Cem).moeda();
    return t > Currency() ? t : Currency();
}

Currency totalOraculo(int grupo, int tipo, Currency frete, Currency partilha, const std::vector<LinhaRapida> &itens)
{
    Currency total;
    if (tipo == 2 || tipo == 3) {
        for (const LinhaRapida &l : itens) {
            Currency fem;
            total += linhaOraculo(tipo, l, partilha, &fem);
            total += fem;
        }
        return total;
    }
    Currency s;
    if (frete > Currency())
        for (const LinhaRapida &l : itens)
            s += l.valorNF + l.valorIPI;
    for (const LinhaRapida &l : itens) {
        Currency b = l.valorNF + l.valorIPI;
        if (!s.isZero())
            b = (F(b) + F(frete) * (F(b) / F(s))).moeda();
        const Currency debito = (F(b) * (Um + F(l.mva) / Cem) * F(l.aliqICMS) / Cem).moeda();
        const Currency credito = (F(l.valorNF) * F(l.creditoICMS) / Cem).moeda();
        if (debito > credito)
            total += debito - credito;
    }
    if (grupo == 6)
        for (const LinhaRapida &l : itens)
            if (!l.pmpf.isZero()) {
                const Currency t = tPMPF(l);
                if (t > Currency())
                    total += t;
            }
    return total;
}

Currency totalMedicOraculo(Currency frete, const std::vector<LinhaMedicRapida> &medic)
{
    auto v0 = [](const LinhaMedicRapida &l) { return (F(l.debVlMerc) / (Um + F(l.mva) / Cem)).moeda(); };
    Currency s;
    if (frete > Currency())
        for (const LinhaMedicRapida &l : medic)
            s += v0(l);
    Currency total;
    for (const LinhaMedicRapida &l : medic) {
        const Currency v = v0(l);
        const Currency credito = (F(v) * F(l.creditoICMS) / Cem).moeda();
        auto debitoDe
            = [&](Currency base) { return (F(base) * (Um + F(l.mva) / Cem) * F(l.debAliqICMS) / Cem).moeda(); };
        const Currency d0 = debitoDe(v) - credito;
        const Currency linha = d0 > Currency() ? d0 : Currency();
        if (frete > Currency() && !s.isZero()) {
            const Currency base = (F(v) + F(frete) * (F(v) / F(s))).moeda();
            total += std::max(linha, debitoDe(base) - credito);
        } else {
            total += linha;
        }
    }
    return total;
}

// An amount of up to `inteiros` whole units with `decimais` decimals.
Currency sorteia(std::mt19937_64 &g, std::int64_t inteiros, int decimais)
{
    std::int64_t passo = 1;
    for (int i = decimais; i < 4; ++i)
        passo *= 10;
    std::uniform_int_distribution<std::int64_t> d(0, inteiros * 10000 / passo);
    return Currency::fromRaw(d(g) * passo);
}

} // namespace

class TestRegras : public QObject {
    Q_OBJECT

private slots:
    void conversao_data();
    void conversao();
    void regra_data();
    void regra();
    void aliqCreditoEfetiva_data();
    void aliqCreditoEfetiva();
    void rateioDestaque_data();
    void rateioDestaque();
    void linhaMedic_data();
    void linhaMedic();
    void empatesExatos();
    void rapidoContraOraculo_data();
    void rapidoContraOraculo();
    void estouro_data();
    void estouro();
};

void TestRegras::conversao_data()
{
    QTest::addColumn<Currency>("valor");
    QTest::addColumn<QString>("esperado");
    // (a × b) / c, converted once.
    auto row = [](const char *name, const char *a, const char *b, const char *c, const char *out) {
        QTest::newRow(name) << (Expr(cur(a)) * Expr(cur(b)) / Expr(cur(c))).moeda() << QString::fromLatin1(out);
    };
    row("half a ten-thousandth rounds to the even digit (down)", "0.0001", "1", "2", "0.0000");
    row("half a ten-thousandth rounds to the even digit (up)", "0.0003", "1", "2", "0.0002");
    row("negative tie to even", "-0.0003", "1", "2", "-0.0002");
    row("a third stays whole until the end", "1", "1", "3", "0.3333");
    row("products of four-decimal amounts are exact", "1234.5678", "8765.4321", "1", "10821520.2237");
    row("ratio kept whole: 10 x (1 / 3) x 3", "10", "3", "3", "10.0000");
    QTest::newRow("division by zero gives 0") << (Expr(cur("5")) / Expr(Currency())).moeda() << "0.0000";
    QTest::newRow("a whole number enters exactly") << (Expr::inteiro(7) * Expr(cur("0.5"))).moeda() << "3.5000";
    QTest::newRow("the margin factor is not brought to four decimals: 1000 x 1.333333")
        << (Expr(cur("1000")) * fatorMVA(cur("33.3333"))).moeda() << "1333.3330";
    QTest::newRow("percentual: 140 x 18 %") << percentual(cur("140"), cur("18")) << "25.2000";
    QTest::newRow("percentual: 0.0005 x 50 %, tie to even") << percentual(cur("0.0005"), cur("50")) << "0.0002";
}

void TestRegras::conversao()
{
    QFETCH(Currency, valor);
    QFETCH(QString, esperado);
    QCOMPARE(txt(valor), esperado);
}

void TestRegras::regra_data()
{
    QTest::addColumn<Currency>("valor");
    QTest::addColumn<QString>("esperado");
    // FEM: 2 % of the base, no two-decimal rounding.
    QTest::newRow("FEM of 140") << ValorFEM(cur("140")) << "2.8000";
    QTest::newRow("FEM of 1073.17") << ValorFEM(cur("1073.17")) << "21.4634";
    QTest::newRow("FEM of a tie, to even") << ValorFEM(cur("0.0025")) << "0.0000";
    // DIFAL gross-up.
    QTest::newRow("DIFAL base: 880 / 0.82") << BaseDIFAL(cur("880"), cur("18"), false) << "1073.1707";
    QTest::newRow("DIFAL base with FEM: 880 / 0.80") << BaseDIFAL(cur("880"), cur("18"), true) << "1100.0000";
    QTest::newRow("DIFAL base at a rate of 100") << BaseDIFAL(cur("880"), cur("100"), false) << "0.0000";
    QTest::newRow("DIFAL base at 98 with FEM") << BaseDIFAL(cur("880"), cur("98"), true) << "0.0000";
    QTest::newRow("DIFAL base of a negative value") << BaseDIFAL(cur("-1000"), cur("18"), false) << "-1219.5122";
    // DIFAL share: the difference converted, then the share.
    QTest::newRow("share 1: 1073.17 x 6 %")
        << DIFALPartilhado(cur("1073.17"), cur("18"), cur("12"), cur("1")) << "64.3902";
    QTest::newRow("share 0.80 of the converted difference")
        << DIFALPartilhado(cur("1073.17"), cur("18"), cur("12"), PartilhaDIFAL(2018)) << "51.5122";
    QTest::newRow("share 0.40, converted twice: 0.0001 x 0.4")
        << DIFALPartilhado(cur("0.0017"), cur("18"), cur("12"), PartilhaDIFAL(2016)) << "0.0000";
    QTest::newRow("credit rate equal to the internal rate")
        << DIFALPartilhado(cur("1000"), cur("12"), cur("12"), cur("1")) << "0.0000";
    QTest::newRow("credit rate above the internal rate")
        << DIFALPartilhado(cur("1000"), cur("12"), cur("18"), cur("1")) << "0.0000";
    // Freight share: the ratio whole.
    QTest::newRow("freight 50 over 300 of 400") << ParteFrete(cur("50"), cur("300"), cur("400")).moeda() << "37.5000";
    QTest::newRow("freight 50 over 100 of 400") << ParteFrete(cur("50"), cur("100"), cur("400")).moeda() << "12.5000";
    QTest::newRow("freight 10 over a third") << ParteFrete(cur("10"), cur("1"), cur("3")).moeda() << "3.3333";
    QTest::newRow("freight 30 x 110 / 310, once") << ParteFrete(cur("30"), cur("110"), cur("310")).moeda() << "10.6452";
    // ST debit: the margin factor inside.
    QTest::newRow("ST debit: 110 x 1.4 x 18 %") << DebitoST(cur("110"), cur("40"), cur("18")).moeda() << "27.7200";
    QTest::newRow("ST debit: 121 x 1.4 x 18 %") << DebitoST(cur("121"), cur("40"), cur("18")).moeda() << "30.4920";
    QTest::newRow("ST debit with MVA 45.0005")
        << DebitoST(cur("6600000"), cur("45.0005"), cur("18")).moeda() << "1722605.9400";
    QTest::newRow("ST debit with MVA 0") << DebitoST(cur("100"), Currency(), cur("18")).moeda() << "18.0000";
    // A fuel line by PMPF.
    const ICMSPMPF p = ICMSLinhaPMPF(cur("1000"), cur("5"), cur("4"), cur("25"), cur("12"));
    QTest::newRow("PMPF debit") << p.debito.moeda() << "1250.0000";
    QTest::newRow("PMPF credit") << p.credito.moeda() << "480.0000";
    // 0.00006 − 0.00004: converted apart they would leave 0.0001.
    const ICMSPMPF q = ICMSLinhaPMPF(cur("1"), cur("0.0006"), cur("0.0004"), cur("10"), cur("10"));
    QTest::newRow("PMPF difference, one expression") << (q.debito - q.credito).moeda() << "0.0000";
    // The rate of a credit amount.
    QTest::newRow("rate of 37.20 on 310") << AliqDoCredito(cur("37.20"), cur("310")) << "12.0000";
    QTest::newRow("rate of 10 on 300, once") << AliqDoCredito(cur("10"), cur("300")) << "3.3333";
    // Quotients that end in exactly half a ten-thousandth, to the even digit.
    QTest::newRow("rate of 0.0003 on 200: 0.00015") << AliqDoCredito(cur("0.0003"), cur("200")) << "0.0002";
    QTest::newRow("rate of 0.0001 on 200: 0.00005") << AliqDoCredito(cur("0.0001"), cur("200")) << "0.0000";
    QTest::newRow("share of a highlight ending in a half")
        << ParteDestaque(cur("0.0001"), cur("1"), cur("1")) << "0.0000";
    QTest::newRow("share of a highlight ending in three halves")
        << ParteDestaque(cur("0.0003"), cur("1"), cur("1")) << "0.0002";
    QTest::newRow("DIFAL base ending in a half: 0.0002 / 0.80")
        << BaseDIFAL(cur("0.0002"), cur("20"), false) << "0.0002";
    QTest::newRow("DIFAL base ending in a half: 0.0006 / 0.80")
        << BaseDIFAL(cur("0.0006"), cur("20"), false) << "0.0008";
    QTest::newRow("freight share ending in a half: 0.0001 x 3 / 6")
        << ParteFrete(cur("0.0001"), cur("3"), cur("6")).moeda() << "0.0000";
    // Fines.
    const FatoresMR m4 = fatoresMR(4, 50, 100, 20);
    QTest::newRow("fine 50 % of 13.20") << MultaMR(cur("13.20"), m4) << "6.6000";
    QTest::newRow("reduced fine 20 % of 6.60") << MultaReduzida(cur("6.60"), m4) << "1.3200";
    QTest::newRow("no reduction keeps the fine") << MultaReduzida(cur("6.60"), fatoresMR(2, 50, 100, 20)) << "6.6000";
    QTest::newRow("fine of 0.0001 at 50 %, to even") << MultaMR(cur("0.0001"), m4) << "0.0000";
    // The highlighted ICMS/ST.
    QTest::newRow("share of the highlight: 71.30 x 60 / 71.30")
        << ParteDestaque(cur("71.30"), cur("60"), cur("11.30")) << "60.0000";
    QTest::newRow("no highlight, no share") << ParteDestaque(cur("71.30"), Currency(), cur("11.30")) << "0.0000";
    QTest::newRow("share of a third") << ParteDestaque(cur("10"), cur("10"), cur("20")) << "3.3333";
    QTest::newRow("the lines less the highlight") << AposDestaque(cur("52.11"), cur("41.33")) << "10.7800";
    QTest::newRow("a highlight above the lines leaves 0, not -0.02")
        << AposDestaque(cur("60.00"), cur("60.02")) << "0.0000";
    // Medicines.
    QTest::newRow("medicine value: 3 x 10.1234 x 1.3357")
        << ValorItemMedic(Currency::fromInt(3), cur("10.1234"), cur("33.57")) << "40.5655";
    QTest::newRow("medicine value without margin")
        << ValorItemMedic(Currency::fromInt(7), cur("1.3333"), Currency()) << "9.3331";
    QTest::newRow("medicine value of the invoice's value with MVA 38.24")
        << ValorItemMedic(Currency::fromInt(1), cur("100"), cur("38.24")) << "138.2400";
}

void TestRegras::regra()
{
    QFETCH(Currency, valor);
    QFETCH(QString, esperado);
    QCOMPARE(txt(valor), esperado);
}

void TestRegras::aliqCreditoEfetiva_data()
{
    QTest::addColumn<QString>("valor");
    QTest::addColumn<QString>("declarada");
    QTest::addColumn<QString>("credito");
    QTest::addColumn<QString>("aliquota");
    QTest::newRow("the declared rate gives the credit") << "310"
                                                        << "12"
                                                        << "37.20"
                                                        << "12.0000";
    QTest::newRow("same cents: the declared rate stays") << "100.01"
                                                         << "18"
                                                         << "18.00"
                                                         << "18.0000";
    QTest::newRow("reduced base: 37.20 of 310 at 30 %") << "310"
                                                        << "30"
                                                        << "37.20"
                                                        << "12.0000";
    QTest::newRow("a base beyond the value") << "100"
                                             << "12"
                                             << "15"
                                             << "15.0000";
    QTest::newRow("an effective rate of many decimals") << "300"
                                                        << "18"
                                                        << "10"
                                                        << "3.3333";
    QTest::newRow("no own ICMS") << "100"
                                 << "18"
                                 << "0"
                                 << "0.0000";
    QTest::newRow("a line of no value keeps its rate") << "0"
                                                       << "18"
                                                       << "5"
                                                       << "18.0000";
}

void TestRegras::aliqCreditoEfetiva()
{
    QFETCH(QString, valor);
    QFETCH(QString, declarada);
    QFETCH(QString, credito);
    QFETCH(QString, aliquota);
    const Currency v = *Currency::parsePlain(valor);
    const Currency c = *Currency::parsePlain(credito);
    const Currency a = AliqCreditoEfetiva(v, *Currency::parsePlain(declarada), c);
    QCOMPARE(txt(a), aliquota);
    // The invoice total's credit (rate × value) is the line's to the cent,
    // except where the rate cannot hold the ratio in four decimals.
    if (!v.isZero() && aliquota != QLatin1String("3.3333"))
        QCOMPARE(ArredondaValor(percentual(v, a)), ArredondaValor(c));
}

void TestRegras::rateioDestaque_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("destaque");
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("modo");
    QTest::addColumn<QString>("esperado"); // parte;aRecolher;MR;MRRed;total
    QTest::newRow("a quarter highlighted, MR 50 % reduced to 20 %")
        << "100"
        << "50"
        << "150" << 4 << "25.0000;75.0000;37.5000;7.5000;82.5000";
    QTest::newRow("share of a third to cents") << "10"
                                               << "10"
                                               << "20" << 2 << "3.3300;6.6700;3.3400;3.3400;10.0100";
    QTest::newRow("in double, reduced") << "10"
                                        << "10"
                                        << "20" << 5 << "3.3300;6.6700;6.6700;1.3300;8.0000";
    QTest::newRow("without a fine") << "10"
                                    << "10"
                                    << "20" << 1 << "3.3300;6.6700;0.0000;0.0000;6.6700";
}

void TestRegras::rateioDestaque()
{
    QFETCH(QString, a);
    QFETCH(QString, destaque);
    QFETCH(QString, total);
    QFETCH(int, modo);
    QFETCH(QString, esperado);
    const RateioDestaque r = RateiaDestaque(*Currency::parsePlain(a), *Currency::parsePlain(destaque),
        *Currency::parsePlain(total), fatoresMR(modo, 50, 100, 20));
    QCOMPARE(QStringList({txt(r.parte), txt(r.aRecolher), txt(r.valorMR), txt(r.valorMRRed), txt(r.totalARecolher)})
                 .join(QLatin1Char(';')),
        esperado);
}

void TestRegras::linhaMedic_data()
{
    QTest::addColumn<bool>("analitica");
    QTest::addColumn<QString>("entrada"); // DebVlMerc (or ICMS);aliq;credit of the invoice;sum of the invoice
    QTest::addColumn<QString>("esperado"); // icms;credit;to collect;MR;MRRed;total
    // Credit 10.00 over 133.33: 7.50 and 2.50; MR 50 % without reduction.
    QTest::newRow("detailed, first line") << true << "100;18;10;133.33"
                                          << "18.0000;7.5000;10.5000;5.2500;5.2500;15.7500";
    QTest::newRow("detailed, second line") << true << "33.33;18;10;133.33"
                                           << "5.9994;2.5000;3.5000;1.7500;1.7500;5.2500";
    QTest::newRow("summarised: the whole credit") << false << "23.99;0;10;0"
                                                  << "23.9900;10.0000;13.9900;7.0000;7.0000;20.9900";
}

void TestRegras::linhaMedic()
{
    QFETCH(bool, analitica);
    QFETCH(QString, entrada);
    QFETCH(QString, esperado);
    const QStringList e = entrada.split(QLatin1Char(';'));
    auto c = [&e](int i) { return *Currency::parsePlain(e.at(i)); };
    const FatoresMR f = fatoresMR(2, 50, 100, 20);
    const ValoresLinhaMedic v
        = analitica ? LinhaMedicAnalitica(c(0), c(1), c(2), c(3), f) : LinhaMedicSintetica(c(0), c(2), f);
    QCOMPARE(QStringList({txt(v.icms), txt(v.credito), txt(v.aRecolher), txt(v.valorMR), txt(v.valorMRRed),
                             txt(v.totalARecolher)})
                 .join(QLatin1Char(';')),
        esperado);
}

void TestRegras::empatesExatos()
{
    // Large amounts at rates that end in half a ten-thousandth: products of
    // more than 64 bits that must still reach the rounding as exact ties.
    std::mt19937_64 g(7u);
    int difere = 0;
    QString primeira;
    for (int n = 0; n < 20000; ++n) {
        // An odd count of ten-thousandths at a factor × rate of one half.
        const Currency base
            = Currency::fromRaw(static_cast<std::int64_t>(1'000'000'000'000 + g() % 9'000'000'000'000) | 1);
        static const std::pair<const char *, const char *> metade[] = {{"0", "50"}, {"25", "40"}, {"300", "12.5"}};
        const Currency mva = cur(metade[n % 3].first);
        const Currency aliq = cur(metade[n % 3].second);
        const Currency obtido = DebitoST(base, mva, aliq).moeda();
        const Currency exato = (F(base) * (Um + F(mva) / Cem) * F(aliq) / Cem).moeda();
        const Currency taxa = Currency::fromRaw(static_cast<std::int64_t>(g() % 300'000));
        if (percentual(base, taxa) != (F(base) * F(taxa) / Cem).moeda()) {
            ++difere;
            if (primeira.isEmpty())
                primeira = QStringLiteral("%1 x %2 %").arg(txt(base), txt(taxa));
        }
        // A gross-up by 0.80 of 4k + 2 ten-thousandths ends in exactly a half.
        const Currency x = Currency::fromRaw(static_cast<std::int64_t>(4 * (g() % 100'000'000'000) + 2));
        if (BaseDIFAL(x, Currency::fromInt(20), false) != (F(x) / (Um - Fracao::inteiro(20) / Cem)).moeda()) {
            ++difere;
            if (primeira.isEmpty())
                primeira = QStringLiteral("%1 / 0.80").arg(txt(x));
        }
        if (obtido != exato) {
            ++difere;
            if (primeira.isEmpty())
                primeira = QStringLiteral("%1 x (1 + %2/100) x %3/100: %4, exact %5")
                               .arg(txt(base), txt(mva), txt(aliq), txt(obtido), txt(exato));
        }
    }
    QVERIFY2(difere == 0, qPrintable(QStringLiteral("%1 differ; %2").arg(difere).arg(primeira)));
}

void TestRegras::rapidoContraOraculo_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<int>("tipo");
    QTest::newRow("standard ST with freight") << -1 << 1;
    QTest::newRow("fuels, both walks") << 6 << 1;
    QTest::newRow("DIFAL taxpayer") << -1 << 2;
    QTest::newRow("DIFAL non-taxpayer") << -1 << 3;
    QTest::newRow("medicines by MVA with freight") << 113 << 1;
}

void TestRegras::rapidoContraOraculo()
{
    QFETCH(int, grupo);
    QFETCH(int, tipo);
    std::mt19937_64 g(20261207u + static_cast<unsigned>(grupo * 10 + tipo));
    const Currency partilha = PartilhaDIFAL(2018);
    int difere = 0;
    QString primeira;
    for (int n = 0; n < 400; ++n) {
        const int linhas = 1 + static_cast<int>(g() % 4);
        const Currency frete = g() % 3 == 0 ? Currency() : sorteia(g, 5000, 2);
        std::vector<LinhaRapida> itens;
        std::vector<LinhaMedicRapida> medic;
        Currency esperado;
        for (int i = 0; i < linhas; ++i) {
            if (grupo == 113) {
                LinhaMedicRapida m;
                m.debVlMerc = sorteia(g, 7000000, 2);
                m.mva = sorteia(g, 60, 4);
                m.debAliqICMS = g() % 2 ? Currency::fromInt(18) : Currency::fromInt(12);
                m.creditoICMS = sorteia(g, 12, 2);
                medic.push_back(m);
                continue;
            }
            LinhaRapida l;
            l.valorNF = sorteia(g, 7000000, 2);
            l.valorIPI = g() % 2 ? sorteia(g, 100000, 2) : Currency();
            l.mva = sorteia(g, 80, 4);
            l.aliqICMS = sorteia(g, 30, 2);
            l.creditoICMS = sorteia(g, 12, 2);
            l.valorCreditoICMS = sorteia(g, 1000, 2);
            l.fem = g() % 2;
            if (grupo == 6 && g() % 2) {
                l.pmpf = sorteia(g, 7, 4);
                l.litros = sorteia(g, 30000, 3);
                l.precoLitroNF = sorteia(g, 7, 4);
            }
            itens.push_back(l);
            // Each line as the list shows it.
            Currency fem;
            const Currency t = linhaOraculo(tipo, l, partilha, &fem);
            const ValoresRapidos r = CalculaLinhaRapida(tipo, l, partilha);
            QCOMPARE(txt(r.totalARecolher), txt(t));
            QCOMPARE(txt(r.valorFEM.value_or(Currency())), txt(fem));
        }
        esperado = grupo == 113 ? totalMedicOraculo(frete, medic) : totalOraculo(grupo, tipo, frete, partilha, itens);
        const Currency total = TotalRapido(grupo, tipo, frete, partilha, itens, medic);
        if (total != esperado) {
            ++difere;
            if (primeira.isEmpty())
                primeira = QStringLiteral("calculation %1: %2, exact %3").arg(n).arg(txt(total), txt(esperado));
        }
    }
    QVERIFY2(difere == 0, qPrintable(QStringLiteral("%1 of 400 totals differ; %2").arg(difere).arg(primeira)));
}

void TestRegras::estouro_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("valorNF");
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("campo"); // empty: no refusal
    QTest::newRow("4e13 fits: the exact total") << -1 << 1 << "40000000000000"
                                                << "10" << QString();
    QTest::newRow("1e14 fits") << -1 << 1 << "100000000000000"
                               << "10" << QString();
    QTest::newRow("a value and IPI past the range") << -1 << 1 << "900000000000000"
                                                    << "0"
                                                    << "TotalARecolher";
    QTest::newRow("a DIFAL base past the range") << -1 << 2 << "900000000000000"
                                                 << "0"
                                                 << "ValorFinal";
    QTest::newRow("a medicine V0 past the range") << 113 << 1 << "900000000000000"
                                                  << "-50"
                                                  << "V0";
}

void TestRegras::estouro()
{
    QFETCH(int, grupo);
    QFETCH(int, tipo);
    QFETCH(QString, valorNF);
    QFETCH(QString, mva);
    QFETCH(QString, campo);
    LinhaRapida l;
    l.valorNF = *Currency::parsePlain(valorNF);
    l.valorIPI = campo == QLatin1String("TotalARecolher") ? l.valorNF : Currency();
    l.mva = *Currency::parsePlain(mva);
    l.aliqICMS = Currency::fromInt(12);
    LinhaMedicRapida m {l.valorNF, l.aliqICMS, l.mva, Currency()};
    QString refusal;
    Currency total;
    try {
        if (grupo == 113)
            CalculaMedicRapida(grupo, m);
        else
            CalculaLinhaRapida(tipo, l, Currency::fromInt(1));
        total = TotalRapido(grupo, tipo, Currency(), Currency::fromInt(1), {l}, {m});
    } catch (const EstouroValor &e) {
        refusal = e.campo();
        QVERIFY(e.mensagem().contains(e.campo()));
    }
    QCOMPARE(refusal, campo);
    if (campo.isEmpty())
        QCOMPARE(total, (F(l.valorNF) * (Um + F(l.mva) / Cem) * F(l.aliqICMS) / Cem).moeda());
}

QTEST_GUILESS_MAIN(TestRegras)
#include "tst_regras.moc"
