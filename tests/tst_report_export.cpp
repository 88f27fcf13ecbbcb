// The report exported from the preview as a spreadsheet and as RTF, read back
// by independent readers (python3-xlrd, unrtf): the same texts and amounts
// as the printed report, only the printed columns, and texts that survive
// the escaping of each format.
#include "calc_fixture.h"
#include "outputs/exportarelatorio.h"
#include "outputs/formrep.h"
#include "tests/xlsread.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTextDocumentFragment>

using namespace stb;
using calctest::Fixture;

namespace {

// The document as unrtf reads it, turned to plain text (its HTML output keeps
// every character; its text output is Latin-1 only).
QString unrtf(const QString &arquivo)
{
    QProcess p;
    p.start(QStringLiteral("unrtf"), {QStringLiteral("--html"), arquivo});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("(unrtf falhou: %1 %2)")
            .arg(p.errorString(), QString::fromUtf8(p.readAllStandardError()));
    return QTextDocumentFragment::fromHtml(QString::fromUtf8(p.readAllStandardOutput())).toPlainText();
}

// Texts of a sheet's row, by column (numbers as they read back).
QMap<int, QJsonValue> linha(const QJsonObject &sheet, int row)
{
    QMap<int, QJsonValue> out;
    for (const QJsonValue &v : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("row")).toInt() == row)
            out.insert(c.value(QStringLiteral("col")).toInt(), c.value(QStringLiteral("value")));
    }
    return out;
}

// The row whose first cell is `rotulo`, or -1.
int linhaDe(const QJsonObject &sheet, const QString &rotulo)
{
    for (const QJsonValue &v : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("col")).toInt() == 0 && c.value(QStringLiteral("value")).toString() == rotulo)
            return c.value(QStringLiteral("row")).toInt();
    }
    return -1;
}

// Two lines in one invoice, so a "Total da Nota" prints.
void calculo(Fixture &f)
{
    f.calculo("TipoCalculo=1");
    f.nota("NroNF=4510,Frete=50");
    f.item("ItemBrelva=01.001.00,ValorNF=300,AliqICMS=18,MVA=40,CreditoICMS=12,ValorCreditoICMS=36,FEM=1");
    f.item("ItemBrelva=98.001.00,ValorNF=100,ValorIPI=10,AliqICMS=18,MVA=71.5,CreditoICMS=12,ValorCreditoICMS=12");
}

} // namespace

class TestReportExport : public QObject {
    Q_OBJECT

private slots:
    void spreadsheetHoldsThePrintedColumns_data();
    void spreadsheetHoldsThePrintedColumns();
    void rtfReadsBackAsPrinted();
    void textsThatNeedEscaping();
    void tooManyLinesForASheet();
};

void TestReportExport::spreadsheetHoldsThePrintedColumns_data()
{
    QTest::addColumn<int>("opcao");
    QTest::addColumn<bool>("colunasMR");
    QTest::newRow("option 1: no MR columns") << 1 << false;
    QTest::newRow("option 4: MR and reduced MR") << 4 << true;
}

void TestReportExport::spreadsheetHoldsThePrintedColumns()
{
    QFETCH(int, opcao);
    QFETCH(bool, colunasMR);
    Fixture f;
    calculo(f);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(opcao, QStringLiteral("Carga conferida"));
    const Impressao &imp = rep.impressao();
    QCOMPARE(imp.colunas[ColMR].visivel, colunasMR);

    const QString arquivo = f.dir.filePath(QStringLiteral("rel.xls"));
    QString erro;
    QVERIFY2(GravaPlanilhaRelatorio(imp, arquivo, &erro), qPrintable(erro));
    const QJsonArray sheets = stbtest::readXls(arquivo, &erro);
    QVERIFY2(!sheets.isEmpty(), qPrintable(erro));
    const QJsonObject sheet = sheets.at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("name")).toString(), QStringLiteral("Memória de Cálculo"));

    // The heading row names exactly the printed columns, in order.
    QStringList esperados;
    for (const ColunaImpressa &c : imp.colunas)
        if (c.visivel)
            esperados << QString(c.titulo).replace(QLatin1String("\r\n"), QLatin1String(" "));
    int cabecalho = -1;
    for (int r = 0; r < sheet.value(QStringLiteral("rows")).toInt() && cabecalho < 0; ++r)
        if (linha(sheet, r).value(1).toString() == esperados.first())
            cabecalho = r;
    QVERIFY(cabecalho > 0);
    QStringList lidos;
    for (const QJsonValue &v : linha(sheet, cabecalho))
        lidos << v.toString();
    QCOMPARE(lidos, esperados);

    // Every printed amount of the lines and the total is a number in its
    // column; the texts are texts.
    const NotaImpressa &n = imp.notas.at(0);
    QVERIFY(n.total);
    const int cabNota = linhaDe(sheet, n.textoNF);
    QVERIFY(cabNota > cabecalho);
    auto confere = [&](const Celulas &cel, int row) {
        const QMap<int, QJsonValue> lida = linha(sheet, row);
        int col = 1;
        for (int c = 0; c < NumColunas; ++c) {
            if (!imp.colunas[static_cast<size_t>(c)].visivel)
                continue;
            const Celula &esperada = cel[static_cast<size_t>(c)];
            if (esperada.valor)
                QCOMPARE(lida.value(col).toDouble(), esperada.valor->toDouble());
            else
                QCOMPARE(lida.value(col).toString(), esperada.texto);
            ++col;
        }
    };
    // Under the invoice's header: each line, its FEM line when printed, the total.
    int row = cabNota + 1;
    for (const LinhaImpressa &l : n.itens) {
        confere(l.celulas, row++);
        if (l.fem) {
            QCOMPARE(linha(sheet, row).value(0).toString(), QStringLiteral("FEM:"));
            confere(*l.fem, row++);
        }
    }
    QVERIFY(n.itens.at(0).fem); // the first line pays FEM
    const int total = linhaDe(sheet, QStringLiteral("Total da Nota"));
    QCOMPARE(total, row);
    confere(n.total->celulas, total);
    QCOMPARE(lidos.size(), static_cast<qsizetype>(esperados.size()));

    // The codes and the footer remark close the sheet.
    QVERIFY(linhaDe(sheet, QStringLiteral("Código Receita: ") + imp.codReceita) > total);
    QCOMPARE(linhaDe(sheet, imp.rodape), sheet.value(QStringLiteral("rows")).toInt() - 1);
}

void TestReportExport::rtfReadsBackAsPrinted()
{
    Fixture f;
    calculo(f);
    TFormRep rep(*f.dm, ConfigRelatorio {});
    rep.Prepara(4, QStringLiteral("Conferência às 10h"));
    const Impressao &imp = rep.impressao();
    const QString arquivo = f.dir.filePath(QStringLiteral("rel.rtf"));
    QString erro;
    QVERIFY2(GravaRtfRelatorio(imp, arquivo, &erro), qPrintable(erro));
    const QString texto = unrtf(arquivo);
    QVERIFY2(texto.contains(imp.titulo), qPrintable(texto));
    QVERIFY(texto.contains(QStringLiteral("Total da Nota")));
    QVERIFY(texto.contains(imp.notas.at(0).total->celulas[ColARecolher].texto));
    // HTML, as unrtf writes it, folds runs of spaces.
    QVERIFY(texto.simplified().contains(QString(QStringLiteral("Código Receita: ") + imp.codReceita).simplified()));
    QVERIFY(texto.contains(QStringLiteral("Conferência às 10h")));
    for (const LinhaImpressa &l : imp.notas.at(0).itens)
        QVERIFY(texto.contains(l.celulas[ColSubItem].texto));
}

void TestReportExport::textsThatNeedEscaping()
{
    // Braces, back-slashes, line breaks, accents and a character outside the
    // 16-bit range come back as written.
    Impressao imp;
    imp.titulo = QStringLiteral("Memória {teste} C:\\pasta");
    imp.rodape = QStringLiteral("Ação – “aspas” € 😀"); // unrtf reads no pair of UTF-16 units
    imp.colunas[ColNro].titulo = QStringLiteral("#");
    NotaImpressa n;
    n.textoNF = QStringLiteral("NF: 1\r\nsegunda linha");
    LinhaImpressa l;
    l.celulas[ColNro] = {QStringLiteral("1"), std::nullopt};
    n.itens.push_back(l);
    imp.notas.push_back(n);
    imp.mostraCodigos = false;

    QTemporaryDir dir;
    QString erro;
    const QString rtf = dir.filePath(QStringLiteral("t.rtf"));
    QVERIFY2(GravaRtfRelatorio(imp, rtf, &erro), qPrintable(erro));
    const QByteArray bruto = RtfRelatorio(imp);
    for (char c : bruto)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, "RTF is 7-bit text");
    const QString texto = unrtf(rtf);
    QVERIFY2(texto.contains(imp.titulo), qPrintable(texto));
    QVERIFY2(texto.contains(QStringLiteral("Ação – “aspas” €")), qPrintable(texto));
    QVERIFY(texto.contains(QStringLiteral("segunda linha")));

    const QString xls = dir.filePath(QStringLiteral("t.xls"));
    QVERIFY2(GravaPlanilhaRelatorio(imp, xls, &erro), qPrintable(erro));
    const QJsonArray sheets = stbtest::readXls(xls, &erro);
    QVERIFY2(!sheets.isEmpty(), qPrintable(erro));
    const QJsonObject sheet = sheets.at(0).toObject();
    QCOMPARE(linha(sheet, 0).value(0).toString(), imp.titulo);
    QVERIFY(linhaDe(sheet, imp.rodape) > 0);
}

void TestReportExport::tooManyLinesForASheet()
{
    Impressao imp;
    NotaImpressa n;
    n.itens.resize(XlsWorkbook::MaxRows);
    imp.notas.push_back(n);
    QString erro;
    QVERIFY(!PlanilhaRelatorio(imp, &erro));
    QVERIFY2(erro.contains(QStringLiteral("uma planilha comporta no máximo 65536")), qPrintable(erro));
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("grande.xls"));
    QVERIFY(!GravaPlanilhaRelatorio(imp, xls, &erro));
    QVERIFY(!QFile::exists(xls));
}

QTEST_MAIN(TestReportExport)
#include "tst_report_export.moc"
