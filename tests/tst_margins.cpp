// Margin arithmetic: the adjusted MVA and its inverse, the options of a rate
// message (the list splitting rule and its two-value consequence), the
// adjusted-MVA dialog's result and the credit rate of an amount.
#include "entry/margins.h"

#include <QTest>

using namespace stb;

namespace {

Currency cur(const QString &text) { return *Currency::parsePlain(text); }

} // namespace

class TestMargins : public QObject {
    Q_OBJECT

private slots:
    void mvaAjustada_data();
    void mvaAjustada();
    void mvaOriginal_data();
    void mvaOriginal();
    void resultado_data();
    void resultado();
    void mensagemAliquota_data();
    void mensagemAliquota();
    void escolha_data();
    void escolha();
    void creditoPorValor_data();
    void creditoPorValor();
};

void TestMargins::mvaAjustada_data()
{
    QTest::addColumn<QString>("mva");
    QTest::addColumn<QString>("interestadual");
    QTest::addColumn<QString>("interna");
    QTest::addColumn<QString>("expected");
    QTest::newRow("40, 12, 18") << "40"
                                << "12"
                                << "18"
                                << "50.24";
    QTest::newRow("imported goods, 4 %") << "40"
                                         << "4"
                                         << "18"
                                         << "63.90";
    QTest::newRow("7 % interstate") << "35"
                                    << "7"
                                    << "18"
                                    << "53.11";
    QTest::newRow("equal rates keep the MVA") << "40"
                                              << "18"
                                              << "18"
                                              << "40.00";
    QTest::newRow("interstate above internal lowers it") << "40"
                                                         << "18"
                                                         << "12"
                                                         << "30.45";
    QTest::newRow("half a cent away from zero") << "10.125"
                                                << "18"
                                                << "18"
                                                << "10.13";
    QTest::newRow("negative half a cent") << "-10.125"
                                          << "18"
                                          << "18"
                                          << "-10.13";
    QTest::newRow("internal rate 0") << "40"
                                     << "12"
                                     << "0"
                                     << "0.00";
    QTest::newRow("MVA 0") << "0"
                           << "12"
                           << "18"
                           << "0.00";
    QTest::newRow("interstate 0 still computes") << "40"
                                                 << "0"
                                                 << "18"
                                                 << "70.73";
    QTest::newRow("internal 100: no division") << "40"
                                               << "12"
                                               << "100"
                                               << "0.00";
}

void TestMargins::mvaAjustada()
{
    QFETCH(QString, mva);
    QFETCH(QString, interestadual);
    QFETCH(QString, interna);
    QFETCH(QString, expected);
    const Currency got = CalculaMVAAjustada(cur(mva), cur(interestadual), cur(interna));
    QCOMPARE(got.toPlainString(4), cur(expected).toPlainString(4));
}

void TestMargins::mvaOriginal_data()
{
    QTest::addColumn<QString>("ajustada");
    QTest::addColumn<QString>("interestadual");
    QTest::addColumn<QString>("interna");
    QTest::addColumn<QString>("expected");
    QTest::newRow("back from 50.24") << "50.24"
                                     << "12"
                                     << "18"
                                     << "40.00";
    QTest::newRow("back from 63.90") << "63.90"
                                     << "4"
                                     << "18"
                                     << "40.00";
    QTest::newRow("equal rates") << "40"
                                 << "18"
                                 << "18"
                                 << "40.00";
    QTest::newRow("adjusted 0") << "0"
                                << "12"
                                << "18"
                                << "0.00";
    QTest::newRow("interstate 0") << "50"
                                  << "0"
                                  << "18"
                                  << "0.00";
    QTest::newRow("internal 0") << "50"
                                << "12"
                                << "0"
                                << "0.00";
}

void TestMargins::mvaOriginal()
{
    QFETCH(QString, ajustada);
    QFETCH(QString, interestadual);
    QFETCH(QString, interna);
    QFETCH(QString, expected);
    const Currency got = CalculaMVAOriginal(cur(ajustada), cur(interestadual), cur(interna));
    QCOMPARE(got.toPlainString(4), cur(expected).toPlainString(4));
}

void TestMargins::resultado_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("ajustada");
    QTest::addColumn<QString>("interestadual");
    QTest::addColumn<bool>("aceita");
    QTest::addColumn<bool>("credito4");
    QTest::newRow("applied") << true << "50.24"
                             << "12" << true << false;
    QTest::newRow("applied with 4 %") << true << "63.90"
                                      << "4" << true << true;
    QTest::newRow("zero internal rate: not accepted after OK") << true << "0"
                                                               << "12" << false << false;
    QTest::newRow("not applied") << false << "50.24"
                                 << "4" << false << true;
}

void TestMargins::resultado()
{
    QFETCH(bool, ok);
    QFETCH(QString, ajustada);
    QFETCH(QString, interestadual);
    QFETCH(bool, aceita);
    QFETCH(bool, credito4);
    const ResultadoMVAAjustada r = ResultadoDialogoMVAAjustada(ok, cur(ajustada), cur(interestadual));
    QCOMPARE(r.aceita, aceita);
    QCOMPARE(r.credito4, credito4);
    QCOMPARE(r.mva, cur(ajustada));
}

void TestMargins::mensagemAliquota_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QStringList>("captions"); // of the visible options
    QTest::addColumn<QStringList>("rates"); // of the visible options
    QTest::newRow("two options, trailing bar")
        << "Escolha:^plinha dois@Opção A|Opção B|@@7|12|"
        << "Escolha:\nlinha dois" << QStringList {"Opção A", "Opção B"} << QStringList {"7.00", "12.00"};
    QTest::newRow("two values without trailing bar: four options")
        << "Texto@Opção A|Opção B@@7|12"
        << "Texto" << QStringList {"Opção A", "Opção B", "Opção B", "Opção B"}
        << QStringList {"7.00", "12.00", "12.00", "12.00"};
    QTest::newRow("three options") << "M@A|B|C|@@4|7|12|"
                                   << "M" << QStringList {"A", "B", "C"} << QStringList {"4.00", "7.00", "12.00"};
    QTest::newRow("four options") << "M@A|B|C|D@@4|7|12|18"
                                  << "M" << QStringList {"A", "B", "C", "D"}
                                  << QStringList {"4.00", "7.00", "12.00", "18.00"};
    // The fourth rate is the whole rest: a trailing "|" leaves no number.
    QTest::newRow("four rates with trailing bar")
        << "M@A|B|C|D|@@4|7|12|18|"
        << "M" << QStringList {"A", "B", "C"} << QStringList {"4.00", "7.00", "12.00"};
    QTest::newRow("decimal comma") << "M@A|B|@@7,5|12|"
                                   << "M" << QStringList {"A", "B"} << QStringList {"7.50", "12.00"};
    QTest::newRow("zero third rate stays hidden") << "M@A|B|C|@@7|12|0|"
                                                  << "M" << QStringList {"A", "B"} << QStringList {"7.00", "12.00"};
}

void TestMargins::mensagemAliquota()
{
    QFETCH(QString, message);
    QFETCH(QString, memo);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, rates);
    const OpcoesAliquota o = InterpretaMensagemAliquota(message);
    QCOMPARE(o.memo, memo);
    QStringList gotCaptions, gotRates;
    for (int i = 0; i < 4; ++i)
        if (o.visible[i]) {
            gotCaptions << o.captions[i];
            gotRates << o.rates[i].toPlainString(2);
        }
    QCOMPARE(gotCaptions, captions);
    QCOMPARE(gotRates, rates);
    QCOMPARE(o.visibleCount(), captions.size());
}

void TestMargins::escolha_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("opcao");
    QTest::addColumn<QString>("expected");
    const QString tres = QStringLiteral("M@A|B|C|@@4|7|12|");
    QTest::newRow("OK on option 1") << tres << true << 1 << "4.00";
    QTest::newRow("OK on option 2") << tres << true << 2 << "7.00";
    QTest::newRow("OK on option 3") << tres << true << 3 << "12.00";
    QTest::newRow("hidden option 4") << tres << true << 4 << "4.00";
    QTest::newRow("Escape after choosing 3") << tres << false << 3 << "4.00";
    QTest::newRow("no choice") << tres << true << 0 << "4.00";
}

void TestMargins::escolha()
{
    QFETCH(QString, message);
    QFETCH(bool, ok);
    QFETCH(int, opcao);
    QFETCH(QString, expected);
    QCOMPARE(AliquotaEscolhida(InterpretaMensagemAliquota(message), ok, opcao).toPlainString(2), expected);
}

void TestMargins::creditoPorValor_data()
{
    QTest::addColumn<QString>("valor");
    QTest::addColumn<QString>("produto");
    QTest::addColumn<QString>("expected");
    QTest::newRow("12 of 100") << "12"
                               << "100"
                               << "12.0000";
    QTest::newRow("a third") << "10"
                             << "300"
                             << "3.3333";
    QTest::newRow("zero product value: configured rate") << "7"
                                                         << "0"
                                                         << "17.5000";
    QTest::newRow("zero credit") << "0"
                                 << "250"
                                 << "0.0000";
}

void TestMargins::creditoPorValor()
{
    QFETCH(QString, valor);
    QFETCH(QString, produto);
    QFETCH(QString, expected);
    QCOMPARE(AliqCreditoPorValor(cur(valor), cur(produto), cur(QStringLiteral("17.5"))).toPlainString(4), expected);
}

QTEST_GUILESS_MAIN(TestMargins)
#include "tst_margins.moc"
