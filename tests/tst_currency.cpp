#include "platform/currency.h"

#include <QTest>

#include <limits>

using stb::Currency;

class TestCurrency : public QObject {
    Q_OBJECT

private slots:
    void product_data();
    void product();
    void quotient_data();
    void quotient();
    void arredondaValor_data();
    void arredondaValor();
    void saturation_data();
    void saturation();
    void plainText_data();
    void plainText();
    void parsePlainMalformed_data();
    void parsePlainMalformed();
};

// Products and quotients land on the nearest ten-thousandth, ties to the even digit.
void TestCurrency::product_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("0.0001 x 0.5 tie to 0") << qint64(1) << qint64(5000) << qint64(0);
    QTest::newRow("0.0003 x 0.5 tie up to 2") << qint64(3) << qint64(5000) << qint64(2);
    QTest::newRow("0.0005 x 0.5 tie down to 2") << qint64(5) << qint64(5000) << qint64(2);
    QTest::newRow("-0.0003 x 0.5 tie to -2") << qint64(-3) << qint64(5000) << qint64(-2);
    QTest::newRow("above the tie rounds up") << qint64(1) << qint64(5001) << qint64(1);
    QTest::newRow("1000 x 18% exact") << qint64(10000000) << qint64(1800) << qint64(1800000);
    QTest::newRow("123.4567 x 0.18") << qint64(1234567) << qint64(1800) << qint64(222222); // 22.22220(6)
    QTest::newRow("overflow saturates") << qint64(INT64_MAX) << qint64(20000) << qint64(INT64_MAX);
    QTest::newRow("negative overflow saturates") << qint64(INT64_MAX) << qint64(-20000) << qint64(INT64_MIN);
}

void TestCurrency::product()
{
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(qint64, expected);
    QCOMPARE((Currency::fromRaw(a) * Currency::fromRaw(b)).raw(), expected);
}

void TestCurrency::quotient_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<double>("divisor");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("0.0001 / 2 tie to 0") << qint64(1) << 2.0 << qint64(0);
    QTest::newRow("0.0003 / 2 tie to 2") << qint64(3) << 2.0 << qint64(2);
    QTest::newRow("0.0005 / 2 tie to 2") << qint64(5) << 2.0 << qint64(2);
    QTest::newRow("-0.0005 / 2 tie to -2") << qint64(-5) << 2.0 << qint64(-2);
    QTest::newRow("1 / 3") << qint64(10000) << 3.0 << qint64(3333);
    QTest::newRow("2 / 3") << qint64(20000) << 3.0 << qint64(6667);
    QTest::newRow("by zero gives 0") << qint64(10000) << 0.0 << qint64(0);
}

void TestCurrency::quotient()
{
    QFETCH(qint64, a);
    QFETCH(double, divisor);
    QFETCH(qint64, expected);
    QCOMPARE((Currency::fromRaw(a) / stb::Extended(divisor)).raw(), expected);
    // The same through a currency divisor.
    QCOMPARE((Currency::fromRaw(a) / Currency::fromDouble(divisor)).raw(), expected);
}

void TestCurrency::arredondaValor_data()
{
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("0.125 -> 0.13") << qint64(1250) << qint64(1300);
    QTest::newRow("-0.125 -> -0.13") << qint64(-1250) << qint64(-1300);
    QTest::newRow("0.1249 -> 0.12") << qint64(1249) << qint64(1200);
    QTest::newRow("-0.1249 -> -0.12") << qint64(-1249) << qint64(-1200);
    QTest::newRow("0.135 -> 0.14 (not to even)") << qint64(1350) << qint64(1400);
    QTest::newRow("0.0050 -> 0.01") << qint64(50) << qint64(100);
    QTest::newRow("-0.0049 -> 0") << qint64(-49) << qint64(0);
    QTest::newRow("two decimals unchanged") << qint64(123400) << qint64(123400);
    QTest::newRow("max") << qint64(INT64_MAX) << qint64(9223372036854775800);
    QTest::newRow("min") << qint64(INT64_MIN) << qint64(-9223372036854775800);
}

void TestCurrency::arredondaValor()
{
    QFETCH(qint64, raw);
    QFETCH(qint64, expected);
    QCOMPARE(stb::ArredondaValor(Currency::fromRaw(raw)).raw(), expected);
}

void TestCurrency::saturation_data()
{
    QTest::addColumn<qint64>("result");
    QTest::addColumn<qint64>("expected");
    const Currency tiny = Currency::fromRaw(1);
    const Currency max = Currency::max(), min = Currency::min();
    auto raw = [](Currency c) { return qint64(c.raw()); };
    QTest::newRow("max + 0.0001") << raw(max + tiny) << qint64(INT64_MAX);
    QTest::newRow("min - 0.0001") << raw(min - tiny) << qint64(INT64_MIN);
    QTest::newRow("max - (-0.0001)") << raw(max - (-tiny)) << qint64(INT64_MAX);
    QTest::newRow("min + min") << raw(min + min) << qint64(INT64_MIN);
    QTest::newRow("-min") << raw(-min) << qint64(INT64_MAX);
    QTest::newRow("no saturation near the edge") << raw(max - tiny + tiny) << qint64(INT64_MAX);
    QTest::newRow("fromExtended 1e30") << raw(Currency::fromExtended(1e30L)) << qint64(INT64_MAX);
    QTest::newRow("fromExtended -1e30") << raw(Currency::fromExtended(-1e30L)) << qint64(INT64_MIN);
    QTest::newRow("fromExtended 2^63 / 10^4")
        << raw(Currency::fromExtended(922337203685477.5808L)) << qint64(INT64_MAX);
    QTest::newRow("fromExtended NaN") << raw(Currency::fromExtended(std::numeric_limits<stb::Extended>::quiet_NaN()))
                                      << qint64(0);
}

void TestCurrency::saturation()
{
    QFETCH(qint64, result);
    QFETCH(qint64, expected);
    QCOMPARE(result, expected);
}

void TestCurrency::plainText_data()
{
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << 4 << "0.0000";
    QTest::newRow("one ten-thousandth") << qint64(1) << 4 << "0.0001";
    QTest::newRow("negative small") << qint64(-1) << 4 << "-0.0001";
    QTest::newRow("1234.5678") << qint64(12345678) << 4 << "1234.5678";
    QTest::newRow("max") << qint64(INT64_MAX) << 4 << "922337203685477.5807";
    QTest::newRow("min") << qint64(INT64_MIN) << 4 << "-922337203685477.5808";
    QTest::newRow("two decimals, half up") << qint64(12350) << 2 << "1.24";
    QTest::newRow("two decimals, half away from zero") << qint64(-12350) << 2 << "-1.24";
    QTest::newRow("rounds to zero without sign") << qint64(-40) << 2 << "0.00";
    QTest::newRow("no decimals") << qint64(25000) << 0 << "3";
}

void TestCurrency::plainText()
{
    QFETCH(qint64, raw);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(Currency::fromRaw(raw).toPlainString(decimals), text);
    if (decimals == 4) {
        const auto back = Currency::parsePlain(text);
        QVERIFY(back.has_value());
        QCOMPARE(back->raw(), raw);
    }
}

void TestCurrency::parsePlainMalformed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("integer") << "1234" << true << qint64(12340000);
    QTest::newRow("plus sign and blanks") << " +0.5 " << true << qint64(5000);
    QTest::newRow("five decimals truncate") << "1.23459" << true << qint64(12345);
    QTest::newRow("negative truncates toward zero") << "-1.23459" << true << qint64(-12345);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("sign only") << "-" << false << qint64(0);
    QTest::newRow("comma") << "1,5" << false << qint64(0);
    QTest::newRow("two points") << "1.2.3" << false << qint64(0);
    QTest::newRow("letters") << "12a" << false << qint64(0);
    QTest::newRow("above max") << "922337203685477.5808" << false << qint64(0);
    QTest::newRow("far too large") << "99999999999999999999" << false << qint64(0);
}

void TestCurrency::parsePlainMalformed()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, raw);
    const auto c = Currency::parsePlain(text);
    QCOMPARE(c.has_value(), valid);
    if (valid)
        QCOMPARE(c->raw(), raw);
}

QTEST_APPLESS_MAIN(TestCurrency)

#include "tst_currency.moc"
