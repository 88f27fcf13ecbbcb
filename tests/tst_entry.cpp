// The calculation header and invoice dialogs, headless: the flows a user
// meets, every question answered by script.
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/settings.h"
#include "entry/dbcontrols.h"
#include "entry/dlgnovanf.h"
#include "entry/dlgnovocalculo.h"
#include "platform/clock.h"
#include "platform/formatting.h"
#include "tests/entry_support.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace stb;
using entrytest::clickOk;
using entrytest::count;
using entrytest::preencheFiscal;

namespace {

const QString kCnpjRegime = QStringLiteral("11.444.777/0001-61"); // not in the sample regimes
const QString kCnpjInvalido = QStringLiteral("11.444.777/0001-62");
const QString kIe = QStringLiteral("367.119.283.0076"); // two sample regimes, IE only

// Types into a combo's editor and leaves it for another widget; the deferred check runs.
void typeAndLeave(TFormDlg &dlg, DBComboEdit *combo, const QString &text, QWidget *next)
{
    // Focus changes count only in the active window (a nested dialog that
    // closed may have left none active).
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), text);
    next->setFocus();
    dlg.processPrivate();
}

} // namespace

class TestEntry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void senderAndRecipient();
    void wrongCnpjKeptByYes_data();
    void wrongCnpjKeptByYes();
    void leavingTowardsCancelRunsNoCheck();
    void internalOperationDisablesDifal();
    void medicinesByPriceTableRefuseDifal_data();
    void medicinesByPriceTableRefuseDifal();
    void secondCalculationKeepsLastType();
    void invoicesLockKindAndType();
    void newInvoiceInheritsParties();
    void freightQuestion_data();
    void freightQuestion();
    void highlightedStQuestion();
    void deleteInvoiceWithLines_data();
    void deleteInvoiceWithLines();
    void failedInvoiceLeavesNoRow();
    void screenshots();

private:
    int novoCalculo(std::function<void(TFormDlgNovoCalculo &)> fill) { return s.novoCalculo(std::move(fill)); }
    entrytest::Sessao s;
};

void TestEntry::init() { s.inicia(); }

void TestEntry::cleanup() { s.encerra(); }

void TestEntry::senderAndRecipient()
{
    // A CNPJ with no name anywhere asks for it; an IE found among the special
    // regimes takes the regime's name and says which regimes it holds.
    const int id = novoCalculo([this](TFormDlgNovoCalculo &dlg) {
        stbtest::whenModal([](QWidget *cad) {
            QTest::keyClicks(stbtest::child<QLineEdit>(cad, "dxEdit2"), QStringLiteral("Comercial Alfa"));
            clickOk(cad);
        });
        typeAndLeave(dlg, dlg.dxDBCNPJRemetente, kCnpjRegime, dlg.dxDBObserv);
        QCOMPARE(dlg.dxDBNomeRemetente->text(), QStringLiteral("COMERCIAL ALFA"));
        s.sink.clear();
        typeAndLeave(dlg, dlg.dxDBIEDestinatario, kIe, dlg.dxDBObserv);
        QVERIFY2(!dlg.dxDBNomeDestinatario->text().isEmpty(),
            qPrintable(s.sink.texts().join('|') + QStringLiteral(" IE=")
                + DM().TabCalc.fieldByName(QStringLiteral("IEDest")).asString()));
        QVERIFY2(s.sink.texts().join(QLatin1Char(' ')).contains(QStringLiteral("Regime")),
            qPrintable(s.sink.texts().join('|')));
    });
    QVERIFY(id > 0);
    QCOMPARE(count(QStringLiteral(
                 "SELECT COUNT(*) FROM CALCULOS WHERE IDCALCULO = %1 AND CNPJREMET = '%2' AND IEDEST = '%3'")
                       .arg(id)
                       .arg(kCnpjRegime, kIe)),
        1);
    QCOMPARE(
        count(QStringLiteral("SELECT COUNT(*) FROM REMETENTES WHERE CNPJREMET = '%1' AND REMETENTE = 'COMERCIAL ALFA'")
                  .arg(kCnpjRegime)),
        1);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DESTINATARIOS WHERE IEDEST = '%1'").arg(kIe)), 1);
    QCOMPARE(DM().TabCalc.fieldByName(QStringLiteral("XRemetDest")).asString().left(17),
        QStringLiteral("COMERCIAL ALFA x "));
}

void TestEntry::wrongCnpjKeptByYes_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("kept by answering Yes") << true;
    QTest::newRow("returned to by answering No") << false;
}

void TestEntry::wrongCnpjKeptByYes()
{
    QFETCH(bool, keep);
    bool nameAsked = false;
    const int id = novoCalculo([&](TFormDlgNovoCalculo &dlg) {
        s.sink.answers = {keep};
        if (keep)
            stbtest::whenModal([&nameAsked](QWidget *cad) {
                nameAsked = true;
                QTest::keyClicks(stbtest::child<QLineEdit>(cad, "dxEdit2"), QStringLiteral("Empresa Errada"));
                clickOk(cad);
            });
        typeAndLeave(dlg, dlg.dxDBCNPJRemetente, kCnpjInvalido, dlg.dxDBObserv);
        QCOMPARE(s.sink.texts().value(0), QStringLiteral("O CNPJ não está correto. Continua?"));
        if (!keep) {
            QVERIFY(dlg.dxDBCNPJRemetente->hasFocus() || dlg.dxDBCNPJRemetente->lineEdit()->hasFocus());
            // Cleared, the header goes on without a sender.
            dlg.dxDBCNPJRemetente->lineEdit()->clear();
            QTest::keyClick(dlg.dxDBCNPJRemetente->lineEdit(), Qt::Key_Space);
            QTest::keyClick(dlg.dxDBCNPJRemetente->lineEdit(), Qt::Key_Backspace);
        }
    });
    QVERIFY(id > 0);
    QCOMPARE(nameAsked, keep);
    const QString cnpj = DM().TabCalc.fieldByName(QStringLiteral("CNPJRemet")).asString();
    QCOMPARE(cnpj, keep ? kCnpjInvalido : QString());
}

void TestEntry::leavingTowardsCancelRunsNoCheck()
{
    stbtest::whenModal([this](QWidget *w) {
        auto &dlg = static_cast<TFormDlgNovoCalculo &>(*w);
        dlg.dxDBCNPJRemetente->setFocus();
        QTest::keyClicks(dlg.dxDBCNPJRemetente->lineEdit(), kCnpjInvalido);
        dlg.BtnCancel->setFocus(); // the mouse goes to Cancel
        dlg.processPrivate();
        QVERIFY(s.sink.entries.isEmpty());
        s.sink.answers = {false, true};
        dlg.BtnCancel->click(); // "Cancela as informações?" No: stays open
        QVERIFY(dlg.isVisible());
        dlg.BtnCancel->click(); // Yes
    });
    QVERIFY(!IncluiCalculo(s.janela.get()));
    QCOMPARE(s.sink.texts(),
        (QStringList {QStringLiteral("Cancela as informações?"), QStringLiteral("Cancela as informações?")}));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM CALCULOS")), 0);
}

void TestEntry::internalOperationDisablesDifal()
{
    auto &dlg = TFormDlgNovoCalculo::instancia(s.janela.get());
    dlg.show();
    dlg.dxCheckTipo2->click();
    QVERIFY(dlg.dxCheckTipo2->isChecked() && !dlg.dxCheckTipo1->isChecked());
    dlg.dxCheckInterna->click();
    QVERIFY(dlg.dxCheckInterna->isChecked() && !dlg.dxCheckInterestadual->isChecked());
    QVERIFY(!dlg.dxCheckTipo2->isChecked() && !dlg.dxCheckTipo2->isEnabled() && !dlg.dxCheckTipo3->isEnabled());
    QVERIFY(dlg.dxCheckTipo4->isEnabled());
    QCOMPARE(dlg.tipoEscolhido(), 0); // no type until the user picks type 1
    QVERIFY(!dlg.dxCheckTipo1->isChecked());
    dlg.dxCheckInterestadual->click();
    QVERIFY(dlg.dxCheckTipo2->isEnabled() && dlg.dxCheckTipo3->isEnabled() && !dlg.dxCheckTipo4->isEnabled());
    dlg.hide();
}

void TestEntry::medicinesByPriceTableRefuseDifal_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("13 with type 2") << 13 << 2 << false;
    QTest::newRow("13 with type 3") << 13 << 3 << false;
    QTest::newRow("13 with type 1") << 13 << 1 << true;
    QTest::newRow("113 with type 2") << 113 << 2 << true;
    QTest::newRow("113 with type 3") << 113 << 3 << true;
    QTest::newRow("6 with type 3") << 6 << 3 << true;
}

void TestEntry::medicinesByPriceTableRefuseDifal()
{
    QFETCH(int, grupo);
    QFETCH(int, tipo);
    QFETCH(bool, accepted);
    const QString refusal
        = QStringLiteral("Não é possível calcular o diferencial de alíquota de Medicamentos (Tab CMED/ABCFarma).");
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgNovoCalculo &>(*w);
        preencheFiscal();
        dlg.dxCheckInterestadual->click();
        QCheckBox *kind = grupo == 6 ? dlg.dxCheckCombustivel
            : grupo == 13            ? dlg.dxCheckMedicamento
                                     : dlg.dxCheckMedicamentoMVA;
        kind->click();
        QVERIFY(!dlg.dxCheckPadrao->isChecked());
        QCOMPARE(dlg.grupoEscolhido(), grupo);
        QList<QCheckBox *> {dlg.dxCheckTipo1, dlg.dxCheckTipo2, dlg.dxCheckTipo3}[tipo - 1]->click();
        // The explanation of special calculations shows before the confirmation.
        if (accepted)
            stbtest::whenModal([](QWidget *page) {
                QCOMPARE(page->windowTitle(), QStringLiteral("Cálculo Especial"));
                clickOk(page);
            });
        clickOk(w);
        if (!accepted) {
            QCOMPARE(s.sink.texts(), QStringList {refusal});
            QVERIFY(dlg.isVisible());
            QApplication::processEvents();
            s.sink.answers = {true};
            dlg.BtnCancel->click();
        }
    });
    const bool stored = IncluiCalculo(s.janela.get());
    QCOMPARE(stored, accepted);
    if (accepted)
        QCOMPARE(count(QStringLiteral(
                     "SELECT COUNT(*) FROM CALCULOS WHERE GRUPO = %1 AND TIPOCALCULO = %2 AND DIFERENCIALALIQ = %3")
                           .arg(grupo)
                           .arg(tipo)
                           .arg(tipo == 2 || tipo == 3 ? 1 : 0)),
            1);
}

void TestEntry::secondCalculationKeepsLastType()
{
    novoCalculo([](TFormDlgNovoCalculo &dlg) {
        dlg.dxCheckInterestadual->click();
        dlg.dxCheckTipo3->click();
    });
    bool tipo3 = false;
    stbtest::whenModal([&tipo3](QWidget *w) {
        tipo3 = static_cast<TFormDlgNovoCalculo &>(*w).dxCheckTipo3->isChecked();
        static_cast<TFormDlgNovoCalculo &>(*w).reject();
    });
    IncluiCalculo(s.janela.get());
    QVERIFY(tipo3);
    // The operation's side comes back from the settings.
    QVERIFY(!Settings::instance().opInterna());
}

void TestEntry::invoicesLockKindAndType()
{
    const int id = novoCalculo({});
    DM().BaseDados.execSql(
        QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (%1, 50, '1', 0)").arg(id));
    s.abreCalculo();
    s.sink.clear();
    bool kindChanged = true, internalChanged = false;
    stbtest::whenModal([&](QWidget *w) {
        auto &dlg = static_cast<TFormDlgNovoCalculo &>(*w);
        // A click on the box's mark, as a user does.
        auto clickBox = [](QCheckBox *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); };
        clickBox(dlg.dxCheckCombustivel);
        clickBox(dlg.dxCheckTipo1);
        kindChanged = dlg.dxCheckCombustivel->isChecked();
        const bool before = dlg.dxCheckInterna->isChecked();
        clickBox(before ? dlg.dxCheckInterestadual : dlg.dxCheckInterna);
        internalChanged = dlg.dxCheckInterna->isChecked() != before;
        clickOk(w);
    });
    QVERIFY(AlteraCalculo(s.janela.get()));
    QVERIFY(!kindChanged);
    QVERIFY(internalChanged);
    QCOMPARE(s.sink.texts().value(0),
        QStringLiteral("Este Cálculo possui notas cadastradas, você não poderá alterar:\r"
                       " *** Cálculo Especial\r *** Tipo de Operação (destino)"));
}

void TestEntry::newInvoiceInheritsParties()
{
    GravaRemetente(kCnpjRegime, QStringLiteral("COMERCIAL ALFA"));
    novoCalculo([](TFormDlgNovoCalculo &) {
        DM().TabCalc.fieldByName(QStringLiteral("CNPJRemet")).setAsString(kCnpjRegime);
        DM().TabCalc.fieldByName(QStringLiteral("IEDest")).setAsString(kIe);
    });
    s.abreCalculo();
    QString shown;
    bool emTransacao = true;
    stbtest::whenModal([&](QWidget *w) {
        auto &nota = static_cast<TFormDlgNovaNF &>(*w);
        emTransacao = DM().BaseDados.inTransaction();
        shown = nota.dxDBNomeRemetente->text();
        QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("77"));
        clickOk(w);
    });
    QVERIFY(IncluiNota(s.janela.get()));
    QCOMPARE(shown, QStringLiteral("COMERCIAL ALFA"));
    QVERIFY(!emTransacao); // other workstations may write while the user types
    QCOMPARE(DM().TabNotas.fieldByName(QStringLiteral("CNPJRemet")).asString(), kCnpjRegime);
    QCOMPARE(DM().TabNotas.fieldByName(QStringLiteral("IEDest")).asString(), kIe);
    QVERIFY(DM().TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger() > 0);
    QCOMPARE(DM().TabNotas.fieldByName(QStringLiteral("DataEmissao")).asDate(), Clock::today());
}

void TestEntry::freightQuestion_data()
{
    QTest::addColumn<int>("grupo");
    QTest::addColumn<QString>("frete");
    QTest::addColumn<bool>("asked");
    QTest::newRow("zero") << 0 << "0" << false;
    QTest::newRow("negative") << 0 << "-5" << false;
    QTest::newRow("positive") << 0 << "50,00" << true;
    QTest::newRow("medicines hide the freight") << 113 << "50,00" << false;
}

void TestEntry::freightQuestion()
{
    QFETCH(int, grupo);
    QFETCH(QString, frete);
    QFETCH(bool, asked);
    novoCalculo([grupo](TFormDlgNovoCalculo &dlg) {
        if (grupo == 113) {
            dlg.dxCheckMedicamentoMVA->click();
            stbtest::whenModal([](QWidget *page) { clickOk(page); });
        }
    });
    s.abreCalculo();
    s.sink.clear();
    bool stayedOpen = false;
    stbtest::whenModal([&](QWidget *w) {
        auto &nota = static_cast<TFormDlgNovaNF &>(*w);
        QCOMPARE(nota.dxDBFrete->isVisible(), grupo != 113);
        QCOMPARE(nota.dxDBCreditoICMS_Medic->isVisible(), grupo == 113);
        QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("10"));
        nota.dxDBFrete->setText(frete);
        QTest::keyClick(nota.dxDBFrete, Qt::Key_End); // marks the editor as typed
        nota.dxDBFrete->setText(frete);
        emit nota.dxDBFrete->textEdited(frete);
        if (asked) {
            s.sink.answers = {false};
            clickOk(w);
            stayedOpen = nota.isVisible();
            s.sink.answers = {true};
        }
        clickOk(w);
    });
    QVERIFY(IncluiNota(s.janela.get()));
    const QStringList questions = s.sink.texts();
    if (asked) {
        QVERIFY(stayedOpen);
        QCOMPARE(questions.size(), 2);
        QCOMPARE(questions[0].section(QLatin1Char('\r'), 0, 0),
            QStringLiteral("Atenção: você digitou R$ 50,00 de valor do frete."));
        QCOMPARE(questions[0].section(QLatin1Char('\r'), -1),
            QStringLiteral("Confirma incluir o valor do frete no cálculo do ICMS-ST?"));
    } else {
        QVERIFY2(questions.isEmpty(), qPrintable(questions.join('|')));
    }
    const Currency stored = DM().TabNotas.fieldByName(QStringLiteral("Frete")).asCurrency();
    if (grupo != 113)
        QCOMPARE(stored.raw(), StrToCurr(frete)->raw());
    // A freight of zero or less keeps the freight credit off.
    if (stored <= Currency())
        QVERIFY(!DM().TabNotas.fieldByName(QStringLiteral("CreditoFrete")).asBoolean());
}

void TestEntry::highlightedStQuestion()
{
    novoCalculo({});
    s.abreCalculo();
    s.sink.clear();
    stbtest::whenModal([&](QWidget *w) {
        auto &nota = static_cast<TFormDlgNovaNF &>(*w);
        QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("10"));
        nota.dxDBCalcEdit1->setFocus();
        QTest::keyClicks(nota.dxDBCalcEdit1, QStringLiteral("1234,5"));
        s.sink.answers = {false};
        nota.dxDBNroNF->setFocus();
        nota.processPrivate();
        QCOMPARE(s.sink.texts().value(0),
            QStringLiteral("Você informou o valor de 1.234,50 como sendo a SUBSTITUIÇÃO TRIBUTÁRIA já destacada na "
                           "Nota Fiscal.\rQuer que este cálculo verifique apenas a diferença entre o valor correto e "
                           "o valor destacado?"));
        QVERIFY(nota.dxDBCalcEdit1->hasFocus()); // No: back to the amount
        clickOk(w);
    });
    QVERIFY(IncluiNota(s.janela.get()));
    QCOMPARE(
        DM().TabNotas.fieldByName(QStringLiteral("DestaqueICMSST")).asCurrency(), *StrToCurr(QStringLiteral("1234,5")));
}

void TestEntry::deleteInvoiceWithLines_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("no at the first question") << 2 << QList<bool> {false} << "" << false;
    QTest::newRow("no at the count") << 2 << QList<bool> {true, false} << "" << false;
    QTest::newRow("wrong word typed") << 2 << QList<bool> {true, true} << "nao" << false;
    QTest::newRow("both confirmed") << 2 << QList<bool> {true, true} << "SIM" << true;
    QTest::newRow("one line, singular") << 1 << QList<bool> {true, true} << "sim" << true;
    QTest::newRow("no lines") << 0 << QList<bool> {true} << "" << true;
}

void TestEntry::deleteInvoiceWithLines()
{
    QFETCH(int, lines);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, typed);
    QFETCH(bool, deleted);
    const int id = novoCalculo({});
    DM().BaseDados.execSql(
        QStringLiteral("INSERT INTO NOTAS (IdCalculo, IdNota, NroNF, Frete) VALUES (%1, 9, '1', 0)").arg(id));
    for (int i = 1; i <= lines; ++i)
        DM().BaseDados.execSql(
            QStringLiteral("INSERT INTO ITENS (IdNota, NroItem, ValorNF, ValorIPI) VALUES (9, %1, 10, 0)").arg(i));
    s.abreCalculo();
    QCOMPARE(DM().TabItens.recordCount(), lines);
    s.sink.clear();
    s.sink.answers = answers;
    s.sink.typedTexts = typed.isEmpty() ? QStringList() : QStringList {typed};
    ExcluiNota(s.janela.get());
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM NOTAS WHERE IDNOTA = 9")), deleted ? 0 : 1);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM ITENS WHERE IDNOTA = 9")), deleted ? 0 : lines);
    const QStringList texts = s.sink.texts();
    QCOMPARE(texts.value(0), QStringLiteral("Quer excluir esta Nota Fiscal?"));
    if (answers.value(0) && lines > 0)
        QCOMPARE(texts.value(1),
            lines == 1 ? QStringLiteral("Esta Nota possui 1 item cadastrado. Confirma a Exclusão?")
                       : QStringLiteral("Esta Nota possui %1 itens cadastrados. Confirma a Exclusão?").arg(lines));
    if (typed == QLatin1String("nao"))
        QCOMPARE(texts.last(), QStringLiteral("Solicitação Não Confirmada!"));
}

void TestEntry::failedInvoiceLeavesNoRow()
{
    novoCalculo({});
    s.abreCalculo();
    const int before = count(QStringLiteral("SELECT COUNT(*) FROM NOTAS"));
    DM().TabNotas.beforePost
        = [](db::DataSet &) { throw db::EngineError(db::Err::DiskFull, QStringLiteral("Disco cheio")); };
    stbtest::whenModal([](QWidget *w) {
        QTest::keyClicks(static_cast<TFormDlgNovaNF &>(*w).dxDBNroNF, QStringLiteral("99"));
        clickOk(w);
    });
    bool raised = false;
    try {
        IncluiNota(s.janela.get());
    } catch (const db::EngineError &e) {
        raised = e.code() == db::Err::DiskFull;
    }
    DM().TabNotas.beforePost = nullptr;
    QVERIFY(raised);
    QVERIFY(!DM().BaseDados.inTransaction());
    QCOMPARE(DM().TabNotas.state(), db::DataSet::State::Browse);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), before);
    QCOMPARE(DM().TabNotas.recordCount(), 0);
}

void TestEntry::screenshots()
{
    GravaRemetente(kCnpjRegime, QStringLiteral("COMERCIAL ALFA LTDA"));
    QString header, invoice;
    stbtest::whenModal([&](QWidget *w) {
        preencheFiscal();
        DM().TabCalc.fieldByName(QStringLiteral("CNPJRemet")).setAsString(kCnpjRegime);
        DM().TabCalc.fieldByName(QStringLiteral("Observ")).setAsString(QStringLiteral("CARGA COM DUAS NOTAS"));
        DM().TabCalc.recalculate();
        header = stbtest::saveScreenshot(w, QStringLiteral("calc-header-dialog"));
        clickOk(w);
    });
    QVERIFY(IncluiCalculo(s.janela.get()));
    s.abreCalculo();
    stbtest::whenModal([&](QWidget *w) {
        auto &nota = static_cast<TFormDlgNovaNF &>(*w);
        QTest::keyClicks(nota.dxDBNroNF, QStringLiteral("4510"));
        invoice = stbtest::saveScreenshot(w, QStringLiteral("invoice-dialog"));
        nota.reject();
    });
    QVERIFY(!IncluiNota(s.janela.get()));
    QVERIFY(QFileInfo(header).size() > 5000);
    QVERIFY(QFileInfo(invoice).size() > 5000);
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
