// Dated values of STBrelva2.ini: the date filter, the internal rate by annex
// code in its three modes, the item and rate messages with their "$"
// references and cycle guard, and the adjusted-MVA note. Today is 10/03/2026.
#include "core/datedvalues.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/clock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;

namespace {

const char kReferencia[] = R"INI([Prazo.AliqICMS]
01.001.00=10/03/2026/25
01.002.00=09/03/2026/25
02=31/12/2026/19
03=31/02/2026/22
04.001.00=31/12/2026/20,5
05=01/01/2020/30
[AliqICMS]
01.001.00=12
01.002.00=7
01=17
02=12
02.001.00=15
[Prazo.Mensagens]
17.001.00=10/03/2026/Hoje^pvale
17.002.00=09/03/2026/Ontem
17.003.00=31/02/2026/Fevereiro
17.004.00=$17.005.00$17.006.00
17.005.00=31/12/2026/Cinco
A1.000.00=$A2.000.00
A2.000.00=$A1.000.00
[Mensagens]
17=Item dezessete
17.001.00=Permanente
17.006.00=Seis
18=<html><body>Importante</body></html>
18.001.00=Dezoito
A2.000.00=Dois
[Prazo.MensAliqICMS]
20.001.00=31/12/2026/Aliquota reduzida::12
20.002.00=$20.009.00
20.003.00=01/01/2026/Vencida
30.001.00=$30.002.00
30.002.00=$30.001.00
[MensAliqICMS]
20.003.00=Permanente::7
20.009.00=Referida@A|B@@7|12|
20=Capitulo
[MVAAjustada.MensAliq]
20.001.00=Usa 4%::4
20=$20.001.00
[MVAAjustada.Mensagem]
01.001.00=Nota um
01.002.00=$01.001.00$01.003.00
01.003.00=Nota tres
01.004.00=$01.004.00
)INI";

const QString kErroPrazo
    = QStringLiteral("Há um erro no prazo desta informação. Ela não será considerada. Favor verificar.\r");
const QString kErroAliq = QStringLiteral("Há um erro no prazo desta informação. Favor verificar.\r");

} // namespace

class TestDatedValues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void prazoMensagem_data();
    void prazoMensagem();
    void aliqICMSCodigo_data();
    void aliqICMSCodigo();
    void mensagemItem_data();
    void mensagemItem();
    void mensagemItemLoop();
    void mensagemItemHtml();
    void mensagemAliq_data();
    void mensagemAliq();
    void textoMVAAjustada_data();
    void textoMVAAjustada();

private:
    QTemporaryDir m_dir;
    RecordingSink m_sink;
};

void TestDatedValues::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile f(m_dir.filePath(QStringLiteral("STBrelva2.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kReferencia);
    f.close();
    Settings::instance().open(m_dir.path(), m_dir.path());
    Clock::setFixedDate(QDate(2026, 3, 10));
    setMessageSink(&m_sink);
}

void TestDatedValues::init() { m_sink.clear(); }

void TestDatedValues::cleanupTestCase()
{
    setMessageSink(nullptr);
    Clock::reset();
}

void TestDatedValues::prazoMensagem_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("error");
    QTest::newRow("dated today") << "10/03/2026/Hoje"
                                 << "Hoje" << false;
    QTest::newRow("dated yesterday") << "09/03/2026/Ontem"
                                     << "" << false;
    QTest::newRow("dated next year") << "1/1/2027/Depois"
                                     << "Depois" << false;
    QTest::newRow("text holding a slash") << "1/4/2026/de 1/4 a 30/4"
                                          << "de 1/4 a 30/4" << false;
    QTest::newRow("31 February") << "31/02/2026/Nunca"
                                 << "" << true;
    QTest::newRow("month 13") << "01/13/2026/Nunca"
                              << "" << true;
    QTest::newRow("letters for the day") << "xx/03/2026/t"
                                         << "" << true;
    QTest::newRow("no date at all") << "Texto sem data"
                                    << "" << true;
    QTest::newRow("empty value") << ""
                                 << "" << false;
}

void TestDatedValues::prazoMensagem()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QFETCH(bool, error);
    QCOMPARE(PrazoMensagem(value), expected);
    QCOMPARE(m_sink.texts(), error ? QStringList {kErroPrazo + value} : QStringList {});
    if (error)
        QCOMPARE(m_sink.entries.first().kind, MsgKind::Erro);
}

void TestDatedValues::aliqICMSCodigo_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    QTest::newRow("dated today beats plain") << "01.001.00" << 0 << "25.00" << none;
    QTest::newRow("dated only") << "01.001.00" << 1 << "25.00" << none;
    QTest::newRow("plain only") << "01.001.00" << 2 << "12.00" << none;
    QTest::newRow("dated yesterday, plain") << "01.002.00" << 0 << "7.00" << none;
    QTest::newRow("dated yesterday, mode 1 chapter has none") << "01.002.00" << 1 << "0.00" << none;
    QTest::newRow("nothing own: chapter plain") << "01.003.00" << 0 << "17.00" << none;
    QTest::newRow("chapter dated before chapter plain") << "02.005.00" << 0 << "19.00" << none;
    QTest::newRow("chapter dated, mode 1") << "02.005.00" << 1 << "19.00" << none;
    QTest::newRow("chapter plain, mode 2") << "02.005.00" << 2 << "12.00" << none;
    QTest::newRow("own plain beats chapter dated") << "02.001.00" << 0 << "15.00" << none;
    QTest::newRow("chapter asked directly") << "02" << 0 << "19.00" << none;
    QTest::newRow("broken date: today, reported")
        << "03.001.00" << 0 << "22.00" << QStringList {kErroAliq + "31/02/2026/22"};
    QTest::newRow("decimal comma rate") << "04.001.00" << 0 << "20.50" << none;
    QTest::newRow("expired chapter, no plain: 18") << "05.001.00" << 0 << "18.00" << none;
    QTest::newRow("expired chapter, mode 1: 0") << "05.001.00" << 1 << "0.00" << none;
    QTest::newRow("unknown chapter, mode 2: 18") << "09" << 2 << "18.00" << none;
    QTest::newRow("unknown code, mode 1: 0") << "06.001.00" << 1 << "0.00" << none;
    QTest::newRow("unknown code, mode 0: 18") << "06.001.00" << 0 << "18.00" << none;
}

void TestDatedValues::aliqICMSCodigo()
{
    QFETCH(QString, code);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QFETCH(QStringList, messages);
    QCOMPARE(AliqICMSCodigo(code, static_cast<quint8>(mode)).toPlainString(2), expected);
    QCOMPARE(m_sink.texts(), messages);
}

void TestDatedValues::mensagemItem_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("dated today, permanent, item") << "17.001.00"
                                                  << "Hoje\rvale\rPermanente\rItem dezessete" << QStringList();
    QTest::newRow("dated yesterday: item only") << "17.002.00"
                                                << "Item dezessete" << QStringList();
    QTest::newRow("31 February reported, not shown")
        << "17.003.00"
        << "Item dezessete" << QStringList {kErroPrazo + "31/02/2026/Fevereiro"};
    // Each reference is followed by a line break; the item's message comes
    // once, with the first reference that reaches it.
    QTest::newRow("references") << "17.004.00"
                                << "Cinco\rItem dezessete\rSeis\r" << QStringList();
    QTest::newRow("item number itself") << "17"
                                        << "Item dezessete" << QStringList();
    QTest::newRow("unknown") << "19.001.00"
                             << "" << QStringList();
    QTest::newRow("empty key") << ""
                               << "" << QStringList();
}

void TestDatedValues::mensagemItem()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QFETCH(QStringList, messages);
    QCOMPARE(MensagemItem(key), expected);
    QCOMPARE(m_sink.texts(), messages);
}

// A chain of references that loops back stops at the visited key, and the
// guard lasts one evaluation only.
void TestDatedValues::mensagemItemLoop()
{
    for (int run = 0; run < 2; ++run) {
        const QString m = MensagemItem(QStringLiteral("A1.000.00"));
        QCOMPARE(m.count(QStringLiteral("Dois")), 1);
        QCOMPARE(MensagemItem(QStringLiteral("A2.000.00")).count(QStringLiteral("Dois")), 1);
    }
}

void TestDatedValues::mensagemItemHtml()
{
    QStringList shown;
    setHtmlMessageHandler([&](const QString &title, const QString &html) { shown << title << html; });
    QCOMPARE(MensagemItem(QStringLiteral("18.001.00")), QStringLiteral("Dezoito"));
    setHtmlMessageHandler({});
    QCOMPARE(shown,
        (QStringList {
            QStringLiteral("INFORMAÇÃO IMPORTANTE"), QStringLiteral("<html><body>Importante</body></html>")}));
    QVERIFY(m_sink.texts().isEmpty());
}

void TestDatedValues::mensagemAliq_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("mvaAjustada");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dated") << "20.001.00" << false << "Aliquota reduzida::12";
    QTest::newRow("dated reference to a plain one") << "20.002.00" << false << "Referida@A|B@@7|12|";
    QTest::newRow("dated expired: plain") << "20.003.00" << false << "Permanente::7";
    QTest::newRow("nothing own: item number") << "20.004.00" << false << "Capitulo";
    QTest::newRow("looping references") << "30.001.00" << false << "";
    QTest::newRow("unknown") << "21.000.00" << false << "";
    QTest::newRow("adjusted MVA own") << "20.001.00" << true << "Usa 4%::4";
    QTest::newRow("adjusted MVA item reference") << "20.005.00" << true << "Usa 4%::4";
    QTest::newRow("adjusted MVA unknown") << "21.000.00" << true << "";
}

void TestDatedValues::mensagemAliq()
{
    QFETCH(QString, key);
    QFETCH(bool, mvaAjustada);
    QFETCH(QString, expected);
    QCOMPARE(mvaAjustada ? MensagemAliqMVAAjustada(key) : MensagemAliq(key), expected);
    QVERIFY(m_sink.texts().isEmpty());
}

void TestDatedValues::textoMVAAjustada_data()
{
    const QString nota = NotaPadraoMVAAjustada();
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("own text") << "01.001.00"
                              << "Nota um\n" + nota;
    QTest::newRow("no text: the note") << "09.000.00"
                                       << "\n" + nota;
    QTest::newRow("references each with their note") << "01.002.00"
                                                     << "Nota um\n" + nota + "\nNota tres\n" + nota + "\n" + nota;
    QTest::newRow("reference to itself") << "01.004.00"
                                         << "\n" + nota;
}

void TestDatedValues::textoMVAAjustada()
{
    QFETCH(QString, code);
    QFETCH(QString, expected);
    QCOMPARE(TextoMVAAjustada(code), expected);
    QVERIFY(NotaPadraoMVAAjustada().contains(QStringLiteral("EPP")));
}

QTEST_GUILESS_MAIN(TestDatedValues)
#include "tst_datedvalues.moc"
