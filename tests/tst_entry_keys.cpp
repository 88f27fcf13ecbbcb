// The calculation header and invoice dialogs driven from the keyboard, as an
// officer who types invoices all day drives them: the Tab order, the name
// dialogs, Escape, and amounts the fields cannot hold.
#include "core/datamodule.h"
#include "core/settings.h"
#include "entry/auditor.h"
#include "entry/dbcontrols.h"
#include "entry/msgbox.h"
#include "platform/clock.h"
#include "tests/entry_support.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>

using namespace stb;
using namespace entrytest;

namespace {

const QString kCnpjA = QStringLiteral("11444777000161"); // valid, no special regime
const QString kCnpjB = QStringLiteral("11222333000181"); // valid, no special regime
const QString kCnpjErrado = QStringLiteral("11444777000162");
const QString kIeB = QStringLiteral("0621234567872"); // valid, no special regime
const QString kIeRegime = QStringLiteral("3671192830076"); // two sample regimes
const QString kCadEmpresa = QStringLiteral("TFormDlgCadEmpresa");

enum Dialogo { Calculo, Nota, NotaMedic };

db::Table &tabela(int dialogo) { return dialogo == Calculo ? DM().TabCalc : DM().TabNotas; }

// Answers the real message boxes as they show: records each text and how
// many boxes were open at once; questions take the scripted answers (No
// when the script runs out). Any other dialog on top of `base` is recorded
// by its name and cancelled.
class Respondedor : public QObject {
public:
    Respondedor(QList<bool> respostas, QSet<QString> base) : m_respostas(std::move(respostas)), m_base(std::move(base))
    {
        startTimer(20);
    }
    QStringList textos;
    int maiorPilha = 0;

protected:
    void timerEvent(QTimerEvent *) override
    {
        QWidget *top = QApplication::activeModalWidget();
        auto *box = qobject_cast<QMessageBox *>(top);
        if (!box) {
            if (auto *dlg = qobject_cast<QDialog *>(top);
                dlg && dlg->isVisible() && !m_base.contains(dlg->objectName())) {
                textos << dlg->objectName();
                dlg->reject();
            }
            return;
        }
        if (!box->isVisible() || box == m_ultima)
            return;
        m_ultima = box;
        int abertas = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            abertas += qobject_cast<QMessageBox *>(w) && w->isVisible() ? 1 : 0;
        maiorPilha = std::max(maiorPilha, abertas);
        textos << box->text();
        const bool sim = !m_respostas.isEmpty() && m_respostas.takeFirst();
        for (QAbstractButton *b : box->buttons())
            if (box->buttons().size() == 1 || b->text() == (sim ? QStringLiteral("&Sim") : QStringLiteral("&Não"))) {
                b->click();
                return;
            }
    }

private:
    QList<bool> m_respostas;
    QSet<QString> m_base;
    QPointer<QMessageBox> m_ultima;
};

} // namespace

class TestEntryKeys : public QObject {
    Q_OBJECT

private slots:
    void init() { s.inicia(); }
    void cleanup()
    {
        limpaListaAuditor();
        s.encerra();
    }
    void tabReachesEveryControl_data();
    void tabReachesEveryControl();
    void typingAfterTheNameDialog_data();
    void typingAfterTheNameDialog();
    void escapeOnAWrongCnpj_data();
    void escapeOnAWrongCnpj();
    void nameFromTheKeyboard_data();
    void nameFromTheKeyboard();
    void okAfterTheNameDialogWasCancelled_data();
    void okAfterTheNameDialogWasCancelled();
    void amountsTheFieldCannotHold_data();
    void amountsTheFieldCannotHold();

private:
    bool abre(int dialogo, std::function<void(TFormDlg &)> fn);
    int erros() const;
    Sessao s;
};

// Opens the header of a new calculation or a new invoice (of a new standard or
// medicines calculation) and runs `fn` on it; the dialog is closed after `fn`
// if still open. True when the dialog stored its row.
bool TestEntryKeys::abre(int dialogo, std::function<void(TFormDlg &)> fn)
{
    if (dialogo != Calculo) {
        s.novoCalculo([dialogo](TFormDlgNovoCalculo &dlg) {
            if (dialogo == NotaMedic) {
                dlg.dxCheckMedicamentoMVA->click();
                stbtest::whenModal([](QWidget *page) { clickOk(page); });
            }
        });
        s.abreCalculo();
        s.sink.clear();
    }
    stbtest::whenModal([fn](QWidget *w) {
        auto &dlg = static_cast<TFormDlg &>(*w);
        ativaJanela();
        fn(dlg);
        if (dlg.isVisible())
            dlg.reject();
    });
    return dialogo == Calculo ? IncluiCalculo(s.janela.get()) : IncluiNota(s.janela.get());
}

int TestEntryKeys::erros() const
{
    int n = 0;
    for (const RecordingSink::Entry &e : s.sink.entries)
        n += e.kind == MsgKind::Erro ? 1 : 0;
    return n;
}

void TestEntryKeys::tabReachesEveryControl_data()
{
    QTest::addColumn<int>("dialogo");
    QTest::addColumn<QStringList>("ordem");
    // From number to number: the names are asked by the name dialog.
    const QStringList partes {"dxDBCNPJRemetente", "dxDBIEDestinatario"};
    QTest::newRow("invoice") << int(Nota)
                             << QStringList {"dxDBNroNF", "dxDBDataEmissao"} + partes
            + QStringList {"dxDBFrete", "dxDBCalcEdit1", "BtnOk", "BtnCancel"};
    QTest::newRow("invoice of medicines") << int(NotaMedic)
                                          << QStringList {"dxDBNroNF", "dxDBDataEmissao"} + partes
            + QStringList {"dxDBCreditoICMS_Medic", "dxDBCalcEdit1", "BtnOk", "BtnCancel"};
    QTest::newRow("calculation header") << int(Calculo)
                                        << QStringList {"dxDBDataHora", "dxDBMasp"} + partes
            + QStringList {"dxDBObserv", "dxCheckPadrao", "dxCheckTipo1", "BtnOk", "BtnCancel"};
}

void TestEntryKeys::tabReachesEveryControl()
{
    QFETCH(int, dialogo);
    QFETCH(QStringList, ordem);
    QStringList visitados {ordem[0]};
    abre(dialogo, [&](TFormDlg &dlg) {
        dlg.findChild<QWidget *>(ordem[0])->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 40; ++i) {
            tecla(Qt::Key_Tab);
            QApplication::processEvents(); // focus moves made after the key
            if (foco() == ordem[0])
                break;
            visitados << foco();
        }
    });
    QStringList vistos;
    for (const QString &v : std::as_const(visitados))
        if (ordem.contains(v))
            vistos << v;
    QCOMPARE(vistos, ordem);
    QVERIFY2(s.sink.entries.isEmpty(), qPrintable(s.sink.texts().join(QLatin1Char('|'))));
}

void TestEntryKeys::typingAfterTheNameDialog_data()
{
    QTest::addColumn<int>("dialogo");
    QTest::addColumn<QString>("inicio");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QString>("proximo");
    QTest::addColumn<QString>("segundo");
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("gravado");
    QTest::newRow("invoice: sender's name, then the recipient")
        << int(Nota) << "dxDBCNPJRemetente" << kCnpjA << "dxDBIEDestinatario" << kIeB << "IEDest"
        << "062.123.456.7872";
    QTest::newRow("header: officer's name, then the sender") << int(Calculo) << "dxDBMasp"
                                                             << "1234567"
                                                             << "dxDBCNPJRemetente" << kCnpjA << "CNPJRemet"
                                                             << "11.444.777/0001-61";
    QTest::newRow("header: sender's name, then the recipient")
        << int(Calculo) << "dxDBCNPJRemetente" << kCnpjB << "dxDBIEDestinatario" << kIeB << "IEDest"
        << "062.123.456.7872";
}

void TestEntryKeys::typingAfterTheNameDialog()
{
    QFETCH(int, dialogo);
    QFETCH(QString, inicio);
    QFETCH(QString, numero);
    QFETCH(QString, proximo);
    QFETCH(QString, segundo);
    QFETCH(QString, campo);
    QFETCH(QString, gravado);
    QString digitado;
    abre(dialogo, [&](TFormDlg &dlg) {
        dlg.findChild<QWidget *>(inicio)->setFocus(Qt::TabFocusReason);
        digita(numero);
        auto nomeado = quandoAbrir(s.escopo.get(), kCadEmpresa, [](QWidget *) {
            digita(QStringLiteral("EMPRESA"));
            tecla(Qt::Key_Return);
        });
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*nomeado);
        QTRY_COMPARE(foco(), proximo);
        digita(segundo);
        digitado = tabela(dialogo).fieldByName(campo).asString();
    });
    QCOMPARE(digitado, gravado);
}

void TestEntryKeys::escapeOnAWrongCnpj_data()
{
    QTest::addColumn<int>("dialogo");
    QTest::addColumn<QList<bool>>("respostas");
    QTest::addColumn<QStringList>("caixas");
    QTest::addColumn<bool>("aberto");
    QTest::newRow("header, not cancelled")
        << int(Calculo) << QList<bool> {false} << QStringList {"Cancela as informações?"} << true;
    QTest::newRow("header, cancelled") << int(Calculo) << QList<bool> {true} << QStringList {"Cancela as informações?"}
                                       << false;
    QTest::newRow("invoice") << int(Nota) << QList<bool> {} << QStringList {} << false;
}

void TestEntryKeys::escapeOnAWrongCnpj()
{
    QFETCH(int, dialogo);
    QFETCH(QList<bool>, respostas);
    QFETCH(QStringList, caixas);
    QFETCH(bool, aberto);
    // Real message boxes: they take the focus as they do for a user.
    GuiMessageSink caixasReais;
    Respondedor respondedor(respostas, {QStringLiteral("TFormDlgNovoCalculo"), QStringLiteral("TFormDlgNovaNF")});
    bool ficouAberto = true;
    abre(dialogo, [&](TFormDlg &dlg) {
        setMessageSink(&caixasReais);
        dlg.findChild<QWidget *>(QStringLiteral("dxDBCNPJRemetente"))->setFocus(Qt::TabFocusReason);
        digita(kCnpjErrado);
        tecla(Qt::Key_Escape);
        QTest::qWait(200); // a check posted meanwhile would show now
        ficouAberto = dlg.isVisible();
        setMessageSink(&s.sink);
    });
    setMessageSink(&s.sink);
    QCOMPARE(respondedor.textos.join(QLatin1Char('|')), caixas.join(QLatin1Char('|')));
    QCOMPARE(respondedor.maiorPilha, caixas.isEmpty() ? 0 : 1);
    QCOMPARE(ficouAberto, aberto);
}

void TestEntryKeys::nameFromTheKeyboard_data()
{
    QTest::addColumn<int>("dialogo");
    QTest::addColumn<QString>("alvo");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("campoNome");
    const QString remet = QStringLiteral("dxDBNomeRemetente");
    QTest::newRow("invoice, sender's name, Space") << int(Nota) << remet << int(Qt::Key_Space) << remet;
    QTest::newRow("invoice, sender's name, Enter") << int(Nota) << remet << int(Qt::Key_Return) << remet;
    QTest::newRow("invoice, sender's name, keypad Enter") << int(Nota) << remet << int(Qt::Key_Enter) << remet;
    QTest::newRow("invoice, sender's name, F4") << int(Nota) << remet << int(Qt::Key_F4) << remet;
    QTest::newRow("invoice, sender's button") << int(Nota) << "BtnNomeRemetente" << int(Qt::Key_Space) << remet;
    QTest::newRow("invoice, recipient's name, F4")
        << int(Nota) << "dxDBNomeDestinatario" << int(Qt::Key_F4) << "dxDBNomeDestinatario";
    QTest::newRow("invoice, recipient's button")
        << int(Nota) << "BtnNomeDestinatario" << int(Qt::Key_Space) << "dxDBNomeDestinatario";
    QTest::newRow("header, officer's name, Enter")
        << int(Calculo) << "dxDBNomeFiscal" << int(Qt::Key_Return) << "dxDBNomeFiscal";
    QTest::newRow("header, officer's button")
        << int(Calculo) << "BtnNomeFiscal" << int(Qt::Key_Space) << "dxDBNomeFiscal";
    QTest::newRow("header, sender's name, F4") << int(Calculo) << remet << int(Qt::Key_F4) << remet;
}

void TestEntryKeys::nameFromTheKeyboard()
{
    QFETCH(int, dialogo);
    QFETCH(QString, alvo);
    QFETCH(int, key);
    QFETCH(QString, campoNome);
    QString focado, nome;
    abre(dialogo, [&](TFormDlg &dlg) {
        dlg.findChild<QWidget *>(alvo)->setFocus(Qt::TabFocusReason);
        QApplication::processEvents(); // leaving the first field checks it (still empty)
        // The numbers were typed before.
        db::Table &t = tabela(dialogo);
        t.fieldByName(QStringLiteral("CNPJRemet")).setAsString(QStringLiteral("11.444.777/0001-61"));
        t.fieldByName(QStringLiteral("IEDest")).setAsString(QStringLiteral("062.123.456.7872"));
        if (dialogo == Calculo)
            t.fieldByName(QStringLiteral("Masp")).setAsString(QStringLiteral("123.456-7"));
        focado = foco();
        auto nomeado = quandoAbrir(s.escopo.get(), kCadEmpresa, [](QWidget *) {
            digita(QStringLiteral("nome digitado"));
            tecla(Qt::Key_Return);
        });
        tecla(Qt::Key(key));
        QTRY_VERIFY(*nomeado);
        QTRY_COMPARE(dlg.findChild<QLineEdit *>(campoNome)->text(), QStringLiteral("NOME DIGITADO"));
        nome = dlg.findChild<QLineEdit *>(campoNome)->text();
    });
    QCOMPARE(focado, alvo);
    QCOMPARE(nome, QStringLiteral("NOME DIGITADO"));
    QVERIFY2(s.sink.entries.isEmpty(), qPrintable(s.sink.texts().join(QLatin1Char('|'))));
}

void TestEntryKeys::okAfterTheNameDialogWasCancelled_data()
{
    QTest::addColumn<int>("dialogo");
    QTest::addColumn<QString>("campoNumero");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QString>("campoNome");
    QTest::newRow("header: the officer") << int(Calculo) << "dxDBMasp"
                                         << "1234567"
                                         << "dxDBNomeFiscal";
    QTest::newRow("invoice: the sender, with the electronic auditor")
        << int(Nota) << "dxDBCNPJRemetente" << kCnpjA << "dxDBNomeRemetente";
}

void TestEntryKeys::okAfterTheNameDialogWasCancelled()
{
    QFETCH(int, dialogo);
    QFETCH(QString, campoNumero);
    QFETCH(QString, numero);
    QFETCH(QString, campoNome);
    if (dialogo == Nota)
        Settings::instance().setAuditor(true);
    QString mensagem, focoAposErro;
    const bool gravado = abre(dialogo, [&](TFormDlg &dlg) {
        if (dialogo == Nota)
            digita(QStringLiteral("10")); // the invoice number, focused at opening
        dlg.findChild<QWidget *>(campoNumero)->setFocus(Qt::TabFocusReason);
        digita(numero);
        auto cancelado = quandoAbrir(s.escopo.get(), kCadEmpresa, [](QWidget *) { tecla(Qt::Key_Escape); });
        tecla(Qt::Key_Tab);
        QTRY_VERIFY(*cancelado);
        QApplication::processEvents();
        // The auditor has no name for the company either.
        quandoAbrir(s.escopo.get(), QStringLiteral("TFormDlgAuditor"), [](QWidget *w) { clickOk(w); });
        s.sink.clear();
        clickOk(&dlg);
        QVERIFY(dlg.isVisible());
        mensagem = s.sink.texts().value(0);
        focoAposErro = foco();
        // Where the focus is, the keyboard reaches the name.
        auto nomeado = quandoAbrir(s.escopo.get(), kCadEmpresa, [](QWidget *) {
            digita(QStringLiteral("nome agora"));
            tecla(Qt::Key_Return);
        });
        tecla(Qt::Key_F4);
        QTRY_VERIFY(*nomeado);
        s.sink.clear();
        clickOk(&dlg);
    });
    QCOMPARE(mensagem.section(QLatin1Char('\r'), 0, 0), QStringLiteral("Preciso desta informação para continuar!"));
    // It says how to give the name.
    QVERIFY2(mensagem.contains(QStringLiteral("F4")), qPrintable(mensagem));
    QCOMPARE(focoAposErro, campoNome);
    QVERIFY(gravado);
    if (dialogo == Calculo)
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM FISCAIS WHERE MASP = '123.456-7' AND FISCAL = 'NOME AGORA'")),
            1);
    else
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM REMETENTES WHERE CNPJREMET = '11.444.777/0001-61' AND "
                                      "REMETENTE = 'NOME AGORA'")),
            1);
}

void TestEntryKeys::amountsTheFieldCannotHold_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("recusado");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("letters") << "abc" << true << qint64(0);
    QTest::newRow("letters after digits") << "12abc" << true << qint64(0);
    QTest::newRow("only a unit the reading drops") << "CT" << true << qint64(0);
    QTest::newRow("21 digits") << "123456789012345678901" << true << qint64(0);
    QTest::newRow("just beyond the largest amount") << "922.337.203.685.478" << true << qint64(0);
    QTest::newRow("below the smallest amount") << "-922337203685478" << true << qint64(0);
    QTest::newRow("the largest amount") << "922.337.203.685.477,5807" << false << std::numeric_limits<qint64>::max();
    QTest::newRow("thousands and cents") << "1.234,56" << false << qint64(12345600);
    QTest::newRow("negative") << "-5" << false << qint64(-50000);
}

void TestEntryKeys::amountsTheFieldCannotHold()
{
    QFETCH(QString, texto);
    QFETCH(bool, recusado);
    QFETCH(qint64, raw);
    int errosAoSair = -1, errosNoOk = -1;
    QString focoAoSair, focoNoOk, textoMantido, mensagem;
    const bool gravado = abre(Nota, [&](TFormDlg &dlg) {
        auto &nota = static_cast<TFormDlgNovaNF &>(dlg);
        digita(QStringLiteral("10"));
        nota.dxDBFrete->setFocus(Qt::TabFocusReason);
        digita(texto);
        tecla(Qt::Key_Tab);
        QTest::qWait(50); // the refusal comes once the focus has moved
        errosAoSair = erros();
        focoAoSair = foco();
        textoMantido = nota.dxDBFrete->text();
        mensagem = s.sink.texts().value(0);
        s.sink.answers = {true}; // the freight question
        clickOk(&dlg);
        errosNoOk = erros();
        focoNoOk = foco();
        if (dlg.isVisible())
            tecla(Qt::Key_Escape); // Cancel, with no further word
    });
    if (recusado) {
        QCOMPARE(errosAoSair, 1);
        QVERIFY2(mensagem.contains(texto), qPrintable(mensagem));
        QCOMPARE(focoAoSair, QStringLiteral("dxDBFrete"));
        QCOMPARE(textoMantido, texto); // left for the user to correct
        QCOMPARE(errosNoOk, 2);
        QCOMPARE(focoNoOk, QStringLiteral("dxDBFrete"));
        QCOMPARE(erros(), 2);
        QVERIFY(!gravado);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 0);
    } else {
        QCOMPARE(errosAoSair, 0);
        QCOMPARE(errosNoOk, 0);
        QVERIFY(gravado);
        QCOMPARE(DM().TabNotas.fieldByName(QStringLiteral("Frete")).asCurrency().raw(), raw);
    }
}

QTEST_MAIN(TestEntryKeys)
#include "tst_entry_keys.moc"
