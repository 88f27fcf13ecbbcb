// stbrelva-cli compute, run as a separate process: bad input gives exit 2
// and one "erro:" line naming the field and saying why in Portuguese; good
// input gives the amounts, also for a calculation of 10,000 lines.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out, err;
};

const char *kExample = R"({"settings": {"MRNormal": 50, "MREmDobro": 100, "MRReducao": 20},
 "calculo": {"Grupo": null, "TipoCalculo": 1, "DiferencialAliq": false, "OpInterna": true, "PrintMR": 0},
 "notas": [
   {"NroNF": "10", "Frete": "50.00", "DestaqueICMSST": "0", "CreditoICMSMedic": "0",
    "itens": [{"ItemBrelva": "01.001.00", "ValorNF": "300.00", "ValorIPI": "0", "AliqICMS": "18", "MVA": "40",
               "CreditoICMS": "12", "ValorCreditoICMS": "36.00", "FEM": false, "PMPF": "0", "Litros": "0", "PrecoLitroNF": "0"}],
    "itensMedic": [{"CodBarra": "7891234567890", "Descricao": "X", "Qtd": 2, "DebVlMerc": "20.00",
                    "DebAliqICMS": "18", "MVA": "0", "CreditoICMS": "0", "Lista": "+", "FEM": false}]}]})";

} // namespace

class TestCliCompute : public QObject {
    Q_OBJECT

private slots:
    void badInput_data();
    void badInput();
    void example();
    void results_data();
    void results();
    void tenThousandLines();
    void inputThatIsNotARegularFile_data();
    void inputThatIsNotARegularFile();

private:
    // Runs "compute" on the JSON written to a new file; "FILE" in the
    // arguments stands for that file (no arguments: just the file).
    Run run(const QByteArray &json, QStringList args = {});
    QTemporaryDir m_dir;
    int m_files = 0;
};

Run TestCliCompute::run(const QByteArray &json, QStringList args)
{
    const QString file = m_dir.filePath(QStringLiteral("in%1.json").arg(++m_files));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file));
    f.write(json);
    f.close();
    if (args.isEmpty())
        args << QStringLiteral("FILE");
    args.replaceInStrings(QStringLiteral("FILE"), file);
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), QStringList {QStringLiteral("compute")} + args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void TestCliCompute::badInput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // expected start of the one stderr line, after "erro: "
    auto line = [](const char *item) -> QByteArray {
        return QByteArray(R"({"notas": [{"NroNF": "1", "itens": [)") + item + "]}]}";
    };
    QTest::newRow("malformed document") << QByteArray(R"({"notas": [)") << QStringList {}
                                        << "FILE:1:12: fim inesperado do documento";
    QTest::newRow("trailing comma") << QByteArray(R"({"notas": [],})") << QStringList {}
                                    << "FILE:1:14: esperado o nome de um campo, entre aspas";
    QTest::newRow("duplicate key") << QByteArray(R"({"notas": [], "notas": []})") << QStringList {}
                                   << "FILE:1:15: campo \"notas\" repetido";
    QTest::newRow("text after the document")
        << QByteArray(R"({} x)") << QStringList {} << "FILE:1:4: texto após o fim do documento";
    QTest::newRow("unterminated string") << QByteArray(R"({"notas)") << QStringList {}
                                         << "FILE:1:8: texto sem as aspas de fechamento";
    QTest::newRow("amount with a comma")
        << line(R"({"ValorNF": "1,5"})") << QStringList {}
        << "notas[0].itens[0].ValorNF: valor malformado \"1,5\" (o separador decimal é o ponto";
    QTest::newRow("amount of the wrong type")
        << line(R"({"ValorNF": true})") << QStringList {}
        << "notas[0].itens[0].ValorNF: esperado um valor numérico, encontrado true";
    QTest::newRow("object for a flag") << line(R"({"FEM": {"x": 1}})") << QStringList {}
                                       << "notas[0].itens[0].FEM: esperado true ou false, encontrado objeto";
    QTest::newRow("number for a text") << line(R"({"ItemBrelva": 6})") << QStringList {}
                                       << "notas[0].itens[0].ItemBrelva: esperado um texto, encontrado número";
    QTest::newRow("more than four decimals")
        << line(R"({"AliqICMS": "18.00001"})") << QStringList {}
        << "notas[0].itens[0].AliqICMS: mais de quatro casas decimais em \"18.00001\"";
    QTest::newRow("amount out of range") << line(R"({"ValorNF": 1e30})") << QStringList {}
                                         << "notas[0].itens[0].ValorNF: valor fora do limite \"1e30\"";
    QTest::newRow("amount beyond the currency range in a line")
        << line(R"({"ValorNF": "900000000000000", "MVA": "40", "AliqICMS": "18"})") << QStringList {}
        << "notas[0].itens[0].ValorFinal: O valor de ValorFinal ultrapassa o limite dos valores monetários";
    QTest::newRow("date and time with garbage after the date")
        << QByteArray(R"({"calculo": {"DataHora": "2020-01-01Tlixo"}})") << QStringList {}
        << "calculo.DataHora: esperada uma data e hora AAAA-MM-DDTHH:MM:SS";
    QTest::newRow("hour 25") << QByteArray(R"({"calculo": {"DataHora": "2020-01-01T25:00:00"}})") << QStringList {}
                             << "calculo.DataHora: hora inexistente \"2020-01-01T25:00:00\"";
    QTest::newRow("invalid UTF-8 in a text") << QByteArray("{\"notas\": [{\"NroNF\": \"12\xff\"}]}") << QStringList {}
                                             << "notas[0].NroNF: texto com codificação UTF-8 inválida";
    QTest::newRow("lone surrogate in a text") << QByteArray(R"({"notas": [{"NroNF": "\ud800"}]})") << QStringList {}
                                              << "notas[0].NroNF: texto com codificação UTF-8 inválida";
    QTest::newRow("negative quantity") << QByteArray(
        R"({"notas": [{"itensMedic": [{"DebVlMerc": "1"}, {"Qtd": -2}]}]})")
                                       << QStringList {} << "notas[0].itensMedic[1].Qtd: não pode ser negativo";
    QTest::newRow("fractional quantity")
        << QByteArray(R"({"notas": [{"itensMedic": [{"Qtd": 2.5}]}]})") << QStringList {}
        << "notas[0].itensMedic[0].Qtd: esperado um número inteiro, encontrado \"2.5\"";
    QTest::newRow("list for a quantity") << QByteArray(R"({"notas": [{"itensMedic": [{"Qtd": [2]}]}]})")
                                         << QStringList {}
                                         << "notas[0].itensMedic[0].Qtd: esperado um número inteiro, encontrada lista";
    QTest::newRow("unknown field")
        << line(R"({"ValorNf": "1"})") << QStringList {}
        << "notas[0].itens[0].ValorNf: campo desconhecido (o nome do campo se escreve \"ValorNF\")";
    QTest::newRow("unknown top-level field")
        << QByteArray(R"({"nota": []})") << QStringList {} << "nota: campo desconhecido";
    QTest::newRow("document not an object")
        << QByteArray(R"(["notas"])") << QStringList {} << "(documento): esperado um objeto, encontrada lista";
    QTest::newRow("line number given") << line(R"({"NroItem": 3})") << QStringList {}
                                       << "notas[0].itens[0].NroItem: é atribuído pelo programa";
    QTest::newRow("invoices not a list") << QByteArray(R"({"notas": {}})") << QStringList {}
                                         << "notas: esperada uma lista, encontrado objeto";
    QTest::newRow("invoice not an object")
        << QByteArray(R"({"notas": ["1"]})") << QStringList {} << "notas[0]: esperado um objeto, encontrado texto";
    QTest::newRow("invoice number too long") << QByteArray(R"({"notas": [{"NroNF": "12345678901"}]})") << QStringList {}
                                             << "notas[0].NroNF: texto com mais de 10 caracteres";
    QTest::newRow("bad date and time") << QByteArray(R"({"calculo": {"DataHora": "ontem"}})") << QStringList {}
                                       << "calculo.DataHora: esperada uma data e hora AAAA-MM-DDTHH:MM:SS";
    QTest::newRow("fine mode out of range") << QByteArray(R"({"calculo": {"PrintMR": 6}})") << QStringList {}
                                            << "calculo.PrintMR: deve ser um modo de multa de 0 a 5";
    QTest::newRow("setting of the wrong type")
        << QByteArray(R"({"settings": {"MRNormal": "metade"}})") << QStringList {}
        << "settings.MRNormal: esperado um número inteiro, encontrado \"metade\"";
    QTest::newRow("setting out of range") << QByteArray(R"({"settings": {"MRNormal": 1001}})") << QStringList {}
                                          << "settings.MRNormal: deve ser um percentual de 0 a 1000";
    QTest::newRow("unknown setting") << QByteArray(R"({"settings": {"MRTriplo": 300}})") << QStringList {}
                                     << "settings.MRTriplo: configuração desconhecida";
    QTest::newRow("deep nesting") << (QByteArray(100000, '[') + QByteArray(100000, ']')) << QStringList {}
                                  << "FILE:1:202: listas e objetos aninhados em mais de 200 níveis";
    QTest::newRow("bad date for --today") << QByteArray(R"({})") << QStringList {"--today", "2020-02-30", "FILE"}
                                          << "--today: data inexistente \"2020-02-30\"";
    QTest::newRow("date for --today not ISO") << QByteArray(R"({})") << QStringList {"--today", "30/01/2020", "FILE"}
                                              << "--today: esperada uma data AAAA-MM-DD, encontrado \"30/01/2020\"";
    QTest::newRow("no date for --today") << QByteArray(R"({})") << QStringList {"FILE", "--today"}
                                         << "--today: falta a data AAAA-MM-DD";
    QTest::newRow("unknown option") << QByteArray(R"({})") << QStringList {"--hoje", "2020-01-01", "FILE"}
                                    << "--hoje: opção desconhecida";
    QTest::newRow("no input file")
        << QByteArray(R"({})") << QStringList {"--today", "2020-01-01"}
        << "ARQUIVO.json: falta o arquivo de entrada (compute [--today AAAA-MM-DD] ARQUIVO.json)";
    QTest::newRow("two input files") << QByteArray(R"({})") << QStringList {"FILE", "outro.json"}
                                     << "outro.json: só um arquivo de entrada pode ser informado";
    QTest::newRow("missing file") << QByteArray(R"({})") << QStringList {"/nonexistent/calc.json"}
                                  << "/nonexistent/calc.json: não foi possível ler o arquivo: o arquivo não existe";
}

void TestCliCompute::badInput()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const Run r = run(json, args);
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    const QStringList lines = QString::fromUtf8(r.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    const QString expected = QStringLiteral("erro: ")
        + QString(error).replace(QStringLiteral("FILE"), m_dir.filePath(QStringLiteral("in%1.json").arg(m_files)));
    QVERIFY2(lines.first().startsWith(expected), qPrintable(lines.first()));
}

void TestCliCompute::example()
{
    const Run r = run(kExample);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), r.err.constData());
    const QJsonObject nota = QJsonDocument::fromJson(r.out).object()[QStringLiteral("notas")].toArray()[0].toObject();
    QCOMPARE(nota[QStringLiteral("NroNF")].toString(), QStringLiteral("10"));
    QCOMPARE(nota[QStringLiteral("ValorARecolher")].toString(), QStringLiteral("52.2000"));
    const QJsonObject item = nota[QStringLiteral("itens")].toArray()[0].toObject();
    QCOMPARE(item[QStringLiteral("NroItem")].toInt(), 1);
    const QStringList expected = {"FreteProp=50.0000", "Soma=350.0000", "ValorFinal=490.0000", "ValorICMS=88.2000",
        "ValorFEM=0.0000", "ValorCreditoICMS=36.0000", "ICMSaRecolher=52.2000", "ValorMR=0.0000", "ValorMRRed=0.0000",
        "TotalARecolher=52.2000"};
    QStringList got;
    for (const QString &e : expected) {
        const QString key = e.section(QLatin1Char('='), 0, 0);
        got << key + QLatin1Char('=') + item[key].toString();
    }
    QCOMPARE(got, expected);
    const QJsonObject medic = nota[QStringLiteral("itensMedic")].toArray()[0].toObject();
    QCOMPARE(medic[QStringLiteral("DebVlICMS")].toString(), QStringLiteral("3.6000"));
}

void TestCliCompute::results_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("field"); // of the first line, or "ValorARecolher"
    QTest::addColumn<QString>("expected");
    const QByteArray difal = R"({"calculo": {"TipoCalculo": 3, "DiferencialAliq": true},
        "notas": [{"NroNF": "1", "itens": [{"ValorNF": "1000", "AliqICMS": "18", "CreditoICMS": "12", "ValorCreditoICMS": "120"}]}]})";
    QTest::newRow("DIFAL share by the given day: 2018")
        << difal << QStringList {"--today", "2018-05-01", "FILE"} << "ICMSaRecolher"
        << "51.5122";
    QTest::newRow("DIFAL share by the given day: 2020")
        << difal << QStringList {"--today", "2020-05-01", "FILE"} << "ICMSaRecolher"
        << "64.3902";
    QTest::newRow("DIFAL invoice share: 2018")
        << difal << QStringList {"--today", "2018-05-01", "FILE"} << "ValorARecolher"
        << "48.0000";
    const QByteArray fine = R"({"settings": {"MRNormal": 30, "MRReducao": 10}, "calculo": {"PrintMR": 4},
        "notas": [{"itens": [{"ValorNF": 100, "MVA": 40, "AliqICMS": 18, "ValorCreditoICMS": 12}]}]})";
    QTest::newRow("fine from the given settings") << fine << QStringList {} << "ValorMR"
                                                  << "3.9600";
    QTest::newRow("reduced fine from the given settings") << fine << QStringList {} << "TotalARecolher"
                                                          << "13.5960";
    QTest::newRow("JSON numbers with exponents and trailing zeros") << QByteArray(
        R"({"notas": [{"itens": [{"ValorNF": 1.0e2, "MVA": "40.000000", "AliqICMS": 18, "ValorCreditoICMS": 12}]}]})")
                                                                    << QStringList {} << "ICMSaRecolher"
                                                                    << "13.2000";
    QTest::newRow("missing amounts read as 0")
        << QByteArray(R"({"notas": [{"itens": [{}]}]})") << QStringList {} << "TotalARecolher"
        << "0.0000";
    QTest::newRow("negative freight takes a negative share") << QByteArray(R"({"notas": [{"Frete": "-50",
        "itens": [{"ValorNF": "300", "MVA": "40", "AliqICMS": "18", "ValorCreditoICMS": "36"}]}]})")
                                                             << QStringList {} << "ICMSaRecolher"
                                                             << "27.0000";
    QTest::newRow("negative value rounds half away from zero")
        << QByteArray(R"({"notas": [{"itens": [{"ValorNF": "-0.125", "AliqICMS": "0"}]}]})") << QStringList {}
        << "ValorFinal"
        << "-0.1300";
    // Amounts are printed digit by digit: every width, sign and run of zeros.
    for (const auto &[valor, impresso] : {std::pair {"98765432109.87", "98765432109.8700"},
             std::pair {"0.05", "0.0500"}, std::pair {"-7.09", "-7.0900"}, std::pair {"1000000", "1000000.0000"}}) {
        const QByteArray json
            = R"({"notas": [{"itens": [{"ValorNF": ")" + QByteArray(valor) + R"(", "AliqICMS": "0"}]}]})";
        QTest::newRow(impresso) << json << QStringList {} << "ValorFinal" << QString::fromLatin1(impresso);
    }
    QTest::newRow("negative IPI and MVA") << QByteArray(R"({"notas": [{"itens": [{"ValorNF": "100", "ValorIPI": "-10",
        "MVA": "-50", "AliqICMS": "18"}]}]})")
                                          << QStringList {} << "ValorFinal"
                                          << "45.0000";
    QTest::newRow("fuel calculation") << QByteArray(R"({"calculo": {"Grupo": 6, "TipoCalculo": 1},
        "notas": [{"itens": [{"ItemBrelva": "06.001.00", "Litros": "1000", "PMPF": "4.0123", "PrecoLitroNF": "3.1",
                              "AliqICMS": "25", "CreditoICMS": "12"}]}]})")
                                      << QStringList {} << "ValorCreditoICMS"
                                      << "372.0000";
}

void TestCliCompute::results()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, args);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    const Run r = run(json, args);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject nota = QJsonDocument::fromJson(r.out).object()[QStringLiteral("notas")].toArray()[0].toObject();
    const QJsonObject from
        = field == QLatin1String("ValorARecolher") ? nota : nota[QStringLiteral("itens")].toArray()[0].toObject();
    QCOMPARE(from[field].toString(), expected);
}

void TestCliCompute::tenThousandLines()
{
    // 500 invoices of 20 lines: each line collects 13.20, each invoice 264.00.
    QByteArray json = R"({"calculo": {"TipoCalculo": 1, "PrintMR": 2}, "notas": [)";
    for (int n = 0; n < 500; ++n) {
        json += (n ? ",{" : "{") + QByteArray(R"("NroNF": ")") + QByteArray::number(n + 1) + R"(", "itens": [)";
        for (int i = 0; i < 20; ++i)
            json += QByteArray(i ? "," : "")
                + R"({"ItemBrelva": "01.001.00", "ValorNF": "100.00", "MVA": "40", "AliqICMS": "18", "CreditoICMS": "12", "ValorCreditoICMS": "12.00"})";
        json += "]}";
    }
    json += "]}";
    const Run r = run(json);
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    const QJsonArray notas = QJsonDocument::fromJson(r.out).object()[QStringLiteral("notas")].toArray();
    QCOMPARE(notas.size(), 500);
    int lines = 0;
    for (int n = 0; n < notas.size(); ++n) {
        const QJsonObject nota = notas[n].toObject();
        QCOMPARE(nota[QStringLiteral("NroNF")].toString(), QString::number(n + 1)); // input order
        QCOMPARE(nota[QStringLiteral("ValorARecolher")].toString(), QStringLiteral("264.0000"));
        const QJsonArray itens = nota[QStringLiteral("itens")].toArray();
        for (int i = 0; i < itens.size(); ++i) {
            const QJsonObject item = itens[i].toObject();
            QCOMPARE(item[QStringLiteral("NroItem")].toInt(), i + 1);
            QCOMPARE(item[QStringLiteral("TotalARecolher")].toString(), QStringLiteral("19.8000")); // 13.20 + 50%
            ++lines;
        }
    }
    QCOMPARE(lines, 10000);
}

void TestCliCompute::inputThatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("endless device") << "/dev/zero"
                                    << "não é um arquivo comum (dispositivo, pipe ou socket)";
    QTest::newRow("pipe without a writer") << "fifo"
                                           << "não é um arquivo comum (dispositivo, pipe ou socket)";
    QTest::newRow("folder") << "folder"
                            << "é uma pasta";
    QTest::newRow("file above 256 MB") << "big"
                                       << "o arquivo tem mais de 256 MB";
}

void TestCliCompute::inputThatIsNotARegularFile()
{
    // Refused before anything is read: no endless read, no wait for a writer.
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString path = kind;
    if (kind == QLatin1String("fifo")) {
        path = m_dir.filePath(QStringLiteral("entrada.fifo"));
        QVERIFY(mkfifo(path.toLocal8Bit().constData(), 0600) == 0);
    } else if (kind == QLatin1String("folder")) {
        path = m_dir.path();
    } else if (kind == QLatin1String("big")) {
        path = m_dir.filePath(QStringLiteral("grande.json"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(257LL * 1024 * 1024)); // sparse: takes no disk space
    }
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), {QStringLiteral("compute"), path});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()).trimmed(),
        QStringLiteral("erro: %1: não foi possível ler o arquivo: %2").arg(path, reason));
}

QTEST_GUILESS_MAIN(TestCliCompute)
#include "tst_cli_compute.moc"
