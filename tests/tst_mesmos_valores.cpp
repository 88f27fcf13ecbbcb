// One calculation, the same amounts on every path: each kind of calculation
// (ICMS/ST with freight, IPI, FEM and a highlighted ST, both DIFAL types,
// fuels, medicines by table and by margin) run through `stbrelva-cli
// compute` and `report`, against the rules called directly (CalculaItem,
// the highlight share, the medicine line) and, where its rules are the
// stored calculation's, the quick calculation.
#include "core/calcrapido.h"
#include "core/grupos.h"
#include "core/itemcalc.h"
#include "core/regras.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

Currency cur(const QJsonValue &v) { return v.isString() ? *Currency::parsePlain(v.toString()) : Currency(); }
QString txt(Currency c) { return c.toPlainString(4); }
QString txt(const std::optional<Currency> &c) { return c.value_or(Currency()).toPlainString(4); }

// A printed amount read back: "1.234,56" is 1234.56.
Currency impresso(const QJsonObject &colunas, const char *coluna)
{
    QString t = colunas.value(QLatin1String(coluna)).toObject().value(QStringLiteral("texto")).toString();
    t.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.'));
    return Currency::parsePlain(t).value_or(Currency());
}
Currency valorColuna(const QJsonObject &colunas, const char *coluna)
{
    return cur(colunas.value(QLatin1String(coluna)).toObject().value(QStringLiteral("valor")));
}

const char *kCalculo = R"({"settings": {"MRNormal": 50, "MREmDobro": 100, "MRReducao": 20},
 "calculo": {"TipoCalculo": %1, "DiferencialAliq": %2, "Grupo": %3, "PrintMR": 4},
 "notas": [
   {"NroNF": "101", "Frete": "50.00", "DestaqueICMSST": "%4",
    "itens": [{"ItemBrelva": "01.001.00", "ValorNF": "300.00", "ValorIPI": "30.00", "AliqICMS": "18", "MVA": "33.3333",
               "CreditoICMS": "12", "ValorCreditoICMS": "36.00", "FEM": true},
              {"ItemBrelva": "17.002.00", "ValorNF": "1234.56", "AliqICMS": "18", "MVA": "45.0005",
               "CreditoICMS": "7", "ValorCreditoICMS": "86.42"},
              {"ItemBrelva": "06.001.00", "ValorNF": "0", "Litros": "2000", "PMPF": "4.2", "PrecoLitroNF": "3.85",
               "AliqICMS": "25", "CreditoICMS": "12"}]},
   {"NroNF": "102", "Frete": "12.34",
    "itens": [{"ItemBrelva": "98.001.00", "ValorNF": "99.99", "AliqICMS": "12", "MVA": "33.33",
               "CreditoICMS": "12", "ValorCreditoICMS": "12.00", "FEM": true}]}]})";

const char *kMedic = R"({"calculo": {"TipoCalculo": 1, "Grupo": %1, "PrintMR": 4},
 "notas": [{"NroNF": "7", "CreditoICMSMedic": "10", "DestaqueICMSST": "3",
   "itensMedic": [{"CodBarra": "7891234567890", "Descricao": "DIPIRONA", "Qtd": 2, "DebVlMerc": "138.24",
                   "DebAliqICMS": "18", "Lista": "+", "MVA": "38.24", "CreditoICMS": "12"},
                  {"CodBarra": "7891234567891", "Descricao": "SORO", "Qtd": 1, "DebVlMerc": "33.33",
                   "DebAliqICMS": "12", "Lista": "-", "MVA": "33", "CreditoICMS": "12"}]}]})";

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

} // namespace

class TestMesmosValores : public QObject {
    Q_OBJECT

private slots:
    void linhasGerais_data();
    void linhasGerais();
    void medicamentos_data();
    void medicamentos();

private:
    Run run(const QStringList &args);
    QString arquivo(const QByteArray &json);
    QTemporaryDir m_dir;
    int m_files = 0;
};

Run TestMesmosValores::run(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString TestMesmosValores::arquivo(const QByteArray &json)
{
    const QString path = m_dir.filePath(QStringLiteral("c%1.json").arg(++m_files));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
        qFatal("cannot write the test input");
    return path;
}

void TestMesmosValores::linhasGerais_data()
{
    QTest::addColumn<int>("tipo");
    QTest::addColumn<int>("grupo");
    QTest::addColumn<QString>("destaque");
    QTest::addColumn<QString>("hoje");
    QTest::newRow("ICMS/ST, highlighted") << 1 << 0 << "20.00"
                                          << "2026-12-07";
    QTest::newRow("ICMS/ST, highlight above the lines") << 1 << 0 << "5000.00"
                                                        << "2026-12-07";
    QTest::newRow("FEM") << 4 << 0 << "0"
                         << "2026-12-07";
    QTest::newRow("DIFAL taxpayer") << 2 << 0 << "0"
                                    << "2026-12-07";
    QTest::newRow("DIFAL non-taxpayer, 2018 share") << 3 << 0 << "0"
                                                    << "2018-05-02";
    QTest::newRow("fuels, highlighted") << 1 << 6 << "20.00"
                                        << "2026-12-07";
}

void TestMesmosValores::linhasGerais()
{
    QFETCH(int, tipo);
    QFETCH(int, grupo);
    QFETCH(QString, destaque);
    QFETCH(QString, hoje);
    const QByteArray json = QString::fromLatin1(kCalculo)
                                .arg(tipo)
                                .arg(tipo == 2 || tipo == 3 ? QStringLiteral("true") : QStringLiteral("false"))
                                .arg(grupo ? QString::number(grupo) : QStringLiteral("null"))
                                .arg(destaque)
                                .toUtf8();
    const QString file = arquivo(json);
    const QStringList dia {QStringLiteral("--today"), hoje};
    const Run c = run(QStringList {QStringLiteral("compute")} + dia + QStringList {file});
    QVERIFY2(c.exitCode == 0, c.err.constData());
    const QString pdf = m_dir.filePath(QStringLiteral("r%1.pdf").arg(m_files));
    const Run r = run(QStringList {QStringLiteral("report")} + dia + QStringList {QStringLiteral("--pdf"), pdf, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());

    // The run's context as the tool builds it.
    ContextoCalculo ctx;
    ctx.tipoCalculo = tipo;
    ctx.diferencialAliq = tipo == 2 || tipo == 3;
    ctx.combustivel = grupo == 6;
    ctx.partilhaDIFAL = PartilhaDIFAL(QDate::fromString(hoje, Qt::ISODate).year());
    ctx.mr = fatoresMR(4, 50, 100, 20);

    const QJsonArray entrada = QJsonDocument::fromJson(json).object().value(QStringLiteral("notas")).toArray();
    const QJsonArray notasC = QJsonDocument::fromJson(c.out).object().value(QStringLiteral("notas")).toArray();
    const QJsonArray notasR = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("notas")).toArray();
    QCOMPARE(notasC.size(), entrada.size());
    QCOMPARE(notasR.size(), entrada.size());
    for (int n = 0; n < entrada.size(); ++n) {
        const QJsonObject ne = entrada[n].toObject();
        const QJsonArray linhas = ne.value(QStringLiteral("itens")).toArray();
        const QJsonArray ic = notasC[n].toObject().value(QStringLiteral("itens")).toArray();
        const QJsonArray ir = notasR[n].toObject().value(QStringLiteral("itens")).toArray();
        QCOMPARE(ic.size(), linhas.size());
        QCOMPARE(ir.size(), linhas.size());
        // The freight base: value and IPI of the lines not priced by PMPF.
        Currency base;
        for (const QJsonValue &v : linhas)
            if (cur(v.toObject().value(QStringLiteral("PMPF"))).isZero())
                base += cur(v.toObject().value(QStringLiteral("ValorNF")))
                    + cur(v.toObject().value(QStringLiteral("ValorIPI")));
        const Currency d = cur(ne.value(QStringLiteral("DestaqueICMSST")));
        const Currency v = cur(notasC[n].toObject().value(QStringLiteral("ValorARecolher")));
        QCOMPARE(notasR[n].toObject().value(QStringLiteral("TotalARecolher")).toString(), txt(v));
        Currency somaLinhas;
        for (int i = 0; i < linhas.size(); ++i) {
            const QJsonObject l = linhas[i].toObject();
            ItemEntrada e;
            e.valorNF = cur(l.value(QStringLiteral("ValorNF")));
            e.valorIPI = cur(l.value(QStringLiteral("ValorIPI")));
            e.aliqICMS = cur(l.value(QStringLiteral("AliqICMS")));
            e.mva = cur(l.value(QStringLiteral("MVA")));
            e.creditoICMS = cur(l.value(QStringLiteral("CreditoICMS")));
            e.valorCreditoICMS = cur(l.value(QStringLiteral("ValorCreditoICMS")));
            e.pmpf = cur(l.value(QStringLiteral("PMPF")));
            e.litros = cur(l.value(QStringLiteral("Litros")));
            e.precoLitroNF = cur(l.value(QStringLiteral("PrecoLitroNF")));
            e.fem = l.value(QStringLiteral("FEM")).toBool();
            e.itemBrelva = l.value(QStringLiteral("ItemBrelva")).toString();
            e.frete = cur(ne.value(QStringLiteral("Frete")));
            const ItemValores x = CalculaItem(ctx, e, [base] { return base; });
            const QJsonObject lc = ic[i].toObject();
            const QString onde = QStringLiteral("nota %1 linha %2").arg(n + 1).arg(i + 1);
            const std::pair<const char *, QString> campos[] = {{"ValorFinal", txt(x.valorFinal)},
                {"ValorICMS", txt(x.valorICMS)}, {"ICMSaRecolher", txt(x.icmsARecolher)}, {"ValorMR", txt(x.valorMR)},
                {"ValorMRRed", txt(x.valorMRRed)}, {"TotalARecolher", txt(x.totalARecolher)},
                {"ValorFEM", txt(x.valorFEM)}, {"FreteProp", txt(x.freteProp)}, {"Soma", txt(x.soma)}};
            for (const auto &[campo, esperado] : campos)
                QVERIFY2(lc.value(QLatin1String(campo)).toString() == esperado,
                    qPrintable(
                        QStringLiteral("%1 %2: compute %3, rule %4")
                            .arg(onde, QLatin1String(campo), lc.value(QLatin1String(campo)).toString(), esperado)));
            somaLinhas += x.icmsARecolher;

            // The report prints the same line, its highlight share from the
            // invoice's amount to collect.
            const QJsonObject col = ir[i].toObject().value(QStringLiteral("colunas")).toObject();
            QCOMPARE(valorColuna(col, "BC"), x.valorFinal);
            if (col.contains(QStringLiteral("ICMS"))) // the DIFAL layout leaves it out
                QCOMPARE(valorColuna(col, "ICMS"), x.valorICMS);
            else
                QVERIFY(ctx.diferencialAliq);
            const Currency parte = ParteDestaque(x.icmsARecolher, d, v);
            QCOMPARE(valorColuna(col, "Destaque"), parte);
            QCOMPARE(valorColuna(col, "ARecolher"), x.icmsARecolher - impresso(col, "Destaque"));
            if (x.valorFEM && !x.valorFEM->isZero() && tipo != 2 && tipo != 3)
                QCOMPARE(ValorFEM(x.valorFinal), *x.valorFEM);
        }
        // The invoice's total row: its lines less the highlight, never below 0.
        const QJsonObject total = notasR[n].toObject().value(QStringLiteral("totalDaNota")).toObject();
        if (!total.isEmpty())
            QCOMPARE(valorColuna(total.value(QStringLiteral("colunas")).toObject(), "ARecolher"),
                AposDestaque(somaLinhas, d));
    }
}

void TestMesmosValores::medicamentos_data()
{
    QTest::addColumn<int>("grupo");
    QTest::newRow("by table") << 13;
    QTest::newRow("by margin") << 113;
}

void TestMesmosValores::medicamentos()
{
    QFETCH(int, grupo);
    const QByteArray json = QString::fromLatin1(kMedic).arg(grupo).toUtf8();
    const QString file = arquivo(json);
    const Run c = run({QStringLiteral("compute"), file});
    QVERIFY2(c.exitCode == 0, c.err.constData());
    const QString pdf = m_dir.filePath(QStringLiteral("m%1.pdf").arg(m_files));
    const Run r = run({QStringLiteral("report"), QStringLiteral("--analitica"), QStringLiteral("--pdf"), pdf, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QJsonObject nota
        = QJsonDocument::fromJson(json).object().value(QStringLiteral("notas")).toArray()[0].toObject();
    const QJsonArray linhas = nota.value(QStringLiteral("itensMedic")).toArray();
    const QJsonObject nc
        = QJsonDocument::fromJson(c.out).object().value(QStringLiteral("notas")).toArray()[0].toObject();
    const QJsonObject nr
        = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("notas")).toArray()[0].toObject();
    const QJsonArray mc = nc.value(QStringLiteral("itensMedic")).toArray();
    const QJsonArray mr = nr.value(QStringLiteral("itens")).toArray();
    QCOMPARE(mc.size(), linhas.size());
    QCOMPARE(mr.size(), linhas.size());
    const Currency credito = cur(nota.value(QStringLiteral("CreditoICMSMedic")));
    const Currency d = cur(nota.value(QStringLiteral("DestaqueICMSST")));
    const Currency v = cur(nc.value(QStringLiteral("ValorARecolher")));
    QCOMPARE(nr.value(QStringLiteral("TotalARecolher")).toString(), txt(v));
    Currency soma;
    for (const QJsonValue &l : linhas)
        soma += cur(l.toObject().value(QStringLiteral("DebVlMerc")));
    const FatoresMR f = fatoresMR(4, 50, 100, 20);
    for (int i = 0; i < linhas.size(); ++i) {
        const QJsonObject l = linhas[i].toObject();
        const LinhaMedicRapida q {cur(l.value(QStringLiteral("DebVlMerc"))),
            cur(l.value(QStringLiteral("DebAliqICMS"))), cur(l.value(QStringLiteral("MVA"))),
            cur(l.value(QStringLiteral("CreditoICMS")))};
        const ValoresLinhaMedic esperado = LinhaMedicAnalitica(q.debVlMerc, q.debAliqICMS, credito, soma, f);
        // The stored line's ICMS, and the quick list's by table, are one rule.
        QCOMPARE(mc[i].toObject().value(QStringLiteral("DebVlICMS")).toString(), txt(esperado.icms));
        QCOMPARE(*CalculaMedicRapida(Grupo::Medicamentos, q).debVlICMS, esperado.icms);
        const QJsonObject col = mr[i].toObject().value(QStringLiteral("colunas")).toObject();
        QCOMPARE(valorColuna(col, "ICMS"), esperado.icms);
        QCOMPARE(valorColuna(col, "Cred"), esperado.credito);
        const Currency parte = ParteDestaque(esperado.aRecolher, d, v);
        QCOMPARE(valorColuna(col, "Destaque"), parte);
        QCOMPARE(valorColuna(col, "ARecolher"), esperado.aRecolher - impresso(col, "Destaque"));
    }
}

QTEST_GUILESS_MAIN(TestMesmosValores)
#include "tst_mesmos_valores.moc"
