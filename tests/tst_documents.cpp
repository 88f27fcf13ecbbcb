// Document numbers: character removal, digit extraction, the CNPJ and IE
// check digits (listed cases and thousands of generated numbers) and the
// display masks.
#include "entry/documents.h"

#include <QRandomGenerator>
#include <QTest>

using namespace stb;

namespace {

// Check digits computed here straight from the weights of the rule, to make
// valid numbers independently of the validators.
QList<int> comDigitosCNPJ(QList<int> d)
{
    const int pesos[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    for (int k = 0; k < 2; ++k) {
        int s = 0;
        for (int i = 0; i < d.size(); ++i)
            s += d[i] * pesos[i + 1 - k];
        const int r = s % 11;
        d << (r < 2 ? 0 : 11 - r);
    }
    return d;
}

QList<int> comDigitosIE(QList<int> d)
{
    // Weights 1,2,1,1,2,1,2,1,2,1,2 with the digit sum of each product.
    const int pesos1[] = {1, 2, 1, 1, 2, 1, 2, 1, 2, 1, 2};
    int s1 = 0;
    for (int i = 0; i < 11; ++i)
        s1 += (d[i] * pesos1[i]) / 10 + (d[i] * pesos1[i]) % 10;
    d << (10 - s1 % 10) % 10;
    const int pesos2[] = {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    int s2 = 0;
    for (int i = 0; i < 12; ++i)
        s2 += d[i] * pesos2[i];
    const int r = s2 % 11;
    d << (r < 2 ? 0 : 11 - r);
    return d;
}

QString texto(const QList<int> &d)
{
    QString s;
    for (int v : d)
        s += QChar(u'0' + v);
    return s;
}

} // namespace

class TestDocuments : public QObject {
    Q_OBJECT

private slots:
    void removeCaracteres_data();
    void removeCaracteres();
    void extraiDigitos_data();
    void extraiDigitos();
    void cnpj_data();
    void cnpj();
    void inscricao_data();
    void inscricao();
    void formataDocumento_data();
    void formataDocumento();
    void generatedNumbers();
};

void TestDocuments::removeCaracteres_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("expected");
    QTest::newRow("punctuated CNPJ") << "11.222.333/0001-81"
                                     << "./- &"
                                     << "11222333000181";
    QTest::newRow("blanks and ampersand") << " 12 3&4 "
                                          << "./- &"
                                          << "1234";
    QTest::newRow("digits in the set are kept") << "1.2-3"
                                                << "0123456789.-"
                                                << "123";
    QTest::newRow("other characters stay") << "12_34x"
                                           << "./- &"
                                           << "12_34x";
    QTest::newRow("empty set") << "a.b"
                               << ""
                               << "a.b";
    QTest::newRow("empty text") << ""
                                << "./- &"
                                << "";
}

void TestDocuments::removeCaracteres()
{
    QFETCH(QString, text);
    QFETCH(QString, set);
    QFETCH(QString, expected);
    QCOMPARE(RemoveCaracteres(text, set), expected);
}

void TestDocuments::extraiDigitos_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected"); // the digits, or "fail"
    QTest::newRow("punctuated IE") << "062.307.904.0081" << 12 << "0623079040081";
    QTest::newRow("bare IE") << "0623079040081" << 12 << "0623079040081";
    QTest::newRow("mixed separators") << "1-2/3.4" << 3 << "1234";
    QTest::newRow("space inside") << "062 307" << 5 << "fail";
    QTest::newRow("trailing space") << "1234 " << 3 << "fail";
    QTest::newRow("empty") << "" << 0 << "fail";
    QTest::newRow("separators only") << "./-" << 0 << "fail";
    QTest::newRow("zeros") << "000.000.000.0000" << 12 << "fail";
    QTest::newRow("letter") << "12A" << 2 << "fail";
    QTest::newRow("underscore of a mask") << "062.307.904.008_" << 12 << "fail";
    QTest::newRow("one short") << "123" << 3 << "fail";
    QTest::newRow("one long") << "12345" << 3 << "fail";
}

void TestDocuments::extraiDigitos()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QList<qint8> digits {9, 9};
    const bool ok = ExtraiDigitos(text, n, digits);
    if (expected == QLatin1String("fail")) {
        QVERIFY(!ok);
        return;
    }
    QVERIFY(ok);
    QCOMPARE(digits.size(), n + 1);
    QString got;
    for (qint8 d : digits)
        got += QChar(u'0' + d);
    QCOMPARE(got, expected);
}

void TestDocuments::cnpj_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("bare") << "11222333000181" << true;
    QTest::newRow("punctuated") << "11.222.333/0001-81" << true;
    QTest::newRow("wrong second digit") << "11222333000182" << false;
    QTest::newRow("wrong first digit") << "11.222.333/0001-91" << false;
    QTest::newRow("zeros punctuated") << "00.000.000/0000-00" << false;
    QTest::newRow("zeros bare") << "00000000000000" << false;
    QTest::newRow("blanks as separators") << "11 222 333 0001 81" << true;
    QTest::newRow("any separators") << "11x222x333x0001x81" << true;
    QTest::newRow("digits shifted into separator positions") << "112.223.330/0018-1" << false;
    QTest::newRow("13 characters") << "1122233300018" << false;
    QTest::newRow("15 characters") << "112223330001810" << false;
    QTest::newRow("16 characters") << "11.222.333000181" << false;
    QTest::newRow("17 characters") << "11.222.333/000181" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("first remainder 0") << "62129972200307" << true;
    QTest::newRow("first remainder 1") << "73677518086008" << true;
    QTest::newRow("second remainder 0") << "04584744529020" << true;
    QTest::newRow("second remainder 1") << "72040560865670" << true;
    QTest::newRow("remainder 1 read as 1") << "72040560865671" << false;
}

void TestDocuments::cnpj()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CNPJValido(text), valid);
}

void TestDocuments::inscricao_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("punctuated") << "062.307.904.0081" << true;
    QTest::newRow("bare") << "0623079040081" << true;
    QTest::newRow("dash separators") << "062-307-904-0081" << true;
    QTest::newRow("slash separators") << "062/307/904/0081" << true;
    QTest::newRow("wrong second digit") << "062.307.904.0082" << false;
    QTest::newRow("wrong first digit") << "062.307.904.0091" << false;
    QTest::newRow("blank left by the mask") << "062.307.904.008 " << false;
    QTest::newRow("space inside") << "062.307 904.0081" << false;
    QTest::newRow("leading space") << " 0623079040081" << false;
    QTest::newRow("12 digits") << "062307904008" << false;
    QTest::newRow("14 digits") << "06230790400810" << false;
    QTest::newRow("zeros") << "000.000.000.0000" << false;
    QTest::newRow("letter") << "062.307.904.008A" << false;
    QTest::newRow("first digit from S1 mod 10 = 0") << "9070293137507" << true;
    QTest::newRow("second remainder 0") << "3224538323630" << true;
    QTest::newRow("second remainder 1") << "5966637476650" << true;
    QTest::newRow("remainder 1 read as 1") << "5966637476651" << false;
}

void TestDocuments::inscricao()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(InscricaoValida(text), valid);
}

void TestDocuments::formataDocumento_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CNPJ") << "11222333000181"
                          << "11.222.333/0001-81";
    QTest::newRow("IE") << "0623079040081"
                        << "062.307.904.0081";
    QTest::newRow("CPF") << "12345678901"
                         << "123.456.789-01";
    QTest::newRow("12 digits") << "123456789012"
                               << "";
    QTest::newRow("15 digits") << "123456789012345"
                               << "";
    QTest::newRow("one digit") << "1"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDocuments::formataDocumento()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(FormataDocumento(text), expected);
}

// Valid numbers made from random digits: accepted bare and punctuated, and
// refused once the last check digit is any other digit.
void TestDocuments::generatedNumbers()
{
    QRandomGenerator rng(20261205);
    int cnpjs = 0, ies = 0;
    for (int round = 0; round < 3000; ++round) {
        QList<int> base;
        for (int i = 0; i < 12; ++i)
            base << static_cast<int>(rng.bounded(10));
        if (base.count(0) < 12) {
            const QString bare = texto(comDigitosCNPJ(base));
            const QString punct = FormataDocumento(bare);
            QVERIFY2(CNPJValido(bare) && CNPJValido(punct), qPrintable(punct));
            QCOMPARE(RemoveCaracteres(punct, QStringLiteral("./- &")), bare);
            for (int d = 0; d <= 9; ++d) {
                if (QChar(u'0' + d) == bare.back())
                    continue;
                QString wrong = bare;
                wrong.back() = QChar(u'0' + d);
                QVERIFY2(!CNPJValido(wrong) && !CNPJValido(FormataDocumento(wrong)), qPrintable(wrong));
            }
            ++cnpjs;
        }
        base.resize(11);
        if (base.count(0) < 11) {
            const QString bare = texto(comDigitosIE(base));
            const QString punct = FormataDocumento(bare);
            QVERIFY2(InscricaoValida(bare) && InscricaoValida(punct), qPrintable(punct));
            for (int d = 0; d <= 9; ++d) {
                if (QChar(u'0' + d) == bare.back())
                    continue;
                QString wrong = bare;
                wrong.back() = QChar(u'0' + d);
                QVERIFY2(!InscricaoValida(wrong) && !InscricaoValida(FormataDocumento(wrong)), qPrintable(wrong));
            }
            ++ies;
        }
    }
    QVERIFY(cnpjs > 2900 && ies > 2900);
}

QTEST_GUILESS_MAIN(TestDocuments)
#include "tst_documents.moc"
