#include "platform/formatting.h"

#include <QTest>

#include <limits>

using namespace stb;

class TestFormatting : public QObject {
    Q_OBJECT

private slots:
    void formatFloat_data();
    void formatFloat();
    void formatCurr_data();
    void formatCurr();
    void format_data();
    void format();
    void plainText_data();
    void plainText();
    void strToFloat_data();
    void strToFloat();
    void strToCurr_data();
    void strToCurr();
    void dates_data();
    void dates();
};

void TestFormatting::formatFloat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QString money = QStringLiteral(",0.00");
    QTest::newRow("grouping") << money << 1234.5 << "1.234,50";
    QTest::newRow("negative, one section") << money << -1234.5 << "-1.234,50";
    QTest::newRow("zero, one section") << money << 0.0 << "0,00";
    QTest::newRow("large with grouping") << money << 1234567890.125 << "1.234.567.890,13";
    QTest::newRow("1.005 rounds up") << money << 1.005 << "1,01";
    QTest::newRow("0.125 half away") << money << 0.125 << "0,13";
    QTest::newRow("-0.125 half away") << money << -0.125 << "-0,13";
    QTest::newRow("carry into grouping") << money << 999999.995 << "1.000.000,00";
    QTest::newRow("rounds to zero has no sign") << money << -0.001 << "0,00";
    QTest::newRow("huge falls back to general") << money << 1e20 << "1E20";

    const QString blankZero = QStringLiteral(",0.00;-,0.00; ");
    QTest::newRow("blank zero: negative") << blankZero << -1234.5 << "-1.234,50";
    QTest::newRow("blank zero: zero") << blankZero << 0.0 << " ";
    QTest::newRow("blank zero: negative zero") << blankZero << -0.0 << " ";

    const QString percent = QStringLiteral(",0.00%;-,0.00%; ");
    QTest::newRow("percent") << percent << 18.0 << "18,00%";
    QTest::newRow("percent zero") << percent << 0.0 << " ";

    const QString four = QStringLiteral(",0.0000;-,0.0000; ");
    QTest::newRow("four decimals") << four << 1234.5 << "1.234,5000";
    QTest::newRow("four decimals rounding") << four << 3.12345 << "3,1235";

    const QString blankNegative = QStringLiteral(",0.00; ; ");
    QTest::newRow("blank negative: positive") << blankNegative << 5.0 << "5,00";
    QTest::newRow("blank negative: negative") << blankNegative << -5.0 << " ";
    QTest::newRow("blank negative: zero") << blankNegative << 0.0 << " ";

    QTest::newRow(",0.00%") << ",0.00%" << 12.0 << "12,00%";
    QTest::newRow(",0.0%") << ",0.0%" << 17.95 << "18,0%";
    QTest::newRow(",0.0% zero") << ",0.0%" << 0.0 << "0,0%";

    const QString reais = QStringLiteral("R$ ,0.00;-R$ ,0.00");
    QTest::newRow("reais") << reais << 1234.56 << "R$ 1.234,56";
    QTest::newRow("reais negative") << reais << -0.5 << "-R$ 0,50";
    QTest::newRow("reais zero uses first") << reais << 0.0 << "R$ 0,00";

    QTest::newRow("empty negative section uses first") << ",0.00;;zero" << -3.0 << "-3,00";
    QTest::newRow("empty zero section uses first") << ",0.00;-,0.00;" << 0.0 << "0,00";
    QTest::newRow("optional digits") << "#.##" << 0.5 << ",5";
    QTest::newRow("optional decimals dropped") << "0.##" << 1.0 << "1";
    QTest::newRow("optional decimal kept") << "0.##" << 1.5 << "1,5";
    QTest::newRow("leading zeros") << "000" << 7.0 << "007";
    QTest::newRow("integer digits beyond placeholders") << "0" << 12345.0 << "12345";
    QTest::newRow("quoted literal") << "\"Total;0.0: \"0" << 5.0 << "Total;0.0: 5";
    QTest::newRow("literal between digits") << "00-00" << 1234.0 << "12-34";
    QTest::newRow("no decimals half away") << "0" << -2.5 << "-3";
    QTest::newRow("grouping only") << ",0" << 1234567.0 << "1.234.567";
    QTest::newRow("empty format is general") << "" << 12.5 << "12,5";
}

void TestFormatting::formatFloat()
{
    QFETCH(QString, format);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatFloat(format, value), expected);
}

void TestFormatting::formatCurr_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("half a cent rounds up") << ",0.00" << qint64(50) << "0,01";
    QTest::newRow("below half a cent") << ",0.00" << qint64(49) << "0,00";
    QTest::newRow("negative half a cent") << ",0.00;-,0.00; " << qint64(-50) << "-0,01";
    QTest::newRow("0.125 exactly") << ",0.00" << qint64(1250) << "0,13";
    QTest::newRow("max") << ",0.00" << qint64(INT64_MAX) << "922.337.203.685.477,58";
    QTest::newRow("min") << ",0.00" << qint64(INT64_MIN) << "-922.337.203.685.477,58";
    QTest::newRow("four decimals") << ",0.0000;-,0.0000; " << qint64(1) << "0,0001";
    QTest::newRow("zero blank") << ",0.00;-,0.00; " << qint64(0) << " ";
}

void TestFormatting::formatCurr()
{
    QFETCH(QString, format);
    QFETCH(qint64, raw);
    QFETCH(QString, expected);
    QCOMPARE(FormatCurr(format, Currency::fromRaw(raw)), expected);
}

void TestFormatting::format_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("%n") << "%n" << QVariantList {1234.5} << "1.234,50";
    QTest::newRow("%n rounds half away") << "%n" << QVariantList {-0.005} << "-0,01";
    QTest::newRow("%.4n") << "%.4n" << QVariantList {1.5} << "1,5000";
    QTest::newRow("%.1n") << "%.1n" << QVariantList {2.25} << "2,3";
    QTest::newRow("%10.n width, no decimals") << "%10.n" << QVariantList {1234567} << " 1.234.567";
    QTest::newRow("%g integer") << "%g" << QVariantList {18.0} << "18";
    QTest::newRow("%g%%") << "%g%%" << QVariantList {12.5} << "12,5%";
    QTest::newRow("%g binary noise") << "%g" << QVariantList {0.1 + 0.2} << "0,3";
    QTest::newRow("%g large") << "%g" << QVariantList {1e20} << "1E20";
    QTest::newRow("%g small fixed") << "%g" << QVariantList {0.00001} << "0,00001";
    QTest::newRow("%g smaller scientific") << "%g" << QVariantList {0.000001} << "1E-6";
    QTest::newRow("%m") << "%m" << QVariantList {1234.56} << "R$ 1.234,56";
    QTest::newRow("%m negative") << "%m" << QVariantList {-1234.56} << "-R$ 1.234,56";
    QTest::newRow("%m zero") << "%m" << QVariantList {0.0} << "R$ 0,00";
    QTest::newRow("%d") << "%d" << QVariantList {-42} << "-42";
    QTest::newRow("%.3d") << "%.3d" << QVariantList {7} << "007";
    QTest::newRow("%.3d negative") << "%.3d" << QVariantList {-7} << "-007";
    QTest::newRow("%s.%0.3d") << "%s.%0.3d" << QVariantList {"Dados", 12} << "Dados.012";
    QTest::newRow("%5d") << "%5d" << QVariantList {42} << "   42";
    QTest::newRow("%-5d") << "%-5d|" << QVariantList {42} << "42   |";
    QTest::newRow("%0.4d: %s") << "%0.4d: %s" << QVariantList {3, "x"} << "0003: x";
    QTest::newRow("%x") << "%x" << QVariantList {255} << "FF";
    QTest::newRow("%s=%s") << "%s=%s" << QVariantList {"a", "b"} << "a=b";
    QTest::newRow("%7s") << "%7s" << QVariantList {"ab"} << "     ab";
    QTest::newRow("%.2s") << "%.2s" << QVariantList {"abc"} << "ab";
    QTest::newRow("%s of a double") << "%s" << QVariantList {2.5} << "2,5";
    QTest::newRow("%.2f") << "%.2f" << QVariantList {3.14159} << "3,14";
    QTest::newRow("%%") << "100%%" << QVariantList {} << "100%";
    QTest::newRow("argument index") << "%1:s %0:s" << QVariantList {"a", "b"} << "b a";
    QTest::newRow("width from argument") << "%*d" << QVariantList {4, 7} << "   7";
    QTest::newRow("missing argument copied") << "%d and %d" << QVariantList {1} << "1 and %d";
    QTest::newRow("list margins") << "Lista Positiva (+): %n%%, Negativa (-): %n%%" << QVariantList {38.24, 33.0}
                                  << "Lista Positiva (+): 38,24%, Negativa (-): 33,00%";
}

void TestFormatting::format()
{
    QFETCH(QString, format);
    QFETCH(QVariantList, args);
    QFETCH(QString, expected);
    QCOMPARE(Format(format, args), expected);
}

void TestFormatting::plainText_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("FloatToStr fraction") << FloatToStr(12.5) << "12,5";
    QTest::newRow("FloatToStr negative") << FloatToStr(-0.1) << "-0,1";
    QTest::newRow("FloatToStr 15 digits") << FloatToStr(0.1 + 0.2) << "0,3";
    QTest::newRow("FloatToStr large") << FloatToStr(1e15) << "1E15";
    QTest::newRow("FloatToStr small") << FloatToStr(1.5e-7) << "1,5E-7";
    QTest::newRow("FloatToStr NaN") << FloatToStr(std::numeric_limits<double>::quiet_NaN()) << "NAN";
    QTest::newRow("RoundTrip keeps digits") << FloatToStrRoundTrip(0.1 + 0.2) << "0,30000000000000004";
    QTest::newRow("RoundTrip 38.24") << FloatToStrRoundTrip(38.24) << "38,24";
    QTest::newRow("RoundTrip 12") << FloatToStrRoundTrip(12) << "12";
    QTest::newRow("CurrToStr") << CurrToStr(Currency::fromRaw(125000)) << "12,5";
    QTest::newRow("CurrToStr min") << CurrToStr(Currency::min()) << "-922337203685477,5808";
    QTest::newRow("DateTimeToStr") << DateTimeToStr(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)))
                                   << "05/03/2024 07:08:09";
}

void TestFormatting::plainText()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestFormatting::strToFloat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("expected");
    QTest::newRow("grouped") << "1.234,56" << true << 1234.56;
    QTest::newRow("negative") << "-12,5" << true << -12.5;
    QTest::newRow("integer") << "12" << true << 12.0;
    QTest::newRow("blanks") << "  7,25  " << true << 7.25;
    QTest::newRow("leading comma") << ",5" << true << 0.5;
    QTest::newRow("exponent") << "1,5E3" << true << 1500.0;
    QTest::newRow("two groups") << "1.234.567,8" << true << 1234567.8;
    QTest::newRow("underflow is zero") << "1E-99999" << true << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("two commas") << "1,2,3" << false << 0.0;
    QTest::newRow("point is not a decimal") << "12.5" << false << 0.0;
    QTest::newRow("double point") << "1..234" << false << 0.0;
    QTest::newRow("group after comma") << "1,234.5" << false << 0.0;
    QTest::newRow("bare exponent") << "1,5E" << false << 0.0;
    QTest::newRow("trailing junk") << "12a" << false << 0.0;
    QTest::newRow("overflow") << "1E99999" << false << 0.0;
}

void TestFormatting::strToFloat()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, expected);
    const auto v = StrToFloat(text);
    QCOMPARE(v.has_value(), valid);
    if (valid)
        QCOMPARE(static_cast<double>(*v), expected);
}

void TestFormatting::strToCurr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("grouped") << "1.234,56" << true << qint64(12345600);
    QTest::newRow("truncated to four decimals") << "12,34567" << true << qint64(123456);
    QTest::newRow("negative truncated") << "-12,34567" << true << qint64(-123456);
    QTest::newRow("exact where double is not") << "0,3" << true << qint64(3000);
    QTest::newRow("max") << "922.337.203.685.477,5807" << true << qint64(INT64_MAX);
    QTest::newRow("min") << "-922337203685477,5808" << true << qint64(INT64_MIN);
    QTest::newRow("below a ten-thousandth") << "0,00009" << true << qint64(0);
    QTest::newRow("exponent") << "1E2" << true << qint64(1000000);
    QTest::newRow("above max") << "922337203685477,5808" << false << qint64(0);
    QTest::newRow("far above max") << "1E30" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("two commas") << "1,2,3" << false << qint64(0);
    QTest::newRow("letters") << "x" << false << qint64(0);
}

void TestFormatting::strToCurr()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, raw);
    const auto c = StrToCurr(text);
    QCOMPARE(c.has_value(), valid);
    if (valid)
        QCOMPARE(c->raw(), raw);
}

void TestFormatting::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("dd/mm/yyyy") << "05/03/2024" << QDate(2024, 3, 5);
    QTest::newRow("d/m/yyyy") << "5/3/2024" << QDate(2024, 3, 5);
    QTest::newRow("blanks") << " 31/12/1999 " << QDate(1999, 12, 31);
    QTest::newRow("no such day") << "31/02/2024" << QDate();
    QTest::newRow("ISO") << "2024-03-05" << QDate();
    QTest::newRow("two-digit year") << "05/03/24" << QDate();
    QTest::newRow("letters") << "aa/bb/cccc" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestFormatting::dates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(StrToDate(text), date);
    if (date.isValid()) {
        QCOMPARE(StrToDate(DateToStr(date)), date);
        QCOMPARE(DateToStr(date).size(), 10);
    } else {
        QVERIFY(DateToStr(date).isEmpty());
    }
}

QTEST_APPLESS_MAIN(TestFormatting)

#include "tst_formatting.moc"
