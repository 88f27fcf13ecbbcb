// The quick calculation: its line and total rules on the in-memory lists,
// the same cases through `stbrelva-cli quick`, the deletion that renumbers,
// and the command-line tool's refusals of bad input.
#include "core/calcrapido.h"
#include "core/itemcalc.h"
#include "platform/db/field.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

Currency valor(const QString &text) { return *Currency::parsePlain(text); }

// A line from the keys of the command-line input.
void acrescenta(db::MemTable &lista, const QJsonObject &linha)
{
    lista.append();
    lista.fieldByName(QStringLiteral("IdNota")).setAsInteger(0);
    lista.fieldByName(QStringLiteral("NroItem")).setAsInteger(lista.recordCount() + 1);
    for (auto it = linha.begin(); it != linha.end(); ++it) {
        db::Field &f = lista.fieldByName(it.key());
        if (it.value().isBool())
            f.setAsBoolean(it.value().toBool());
        else if (it.value().isString() && f.type() == db::FieldType::Currency)
            f.setAsCurrency(valor(it.value().toString()));
        else if (it.value().isString())
            f.setAsString(it.value().toString());
        else
            f.setAsInteger(it.value().toInt());
    }
    lista.post();
}

QJsonObject item(const char *vnf, const char *ipi, const char *mva, const char *aliq, const char *cred)
{
    return QJsonObject {{"ValorNF", vnf}, {"ValorIPI", ipi}, {"MVA", mva}, {"AliqICMS", aliq}, {"CreditoICMS", cred}};
}

QJsonObject medic(const char *vlMerc, const char *mva, const char *aliq, const char *cred)
{
    return QJsonObject {{"DebVlMerc", vlMerc}, {"MVA", mva}, {"DebAliqICMS", aliq}, {"CreditoICMS", cred}};
}

QJsonObject com(QJsonObject o, const QJsonObject &mais)
{
    for (auto it = mais.begin(); it != mais.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

QStringList colunaLista(db::DataSet &ds, const char *campo)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QLatin1String(campo)).asCurrency().toPlainString(4);
    return out;
}

} // namespace

class TestQuick : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void deleteRenumbers();
    void linesAfterANewCalculation();
    void badInput_data();
    void badInput();
};

void TestQuick::rules_data()
{
    QTest::addColumn<QJsonObject>("entrada");
    QTest::addColumn<QStringList>("linhas"); // TotalARecolher of each line
    QTest::addColumn<QStringList>("fem"); // ValorFEM of each line (empty: not checked)
    QTest::addColumn<QString>("total");

    auto calc = [](int grupo, int tipo, const char *frete, QJsonArray itens, QJsonArray medics = {}) {
        return QJsonObject {{"grupo", grupo}, {"tipo", tipo}, {"opInterna", true}, {"frete", frete}, {"itens", itens},
            {"itensMedic", medics}};
    };
    const QJsonObject linha = item("100", "10", "40", "18", "12");
    QTest::newRow("the worked line: 110 x 1.4 x 0.18 - 12")
        << calc(-1, 1, "0", {linha}) << QStringList {"15.7200"} << QStringList {"0.0000"} << "15.7200";
    QTest::newRow("freight only in the total: 121 x 1.4 x 0.18 - 12")
        << calc(-1, 1, "11.00", {linha}) << QStringList {"15.7200"} << QStringList {} << "18.4920";
    QTest::newRow("freight shared by value and IPI over two lines")
        << calc(-1, 1, "30", {linha, item("200", "0", "30", "12", "12")}) << QStringList {"15.7200", "7.2000"}
        << QStringList {} << "28.6219";
    QTest::newRow("a line under its credit counts as 0")
        << calc(-1, 1, "0", {item("100", "0", "0", "7", "12")}) << QStringList {"0.0000"} << QStringList {} << "0.0000";
    QTest::newRow("FEM type: 2 % of the value beside, not in the total")
        << calc(-1, 4, "0", {com(linha, {{"FEM", true}})}) << QStringList {"15.7200"} << QStringList {"2.0000"}
        << "15.7200";
    const QJsonObject difal = QJsonObject {{"ValorNF", "1000"}, {"ValorIPI", "50"}, {"ValorCreditoICMS", "120"},
        {"AliqICMS", "18"}, {"CreditoICMS", "12"}, {"FEM", true}};
    QTest::newRow("DIFAL taxpayer adds the FEM: base 880 / 0.80")
        << calc(-1, 2, "40", {difal}) << QStringList {"78.0000"} << QStringList {"22.0000"} << "100.0000";
    QTest::newRow("DIFAL non-taxpayer: 1100 x 6 % x share 1")
        << calc(-1, 3, "40", {difal}) << QStringList {"66.0000"} << QStringList {"22.0000"} << "88.0000";
    QTest::newRow("DIFAL non-taxpayer without FEM, no two-decimal rounding")
        << calc(-1, 3, "0", {com(difal, {{"FEM", false}})}) << QStringList {"64.3902"} << QStringList {"0.0000"}
        << "64.3902";
    const QJsonObject pmpf {{"ItemBrelva", "06.001.00"}, {"Litros", "1000"}, {"PMPF", "5"}, {"PrecoLitroNF", "4"},
        {"AliqICMS", "25"}, {"CreditoICMS", "12"}};
    QTest::newRow("fuels: both walks") << calc(6, 1, "0", {pmpf, item("1000", "0", "30", "25", "12")})
                                       << QStringList {"770.0000", "205.0000"} << QStringList {} << "975.0000";
    QTest::newRow("fuels: a line with value and PMPF enters both walks")
        << calc(6, 1, "0", {com(pmpf, {{"ValorNF", "100"}, {"MVA", "0"}})}) << QStringList {"770.0000"}
        << QStringList {} << "783.0000";
    QTest::newRow("PMPF rule outside fuels: shown on the line, not in the total")
        << calc(-1, 1, "0", {pmpf}) << QStringList {"770.0000"} << QStringList {} << "0.0000";
    QTest::newRow("medicines by table: debits less the credit box")
        << calc(13, 1, "10", {}, {medic("100", "0", "18", "12"), medic("50", "0", "12", "12")})
        << QStringList {"18.0000", "6.0000"} << QStringList {} << "14.0000";
    QTest::newRow("medicines by table: a credit above the debits shows 0")
        << calc(13, 1, "30", {}, {medic("100", "0", "18", "12"), medic("50", "0", "12", "12")})
        << QStringList {"18.0000", "6.0000"} << QStringList {} << "0.0000";
    QTest::newRow("medicines by MVA without freight: V0 = 138.24 / 1.3824")
        << calc(113, 1, "0", {}, {medic("138.24", "38.24", "18", "12")}) << QStringList {"12.8832"} << QStringList {}
        << "12.8832";
    QTest::newRow("medicines by MVA with freight: V0 plus its share")
        << calc(113, 1, "15", {}, {medic("138.24", "38.24", "18", "12"), medic("50", "0", "12", "12")})
        << QStringList {"12.8832", "0.0000"} << QStringList {} << "15.9715";
    QTest::newRow("a value of 4e13 within the range: 4e13 x 1.1 x 12 %")
        << calc(-1, 1, "0", {item("40000000000000", "0", "10", "12", "0")}) << QStringList {"5280000000000.0000"}
        << QStringList {} << "5280000000000.0000";
    QTest::newRow("a margin of many decimals stays whole: 1000 x 1.333333 x 18 %")
        << calc(-1, 1, "0", {item("1000", "0", "33.3333", "18", "0")}) << QStringList {"239.9999"} << QStringList {}
        << "239.9999";
    QTest::newRow("negative amounts are taken as typed") << calc(-1, 1, "0", {item("-100", "0", "40", "18", "12")})
                                                         << QStringList {"0.0000"} << QStringList {} << "0.0000";
    // The tool reads each line over the one before: a line with fewer keys,
    // a null where a number stood, no flag where one was set, takes nothing
    // from its predecessor.
    QTest::newRow("a line with other keys than the line before") << calc(-1, 1, "0",
        {com(linha, {{"FEM", true}, {"ItemBrelva", "01.001.00"}}),
            QJsonObject {{"AliqICMS", "18"}, {"CreditoICMS", "12"}, {"MVA", QJsonValue::Null}, {"ValorNF", "200"}},
            item("300", "0", "0", "18", "12")}) << QStringList {"15.7200", "12.0000", "18.0000"}
                                                                 << QStringList {"2.0000", "0.0000", "0.0000"}
                                                                 << "45.7200";
    QTest::newRow("negative amounts printed with their sign: DIFAL base -1000 / 0.82")
        << calc(-1, 2, "0", {QJsonObject {{"ValorNF", "-1000"}, {"AliqICMS", "18"}, {"CreditoICMS", "12"}}})
        << QStringList {"0.0000"} << QStringList {"0.0000"} << "0.0000";
}

void TestQuick::rules()
{
    QFETCH(QJsonObject, entrada);
    QFETCH(QStringList, linhas);
    QFETCH(QStringList, fem);
    QFETCH(QString, total);

    // The window's lists, filled as its dialogs fill them.
    CalculoRapido calc;
    calc.grupo = entrada.value(QStringLiteral("grupo")).toInt();
    calc.tipoCalculo = entrada.value(QStringLiteral("tipo")).toInt();
    calc.frete = valor(entrada.value(QStringLiteral("frete")).toString());
    calc.partilhaDIFAL = PartilhaDIFAL(2026);
    QSignalSpy totais(&calc, &CalculoRapido::totalChanged);
    for (const QJsonValue &v : entrada.value(QStringLiteral("itens")).toArray())
        acrescenta(calc.MemItens, v.toObject());
    for (const QJsonValue &v : entrada.value(QStringLiteral("itensMedic")).toArray())
        acrescenta(calc.MemItensMedic, v.toObject());
    const bool medicamentos = CalculoRapido::grupoMedicamento(calc.grupo);
    QCOMPARE(
        colunaLista(medicamentos ? static_cast<db::DataSet &>(calc.MemItensMedic) : calc.MemItens, "TotalARecolher"),
        linhas);
    if (!fem.isEmpty())
        QCOMPARE(colunaLista(calc.MemItens, "ValorFEM"), fem);
    QCOMPARE(calc.Total().toPlainString(4), total);
    // Every post announced the total of the lines so far; the last one is the total.
    QCOMPARE(totais.size(), linhas.size());
    QCOMPARE(totais.last().at(0).value<Currency>().toPlainString(4), total);

    // The same through the command-line tool.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rapido.json"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QJsonDocument(entrada).toJson());
    f.close();
    QProcess cli;
    cli.start(QStringLiteral(STB_CLI_PATH),
        {QStringLiteral("quick"), QStringLiteral("--today"), QStringLiteral("2026-11-20"), file});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    const QJsonObject saida = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    QCOMPARE(saida.value(QStringLiteral("total")).toString(), total);
    QStringList linhasCli, femCli;
    int n = 0;
    for (const QJsonValue &v :
        saida.value(medicamentos ? QStringLiteral("itensMedic") : QStringLiteral("itens")).toArray()) {
        QCOMPARE(v.toObject().value(QStringLiteral("NroItem")).toInt(), ++n);
        linhasCli << v.toObject().value(QStringLiteral("TotalARecolher")).toString();
        femCli << v.toObject().value(QStringLiteral("ValorFEM")).toString();
    }
    QCOMPARE(linhasCli, linhas);
    if (!fem.isEmpty())
        QCOMPARE(femCli, fem);

    // Every amount the tool prints for every line of both lists is the
    // window's own field for that line.
    const auto coluna = [&saida](const char *lista, const char *campo) {
        QStringList out;
        for (const QJsonValue &v : saida.value(QLatin1String(lista)).toArray())
            out << v.toObject().value(QLatin1String(campo)).toString();
        return out;
    };
    for (const char *campo : {"TotalARecolher", "ValorFEM", "ValorFinal", "ValorICMS"})
        QCOMPARE(coluna("itens", campo), colunaLista(calc.MemItens, campo));
    for (const char *campo : {"DebVlICMS", "TotalARecolher"})
        QCOMPARE(coluna("itensMedic", campo), colunaLista(calc.MemItensMedic, campo));
}

void TestQuick::deleteRenumbers()
{
    CalculoRapido calc;
    for (const char *v : {"100", "200", "300", "400"})
        acrescenta(calc.MemItens, item(v, "0", "0", "18", "0"));
    QSignalSpy totais(&calc, &CalculoRapido::totalChanged);
    calc.MemItens.setRecNo(2);
    calc.excluiLinha(calc.MemItens);
    QStringList nros, valores;
    for (calc.MemItens.first(); !calc.MemItens.eof(); calc.MemItens.next()) {
        nros << calc.MemItens.fieldByName(QStringLiteral("NroItem")).asString();
        valores << calc.MemItens.fieldByName(QStringLiteral("ValorNF")).asCurrency().toPlainString(0);
    }
    QCOMPARE(nros, (QStringList {"1", "2", "3"}));
    QCOMPARE(valores, (QStringList {"100", "300", "400"}));
    // One total after the renumbering, not one per line.
    QCOMPARE(totais.size(), 1);
    QCOMPARE(totais.first().at(0).value<Currency>(), Currency::fromInt(144));
    // The last line deleted: nothing to renumber.
    calc.MemItens.last();
    calc.excluiLinha(calc.MemItens);
    QCOMPARE(calc.MemItens.recordCount(), 2);
    QCOMPARE(calc.Total(), valor(QStringLiteral("72")));
}

void TestQuick::linesAfterANewCalculation()
{
    // "Novo Cálculo" empties the lists by reopening them; lines added
    // afterwards compute as before (the lists' fields are new after an open).
    CalculoRapido calc;
    acrescenta(calc.MemItens, item("100", "10", "40", "18", "12"));
    calc.limpa();
    QCOMPARE(calc.MemItens.recordCount(), 0);
    acrescenta(calc.MemItens, item("100", "10", "40", "18", "12"));
    acrescenta(calc.MemItensMedic, medic("100", "0", "18", "12"));
    QCOMPARE(calc.MemItens.fieldByName(QStringLiteral("TotalARecolher")).asCurrency(), valor(QStringLiteral("15.72")));
    QCOMPARE(calc.MemItens.recordCount(), 1);
}

void TestQuick::badInput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("erro");
    QTest::addColumn<QString>("motivo"); // how the line ends, when checked
    QTest::newRow("group outside the kinds")
        << QByteArray(R"({"grupo": 7, "tipo": 1})") << "erro: grupo: esperado -1, 6, 13 ou 113" << QString();
    QTest::newRow("type 5") << QByteArray(R"({"grupo": -1, "tipo": 5})") << "erro: tipo: esperado um tipo de 1 a 4"
                            << QString();
    QTest::newRow("unknown key") << QByteArray(R"({"grupo": -1, "tipo": 1, "fretes": "1"})")
                                 << "erro: fretes: campo desconhecido" << QString();
    QTest::newRow("a line's number is the program's")
        << QByteArray(R"({"itens": [{"NroItem": 3}]})") << "erro: itens[0].NroItem: é atribuído pelo programa"
        << QString();
    QTest::newRow("field spelled otherwise")
        << QByteArray(R"({"itens": [{"ValorNf": "1"}]})")
        << "erro: itens[0].ValorNf: campo desconhecido (o nome do campo se escreve \"ValorNF\")" << QString();
    QTest::newRow("amount with five decimals") << QByteArray(R"({"itensMedic": [{"DebVlMerc": "1.00001"}]})")
                                               << "erro: itensMedic[0].DebVlMerc: " << QString();
    QTest::newRow("not JSON") << QByteArray("{\"grupo\": ") << "erro: " << QString();
    QTest::newRow("a bad amount on a later line") << QByteArray(R"({"itens": [{"ValorNF": "1"}, {"ValorNF": "1,5"}]})")
                                                  << "erro: itens[1].ValorNF: valor malformado \"1,5\"" << QString();
    QTest::newRow("a key repeated in a later line")
        << QByteArray(R"({"itens": [{"ValorNF": "1", "MVA": "2"}, {"MVA": "2", "ValorNF": "1", "MVA": "3"}]})")
        << "erro: "
        << ":1:71: campo \"MVA\" repetido";
    // Amounts past the currency range are refused naming the amount, as
    // compute refuses them, never printed capped.
    QTest::newRow("a line past the range")
        << QByteArray(R"({"itens": [{"ValorNF": "1"}, {"ValorNF": "900000000000000", "ValorIPI": "900000000000000"}]})")
        << "erro: itens[1].TotalARecolher: O valor de TotalARecolher ultrapassa o limite dos valores monetários"
        << QString();
    QTest::newRow("a medicine line past the range")
        << QByteArray(R"({"grupo": 113, "itensMedic": [{"DebVlMerc": "900000000000000", "MVA": "-50"}]})")
        << "erro: itensMedic[0].V0: O valor de V0 ultrapassa o limite dos valores monetários" << QString();
    QTest::newRow("lines within the range, their total past it")
        << QByteArray(R"({"itens": [{"ValorNF": "500000000000000", "AliqICMS": "100"},)"
                      R"( {"ValorNF": "500000000000000", "AliqICMS": "100"}]})")
        << "erro: total: O valor de Total ultrapassa o limite dos valores monetários" << QString();
    QTest::newRow("a key repeated through an escape")
        << QByteArray(R"({"itens": [{"ValorNF": "1", "Valor\u004EF": "2"}]})") << "erro: "
        << "campo \"ValorNF\" repetido";
}

void TestQuick::badInput()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, erro);
    QFETCH(QString, motivo);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rapido.json"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
    f.close();
    QProcess cli;
    cli.start(QStringLiteral(STB_CLI_PATH), {QStringLiteral("quick"), file});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 2);
    QVERIFY(cli.readAllStandardOutput().isEmpty());
    const QString stderrText = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(stderrText.startsWith(erro), qPrintable(stderrText));
    QVERIFY2(stderrText.trimmed().endsWith(motivo), qPrintable(stderrText));
    QCOMPARE(stderrText.count(QLatin1Char('\n')), 1);
}

QTEST_GUILESS_MAIN(TestQuick)
#include "tst_quick.moc"
