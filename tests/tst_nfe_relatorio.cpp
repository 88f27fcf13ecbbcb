// The comparison of imported NF-e in the calculation report and in the
// spreadsheet: the rows printed after the codes block (read back from a real
// PDF with pdftotext), the differences highlighted, the report of a
// calculation without imported ST left as it was, and the workbook read back
// with python3-xlrd.
#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/nfeimporta.h"
#include "outputs/comparanfe.h"
#include "outputs/formrep.h"
#include "tests/nfe_fixture.h"
#include "tests/support/testenv.h"
#include "tests/xlsread.h"

#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using stbtest::TestInstall;

namespace {

const QString kDados = QStringLiteral(STB_NFE_DATA);

QString pdfTexto(RelatorioCalculo &rel, const QString &arquivo)
{
    {
        QPdfWriter w(arquivo);
        w.setResolution(1440);
        rel.imprime(w, false);
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), arquivo, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("(pdftotext falhou: %1)").arg(QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The cells of a printed line, as the words pdftotext separates by two or more blanks.
QStringList celulas(const QString &linha)
{
    return linha.trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}")), Qt::SkipEmptyParts);
}

const QString kTitulo = QStringLiteral("ICMS/ST destacado nas NF-e importadas x ICMS/ST calculado");

} // namespace

class TstNfeRelatorio : public NfeSuite {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secao_data();
    void secao();
    void semImportacaoNadaMuda();
    void baseReduzidaUmValor();
    void resumosComoAComparacao();
    void planilha();

private:
    void calculo(bool opInterna);
    void importa(const QStringList &nomes);
    std::unique_ptr<RelatorioCalculo> relatorio();

    QTemporaryDir m_tmp;
};

void TstNfeRelatorio::init() { abre(); }

void TstNfeRelatorio::cleanup() { fecha(); }

void TstNfeRelatorio::calculo(bool opInterna)
{
    db::Table &t = m_dm->TabCalc;
    t.append();
    t.fieldByName(QStringLiteral("DataHora")).setAsDateTime(QDateTime::currentDateTime());
    t.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(opInterna);
    t.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    t.fieldByName(QStringLiteral("DiferencialAliq")).setAsBoolean(false);
    t.post();
}

void TstNfeRelatorio::importa(const QStringList &nomes)
{
    const ContextoImportacao ctx = contextoImportacao(*m_dm);
    QStringList paths;
    for (const QString &n : nomes)
        paths << QDir(kDados).filePath(n);
    LoteNFe lote = LeArquivosNFe(*m_dm, ctx, paths);
    QVERIFY2(lote.erros.isEmpty(), qPrintable(lote.erros.join(QLatin1Char('\n'))));
    QCOMPARE(GravaImportacao(*m_dm, ctx, lote.notas).size(), nomes.size());
}

std::unique_ptr<RelatorioCalculo> TstNfeRelatorio::relatorio()
{
    auto rel = CriaRelatorio(*m_dm, ConfigRelatorio {}, false);
    rel->Prepara(2, QString());
    return rel;
}

void TstNfeRelatorio::secao_data()
{
    QTest::addColumn<QStringList>("arquivos");
    // Printed rows of the section, cells separated by "|"; a row starting
    // with "*" has its ST difference highlighted.
    QTest::addColumn<QStringList>("linhas");

    // Figures worked by hand in tst_nfe_importa: 434.00 × 25 % − 37.20 = 71.30 against the 60.00 declared.
    QTest::newRow("one invoice, a shortfall")
        << QStringList {"nfe_cst70_outras.xml"}
        << QStringList {"*2002|Rem: COMERCIAL MINEIRA D'AGUA LTDA|60,00|71,30|11,30",
               "*1|02.008.00|LICOR DE FRUTAS 700ML|434,00|434,00|0,00|40%|40%|0%|60,00|71,30|11,30",
               "*Total|60,00|71,30|11,30"};
    // An invoice that matches to the cent is printed without highlight; the
    // small company's group declares 12.92 where 30.92 is due.
    QTest::newRow("three invoices, one right")
        << QStringList {"nfe_cst30_desconto.xml", "nfe_csosn201.xml", "nfe_cst70_outras.xml"}
        << QStringList {"2001|Rem: COMERCIAL MINEIRA D'AGUA LTDA|65,70|65,70|0,00",
               "1|03.001.00|CERVEJA LATA 350ML CX 12|262,80|262,80|0,00|46%|46%|0%|65,70|65,70|0,00",
               "*3001|Rem: PEQUENA FÁBRICA ME|12,92|30,92|18,00",
               "*1|01.001.00|FILTRO DE AR FA-2|171,78|171,78|0,00|71,78%|71,78%|0%|12,92|30,92|18,00",
               "*2002|Rem: COMERCIAL MINEIRA D'AGUA LTDA|60,00|71,30|11,30",
               "*1|02.008.00|LICOR DE FRUTAS 700ML|434,00|434,00|0,00|40%|40%|0%|60,00|71,30|11,30",
               "*Total|138,62|167,92|29,30"};
    // Interstate, adjusted margins: one cent off is not highlighted, the
    // unadjusted margin of the third line is (base and ST).
    QTest::newRow("interstate, margins adjusted")
        << QStringList {"nfe_cst10_ipi_frete.xml"}
        << QStringList {"1001|Rem: DISTRIBUIDORA PAULISTA DE PEÇAS LTDA|375,82|375,81|-0,01",
               "*1|01.001.00|FILTRO DE OLEO FX-10|2.120,03|2.122,90|2,87|84,35%|84,35%|0%|261,61|262,12|0,51",
               "*2|01.002.00|VELA DE IGNICAO VX|967,84|964,96|-2,88|84,35%|84,35%|0%|114,21|113,69|-0,52",
               "Total|375,82|375,81|-0,01"};
}

void TstNfeRelatorio::secao()
{
    QFETCH(QStringList, arquivos);
    QFETCH(QStringList, linhas);
    calculo(!QString(QTest::currentDataTag()).startsWith(QLatin1String("interstate")));
    importa(arquivos);
    auto rel = relatorio();
    QCOMPARE(rel->secoes().size(), size_t(1));
    const auto &secao = dynamic_cast<const SecaoComparacaoNFe &>(*rel->secoes()[0]);
    // The reduced-base line of the CST 70 invoice carries its note on a row
    // of its own, under the line.
    const QString nota = QStringLiteral("crédito do ICMS pela alíquota efetiva de 12,00% (a NF-e declara 30,00%)");
    const bool comNota = arquivos.contains(QStringLiteral("nfe_cst70_outras.xml"));
    std::vector<LinhaComparacaoImpressa> semNotas;
    for (const LinhaComparacaoImpressa &l : secao.linhas())
        if (l.textos[CmpItem].isEmpty() && l.tipo == LinhaComparacaoImpressa::Tipo::Item)
            QCOMPARE(l.textos[CmpDescricao], nota);
        else
            semNotas.push_back(l);
    QCOMPARE(semNotas.size() + (comNota ? 1 : 0), secao.linhas().size());
    QCOMPARE(semNotas.size(), size_t(linhas.size()));

    const QString texto = pdfTexto(*rel, m_tmp.filePath(QStringLiteral("rel.pdf")));
    const qsizetype inicio = texto.indexOf(kTitulo);
    QVERIFY2(inicio >= 0, qPrintable(texto));
    // The section comes after the codes block.
    QVERIFY(texto.indexOf(QStringLiteral("Código Receita")) < inicio);
    QStringList impressas;
    for (const QString &l : texto.mid(inicio).split(QLatin1Char('\n'))) {
        const QStringList c = celulas(l);
        if (l.contains(QStringLiteral("Página")))
            continue; // the header of the next page
        if (!c.isEmpty() && (c[0] == QLatin1String("Total") || c[0].front().isDigit()))
            impressas << c.join(QLatin1Char('|'));
    }
    // The section starts on the first page; a page it continues on shows no
    // item column heads (they would stand over the comparison's columns).
    const QStringList paginas = texto.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(paginas.size(), rel->paginas());
    for (int pg = 1; pg <= paginas.size(); ++pg)
        QCOMPARE(paginas[pg - 1].contains(QLatin1String("Valor Prod")), pg == 1);
    QVERIFY2(impressas.size() == linhas.size(), qPrintable(impressas.join(QLatin1Char('\n'))));
    for (int i = 0; i < linhas.size(); ++i) {
        QString esperada = linhas[i];
        const bool destaque = esperada.startsWith(QLatin1Char('*'));
        if (destaque)
            esperada.remove(0, 1);
        QVERIFY2(impressas[i].startsWith(esperada), qPrintable(impressas[i] + QStringLiteral("  <>  ") + esperada));
        QCOMPARE(semNotas[size_t(i)].destaque[CmpSTDiferenca], destaque);
    }
    QCOMPARE(texto.contains(QStringLiteral("alíquota efetiva de 12,00%")), comNota);
}

void TstNfeRelatorio::baseReduzidaUmValor()
{
    // The CST 70 line (own ICMS 37.20 on 310.00 declared at 30 %) gives one
    // amount to collect in the line, the invoice total and the comparison:
    // 71.30 computed less the 60.00 declared.
    calculo(true);
    importa({QStringLiteral("nfe_cst70_outras.xml")});
    auto rel = relatorio();
    const NotaImpressa &n = rel->impressao().notas.at(0);
    auto cel = [](const Celulas &c, Coluna col) { return c[static_cast<size_t>(col)].texto; };
    const Celulas &linha = n.itens.at(0).celulas;
    QCOMPARE(cel(linha, ColICMS), QStringLiteral("108,50"));
    QCOMPARE(cel(linha, ColCred), QStringLiteral("37,20"));
    QCOMPARE(cel(linha, ColDestaque), QStringLiteral("60,00"));
    QCOMPARE(cel(linha, ColARecolher), QStringLiteral("11,30"));
    // A one-line invoice prints no total row; its amount is the line's.
    QVERIFY(!n.total.has_value());
}

void TstNfeRelatorio::resumosComoAComparacao()
{
    // Three invoices, one right, one short by 18.00, the reduced-base one by
    // 11.30: every summary's total is the comparison's 29.30, but for the
    // cent each row's share of the highlight is rounded to.
    calculo(true);
    importa({QStringLiteral("nfe_cst30_desconto.xml"), QStringLiteral("nfe_csosn201.xml"),
        QStringLiteral("nfe_cst70_outras.xml")});
    auto rel = relatorio();
    const Impressao &imp = rel->impressao();
    QVERIFY(!imp.resumos.empty());
    const Currency comparacao = *Currency::parsePlain(QStringLiteral("29.30"));
    for (const ResumoImpresso &r : imp.resumos) {
        const Currency total = r.total.celulas[static_cast<size_t>(ColARecolher)].valor.value_or(Currency());
        const std::int64_t folga = 100 * static_cast<std::int64_t>(r.linhas.size());
        QVERIFY2((total - comparacao).raw() <= folga && (comparacao - total).raw() <= folga,
            qPrintable(r.chave + QLatin1Char(' ') + total.toPlainString(2)));
    }
}

void TstNfeRelatorio::semImportacaoNadaMuda()
{
    // An invoice typed by hand: the report has no comparison and as many
    // pages as the same report without the section.
    calculo(true);
    db::Table &n = m_dm->TabNotas;
    n.append();
    n.fieldByName(QStringLiteral("IdCalculo"))
        .setAsInteger(m_dm->TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger());
    n.fieldByName(QStringLiteral("IdNota")).setAsInteger(m_dm->ProximoIdNota());
    n.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("77"));
    n.fieldByName(QStringLiteral("DestaqueICMSST")).setAsCurrency(Currency::fromInt(5));
    n.post();
    auto rel = relatorio();
    const QString texto = pdfTexto(*rel, m_tmp.filePath(QStringLiteral("sem.pdf")));
    QVERIFY(texto.contains(QStringLiteral("Código Receita")));
    QVERIFY(!texto.contains(kTitulo));
    TFormRep semSecao(*m_dm, ConfigRelatorio {});
    semSecao.Prepara(2, QString());
    QCOMPARE(rel->paginas(), semSecao.paginas());
    QCOMPARE(rel->bandas().posicoes().size(), semSecao.bandas().posicoes().size());

    // An imported invoice that declares no ST is left out as well.
    ComparacaoNota semST;
    semST.nroNF = QStringLiteral("1");
    semST.linhas << ComparacaoLinha {};
    QVERIFY(LinhasComparacao({semST}).empty());
}

void TstNfeRelatorio::planilha()
{
    calculo(true);
    importa({QStringLiteral("nfe_cst30_desconto.xml"), QStringLiteral("nfe_csosn201.xml")});
    const ContextoCalculo contexto = contextoCalculo(m_dm->TabCalc, fatoresMR(0, ParametrosMR {}), QDate(2026, 12, 6));
    const QString arquivo = m_tmp.filePath(QStringLiteral("cmp.xls"));
    QString erro;
    QVERIFY2(GravaPlanilhaComparacaoNFe(ComparaImportadas(*m_dm, contexto), arquivo, &erro), qPrintable(erro));
    const QJsonArray livro = stbtest::readXls(arquivo, &erro);
    QVERIFY2(livro.size() == 1, qPrintable(erro));
    const QJsonObject folha = livro[0].toObject();
    QCOMPARE(folha.value(QStringLiteral("name")).toString(), QStringLiteral("Comparação NF-e"));

    struct Esperada {
        int row, col;
        const char *kind;
        QVariant value;
        bool bold;
    };
    const Esperada esperadas[] = {
        {2, CmpSTDiferenca, "text", QStringLiteral("Diferença"), true},
        {3, CmpNF, "text", QStringLiteral("2001"), true},
        {3, CmpSTDeclarado, "number", 65.70, true},
        {4, CmpDescricao, "text", QStringLiteral("CERVEJA LATA 350ML CX 12"), false},
        {4, CmpBCCalculada, "number", 262.80, false},
        {4, CmpMVACalculada, "number", 0.46, false},
        {4, CmpSTDiferenca, "number", 0.0, false},
        {5, CmpSTCalculado, "number", 30.92, true},
        {6, CmpSubItem, "text", QStringLiteral("01.001.00"), false},
        {6, CmpSTDeclarado, "number", 12.92, false},
        {6, CmpSTDiferenca, "number", 18.00, true}, // highlighted
        {7, CmpNF, "text", QStringLiteral("Total"), true},
        {7, CmpSTDiferenca, "number", 18.00, true},
    };
    for (const Esperada &e : esperadas) {
        const QJsonObject c = stbtest::xlsCell(folha, e.row, e.col);
        const QByteArray onde = QByteArray::number(e.row) + "," + QByteArray::number(e.col);
        QVERIFY2(!c.isEmpty(), onde.constData());
        QCOMPARE(c.value(QStringLiteral("kind")).toString(), QString::fromLatin1(e.kind));
        if (e.value.typeId() == QMetaType::Double)
            QVERIFY2(qAbs(c.value(QStringLiteral("value")).toDouble() - e.value.toDouble()) < 1e-9, onde.constData());
        else
            QCOMPARE(c.value(QStringLiteral("value")).toString(), e.value.toString());
        QCOMPARE(c.value(QStringLiteral("bold")).toBool(), e.bold);
    }
    // The margin is a percent cell, the amounts currency cells.
    QVERIFY(stbtest::xlsCell(folha, 4, CmpMVACalculada)
                .value(QStringLiteral("format"))
                .toString()
                .contains(QLatin1Char('%')));
    QVERIFY(stbtest::xlsCell(folha, 4, CmpBCCalculada)
                .value(QStringLiteral("format"))
                .toString()
                .contains(QStringLiteral("0.00")));
    QCOMPARE(folha.value(QStringLiteral("rows")).toInt(), 8);

    // A folder that does not exist is reported, not ignored.
    QVERIFY(!GravaPlanilhaComparacaoNFe({}, m_tmp.filePath(QStringLiteral("nao/existe/cmp.xls")), &erro));
    QVERIFY(!erro.isEmpty());
}

QTEST_MAIN(TstNfeRelatorio)
#include "tst_nfe_relatorio.moc"
