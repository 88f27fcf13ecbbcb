// The invoice amount to collect (Notas.ValorARecolher) for standard, DIFAL,
// fuel and medicine calculations; the failure message; the reuse during the
// refresh after a line change; the item heading caption.
#include "calc_fixture.h"
#include "core/itemcalc.h"
#include "core/totals.h"
#include "platform/clock.h"

using namespace stb;
using calctest::Fixture;

namespace {

QString valor(Fixture &fx)
{
    return fx.dm->TabNotas.fieldByName(QStringLiteral("ValorARecolher")).asCurrency().toPlainString(4);
}

const char *kST = "ValorNF=100,MVA=40,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=12"; // 25.20 − 12
const char *kPMPF
    = "ItemBrelva=06.001.00,ValorNF=3100,Litros=1000,PMPF=4.0123,PrecoLitroNF=3.1,AliqICMS=25,CreditoICMS=12";

} // namespace

class TestTotals : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }
    void valorARecolher_data();
    void valorARecolher();
    void invoiceWithIdZero();
    void noCalculationOpen();
    void failureShowsMessageAndGivesZero();
    void editStateKeepsTheAmount();
    void refreshReuse();
    void lineChangesRecomputeTheInvoice();
    void caption_data();
    void caption();
    void emptyAmountsReadAsZero_data();
    void emptyAmountsReadAsZero();
    void totalBeyondTheCurrencyRange();
};

void TestTotals::valorARecolher_data()
{
    QTest::addColumn<QString>("calculo");
    QTest::addColumn<QString>("nota");
    QTest::addColumn<QStringList>("itens");
    QTest::addColumn<QStringList>("medic");
    QTest::addColumn<int>("ano");
    QTest::addColumn<QString>("expected");
    const QString st = QString::fromLatin1(kST);
    const QString pmpf = QString::fromLatin1(kPMPF);
    auto row = [](const char *name, const char *calc, const char *nota, const QStringList &itens,
                   const QStringList &medic, int ano, const char *expected) {
        QTest::newRow(name) << QString::fromLatin1(calc) << QString::fromLatin1(nota) << itens << medic << ano
                            << QString::fromLatin1(expected);
    };
    row("no lines", "TipoCalculo=1", "NroNF=1", {}, {}, 2024, "0.0000");
    row("no lines, highlighted ST: never negative", "TipoCalculo=1", "NroNF=1,DestaqueICMSST=10", {}, {}, 2024,
        "0.0000");
    row("ST: freight share in the debit", "TipoCalculo=1", "NroNF=10,Frete=50",
        {"ValorNF=300,AliqICMS=18,MVA=40,CreditoICMS=12,ValorCreditoICMS=36"}, {}, 2024, "52.2000");
    row("ST: freight over value and IPI", "TipoCalculo=1", "NroNF=1,Frete=50",
        {"ValorNF=300,ValorIPI=30,AliqICMS=18,MVA=40,CreditoICMS=12", "ValorNF=100,AliqICMS=18,MVA=40,CreditoICMS=12"},
        {}, 2024, "72.9600");
    row("ST: a line with credit above its debit offsets nothing", "TipoCalculo=1", "NroNF=1",
        {st, "ValorNF=100,AliqICMS=7,CreditoICMS=12"}, {}, 2024, "13.2000");
    row("ST: every credit above its debit", "TipoCalculo=1", "NroNF=1", {"ValorNF=100,AliqICMS=7,CreditoICMS=12"}, {},
        2024, "0.0000");
    row("ST: highlighted ST deducted", "TipoCalculo=1", "NroNF=1,DestaqueICMSST=5", {st}, {}, 2024, "8.2000");
    row("ST: highlighted ST above the total gives 0", "TipoCalculo=1", "NroNF=1,DestaqueICMSST=100", {st}, {}, 2024,
        "0.0000");
    row("ST: a PMPF line outside a fuel calculation is left out", "TipoCalculo=1", "NroNF=1", {st, pmpf}, {}, 2024,
        "13.2000");
    row("type 4 as ST", "TipoCalculo=4", "NroNF=1", {st}, {}, 2024, "13.2000");
    row("DIFAL 2: value times the rate difference, no MVA, freight or IPI", "TipoCalculo=2,DiferencialAliq=1",
        "NroNF=1,Frete=50", {"ValorNF=1000,ValorIPI=100,MVA=40,AliqICMS=18,CreditoICMS=12", pmpf}, {}, 2024, "60.0000");
    row("DIFAL 3 in 2020: share 100%", "TipoCalculo=3,DiferencialAliq=1", "NroNF=1",
        {"ValorNF=1000,AliqICMS=18,CreditoICMS=12"}, {}, 2020, "60.0000");
    row("DIFAL 3 in 2018: share 80%", "TipoCalculo=3,DiferencialAliq=1", "NroNF=1",
        {"ValorNF=1000,AliqICMS=18,CreditoICMS=12"}, {}, 2018, "48.0000");
    row("DIFAL 3 in 2016: share 40%", "TipoCalculo=3,DiferencialAliq=1", "NroNF=1",
        {"ValorNF=1000,AliqICMS=18,CreditoICMS=12"}, {}, 2016, "24.0000");
    row("DIFAL 3 less the highlighted ST", "TipoCalculo=3,DiferencialAliq=1", "NroNF=1,DestaqueICMSST=8",
        {"ValorNF=1000,AliqICMS=18,CreditoICMS=12"}, {}, 2018, "40.0000");
    row("fuel: ST lines plus each PMPF line's excess", "TipoCalculo=1,Grupo=6", "NroNF=1", {st, pmpf}, {}, 2024,
        "644.2750");
    row("fuel: PMPF credit above its debit adds nothing", "TipoCalculo=1,Grupo=6", "NroNF=1",
        {st, "ItemBrelva=06.001.00,Litros=1000,PMPF=4,PrecoLitroNF=9,AliqICMS=25,CreditoICMS=12"}, {}, 2024, "13.2000");
    row("fuel DIFAL: only the PMPF lines", "TipoCalculo=2,Grupo=6,DiferencialAliq=1", "NroNF=1",
        {"ValorNF=1000,AliqICMS=18,CreditoICMS=12", pmpf}, {}, 2024, "403.0000");
    row("fuel DIFAL 3: no share on the PMPF sum", "TipoCalculo=3,Grupo=6,DiferencialAliq=1", "NroNF=1", {pmpf}, {},
        2018, "403.0000");
    row("medicine 13: debit less the invoice credits", "TipoCalculo=1,Grupo=13",
        "NroNF=1,CreditoICMSMedic=2,DestaqueICMSST=1", {st},
        {"DebVlMerc=20,DebAliqICMS=18", "DebVlMerc=33.33,DebAliqICMS=18"}, 2024, "6.5994");
    row("medicine 113: credits above the debit give 0", "TipoCalculo=1,Grupo=113", "NroNF=1,CreditoICMSMedic=50", {},
        {"DebVlMerc=20,DebAliqICMS=18"}, 2024, "0.0000");
    row("medicine DIFAL: rate differences, no share", "TipoCalculo=3,Grupo=113,DiferencialAliq=1",
        "NroNF=1,DestaqueICMSST=1", {},
        {"DebVlMerc=20,DebAliqICMS=18,CreditoICMS=12", "DebVlMerc=33.33,DebAliqICMS=18,CreditoICMS=7"}, 2018, "4.8663");
}

void TestTotals::valorARecolher()
{
    QFETCH(QString, calculo);
    QFETCH(QString, nota);
    QFETCH(QStringList, itens);
    QFETCH(QStringList, medic);
    QFETCH(int, ano);
    QFETCH(QString, expected);
    Clock::setFixedDate(QDate(ano, 3, 1));
    Fixture fx;
    fx.calculo(calculo);
    fx.nota(nota);
    for (const QString &i : itens)
        fx.item(i);
    for (const QString &m : medic)
        fx.itemMedic(m);
    QCOMPARE(valor(fx), expected);
    // A fresh fetch of the invoice computes the same.
    fx.dm->TabNotas.close();
    fx.dm->TabNotas.open();
    QCOMPARE(valor(fx), expected);
    QVERIFY(fx.sink.entries.isEmpty());
}

void TestTotals::invoiceWithIdZero()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1,IdNota=0"));
    fx.item(QString::fromLatin1(kST));
    QCOMPARE(fx.dm->TabItens.recordCount(), 1);
    QCOMPARE(valor(fx), QStringLiteral("0.0000"));
}

void TestTotals::noCalculationOpen()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QString::fromLatin1(kST));
    QCOMPARE(valor(fx), QStringLiteral("13.2000"));
    fx.dm->setCalculoAberto(false);
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("0.0000"));
}

void TestTotals::failureShowsMessageAndGivesZero()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QString::fromLatin1(kST));
    const QString from = fx.dm->QryICMSARecolher.sql()[4];
    fx.dm->QryICMSARecolher.sql()[4] = QStringLiteral("FROM TABELAQUENAOEXISTE IT");
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("0.0000"));
    QCOMPARE(fx.sink.texts(), QStringList {totals::mensagemErroTotal()});
    QCOMPARE(fx.sink.entries.first().kind, MsgKind::Erro);
    QVERIFY(!fx.dm->QryICMSARecolher.isActive());
    // The calculation stays usable.
    fx.dm->QryICMSARecolher.sql()[4] = from;
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("13.2000"));
    QCOMPARE(fx.sink.entries.size(), 1);
}

void TestTotals::editStateKeepsTheAmount()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QString::fromLatin1(kST));
    fx.dm->TabNotas.edit();
    fx.dm->TabNotas.fieldByName(QStringLiteral("DestaqueICMSST")).setAsCurrency(Currency::fromInt(10));
    QCOMPARE(valor(fx), QStringLiteral("13.2000"));
    fx.dm->TabNotas.post();
    QCOMPARE(valor(fx), QStringLiteral("3.2000"));
}

void TestTotals::refreshReuse()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    const int id = fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QString::fromLatin1(kST));
    // Second fetch of the same invoice during a refresh: the first total serves.
    fx.dm->FEstadoRefresh = TDM::EstadoRefresh::PrimeiroCalculado;
    fx.dm->FIdNotaCalculada = id;
    fx.dm->UltimoValorARecolher = Currency::fromInt(123);
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("123.0000"));
    // Another invoice is computed.
    fx.dm->FIdNotaCalculada = id + 1;
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("13.2000"));
    QCOMPARE(fx.dm->FIdNotaCalculada, id);
    // A refresh that has just started computes and marks the first total.
    fx.dm->FEstadoRefresh = TDM::EstadoRefresh::Iniciado;
    fx.dm->UltimoValorARecolher = Currency::fromInt(123);
    fx.dm->TabNotas.refresh();
    QCOMPARE(valor(fx), QStringLiteral("13.2000"));
    QVERIFY(fx.dm->FEstadoRefresh == TDM::EstadoRefresh::PrimeiroCalculado);
    QCOMPARE(fx.dm->UltimoValorARecolher.toPlainString(4), QStringLiteral("13.2000"));
}

void TestTotals::lineChangesRecomputeTheInvoice()
{
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(QStringLiteral("NroNF=1,Frete=50"));
    fx.item(QStringLiteral("ValorNF=300,AliqICMS=18,MVA=40,CreditoICMS=12"));
    QCOMPARE(valor(fx), QStringLiteral("52.2000"));
    // The base grows to 400: the first line's share falls to 37.50.
    fx.item(QStringLiteral("ValorNF=100,AliqICMS=18,MVA=40,CreditoICMS=12"));
    QCOMPARE(valor(fx), QStringLiteral("65.4000"));
    QVERIFY(fx.dm->FEstadoRefresh == TDM::EstadoRefresh::Parado);
    fx.dm->TabItens.first();
    fx.dm->TabItens.remove();
    QCOMPARE(valor(fx), QStringLiteral("25.8000"));
    fx.dm->TabItens.edit();
    fx.dm->TabItens.fieldByName(QStringLiteral("AliqICMS")).setAsCurrency(Currency::fromInt(25));
    fx.dm->TabItens.post();
    QCOMPARE(valor(fx), QStringLiteral("40.5000"));
}

void TestTotals::caption_data()
{
    QTest::addColumn<QString>("nroNF");
    QTest::addColumn<bool>("aberto");
    QTest::addColumn<QString>("caption");
    QTest::newRow("invoice of an open calculation") << "123" << true << "ITENS DA NF 123 ";
    QTest::newRow("invoice without number") << "" << true << "ITENS ";
    QTest::newRow("no calculation open") << "123" << false << "ITENS ";
}

void TestTotals::caption()
{
    QFETCH(QString, nroNF);
    QFETCH(bool, aberto);
    QFETCH(QString, caption);
    Fixture fx;
    QStringList captions;
    QObject::connect(fx.dm.get(), &TDM::captionItensChanged, fx.dm.get(), [&](const QString &c) { captions << c; });
    fx.dm->setCalculoAberto(aberto);
    fx.calculo(QStringLiteral("TipoCalculo=1"));
    fx.nota(nroNF.isEmpty() ? QStringLiteral("Frete=1") : QStringLiteral("NroNF=") + nroNF);
    fx.nota(QStringLiteral("NroNF=zz"));
    fx.dm->TabNotas.first();
    QCOMPARE(captions.last(), caption);
}

void TestTotals::emptyAmountsReadAsZero_data()
{
    // A line stored with an empty amount (older data, another program): the
    // invoice's SQL total reads it as 0, as the line computation does, instead
    // of dropping the whole line. An empty value ("ValorIPI=") stores a null.
    QTest::addColumn<QString>("calculo");
    QTest::addColumn<QString>("nota");
    QTest::addColumn<QStringList>("itens");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("sameAsLines"); // the sum of the lines' ICMSaRecolher agrees
    QTest::newRow("ST, empty IPI")
        << "TipoCalculo=1"
        << "NroNF=1" << QStringList {"ValorNF=100,ValorIPI=,MVA=40,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=12"}
        << "13.2000" << true;
    QTest::newRow("ST, empty value with IPI")
        << "TipoCalculo=1"
        << "NroNF=1" << QStringList {"ValorNF=,ValorIPI=10,MVA=40,AliqICMS=18,CreditoICMS=12"} << "2.5200" << true;
    QTest::newRow("ST, empty MVA") << "TipoCalculo=1"
                                   << "NroNF=1"
                                   << QStringList {"ValorNF=100,MVA=,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=12"}
                                   << "6.0000" << true;
    QTest::newRow("ST, empty IPI still in the freight base")
        << "TipoCalculo=1"
        << "NroNF=1,Frete=50"
        << QStringList {"ValorNF=300,ValorIPI=,MVA=40,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=36",
               "ValorNF=100,MVA=40,AliqICMS=18,CreditoICMS=12,ValorCreditoICMS=12"}
        << "65.4000" << true;
    QTest::newRow("DIFAL, empty credit rate")
        << "TipoCalculo=2"
        << "NroNF=1" << QStringList {"ValorNF=1000,AliqICMS=18,CreditoICMS="} << "180.0000" << false;
}

void TestTotals::emptyAmountsReadAsZero()
{
    QFETCH(QString, calculo);
    QFETCH(QString, nota);
    QFETCH(QStringList, itens);
    QFETCH(QString, expected);
    QFETCH(bool, sameAsLines);
    Fixture fx;
    fx.calculo(calculo);
    fx.nota(nota);
    for (const QString &i : itens)
        fx.item(i);
    QCOMPARE(valor(fx), expected);
    QVERIFY(fx.sink.entries.isEmpty());
    if (!sameAsLines)
        return;
    const CalculoEmCurso calculo_(
        *fx.dm, contextoCalculo(fx.dm->TabCalc, fatoresMR(0, 50, 100, 20), QDate(2024, 1, 1)));
    Currency soma;
    for (fx.dm->TabItens.first(); !fx.dm->TabItens.eof(); fx.dm->TabItens.next())
        soma += fx.dm->TabItens.fieldByName(QStringLiteral("ICMSaRecolher")).asCurrency();
    QCOMPARE(soma.toPlainString(4), expected);
}

void TestTotals::totalBeyondTheCurrencyRange()
{
    // A total beyond the currency range is an error naming the amount, and 0
    // is shown: never a capped amount.
    Fixture fx;
    fx.calculo(QStringLiteral("TipoCalculo=2"));
    fx.nota(QStringLiteral("NroNF=1"));
    fx.item(QStringLiteral("ValorNF=900000000000000,AliqICMS=90,CreditoICMS=-90"));
    QCOMPARE(valor(fx), QStringLiteral("0.0000"));
    QVERIFY(!fx.sink.entries.isEmpty());
    QVERIFY2(fx.sink.entries.last().text.contains(QStringLiteral("ValorARecolher")),
        qPrintable(fx.sink.entries.last().text));
}

QTEST_GUILESS_MAIN(TestTotals)
#include "tst_totals.moc"
