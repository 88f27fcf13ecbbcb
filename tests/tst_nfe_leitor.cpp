// The NF-e reader: the fields of every ICMS group shape, the access key's
// check digit, and the files it must refuse (another document, hostile XML).
#include "core/fuzz/nfefuzz.h"
#include "core/nfe.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using stb::Currency;

namespace {

const QString kDados = QStringLiteral(STB_NFE_DATA);

Currency c(const char *text) { return *Currency::parsePlain(QString::fromLatin1(text)); }
Currency c(const QString &text) { return *Currency::parsePlain(text); }

QByteArray arquivo(const QString &nome)
{
    QFile f(QDir(kDados).filePath(nome));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("fixture missing");
    return f.readAll();
}

// A minimal valid NF-e whose infNFe content is `corpo`.
QByteArray nfeMinima(const QByteArray &corpo, const QByteArray &antes = QByteArray())
{
    return antes
        + "<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"><infNFe "
          "Id=\"NFe35261111222333000181550010000010011123456780\">"
        + corpo + "</infNFe></NFe>";
}

} // namespace

class TstNfeLeitor : public QObject {
    Q_OBJECT
private slots:
    void chaveDeAcesso_data();
    void chaveDeAcesso();
    void decimais_data();
    void decimais();
    void gruposICMS_data();
    void gruposICMS();
    void cabecalhoETotais();
    void recusados_data();
    void recusados();
    void arquivoGrande();
    void aninhamentoProfundo();
    void corpusDoFuzz_data();
    void corpusDoFuzz();
};

void TstNfeLeitor::chaveDeAcesso_data()
{
    QTest::addColumn<QString>("chave");
    QTest::addColumn<bool>("valida");
    // Remainder 0 and 1 give digit 0: the first key's 43 digits sum to a multiple of 11 with its weights.
    QTest::newRow("fixture key") << QStringLiteral("35261144555666000181550010000020011123456783") << true;
    QTest::newRow("one digit off") << QStringLiteral("35261144555666000181550010000020011123456784") << false;
    QTest::newRow("two digits swapped") << QStringLiteral("53261144555666000181550010000020011123456783") << false;
    QTest::newRow("43 digits") << QStringLiteral("3526114455566600018155001000002001112345678") << false;
    QTest::newRow("letter") << QStringLiteral("3526114455566600018155001000002001112345678X") << false;
    QTest::newRow("all zeros (remainder 0 gives 0)") << QString(44, QLatin1Char('0')) << true;
}

void TstNfeLeitor::chaveDeAcesso()
{
    QFETCH(QString, chave);
    QFETCH(bool, valida);
    QCOMPARE(stb::ChaveAcessoValida(chave), valida);
}

void TstNfeLeitor::decimais_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("valor"); // empty: refused
    QTest::newRow("two decimals") << QStringLiteral("1234.56") << QStringLiteral("1234.5600");
    QTest::newRow("ten decimals truncated") << QStringLiteral("0.1234999999") << QStringLiteral("0.1234");
    QTest::newRow("integer") << QStringLiteral("7") << QStringLiteral("7.0000");
    QTest::newRow("beyond double precision")
        << QStringLiteral("123456789012345.67") << QStringLiteral("123456789012345.6700");
    QTest::newRow("comma") << QStringLiteral("12,50") << QString();
    QTest::newRow("exponent") << QStringLiteral("1e3") << QString();
    QTest::newRow("trailing point") << QStringLiteral("12.") << QString();
    QTest::newRow("16 integer digits") << QStringLiteral("1234567890123456") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TstNfeLeitor::decimais()
{
    QFETCH(QString, texto);
    QFETCH(QString, valor);
    const std::optional<Currency> v = stb::LeDecimalNFe(texto);
    QCOMPARE(v.has_value(), !valor.isEmpty());
    if (v)
        QCOMPARE(v->toPlainString(), valor);
}

void TstNfeLeitor::gruposICMS_data()
{
    QTest::addColumn<QString>("arquivo");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("grupo");
    QTest::addColumn<QString>("cst");
    // value = vProd − vDesc + vOutro as the import takes it; then pICMS, vICMS, pMVAST, vBCST, vICMSST, vIPI
    QTest::addColumn<QStringList>("valores");
    QTest::newRow("CST 10 with IPI") << "nfe_cst10_ipi_frete.xml" << 0 << "ICMS10"
                                     << "10"
                                     << QStringList {"1000.00", "12", "120.00", "84.35", "2120.03", "261.61", "100.00"};
    QTest::newRow("CST 30 discount") << "nfe_cst30_desconto.xml" << 0 << "ICMS30"
                                     << "30" << QStringList {"180.00", "0", "0", "46", "262.80", "65.70", "0"};
    QTest::newRow("CST 70 other") << "nfe_cst70_outras.xml" << 0 << "ICMS70"
                                  << "70" << QStringList {"310.00", "30", "37.20", "40", "434.00", "60.00", "0"};
    QTest::newRow("CST 90 bare NFe") << "nfe_cst90_sem_envelope.xml" << 0 << "ICMS90"
                                     << "90" << QStringList {"100.00", "18", "18.00", "71.78", "171.78", "12.92", "0"};
    QTest::newRow("CSOSN 201") << "nfe_csosn201.xml" << 0 << "ICMSSN201"
                               << "201" << QStringList {"100.00", "0", "0", "71.78", "171.78", "12.92", "0"};
    QTest::newRow("CSOSN 202 second line") << "nfe_csosn202.xml" << 1 << "ICMSSN202"
                                           << "202" << QStringList {"50.00", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("CSOSN 900") << "nfe_csosn900.xml" << 0 << "ICMSSN900"
                               << "900" << QStringList {"100.00", "12", "12.00", "71.78", "188.96", "22.01", "10.00"};
}

void TstNfeLeitor::gruposICMS()
{
    QFETCH(QString, arquivo);
    QFETCH(int, item);
    QFETCH(QString, grupo);
    QFETCH(QString, cst);
    QFETCH(QStringList, valores);
    const stb::NFeLeitura r = stb::LeNFe(::arquivo(arquivo));
    QVERIFY2(r.ok(), qPrintable(r.motivo));
    const stb::NFeItem &it = r.nfe->itens.at(item);
    QCOMPARE(it.nItem, item + 1);
    QCOMPARE(it.grupoICMS, grupo);
    QCOMPARE(it.cst, cst);
    QCOMPARE(it.orig, QStringLiteral("0"));
    QCOMPARE(it.vProd - it.vDesc + it.vOutro, c(valores[0]));
    QCOMPARE(it.pICMS, c(valores[1]));
    QCOMPARE(it.vICMS, c(valores[2]));
    QCOMPARE(it.pMVAST, c(valores[3]));
    QCOMPARE(it.vBCST, c(valores[4]));
    QCOMPARE(it.vICMSST, c(valores[5]));
    QCOMPARE(it.vIPI, c(valores[6]));
}

void TstNfeLeitor::cabecalhoETotais()
{
    const stb::NFeLeitura r = stb::LeNFe(arquivo(QStringLiteral("nfe_cst10_ipi_frete.xml")));
    QVERIFY2(r.ok(), qPrintable(r.motivo));
    const stb::NFeDocumento &d = *r.nfe;
    QCOMPARE(d.chave.size(), 44);
    QCOMPARE(d.nNF, QStringLiteral("1001"));
    QCOMPARE(d.dataEmissao, QDate(2026, 11, 2));
    QCOMPARE(d.idDest, 2);
    QCOMPARE(d.emitente.nome, QStringLiteral("DISTRIBUIDORA PAULISTA DE PEÇAS LTDA"));
    QCOMPARE(d.emitente.uf, QStringLiteral("SP"));
    QCOMPARE(d.emitente.cnpj.size(), 14);
    QCOMPARE(d.destinatario.ie, QStringLiteral("0621234560078"));
    QCOMPARE(d.destinatario.uf, QStringLiteral("MG"));
    QCOMPARE(d.itens.size(), 2);
    QCOMPARE(d.itens[0].ncm, QStringLiteral("84212300"));
    QCOMPARE(d.itens[0].cest, QStringLiteral("0100100"));
    QCOMPARE(d.itens[0].vFrete, c("50"));
    QCOMPARE(d.itens[0].modBCST, 4);
    QCOMPARE(d.vST, c("375.82"));
    QCOMPARE(d.vFrete, c("75"));
    QCOMPARE(d.vProd, c("1500"));
    QCOMPARE(d.vIPI, c("100"));
    QCOMPARE(d.vNF, c("2050.82"));
    // The signature's elements, in their own namespace, are not read as NF-e fields.
    QVERIFY(!d.itens[1].cProd.contains(QLatin1String("AAAA")));
}

void TstNfeLeitor::recusados_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("motivo"); // a part of the reason
    QTest::newRow("CT-e") << arquivo(QStringLiteral("cte_nao_nfe.xml"))
                          << "não é uma NF-e (o documento é <cteProc> de http://www.portalfiscal.inf.br/cte)";
    QTest::newRow("wrong check digit") << arquivo(QStringLiteral("nfe_dv_errado.xml"))
                                       << "dígito verificador da chave de acesso";
    QTest::newRow("NFe element without namespace")
        << QByteArray("<NFe><infNFe/></NFe>") << "não é uma NF-e (o documento é <NFe>)";
    QTest::newRow("billion laughs") << nfeMinima("<ide><nNF>&lol9;</nNF></ide>",
        "<?xml version=\"1.0\"?><!DOCTYPE NFe [<!ENTITY lol \"lol\">"
        "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
        "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
        "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
        "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
        "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
        "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
        "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">]>")
                                    << "declara um DTD";
    QTest::newRow("external entity") << nfeMinima(
        "<ide><nNF>&x;</nNF></ide>", "<!DOCTYPE NFe [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>")
                                     << "declara um DTD";
    QTest::newRow("invalid UTF-8") << nfeMinima("<ide><nNF>1\xC3\x28</nNF></ide>") << "XML mal formado";
    QTest::newRow("truncated") << arquivo(QStringLiteral("nfe_cst30_desconto.xml")).left(900) << "termina antes do fim";
    QTest::newRow("amount with comma") << nfeMinima("<det nItem=\"1\"><prod><vProd>10,00</vProd></prod></det>")
                                       << "valor inválido em <vProd>: \"10,00\"";
    QTest::newRow("no lines") << QByteArray(arquivo(QStringLiteral("nfe_cst30_desconto.xml")))
                                     .replace(QByteArray("<det "), QByteArray("<xdet "))
                                     .replace(QByteArray("</det>"), QByteArray("</xdet>"))
                              << "não tem itens";
    QTest::newRow("item number beyond 990") << nfeMinima("<det nItem=\"991\"/>") << "nItem \"991\"";
    QTest::newRow("short key") << QByteArray("<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\"><NFe><infNFe "
                                             "Id=\"NFe1\"/></NFe><NFe><infNFe/></NFe></nfeProc>")
                               << "não tem 44 dígitos";
    QTest::newRow("empty") << QByteArray() << "termina antes do fim";
    QTest::newRow("not XML") << QByteArray("%PDF-1.4 binary") << "XML mal formado";
}

void TstNfeLeitor::recusados()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, motivo);
    const stb::NFeLeitura r = stb::LeNFe(xml);
    QVERIFY(!r.ok());
    QVERIFY2(r.motivo.contains(motivo), qPrintable(r.motivo));
}

// A 100 MB file is refused from its size, before it is read.
void TstNfeLeitor::arquivoGrande()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grande.xml"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(100LL * 1024 * 1024));
    }
    const stb::NFeLeitura r = stb::LeArquivoNFe(path);
    QVERIFY(!r.ok());
    QCOMPARE(r.motivo, QStringLiteral("o arquivo tem 100 MB; uma NF-e tem no máximo 16 MB"));
    QCOMPARE(stb::MensagemNFeRecusada(path, r.motivo),
        QStringLiteral(
            "O arquivo \"grande.xml\" não é uma NF-e válida: o arquivo tem 100 MB; uma NF-e tem no máximo 16 MB."));

    // A stream that gives more than the limit is cut at it.
    QByteArray grande(stb::TamanhoMaximoNFe + 10, ' ');
    QBuffer buf(&grande);
    QVERIFY(buf.open(QIODevice::ReadOnly));
    QVERIFY(stb::LeNFe(buf).motivo.contains(QStringLiteral("no máximo 16 MB")));
}

void TstNfeLeitor::aninhamentoProfundo()
{
    QByteArray xml = "<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\">";
    for (int i = 0; i < 10000; ++i)
        xml += "<a>";
    for (int i = 0; i < 10000; ++i)
        xml += "</a>";
    xml += "</NFe>";
    const stb::NFeLeitura r = stb::LeNFe(xml);
    QVERIFY(!r.ok());
    QCOMPARE(r.motivo, QStringLiteral("elementos aninhados além de 32 níveis"));
}

void TstNfeLeitor::corpusDoFuzz_data()
{
    QTest::addColumn<QString>("path");
    QDirIterator it(QStringLiteral(STB_NFE_CORPUS), QDir::Files);
    int n = 0;
    while (it.hasNext()) {
        const QString p = it.next();
        QTest::newRow(qPrintable(QFileInfo(p).fileName())) << p;
        ++n;
    }
    QVERIFY2(n >= 5, "the seed corpus is missing");
}

void TstNfeLeitor::corpusDoFuzz()
{
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(stb::fuzzNFeOnce(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

QTEST_GUILESS_MAIN(TstNfeLeitor)
#include "tst_nfe_leitor.moc"
