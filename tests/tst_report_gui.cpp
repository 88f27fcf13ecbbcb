// The print command of the main window, headless: the options dialog and
// its choices, the preview with the grids detached and everything given back
// afterwards, the medicine toggle that runs the report again, printing at
// once without the dialog, and a failure that restores the window.
#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dbgrid.h"
#include "outputs/dlgprintcalculo.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

using namespace stb;
using stbtest::TestInstall;

namespace {

std::unique_ptr<TMain> startMain(TestInstall &inst)
{
    inst.applyToProcess();
    auto main = std::make_unique<TMain>();
    QSignalSpy done(main.get(), &TMain::startupFinished);
    if (!done.wait(20000))
        return nullptr;
    return main;
}

// A calculation of `notas` invoices of two lines each, opened in the main window.
void abreCalculo(TMain &main, int grupo, int printMR, int notas = 2)
{
    TDM &dm = DM();
    dm.TabCalc.append();
    dm.TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm.TabCalc.fieldByName(QStringLiteral("Masp")).setAsString(QStringLiteral("123.456-7"));
    if (grupo)
        dm.TabCalc.fieldByName(QStringLiteral("Grupo")).setAsInteger(grupo);
    dm.TabCalc.fieldByName(QStringLiteral("PrintMR")).setAsInteger(printMR);
    dm.TabCalc.post();
    const int id = dm.TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    QVERIFY(dm.TabCalc.locate(QStringLiteral("IdCalculo"), {id}));
    main.OpenCalcView();
    for (int n = 0; n < notas; ++n) {
        dm.TabNotas.append();
        dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
        dm.TabNotas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::number(500 + n));
        dm.TabNotas.fieldByName(QStringLiteral("CNPJRemet")).setAsString(QStringLiteral("27.418.536/0001-88"));
        dm.TabNotas.fieldByName(QStringLiteral("Frete")).setAsCurrency(Currency::fromInt(40));
        dm.TabNotas.post();
        for (int i = 1; i <= 2; ++i) {
            db::Table &t = grupo == 13 ? dm.TabItensMedic : dm.TabItens;
            t.append();
            t.fieldByName(QStringLiteral("NroItem")).setAsInteger(i);
            if (grupo == 13) {
                t.fieldByName(QStringLiteral("Descricao")).setAsString(QStringLiteral("DIPIRONA %1").arg(i));
                t.fieldByName(QStringLiteral("Qtd")).setAsInteger(i);
                t.fieldByName(QStringLiteral("DebVlMerc")).setAsCurrency(Currency::fromInt(50 * i));
                t.fieldByName(QStringLiteral("DebAliqICMS")).setAsCurrency(Currency::fromInt(18));
                t.fieldByName(QStringLiteral("Lista")).setAsString(QStringLiteral("+"));
            } else {
                t.fieldByName(QStringLiteral("ItemBrelva")).setAsString(QStringLiteral("01.00%1.00").arg(i));
                t.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(Currency::fromInt(300 * i));
                t.fieldByName(QStringLiteral("AliqICMS")).setAsCurrency(Currency::fromInt(18));
                t.fieldByName(QStringLiteral("MVA")).setAsCurrency(Currency::fromInt(40));
                t.fieldByName(QStringLiteral("CreditoICMS")).setAsCurrency(Currency::fromInt(12));
                t.fieldByName(QStringLiteral("ValorCreditoICMS")).setAsCurrency(Currency::fromInt(36 * i));
                t.fieldByName(QStringLiteral("FEM")).setAsBoolean(i == 1);
            }
            t.post();
        }
    }
    dm.TabNotas.first();
}

int campo(const char *nome) { return DM().TabCalc.fieldByName(QLatin1String(nome)).asInteger(); }

// What the test saw while a preview was open.
struct Visto {
    int previews = 0;
    int paginas = 0;
    bool maximizada = false;
    bool gradesSoltas = false;
    bool cursorNormal = false;
    bool exportaPDF = false;
    QStringList exportacoes; // the preview's export actions, in tool-bar order
};

// Watches for previews: records what it sees, clicks the toggle label of
// the first page `alternar` times, then closes the preview.
void observaPreview(Visto &v, TMain &main, int alternar, const char *screenshot = nullptr)
{
    stbtest::whenModal([&v, &main, alternar, screenshot](QWidget *w) {
        auto *dlg = qobject_cast<QPrintPreviewDialog *>(w);
        if (!dlg) {
            w->close();
            return;
        }
        ++v.previews;
        QTest::qWait(100);
        auto *preview = dlg->findChild<QPrintPreviewWidget *>();
        v.paginas = preview ? preview->pageCount() : 0;
        v.maximizada = dlg->windowState().testFlag(Qt::WindowMaximized);
        v.gradesSoltas = main.dxDBGridNotas->dataSet() == nullptr && main.dxDBGridItens->dataSet() == nullptr;
        v.cursorNormal = QApplication::overrideCursor() == nullptr;
        v.exportaPDF = dlg->findChild<QAction *>(QStringLiteral("AcaoExportaPDF")) != nullptr;
        v.exportacoes.clear();
        if (auto *barra = dlg->findChild<QToolBar *>())
            for (QAction *a : barra->actions())
                if (a->objectName().startsWith(QLatin1String("Acao")))
                    v.exportacoes << a->objectName();
        if (screenshot)
            stbtest::saveScreenshot(dlg, QLatin1String(screenshot));
        if (v.previews <= alternar) {
            // The label sits in the page header: 7.6 mm under the top margin, at the left margin.
            observaPreview(v, main, alternar);
            auto *view = dlg->findChild<QGraphicsView *>();
            QGraphicsItem *pagina = nullptr;
            for (QGraphicsItem *it : view->scene()->items())
                if (!pagina || it->scenePos().y() < pagina->scenePos().y())
                    pagina = it;
            const double dpmm = 1200 / 25.4;
            const QPointF mm(20.32 + 5, 25.4 + 7.6 + 1.7);
            const QPoint alvo = view->mapFromScene(pagina->mapToScene(mm * dpmm));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, alvo);
            return;
        }
        dlg->reject();
    });
}

} // namespace

class TestReportGui : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dialogChoice_data();
    void dialogChoice();
    void printCommandFlow();
    void printsAtOnceWithoutTheFine();
    void medicineToggleRunsAgain();
    void failureRestoresTheWindow();

private:
    std::unique_ptr<TestInstall> m_inst;
    RecordingSink m_sink;
};

void TestReportGui::init()
{
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
}

void TestReportGui::cleanup()
{
    m_inst.reset();
    setMessageSink(nullptr);
}

void TestReportGui::dialogChoice_data()
{
    QTest::addColumn<int>("guardada"); // PrintMR stored
    QTest::addColumn<QString>("marcada"); // box ticked on opening
    QTest::addColumn<QString>("clica"); // box the user ticks
    QTest::addColumn<int>("opcao");
    QTest::newRow("none stored, simple with reduction") << 0 << QString() << "CheckMR1ComReducao" << 4;
    QTest::newRow("1 stored, double without") << 1 << "CheckSemMR"
                                              << "CheckMR2SemReducao" << 3;
    QTest::newRow("2 stored, kept") << 2 << "CheckMR1SemReducao" << QString() << 2;
    QTest::newRow("high bit ignored: 0x83 is 3") << 0x83 << "CheckMR2SemReducao"
                                                 << "CheckMR2ComReducao" << 5;
    QTest::newRow("5 stored, no fine") << 5 << "CheckMR2ComReducao"
                                       << "CheckSemMR" << 1;
}

void TestReportGui::dialogChoice()
{
    QFETCH(int, guardada);
    QFETCH(QString, marcada);
    QFETCH(QString, clica);
    QFETCH(int, opcao);
    TFormDlgPrintCalculo dlg;
    dlg.prepara(QString(), false, guardada, QStringLiteral("obs"));
    const QList<QCheckBox *> caixas {
        dlg.CheckMR2ComReducao, dlg.CheckMR2SemReducao, dlg.CheckMR1ComReducao, dlg.CheckMR1SemReducao, dlg.CheckSemMR};
    for (QCheckBox *c : caixas)
        QCOMPARE(c->isChecked(), c->objectName() == marcada);
    QVERIFY(!dlg.CheckMedicAnalitica->isVisibleTo(&dlg));
    stbtest::whenModal([&](QWidget *) {
        if (!clica.isEmpty())
            dlg.findChild<QCheckBox *>(clica)->click();
        int marcadas = 0;
        for (QCheckBox *c : caixas)
            marcadas += c->isChecked();
        QCOMPARE(marcadas, 1); // the five boxes act as one choice
        dlg.BtnOk->click();
    });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.opcao(), opcao);
    QCOMPARE(dlg.observacao(), QStringLiteral("obs"));
}

void TestReportGui::printCommandFlow()
{
    QFile html(m_inst->path(QStringLiteral("STMsgMR.html")));
    QVERIFY(html.open(QIODevice::WriteOnly));
    html.write("<html><body><h3>Multa de Revalida\xc3\xa7\xc3\xa3o</h3><p>Escolha como a MR ser\xc3\xa1 "
               "impressa.</p></body></html>");
    html.close();
    auto main = startMain(*m_inst);
    QVERIFY(main);
    abreCalculo(*main, 0, 0);
    QVERIFY(main->SBPrintCalc->isEnabled());
    const int colunas = main->dxDBGridNotas->model()->columnCount();

    Visto v;
    bool semEscolha = false;
    stbtest::whenModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TFormDlgPrintCalculo *>(w);
        QVERIFY(dlg);
        QVERIFY(dlg->WebMsgMR->toPlainText().contains(QStringLiteral("Multa de Revalidação")));
        // OK without a choice keeps the dialog open.
        dlg->BtnOk->click();
        semEscolha = m_sink.texts().contains(QStringLiteral("Escolha uma opção de MR!")) && dlg->isVisible();
        dlg->CheckMR1ComReducao->click();
        dlg->dxEditObserv->setText(QStringLiteral("Carga conferida"));
        stbtest::saveScreenshot(dlg, QStringLiteral("report-options"));
        observaPreview(v, *main, 0, "report-preview");
        dlg->BtnOk->click();
    });
    main->SBPrintCalc->click();
    QVERIFY(semEscolha);
    QCOMPARE(v.previews, 1);
    QCOMPARE(v.paginas, 1);
    QVERIFY(v.maximizada);
    QVERIFY(v.gradesSoltas);
    QVERIFY(v.cursorNormal);
    QVERIFY(v.exportaPDF);
    // The default switches: PDF, spreadsheet and e-mail, no RTF.
    QCOMPARE(v.exportacoes,
        (QStringList {
            QStringLiteral("AcaoExportaPDF"), QStringLiteral("AcaoExportaXLS"), QStringLiteral("AcaoEnviaEmail")}));
    QVERIFY(main->statusLog.contains(QStringLiteral("Preparando o Relatório...")));
    // Given back: the grids with their columns, the cursor, the choice stored.
    QCOMPARE(main->dxDBGridNotas->dataSet(), &DM().TabNotas);
    QCOMPARE(main->dxDBGridNotas->model()->columnCount(), colunas);
    QCOMPARE(main->dxDBGridItens->dataSet(), &DM().TabItens);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(campo("PrintMR"), 4);
    QCOMPARE(DM().TabCalc.fieldByName(QStringLiteral("PrintObserv")).asString(), QStringLiteral("Carga conferida"));
    QVERIFY(!DM().FCalculando);
}

void TestReportGui::printsAtOnceWithoutTheFine()
{
    // The export switches of the configuration decide the preview's buttons.
    m_inst->setIni(QStringLiteral("Sistema"), QStringLiteral("PrintXLS"), QStringLiteral("0"));
    m_inst->setIni(QStringLiteral("Sistema"), QStringLiteral("PrintRTF"), QStringLiteral("1"));
    m_inst->setIni(QStringLiteral("Sistema"), QStringLiteral("PrintEmail"), QStringLiteral("0"));
    auto main = startMain(*m_inst);
    QVERIFY(main);
    App().CalculaMR = false; // as the taxpayer edition: no dialog, option 1
    abreCalculo(*main, 0, 4);
    Visto v;
    observaPreview(v, *main, 0);
    main->SBPrintCalc->click();
    QCOMPARE(v.previews, 1);
    QCOMPARE(campo("PrintMR"), 1);
    QCOMPARE(v.exportacoes, (QStringList {QStringLiteral("AcaoExportaPDF"), QStringLiteral("AcaoExportaRTF")}));
    App().CalculaMR = true;
}

void TestReportGui::medicineToggleRunsAgain()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    abreCalculo(*main, 13, 1, 1);
    Visto v;
    stbtest::whenModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TFormDlgPrintCalculo *>(w);
        QVERIFY(dlg);
        QVERIFY(dlg->CheckMedicSintetica->isChecked());
        dlg->CheckMedicAnalitica->click();
        QVERIFY(!dlg->CheckMedicSintetica->isChecked());
        observaPreview(v, *main, 1, "report-preview-medicamento");
        dlg->BtnOk->click();
    });
    main->SBPrintCalc->click();
    // The click on the label closed the first preview and opened the other listing.
    QCOMPARE(v.previews, 2);
    QVERIFY(main->dxDBGridItensMedic->dataSet() != nullptr);
}

void TestReportGui::failureRestoresTheWindow()
{
    auto main = startMain(*m_inst);
    QVERIFY(main);
    abreCalculo(*main, 0, 2);
    // The special-regime table, read while the summaries are prepared, cannot be opened.
    DM().TabRegimeEspecial.close();
    DM().BaseDados.close();
    const QString dat = DM().BaseDados.tableFilePath(QStringLiteral("RegimeEspecial"), QStringLiteral(".dat"));
    QVERIFY(QFile::remove(dat));
    QVERIFY(QDir().mkpath(dat));
    for (db::Table *t : {&DM().TabCalc, &DM().TabNotas, &DM().TabItens})
        if (!t->isActive())
            t->open();
    Visto v;
    stbtest::whenModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TFormDlgPrintCalculo *>(w);
        QVERIFY(dlg);
        observaPreview(v, *main, 0);
        dlg->BtnOk->click();
    });
    main->SBPrintCalc->click();
    QCOMPARE(v.previews, 0);
    QCOMPARE(m_sink.entries.size(), 1);
    QCOMPARE(m_sink.entries.at(0).kind, MsgKind::Erro);
    QCOMPARE(main->dxDBGridNotas->dataSet(), &DM().TabNotas);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!DM().FCalculando);
}

QTEST_MAIN(TestReportGui)
#include "tst_report_gui.moc"
