// A whole calculation by keys alone, as an officer types it: the header, two
// invoices and three lines, in the running main window, with every key
// counted. The questions take their default
// answer (Enter). With STB_TELAS=<folder> each window is also saved there
// as a picture when it opens (scripts/screenshots.sh).
#include "core/settings.h"
#include "entry/dbgrid.h"
#include "entry/dlgitem.h"
#include "entry/partes.h"
#include "tests/entry_support.h"
#include "tests/mainwindow_fixture.h"

#include <QDir>

using namespace stb;
using namespace mainwindowtest;
using stbtest::whenModalNamed;

namespace {

const QString kCnpj = QStringLiteral("11444777000161");
const QString kIe = QStringLiteral("0621234567872");

// Saves a picture of `w` in STB_TELAS, when set.
void tela(QWidget *w, const QString &nome)
{
    const QString pasta = qEnvironmentVariable("STB_TELAS");
    if (pasta.isEmpty() || !w)
        return;
    QDir().mkpath(pasta);
    QApplication::processEvents();
    w->grab().save(QDir(pasta).filePath(nome + QStringLiteral(".png")));
}

} // namespace

class TestKeyboardDay : public MainWindowSuite {
    Q_OBJECT

private slots:
    void init() { abre(); }
    void cleanup() { fecha(); }
    void wholeCalculationByKeys();

private:
    // Types `teclas` in the dialog named `nome` when it opens, counted under
    // `parte`; `depois` runs once the dialog has closed.
    void quandoAbrir(
        const QString &nome, const QString &parte, const QString &teclas, std::function<void()> depois = {});
    // A key chord in the window that has the focus, counted under `parte`.
    void acorde(Qt::Key k, Qt::KeyboardModifiers m, const QString &parte);

    QString m_parte; // the part being typed
    QMap<QString, int> m_teclas; // keys by part of the calculation
    QStringList m_ordem; // the parts in the order they were typed
    int m_telas = 0;
};

void TestKeyboardDay::quandoAbrir(
    const QString &nome, const QString &parte, const QString &teclas, std::function<void()> depois)
{
    whenModalNamed(nome, [this, nome, parte, teclas, depois](QWidget *w) {
        entrytest::ativaJanela();
        tela(w, QStringLiteral("%1-%2").arg(++m_telas, 2, 10, QLatin1Char('0')).arg(nome));
        if (!m_ordem.contains(parte))
            m_ordem << parte;
        m_parte = parte;
        m_teclas[parte] += int(teclas.size());
        auto fim = entrytest::datilografa(w, teclas);
        QPointer<QWidget> dlg(w);
        // The keys go on inside the dialog's own loop; the next step waits
        // until this opening of the dialog is over.
        QVERIFY2(QTest::qWaitFor([&] { return *fim && (!dlg || !dlg->isVisible()); }, 20000), qPrintable(parte));
        if (depois)
            depois();
    });
}

void TestKeyboardDay::acorde(Qt::Key k, Qt::KeyboardModifiers m, const QString &parte)
{
    if (!m_ordem.contains(parte))
        m_ordem << parte;
    m_parte = parte;
    m_teclas[parte] += 1;
    entrytest::ativaJanela();
    // The main window always has a control with the focus (the invoices).
    if (!QApplication::focusWidget() && !QApplication::activeModalWidget())
        m_main->dxDBGridNotas->setFocus();
    QTest::keyClick(QApplication::focusWidget(), k, m);
}

void TestKeyboardDay::wholeCalculationByKeys()
{
    // The officer and both companies are in the registers already.
    {
        TDM &dm = DM();
        GravaRemetente(QStringLiteral("11.444.777/0001-61"), QStringLiteral("REMETENTE LTDA"));
        GravaDestinatario(QStringLiteral("062.123.456.7872"), QStringLiteral("DESTINATARIO SA"));
        dm.TabFisc.append();
        dm.TabFisc.fieldByName(QStringLiteral("Masp")).setAsString(QStringLiteral("123.456-7"));
        dm.TabFisc.fieldByName(QStringLiteral("Fiscal")).setAsString(QStringLiteral("MARIA FISCAL"));
        dm.PostCadastro(dm.TabFisc);
    }
    entrytest::janelaBase() = m_main.get();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    tela(m_main.get(), QStringLiteral("00-TMain"));

    // The adjusted MVA of an interstate line: Enter ("Aplica"), counted with the line.
    QPointer<QWidget> ultimaMVA;
    QTimer mva;
    connect(&mva, &QTimer::timeout, this, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == ultimaMVA || w->objectName() != QLatin1String("TFormDlgMVAAjustada"))
            return;
        ultimaMVA = w;
        entrytest::ativaJanela();
        tela(w, QStringLiteral("%1-TFormDlgMVAAjustada").arg(++m_telas, 2, 10, QLatin1Char('0')));
        m_teclas[m_parte] += 1;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    mva.start(20);

    const QString linha1 = QStringLiteral("01.001.00\t500,00\r");
    const QString linha2 = QStringLiteral("01.001.00\t300,00\r");
    const QString linha3 = QStringLiteral("01.001.00\t200,00\r");
    // Header: the officer's number, the sender's, the recipient's, Enter.
    quandoAbrir(QStringLiteral("TFormDlgNovoCalculo"), QStringLiteral("cabeçalho"),
        QStringLiteral("1234567\t") + kCnpj + QLatin1Char('\t') + kIe + QLatin1Char('\r'));
    // The first invoice opens by itself: its number, Enter.
    quandoAbrir(QStringLiteral("TFormDlgNovaNF"), QStringLiteral("nota 1"), QStringLiteral("1001\r"));
    acorde(Qt::Key_N, Qt::AltModifier, QStringLiteral("cabeçalho"));
    QTRY_COMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 1);

    quandoAbrir(QStringLiteral("TFormDlgItem"), QStringLiteral("linha 1"), linha1, [this, linha2] {
        quandoAbrir(QStringLiteral("TFormDlgItem"), QStringLiteral("linha 2"), linha2, [this] {
            // Escape ends the lines; the two questions take their default (No).
            quandoAbrir(QStringLiteral("TFormDlgItem"), QStringLiteral("fim das linhas"), QStringLiteral("\x1b"));
        });
    });
    acorde(Qt::Key_U, Qt::AltModifier, QStringLiteral("linha 1"));
    QTRY_COMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM ITENS")), 2);

    quandoAbrir(QStringLiteral("TFormDlgNovaNF"), QStringLiteral("nota 2"), QStringLiteral("1002\r"));
    acorde(Qt::Key_I, Qt::AltModifier, QStringLiteral("nota 2"));
    QTRY_COMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM NOTAS")), 2);
    quandoAbrir(QStringLiteral("TFormDlgItem"), QStringLiteral("linha 3"), linha3, [this] {
        quandoAbrir(QStringLiteral("TFormDlgItem"), QStringLiteral("fim das linhas"), QStringLiteral("\x1b"));
    });
    acorde(Qt::Key_U, Qt::AltModifier, QStringLiteral("linha 3"));
    QTRY_COMPARE(entrytest::count(QStringLiteral("SELECT COUNT(*) FROM ITENS")), 3);
    tela(m_main.get(), QStringLiteral("90-TMain-calculo"));

    m_main->hide();

    // What the keys stored.
    db::Query q(&DM().BaseDados);
    q.setSql(QStringLiteral("SELECT N.NRONF, I.ITEMBRELVA, I.VALORNF FROM ITENS I JOIN NOTAS N ON N.IDNOTA = I.IDNOTA "
                            "ORDER BY N.NRONF, I.NROITEM"));
    q.open();
    QStringList linhas;
    for (q.first(); !q.eof(); q.next())
        linhas << q.field(0).asString() + QLatin1Char(' ') + q.field(1).asString() + QLatin1Char(' ')
                + q.field(2).asCurrency().toPlainString();
    QCOMPARE(linhas, (QStringList {"1001 01.001.00 500.0000", "1001 01.001.00 300.0000", "1002 01.001.00 200.0000"}));

    // The count, for whoever changes a dialog: the questions answered by
    // Enter are counted apart.
    int total = 0;
    for (const QString &p : std::as_const(m_ordem)) {
        qInfo().noquote() << QStringLiteral("teclas %1: %2").arg(p).arg(m_teclas.value(p));
        total += m_teclas.value(p);
    }
    int perguntas = 0;
    for (const RecordingSink::Entry &e : m_sink.entries)
        perguntas += e.kind == MsgKind::Pergunta ? 1 : 0;
    qInfo().noquote() << QStringLiteral("teclas no total: %1, mais %2 respostas (Enter)").arg(total).arg(perguntas);
    // Each line is its code, Tab, its value and Enter (17 keys), Enter on
    // the adjusted MVA of the interstate line, and Alt+U before the first
    // line of an invoice.
    QCOMPARE(m_teclas.value(QStringLiteral("linha 1")), 19);
    QCOMPARE(m_teclas.value(QStringLiteral("linha 2")), 18);
    QCOMPARE(m_teclas.value(QStringLiteral("linha 3")), 19);
}

QTEST_MAIN(TestKeyboardDay)
#include "tst_keyboard_day.moc"
