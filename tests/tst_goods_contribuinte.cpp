// The goods lines in the taxpayer edition: no internal rate, no configured
// credit rate and no rates in the adjusted-MVA dialog are proposed (the user
// types them), and the menu entries this edition lacks are hidden.
#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/messages.h"
#include "entry/currencyedit.h"
#include "entry/dlgitem.h"
#include "entry/dlgmvaajustada.h"
#include "platform/annexconsult.h"
#include "platform/clock.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace stb;
using stbtest::TestInstall;

class TestGoodsContribuinte : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ratesAreTyped();
    void hiddenEntries();

private:
    std::unique_ptr<TestInstall> m_inst;
    std::unique_ptr<TMain> m_main;
    RecordingSink m_sink;
};

void TestGoodsContribuinte::init()
{
    QVERIFY(Contribuinte);
    m_sink = RecordingSink();
    setMessageSink(&m_sink);
    m_inst = std::make_unique<TestInstall>();
    m_inst->applyToProcess();
    annex::setPastaPrograma(m_inst->path(QStringLiteral("semprograma")));
    m_main = std::make_unique<TMain>();
    QSignalSpy done(m_main.get(), &TMain::startupFinished);
    QVERIFY(done.wait(20000));
    TFormDlgMVAAjustada::NaoMostraImportada = true;
    m_sink.clear();
}

void TestGoodsContribuinte::cleanup()
{
    m_main.reset();
    m_inst.reset();
    annex::setPastaPrograma(QString());
    setMessageSink(nullptr);
}

void TestGoodsContribuinte::ratesAreTyped()
{
    TDM &dm = DM();
    dm.TabCalc.append();
    dm.TabCalc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(Clock::now());
    dm.TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm.TabCalc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(false);
    dm.TabCalc.post();
    m_main->OpenCalcView();
    dm.TabNotas.append();
    dm.TabNotas.fieldByName(QStringLiteral("IdCalculo"))
        .setAsInteger(dm.TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger());
    dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
    dm.TabNotas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("5"));
    dm.TabNotas.post();

    QString credit, rate, interstate, internal, note, mva;
    // Two watches: the adjusted-MVA dialog opens while the item dialog's own is busy.
    QTimer mvaWatch, itemWatch;
    connect(&mvaWatch, &QTimer::timeout, this, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->objectName() != QLatin1String("TFormDlgMVAAjustada"))
            return;
        mvaWatch.stop();
        auto &dlg = static_cast<TFormDlgMVAAjustada &>(*w);
        interstate = dlg.dxAliqInterestadual->text();
        internal = dlg.dxAliqInterna->text();
        note = dlg.dxMemo->toPlainText();
        dlg.BtnCancel->click();
    });
    connect(&itemWatch, &QTimer::timeout, this, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->objectName() != QLatin1String("TFormDlgItem"))
            return;
        itemWatch.stop();
        auto &dlg = static_cast<TFormDlgItem &>(*w);
        credit = dlg.dxEditCreditoICMS->text();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.dxEditCodigo->setFocus();
        QTest::keyClicks(dlg.dxEditCodigo, QStringLiteral("01.001.00"));
        dlg.dxCheckFEM->setFocus();
        dlg.processPrivate();
        rate = dlg.dxEditAliqICMS->text();
        mva = dlg.dxEditMVA->text();
        dlg.BtnCancel->click();
    });
    mvaWatch.start(20);
    itemWatch.start(20);
    m_main->SBIncluiItem->click();
    QCOMPARE(credit, QStringLiteral("0,00%"));
    QCOMPARE(rate, QStringLiteral("0,00%"));
    QCOMPARE(mva, QStringLiteral("71,78%"));
    QCOMPARE(interstate, QStringLiteral("0,00%"));
    QCOMPARE(internal, QStringLiteral("0,00%"));
    QCOMPARE(note, NotaPadraoMVAAjustada());
}

void TestGoodsContribuinte::hiddenEntries()
{
    QMenu *pesquisa = m_main->PopMenuPesquisa;
    for (const char *name : {"PesquisaDescricaoMercadoria", "PMPFAtoCotepe1", "MercadoriasControladas1"})
        QVERIFY2(!pesquisa->findChild<QAction *>(QLatin1String(name))->isVisible(), name);
    for (const char *name : {"PesquisaCodigoNBM", "PesquisaDescricaoNBM", "PMPFRacoesPET", "PMPFBebidasAlcolicas1"})
        QVERIFY2(pesquisa->findChild<QAction *>(QLatin1String(name))->isVisible(), name);
}

QTEST_MAIN(TestGoodsContribuinte)
#include "tst_goods_contribuinte.moc"
