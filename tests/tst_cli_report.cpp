// stbrelva-cli report, run as a separate process: bad input gives exit 2, one
// "erro:" line and no PDF; good input gives a PDF whose text (read back with
// pdftotext) shows what the JSON says, and amounts equal to what
// stbrelva-cli compute gives for the same input.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

// ST lines with freight, IPI and FEM; a second invoice highlighting nothing.
const char *kST = R"({"settings": {"MRNormal": 50, "MREmDobro": 100, "MRReducao": 20},
 "calculo": {"TipoCalculo": %1, "DiferencialAliq": %2, "Grupo": %3, "PrintMR": 4},
 "notas": [
   {"NroNF": "101", "Frete": "50.00",
    "itens": [{"ItemBrelva": "01.001.00", "ValorNF": "300.00", "ValorIPI": "30.00", "AliqICMS": "18", "MVA": "40",
               "CreditoICMS": "12", "ValorCreditoICMS": "36.00", "FEM": true},
              {"ItemBrelva": "17.002.00", "ValorNF": "1234.56", "AliqICMS": "18", "MVA": "71.5",
               "CreditoICMS": "7", "ValorCreditoICMS": "86.42"},
              {"ItemBrelva": "06.001.00", "ValorNF": "3100", "Litros": "1000", "PMPF": "4.0123", "PrecoLitroNF": "3.1",
               "AliqICMS": "25", "CreditoICMS": "12"}]},
   {"NroNF": "102", "Frete": "12.34",
    "itens": [{"ItemBrelva": "98.001.00", "ValorNF": "99.99", "AliqICMS": "12", "MVA": "33.33",
               "CreditoICMS": "12", "ValorCreditoICMS": "12.00"}]}]})";

const char *kMedic = R"({"calculo": {"TipoCalculo": 1, "Grupo": 13},
 "notas": [{"NroNF": "7", "CreditoICMSMedic": "10",
   "itensMedic": [{"CodBarra": "7891234567890", "Descricao": "DIPIRONA", "Qtd": 2, "DebVlMerc": "100", "DebAliqICMS": "18", "Lista": "+"},
                  {"CodBarra": "7891234567891", "Descricao": "SORO", "Qtd": 1, "DebVlMerc": "33.33", "DebAliqICMS": "18", "Lista": "-"}]}]})";

QByteArray st(int tipo, int grupo = 0)
{
    return QString::fromLatin1(kST)
        .arg(tipo)
        .arg(tipo == 2 || tipo == 3 ? QStringLiteral("true") : QStringLiteral("false"))
        .arg(grupo ? QString::number(grupo) : QStringLiteral("null"))
        .toUtf8();
}

QString textoDoPdf(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestCliReport : public QObject {
    Q_OBJECT

private slots:
    void badInput_data();
    void badInput();
    void amountsEqualCompute_data();
    void amountsEqualCompute();
    void pdfShowsWhatTheJsonSays_data();
    void pdfShowsWhatTheJsonSays();
    void taxpayerEdition();

private:
    QString arquivo(const QByteArray &json);
    Run run(const QString &sub, const QStringList &args);
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString TestCliReport::arquivo(const QByteArray &json)
{
    const QString file = m_dir.filePath(QStringLiteral("in%1.json").arg(++m_files));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file));
    f.write(json);
    return file;
}

Run TestCliReport::run(const QString &sub, const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), QStringList {sub} + args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void TestCliReport::badInput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("args"); // FILE: the input, PDF: the output
    QTest::addColumn<QString>("error");
    const QByteArray ok = st(1);
    QTest::newRow("no PDF given") << ok << QStringList {"FILE"} << "--pdf: falta o arquivo PDF de saída";
    QTest::newRow("fine option out of range") << ok << QStringList {"--mr", "6", "--pdf", "PDF", "FILE"}
                                              << "--mr: esperada uma opção de MR de 0 a 5, encontrado \"6\"";
    QTest::newRow("fine option not a number") << ok << QStringList {"--mr", "x", "--pdf", "PDF", "FILE"}
                                              << "--mr: esperada uma opção de MR de 0 a 5, encontrado \"x\"";
    QTest::newRow("fine option without value")
        << ok << QStringList {"--pdf", "PDF", "FILE", "--mr"} << "--mr: falta o valor da opção";
    QTest::newRow("taxpayer with a fine") << ok << QStringList {"--contribuinte", "--mr", "4", "--pdf", "PDF", "FILE"}
                                          << "--mr: a versão contribuinte imprime sempre sem MR (opção 1)";
    QTest::newRow("unknown option") << ok << QStringList {"--sintetica", "--pdf", "PDF", "FILE"}
                                    << "--sintetica: opção desconhecida";
    QTest::newRow("bad date") << ok << QStringList {"--today", "2024-02-30", "--pdf", "PDF", "FILE"}
                              << "--today: data inexistente \"2024-02-30\"";
    QTest::newRow("missing codes file") << ok << QStringList {"--codigos", "/nao/existe.ini", "--pdf", "PDF", "FILE"}
                                        << "/nao/existe.ini: o arquivo de códigos não existe";
    QTest::newRow("malformed input") << QByteArray(R"({"notas": [)") << QStringList {"--pdf", "PDF", "FILE"}
                                     << "FILE:1:12: fim inesperado do documento";
    QTest::newRow("bad amount") << QByteArray(R"({"notas": [{"itens": [{"ValorNF": "1,5"}]}]})")
                                << QStringList {"--pdf", "PDF", "FILE"}
                                << "notas[0].itens[0].ValorNF: valor malformado \"1,5\"";
    QTest::newRow("output folder missing") << ok << QStringList {"--pdf", "/nao/existe/x.pdf", "FILE"}
                                           << "/nao/existe/x.pdf: não foi possível gravar o arquivo";
}

void TestCliReport::badInput()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const QString file = arquivo(json);
    const QString pdf = m_dir.filePath(QStringLiteral("bad%1.pdf").arg(m_files));
    args.replaceInStrings(QStringLiteral("FILE"), file);
    args.replaceInStrings(QStringLiteral("PDF"), pdf);
    error.replace(QStringLiteral("FILE"), file);
    const Run r = run(QStringLiteral("report"), args);
    QCOMPARE(r.exitCode, 2);
    const QString err = QString::fromUtf8(r.err);
    QVERIFY2(err.startsWith(QStringLiteral("erro: ") + error), qPrintable(err));
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(!QFile::exists(pdf), "no PDF is left behind");
}

void TestCliReport::amountsEqualCompute_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("combustivel");
    QTest::newRow("ICMS/ST") << st(1) << QStringList {} << false;
    QTest::newRow("DIFAL") << st(2) << QStringList {} << false;
    QTest::newRow("DIFAL proporcional 2018") << st(3) << QStringList {"--today", "2018-05-02"} << false;
    QTest::newRow("fuel") << st(1, 6) << QStringList {} << true;
}

void TestCliReport::amountsEqualCompute()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, args);
    QFETCH(bool, combustivel);
    const QString file = arquivo(json);
    const QString pdf = m_dir.filePath(QStringLiteral("cmp%1.pdf").arg(m_files));
    const Run c = run(QStringLiteral("compute"), args + QStringList {file});
    QCOMPARE(c.exitCode, 0);
    const Run r = run(QStringLiteral("report"), args + QStringList {QStringLiteral("--pdf"), pdf, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QJsonArray notasC = QJsonDocument::fromJson(c.out).object().value(QStringLiteral("notas")).toArray();
    const QJsonArray notasR = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("notas")).toArray();
    QCOMPARE(notasR.size(), notasC.size());
    // Report column -> compute amount; on a fuel report the freight and sum columns
    // show the fuel variant and are left out.
    QList<QPair<QString, QString>> pares {
        {"BC", "ValorFinal"}, {"ICMS", "ValorICMS"}, {"Cred", "ValorCreditoICMS"}, {"ARecolher", "ICMSaRecolher"}};
    if (!combustivel)
        pares += {{"Frete", "FreteProp"}, {"Soma", "Soma"}};
    int comparados = 0;
    for (int n = 0; n < notasC.size(); ++n) {
        const QJsonObject nc = notasC[n].toObject();
        const QJsonObject nr = notasR[n].toObject();
        QCOMPARE(nr.value(QStringLiteral("NroNF")).toString(), nc.value(QStringLiteral("NroNF")).toString());
        QCOMPARE(nr.value(QStringLiteral("TotalARecolher")).toString(),
            nc.value(QStringLiteral("ValorARecolher")).toString());
        const QJsonArray ic = nc.value(QStringLiteral("itens")).toArray();
        const QJsonArray ir = nr.value(QStringLiteral("itens")).toArray();
        QCOMPARE(ir.size(), ic.size());
        for (int i = 0; i < ic.size(); ++i) {
            const QJsonObject colunas = ir[i].toObject().value(QStringLiteral("colunas")).toObject();
            for (const auto &[col, campo] : pares) {
                if (!colunas.contains(col))
                    continue; // hidden (DIFAL) or blank (fuel zero)
                const QString esperado = ic[i].toObject().value(campo).toString();
                QCOMPARE(colunas.value(col).toObject().value(QStringLiteral("valor")).toString(), esperado);
                ++comparados;
            }
        }
        // Without a highlight the invoice total adds the lines' amounts up.
        const QJsonValue total = nr.value(QStringLiteral("totalDaNota"));
        QCOMPARE(total.isObject(), ic.size() > 1);
    }
    QVERIFY(comparados >= 8);
}

void TestCliReport::pdfShowsWhatTheJsonSays_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("ICMS/ST, option 2") << st(1) << QStringList {"--mr", "2"};
    QTest::newRow("fuel, option 4") << st(1, 6) << QStringList {"--mr", "4"};
    QTest::newRow("medicines, detailed") << QByteArray(kMedic) << QStringList {"--analitica", "--mr", "5"};
    QTest::newRow("medicines, summarised") << QByteArray(kMedic) << QStringList {"--mr", "1"};
}

void TestCliReport::pdfShowsWhatTheJsonSays()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, args);
    const QString file = arquivo(json);
    const QString pdf = m_dir.filePath(QStringLiteral("show%1.pdf").arg(m_files));
    const Run r = run(QStringLiteral("report"), args + QStringList {QStringLiteral("--pdf"), pdf, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    const QString texto = textoDoPdf(pdf);
    QCOMPARE(texto.split(QLatin1Char('\f'), Qt::SkipEmptyParts).size(), doc.value(QStringLiteral("paginas")).toInt());
    // Column heads, in their order, and every line's texts in column order on one PDF line.
    QStringList chaves;
    for (const QJsonValue &c : doc.value(QStringLiteral("colunas")).toArray())
        chaves << c.toObject().value(QStringLiteral("chave")).toString();
    const QStringList linhasPdf = texto.split(QLatin1Char('\n'));
    int linhas = 0;
    for (const QJsonValue &n : doc.value(QStringLiteral("notas")).toArray()) {
        for (const QJsonValue &it : n.toObject().value(QStringLiteral("itens")).toArray()) {
            const QJsonObject colunas = it.toObject().value(QStringLiteral("colunas")).toObject();
            QStringList textos;
            for (const QString &k : chaves)
                if (colunas.contains(k))
                    textos << colunas.value(k).toObject().value(QStringLiteral("texto")).toString();
            const QString esperado = textos.join(QLatin1Char(' ')).simplified();
            const bool achou = std::any_of(
                linhasPdf.begin(), linhasPdf.end(), [&](const QString &l) { return l.simplified() == esperado; });
            QVERIFY2(achou, qPrintable(esperado));
            ++linhas;
        }
    }
    QVERIFY(linhas >= 1);
    const QJsonObject codigos = doc.value(QStringLiteral("codigos")).toObject();
    QVERIFY(texto.simplified().contains(codigos.value(QStringLiteral("receita")).toString().simplified()));
}

void TestCliReport::taxpayerEdition()
{
    const QString file = arquivo(st(1));
    const QString pdf = m_dir.filePath(QStringLiteral("contrib.pdf"));
    const Run r = run(QStringLiteral("report"), {QStringLiteral("--contribuinte"), QStringLiteral("--pdf"), pdf, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(doc.value(QStringLiteral("opcaoMR")).toInt(), 1);
    QVERIFY(!doc.value(QStringLiteral("codigos")).toObject().value(QStringLiteral("impresso")).toBool());
    const QString texto = textoDoPdf(pdf).simplified();
    QVERIFY(
        texto.contains(QStringLiteral("As informações do cálculo são de inteira responsabilidade do contribuinte.")));
    QVERIFY(!texto.contains(QStringLiteral("Código Receita")));
    QVERIFY(!texto.contains(QStringLiteral("MR 50%")));
}

QTEST_GUILESS_MAIN(TestCliReport)
#include "tst_cli_report.moc"
