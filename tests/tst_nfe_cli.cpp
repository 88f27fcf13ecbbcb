// stbrelva-cli nfe run as a process on the invented NF-e files: the
// comparison printed as JSON, and the refusals (a broken file among good
// ones, a line without annex entry, bad options) with nothing on stdout.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kDados = QStringLiteral(STB_NFE_DATA);

struct Saida {
    int rc = -1;
    QByteArray out, err;
};

QString nfe(const char *nome) { return QDir(kDados).filePath(QString::fromLatin1(nome)); }

} // namespace

class TstNfeCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void comparacao();
    void duplicadaNoMesmoLote();
    void baseReduzida();
    void recusas_data();
    void recusas();

private:
    Saida roda(const QStringList &args);
    QString calculo(bool opInterna);
    QTemporaryDir m_dir;
};

void TstNfeCli::initTestCase() { QVERIFY(m_dir.isValid()); }

Saida TstNfeCli::roda(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH),
        QStringList {QStringLiteral("nfe"), QStringLiteral("--today"), QStringLiteral("2026-12-06"),
            QStringLiteral("--appdir"), QStringLiteral(STB_APPDIR)}
            + args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QString TstNfeCli::calculo(bool opInterna)
{
    const QString path
        = m_dir.filePath(opInterna ? QStringLiteral("interna.json") : QStringLiteral("interestadual.json"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray(R"({"calculo": {"TipoCalculo": 1, "DiferencialAliq": false, "OpInterna": )")
            + (opInterna ? "true" : "false") + R"(, "PrintMR": 0}, "notas": []})");
    return path;
}

void TstNfeCli::comparacao()
{
    const Saida s = roda({QStringLiteral("--item"), QStringLiteral("nfe_interestadual.xml:3=04.001.00"), calculo(false),
        nfe("nfe_cst10_ipi_frete.xml"), nfe("nfe_interestadual.xml")});
    QVERIFY2(s.rc == 0, s.err.constData());
    QVERIFY(s.err.isEmpty());
    const QJsonArray notas = QJsonDocument::fromJson(s.out).object().value(QLatin1String("notas")).toArray();
    QCOMPARE(notas.size(), 2);
    const QJsonObject n1 = notas[0].toObject();
    QCOMPARE(n1.value(QLatin1String("arquivo")).toString(), QStringLiteral("nfe_cst10_ipi_frete.xml"));
    QVERIFY(n1.value(QLatin1String("importada")).toBool());
    QCOMPARE(n1.value(QLatin1String("vST")).toString(), QStringLiteral("375.82"));
    QCOMPARE(n1.value(QLatin1String("ICMSaRecolher")).toString(), QStringLiteral("375.81"));
    QCOMPARE(n1.value(QLatin1String("diferenca")).toString(), QStringLiteral("-0.01"));
    QCOMPARE(n1.value(QLatin1String("destaca")).toBool(), false);
    const QJsonObject l1 = n1.value(QLatin1String("itens")).toArray()[0].toObject();
    QCOMPARE(l1.value(QLatin1String("calculado")).toObject().value(QLatin1String("ValorFinal")).toString(),
        QStringLiteral("2122.90"));
    QCOMPARE(l1.value(QLatin1String("calculado")).toObject().value(QLatin1String("ICMSaRecolher")).toString(),
        QStringLiteral("262.12"));
    QCOMPARE(l1.value(QLatin1String("declarado")).toObject().value(QLatin1String("vICMSST")).toString(),
        QStringLiteral("261.61"));
    QCOMPARE(
        l1.value(QLatin1String("diferenca")).toObject().value(QLatin1String("ST")).toString(), QStringLiteral("0.51"));
    QVERIFY(l1.value(QLatin1String("destaca")).toBool());

    const QJsonObject n2 = notas[1].toObject();
    QCOMPARE(n2.value(QLatin1String("ICMSaRecolher")).toString(), QStringLiteral("301.97"));
    const QJsonArray itens2 = n2.value(QLatin1String("itens")).toArray();
    QCOMPARE(itens2.size(), 3);
    QCOMPARE(itens2[2].toObject().value(QLatin1String("ItemBrelva")).toString(), QStringLiteral("04.001.00"));
    QCOMPARE(itens2[2].toObject().value(QLatin1String("calculado")).toObject().value(QLatin1String("MVA")).toString(),
        QStringLiteral("76.00"));
    QCOMPARE(itens2[1].toObject().value(QLatin1String("diferenca")).toObject().value(QLatin1String("ST")).toString(),
        QStringLiteral("0.01"));
    QCOMPARE(itens2[1].toObject().value(QLatin1String("destaca")).toBool(), false);
}

void TstNfeCli::duplicadaNoMesmoLote()
{
    const Saida s = roda({calculo(true), nfe("nfe_cst30_desconto.xml"), nfe("nfe_cst30_desconto.xml")});
    QVERIFY2(s.rc == 0, s.err.constData());
    const QJsonArray notas = QJsonDocument::fromJson(s.out).object().value(QLatin1String("notas")).toArray();
    QCOMPARE(notas.size(), 2);
    QVERIFY(notas[0].toObject().value(QLatin1String("importada")).toBool());
    QVERIFY(!notas[1].toObject().value(QLatin1String("importada")).toBool());
    QVERIFY(!notas[1].toObject().contains(QLatin1String("itens")));
}

void TstNfeCli::baseReduzida()
{
    // Own ICMS 37.20 on 310.00 declared at 30 %: the line is stored at 12 %
    // and both the line and the invoice say so; 71.30 against 60.00.
    const Saida s = roda({calculo(true), nfe("nfe_cst70_outras.xml")});
    QVERIFY2(s.rc == 0, s.err.constData());
    const QJsonObject n = QJsonDocument::fromJson(s.out).object().value(QLatin1String("notas")).toArray()[0].toObject();
    QCOMPARE(n.value(QLatin1String("ICMSaRecolher")).toString(), QStringLiteral("71.30"));
    QCOMPARE(n.value(QLatin1String("diferenca")).toString(), QStringLiteral("11.30"));
    const QString nota = QStringLiteral("crédito do ICMS pela alíquota efetiva de 12,00% (a NF-e declara 30,00%)");
    QCOMPARE(n.value(QLatin1String("avisos")).toArray().first().toString(), QStringLiteral("item 1: ") + nota);
    const QJsonObject l = n.value(QLatin1String("itens")).toArray()[0].toObject();
    QCOMPARE(l.value(QLatin1String("observacao")).toString(), nota);
    // A line whose own ICMS is rate × value carries no note.
    const Saida t = roda({calculo(true), nfe("nfe_cst90_sem_envelope.xml")});
    QVERIFY2(t.rc == 0, t.err.constData());
    const QJsonObject n2
        = QJsonDocument::fromJson(t.out).object().value(QLatin1String("notas")).toArray()[0].toObject();
    QVERIFY(!n2.contains(QLatin1String("avisos")));
    QVERIFY(!n2.value(QLatin1String("itens")).toArray()[0].toObject().contains(QLatin1String("observacao")));
}

void TstNfeCli::recusas_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("erro");
    const QString interna = calculo(true);
    QTest::newRow("fifth file broken")
        << QStringList {interna, nfe("nfe_cst30_desconto.xml"), nfe("nfe_cst70_outras.xml"),
               nfe("nfe_cst90_sem_envelope.xml"), nfe("nfe_csosn201.xml"), nfe("cte_nao_nfe.xml")}
        << "erro: O arquivo \"cte_nao_nfe.xml\" não é uma NF-e válida: não é uma NF-e (o documento é <cteProc> de "
           "http://www.portalfiscal.inf.br/cte).";
    QTest::newRow("line without annex entry") << QStringList {calculo(false), nfe("nfe_interestadual.xml")}
                                              << "erro: nfe_interestadual.xml: item 3: 2 subitens do Brelva possíveis "
                                                 "para o NCM 24021000: escolha um (04.001.00, 04.003.00)";
    QTest::newRow("choice of a missing line") << QStringList {QStringLiteral("--item"),
        QStringLiteral("nfe_cst30_desconto.xml:9=01.001.00"), interna, nfe("nfe_cst30_desconto.xml")}
                                              << "erro: --item: não há o item 9 em \"nfe_cst30_desconto.xml\"";
    QTest::newRow("malformed choice") << QStringList {QStringLiteral("--item"), QStringLiteral("x=1"), interna,
        nfe("nfe_cst30_desconto.xml")} << "erro: --item: esperado ARQUIVO:N=SUBITEM, encontrado \"x=1\"";
    QTest::newRow("no NF-e") << QStringList {interna} << "erro: NFE.xml: faltam arquivos";
    QTest::newRow("missing file") << QStringList {interna, QStringLiteral("/nao/existe.xml")}
                                  << "erro: /nao/existe.xml: o arquivo não existe";
}

void TstNfeCli::recusas()
{
    QFETCH(QStringList, args);
    QFETCH(QString, erro);
    const Saida s = roda(args);
    QCOMPARE(s.rc, 2);
    QVERIFY(s.out.isEmpty());
    QVERIFY2(QString::fromUtf8(s.err).startsWith(erro), s.err.constData());
}

QTEST_GUILESS_MAIN(TstNfeCli)
#include "tst_nfe_cli.moc"
