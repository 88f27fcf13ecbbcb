// The NF-e import as the user runs it: the review dialog refuses to store
// while a line has no annex entry or a file was refused, a code typed in the
// review applies the item dialog's rules, and the comparison shown after the
// store highlights the differences above one cent.
#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dlgimportanfe.h"
#include "platform/db/query.h"
#include "tests/nfe_fixture.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace stb;
using stbtest::TestInstall;

namespace {
const QString kDados = QStringLiteral(STB_NFE_DATA);
QString arquivo(const char *nome) { return QDir(kDados).filePath(QString::fromLatin1(nome)); }
} // namespace

class TstNfeGui : public NfeSuite {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void revisao();
    void arquivoRecusadoNaoGrava();
    void importacaoCompleta();
    void comparacaoCabeNaTela();

private:
};

void TstNfeGui::init()
{
    abre();
    m_dm->TabCalc.append();
    m_dm->TabCalc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(false);
    m_dm->TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    m_dm->TabCalc.post();
}

void TstNfeGui::cleanup() { fecha(); }

void TstNfeGui::revisao()
{
    const ContextoImportacao ctx = contextoImportacao(*m_dm);
    LoteNFe lote = LeArquivosNFe(*m_dm, ctx, {arquivo("nfe_interestadual.xml")});
    TFormDlgImportaNFe dlg(*m_dm, ctx, lote);
    QTreeWidgetItem *nota = dlg.Arvore->topLevelItem(0);
    QCOMPARE(nota->childCount(), 3);
    QTreeWidgetItem *linha3 = nota->child(2);
    QCOMPARE(linha3->text(4), QString());
    QVERIFY(linha3->text(7).contains(QStringLiteral("escolha um")));
    QCOMPARE(nota->child(0)->text(4), QStringLiteral("01.001.00"));
    QCOMPARE(nota->child(0)->text(6), QStringLiteral("84,35%"));

    // OK with an open line: the message, and the dialog stays open.
    dlg.show();
    dlg.BtnOk->click();
    QVERIFY(dlg.isVisible());
    QVERIFY(m_sink.texts().last().startsWith(QStringLiteral("Há itens sem subitem do Brelva válido (NF 4001)")));

    // A code typed in the column, as the editor writes it.
    linha3->setText(4, QStringLiteral("99.1"));
    QCOMPARE(linha3->text(7), QStringLiteral("o subitem 99.1 não está na tabela do Brelva"));
    linha3->setText(4, QStringLiteral("4.1"));
    QCOMPARE(linha3->text(4), QStringLiteral("04.001.00"));
    QCOMPARE(linha3->text(7), QStringLiteral("ok"));
    QCOMPARE(linha3->text(6), QStringLiteral("76,00%"));
    stbtest::saveScreenshot(&dlg, QStringLiteral("nfe_revisao"));
    dlg.BtnOk->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(conta(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 0); // the dialog stores nothing itself
}

void TstNfeGui::arquivoRecusadoNaoGrava()
{
    const ContextoImportacao ctx = contextoImportacao(*m_dm);
    LoteNFe lote = LeArquivosNFe(*m_dm, ctx, {arquivo("nfe_cst30_desconto.xml"), arquivo("cte_nao_nfe.xml")});
    TFormDlgImportaNFe dlg(*m_dm, ctx, lote);
    QVERIFY(dlg.LabelErros->text().startsWith(QStringLiteral("O arquivo \"cte_nao_nfe.xml\" não é uma NF-e válida")));
    dlg.show();
    dlg.BtnOk->click();
    QVERIFY(dlg.isVisible());
    QVERIFY(m_sink.texts().last().startsWith(
        QStringLiteral("Há arquivos que não são NF-e válidas. Nenhuma nota será importada.")));
}

void TstNfeGui::importacaoCompleta()
{
    QStringList vistos;
    // Review: accept; comparison: read and close.
    stbtest::whenModal([&](QWidget *w) {
        vistos << w->objectName();
        static_cast<TFormDlg *>(w)->BtnOk->click();
        stbtest::whenModal([&](QWidget *c) {
            vistos << c->objectName();
            auto *arvore = stbtest::child<QTreeWidget>(c, "Arvore");
            QTreeWidgetItem *n = arvore->topLevelItem(0);
            vistos << n->text(6) << n->text(7) << n->text(8);
            // 0.51 over the declared ST of line 1: highlighted; the invoice differs by one cent only.
            vistos << n->child(0)->text(8) << (n->child(0)->background(8).style() != Qt::NoBrush ? "red" : "plain")
                   << (n->background(8).style() != Qt::NoBrush ? "red" : "plain");
            stbtest::saveScreenshot(c, QStringLiteral("nfe_comparacao"));
            static_cast<TFormDlg *>(c)->BtnOk->click();
        });
    });
    QVERIFY(ImportaNFe(*m_dm, {arquivo("nfe_cst10_ipi_frete.xml")}, nullptr));
    QCOMPARE(vistos,
        (QStringList {
            "TFormDlgImportaNFe", "TFormDlgComparaNFe", "375,82", "375,81", "-0,01", "0,51", "red", "plain"}));
    QCOMPARE(conta(QStringLiteral("SELECT COUNT(*) FROM ITENS")), 2);
    // The same file again: nothing to store.
    stbtest::whenModal([](QWidget *w) { static_cast<TFormDlg *>(w)->BtnOk->click(); });
    QVERIFY(!ImportaNFe(*m_dm, {arquivo("nfe_cst10_ipi_frete.xml")}, nullptr));
    QCOMPARE(m_sink.texts().last(), QStringLiteral("Todas as NF-e escolhidas já estavam neste cálculo."));
    QCOMPARE(conta(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 1);
}

void TstNfeGui::comparacaoCabeNaTela()
{
    stbtest::whenModal([](QWidget *w) { static_cast<TFormDlg *>(w)->BtnOk->click(); });
    stbtest::whenModal([](QWidget *c) { static_cast<TFormDlg *>(c)->BtnOk->click(); });
    QVERIFY(ImportaNFe(*m_dm, {arquivo("nfe_cst10_ipi_frete.xml"), arquivo("nfe_csosn201.xml")}, nullptr));
    const ContextoCalculo contexto = contextoCalculo(m_dm->TabCalc, fatoresMR(0, ParametrosMR {}), QDate(2026, 12, 6));
    const QList<ComparacaoNota> notas = ComparaImportadas(*m_dm, contexto);
    TFormDlgComparaNFe dlg(notas);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect tela = dlg.screen()->availableGeometry();
    // The dialog never runs past the screen; within it, every column shows
    // whole (the tree does not scroll sideways) unless the screen is too narrow.
    QVERIFY2(tela.contains(dlg.frameGeometry()),
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(dlg.frameGeometry().x())
                       .arg(dlg.frameGeometry().y())
                       .arg(dlg.frameGeometry().width())
                       .arg(dlg.frameGeometry().height())));
    int colunas = 0;
    for (int c = 0; c < dlg.Arvore->columnCount(); ++c)
        colunas += dlg.Arvore->columnWidth(c);
    const bool cabe = dlg.Arvore->viewport()->width() >= colunas;
    QVERIFY2(cabe || dlg.width() >= tela.width() * 9 / 10,
        qPrintable(QStringLiteral("colunas %1, área %2, diálogo %3, tela %4")
                       .arg(colunas)
                       .arg(dlg.Arvore->viewport()->width())
                       .arg(dlg.width())
                       .arg(tela.width())));
    QCOMPARE(dlg.Arvore->horizontalScrollBar()->isVisible(), !cabe);

    // The spreadsheet button writes the file; a folder that is missing is told.
    QTemporaryDir tmp;
    QVERIFY(dlg.ExportaPlanilha(tmp.filePath(QStringLiteral("cmp.xls"))));
    QVERIFY(QFileInfo(tmp.filePath(QStringLiteral("cmp.xls"))).size() > 0);
    QVERIFY(!dlg.ExportaPlanilha(tmp.filePath(QStringLiteral("falta/cmp.xls"))));
    QVERIFY(m_sink.texts().last().startsWith(QStringLiteral("Não foi possível gravar a planilha")));
}

QTEST_MAIN(TstNfeGui)
#include "tst_nfe_gui.moc"
