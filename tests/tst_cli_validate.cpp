// stbrelva-cli validate and mva-ajustada: output lines, exit codes and the
// "erro:" line of bad arguments; the usage text of the tool.
#include <QProcess>
#include <QTest>

class TestCliValidate : public QObject {
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void usage_data();
    void usage();
};

void TestCliValidate::run_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // the one stderr line of a bad argument
    QTest::newRow("cnpj") << QStringList {"validate", "cnpj", "11.222.333/0001-81", "11222333000182",
        "11.222.333/000181", ""}
                          << 0 << "valid\ninvalid\ninvalid\ninvalid\n"
                          << "";
    QTest::newRow("ie") << QStringList {"validate", "ie", "062.307.904.0081", "062.307.904.008 ", "000.000.000.0000"}
                        << 0 << "valid\ninvalid\ninvalid\n"
                        << "";
    QTest::newRow("format") << QStringList {"validate", "format", "11222333000181", "123456789012", "12345678901"} << 0
                            << "11.222.333/0001-81\n\n123.456.789-01\n"
                            << "";
    QTest::newRow("unknown kind") << QStringList {"validate", "cpf", "1"} << 2 << ""
                                  << "erro: tipo desconhecido: cpf (use cnpj, ie ou format)";
    QTest::newRow("no text") << QStringList {"validate", "cnpj"} << 2 << ""
                             << "erro: uso: validate cnpj|ie|format TEXTO...";
    QTest::newRow("mva") << QStringList {"mva-ajustada", "40", "12", "18"} << 0 << "50.24\n"
                         << "";
    QTest::newRow("mva decimal comma") << QStringList {"mva-ajustada", "40,5", "12", "18.5"} << 0 << "51.71\n"
                                       << "";
    QTest::newRow("mva internal 0") << QStringList {"mva-ajustada", "40", "12", "0"} << 0 << "0.00\n"
                                    << "";
    QTest::newRow("mva not a number") << QStringList {"mva-ajustada", "40", "doze", "18"} << 2 << ""
                                      << "erro: número inválido: doze";
    QTest::newRow("mva too few") << QStringList {"mva-ajustada", "40", "12"} << 2 << ""
                                 << "erro: uso: mva-ajustada MVA INTERESTADUAL INTERNA";
}

void TestCliValidate::run()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), err.isEmpty() ? QString() : err + QLatin1Char('\n'));
}

void TestCliValidate::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("first"); // the line before the usage text, if any
    QTest::newRow("no subcommand") << QStringList {} << "";
    QTest::newRow("unknown subcommand") << QStringList {"validar"} << "erro: subcomando desconhecido: validar";
}

void TestCliValidate::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, first);
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QStringList expected
        = {QStringLiteral("uso:"), QStringLiteral("  stbrelva-cli compute [--today AAAA-MM-DD] ARQUIVO.json"),
            QStringLiteral("  stbrelva-cli validate cnpj|ie|format TEXTO..."),
            QStringLiteral("  stbrelva-cli mva-ajustada MVA INTERESTADUAL INTERNA"),
            QStringLiteral("  stbrelva-cli report [--today AAAA-MM-DD] [--mr 0..5] [--contribuinte] [--analitica] "
                           "[--codigos STBrelva2.ini] --pdf SAIDA.pdf ARQUIVO.json"),
            QStringLiteral("  stbrelva-cli zlb create|list|extract ARQUIVO.zlb [PASTA]"),
            QStringLiteral("  stbrelva-cli quick [--today AAAA-MM-DD] ARQUIVO.json"),
            QStringLiteral("  stbrelva-cli nfe [--today AAAA-MM-DD] [--appdir PASTA] [--item ARQUIVO:N=SUBITEM]... "
                           "ARQUIVO.json NFE.xml|PASTA..."),
            QStringLiteral("  stbrelva-cli db migrate PASTA postgresql://usuario@servidor:porta/banco | "
                           "db migrate postgresql://... PASTA")};
    if (!first.isEmpty())
        expected.prepend(first);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

QTEST_GUILESS_MAIN(TestCliValidate)
#include "tst_cli_validate.moc"
