// stbrelva-cli validate and mva-ajustada: output lines, exit codes and the
// "error:" line of bad arguments.
#include <QProcess>
#include <QTest>

class TestCliValidate : public QObject {
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

void TestCliValidate::run_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::newRow("cnpj") << QStringList{"validate", "cnpj", "11.222.333/0001-81", "11222333000182", "11.222.333/000181", ""}
                          << 0 << "valid\ninvalid\ninvalid\ninvalid\n";
    QTest::newRow("ie") << QStringList{"validate", "ie", "062.307.904.0081", "062.307.904.008 ", "000.000.000.0000"} << 0
                        << "valid\ninvalid\ninvalid\n";
    QTest::newRow("format") << QStringList{"validate", "format", "11222333000181", "123456789012", "12345678901"} << 0
                            << "11.222.333/0001-81\n\n123.456.789-01\n";
    QTest::newRow("unknown kind") << QStringList{"validate", "cpf", "1"} << 2 << "";
    QTest::newRow("no text") << QStringList{"validate", "cnpj"} << 2 << "";
    QTest::newRow("mva") << QStringList{"mva-ajustada", "40", "12", "18"} << 0 << "50.24\n";
    QTest::newRow("mva decimal comma") << QStringList{"mva-ajustada", "40,5", "12", "18.5"} << 0 << "51.71\n";
    QTest::newRow("mva internal 0") << QStringList{"mva-ajustada", "40", "12", "0"} << 0 << "0.00\n";
    QTest::newRow("mva not a number") << QStringList{"mva-ajustada", "40", "doze", "18"} << 2 << "";
    QTest::newRow("mva too few") << QStringList{"mva-ajustada", "40", "12"} << 2 << "";
}

void TestCliValidate::run()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (exitCode == 2) {
        QVERIFY2(err.startsWith(QLatin1String("error:")), qPrintable(err));
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
    } else {
        QVERIFY2(err.isEmpty(), qPrintable(err));
    }
}

QTEST_GUILESS_MAIN(TestCliValidate)
#include "tst_cli_validate.moc"
