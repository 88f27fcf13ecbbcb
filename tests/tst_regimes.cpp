// Special regimes: the dialog look-ups by CNPJ and by IE (headings, the
// taxpayer's other document, the message), the report look-ups by annex item,
// quotes in typed documents, the general query's life and the regime names.
#include "core/messages.h"
#include "core/schema.h"
#include "outputs/regimes.h"
#include "platform/db/dataset.h"

#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using namespace stb::db;

namespace {

const QString kCnpj = QStringLiteral("11.222.333/0001-81");
const QString kIe = QStringLiteral("062.307.904.0081");

// The heading of a message and its regime lines, sorted (the rows come in
// no fixed order).
QStringList partes(const QString &message)
{
    QStringList lines = message.split(QLatin1Char('\r'));
    QStringList head = lines.mid(0, 2);
    QStringList body = lines.mid(2);
    body.sort();
    return head + body;
}

QStringList partesRelatorio(const QString &text)
{
    QStringList parts = text.split(QStringLiteral("; "));
    parts.sort();
    return parts;
}

} // namespace

class TestRegimes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void dialogo_data();
    void dialogo();
    void relatorio_data();
    void relatorio();
    void queryClosedAroundUse();
    void failurePropagates();
    void nomes();

private:
    QTemporaryDir m_dir;
    Database m_db;
    std::unique_ptr<Query> m_qry;
    RecordingSink m_sink;
};

void TestRegimes::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db.setDirectory(m_dir.path());
    m_db.createTable(schema::regimeEspecial());
    m_db.execSql(
        QString::fromUtf8("INSERT INTO REGIMEESPECIAL (NOME, UF, REGIME, CNPJ, IE, PP) VALUES "
                          "('Distribuidora Sul', 'SC', 1, '11.222.333/0001-81', '', 'PTA 45/2020'),"
                          "('Distribuidora Sul', 'SC', 15, '', '062.307.904.0081', 'PTA 46/2020'),"
                          "('Distribuidora Sul', 'SC', 17, '11.222.333/0001-81', '062.307.904.0081', 'PTA 47/2020'),"
                          "('Outra', 'MG', 12, '', '001.002.003.0004', 'PTA 1'),"
                          "('Uma Só', 'RJ', 6, '22.333.444/0001-90', '', 'PTA 9'),"
                          "('Farma', 'MG', 15, '33.444.555/0001-00', '333.444.555.0001', 'PTA 15'),"
                          "('Farma', 'MG', 15, '33.444.555/0001-00', '333.444.555.0001', 'PTA 15B'),"
                          "('Agua Pura', 'MG', 3, 'D''AGUA', '', 'PTA 3'),"
                          "('', 'MG', 1, '55.666.777/0001-00', '', 'PTA sem nome')"));
    m_qry = std::make_unique<Query>(&m_db);
    setMessageSink(&m_sink);
}

void TestRegimes::init() { m_sink.clear(); }

void TestRegimes::cleanupTestCase()
{
    setMessageSink(nullptr);
    m_qry.reset();
}

void TestRegimes::dialogo_data()
{
    QTest::addColumn<bool>("porIE");
    QTest::addColumn<QString>("doc");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("message"); // empty: nothing shown
    QTest::newRow("CNPJ, one regime: singular") << false << "22.333.444/0001-90"
                                                << "Uma Só"
                                                << "\"Uma Só/RJ\", CNPJ 22.333.444/0001-90.\rRegime Especial:\r"
                                                   "Combustíveis e lubrificantes: PTA 9";
    QTest::newRow("CNPJ finds the rows of its IE: plural")
        << false << kCnpj << "Distribuidora Sul"
        << "\"Distribuidora Sul/SC\", CNPJ 11.222.333/0001-81, IE 062.307.904.0081.\rRegimes Especiais:\r"
           "Autopeças: PTA 45/2020\rMedicamentos - distribuição hospitalar: PTA 46/2020\rProdutos alimentícios: PTA "
           "47/2020";
    QTest::newRow("IE finds the rows of its CNPJ, regime 15 names its column")
        << true << kIe << "Distribuidora Sul"
        << "\"Distribuidora Sul/SC\", IE 062.307.904.0081, CNPJ 11.222.333/0001-81.\rRegimes Especiais:\r"
           "Autopeças: PTA 45/2020\rMedicamentos - distribuição hospitalar: PTA 46/2020 [até ]\r"
           "Produtos alimentícios: PTA 47/2020";
    QTest::newRow("IE only") << true << "001.002.003.0004"
                             << "Outra"
                             << "\"Outra/MG\", IE 001.002.003.0004.\rRegime Especial:\rMateriais elétricos: PTA 1";
    QTest::newRow("IE, two regime-15 rows")
        << true << "333.444.555.0001"
        << "Farma"
        << "\"Farma/MG\", IE 333.444.555.0001, CNPJ 33.444.555/0001-00.\rRegimes Especiais:\r"
           "Medicamentos - distribuição hospitalar: PTA 15 [até 33.444.555/0001-00]\r"
           "Medicamentos - distribuição hospitalar: PTA 15B [até 33.444.555/0001-00]";
    QTest::newRow("document with a quote") << false << "D'AGUA"
                                           << "Agua Pura"
                                           << "\"Agua Pura/MG\", CNPJ D'AGUA.\rRegime Especial:\r"
                                              "Cervejas, chopes, refrigerantes, águas e outras bebidas: PTA 3";
    QTest::newRow("quote trying to widen the search") << false << "x' OR '1'='1"
                                                      << ""
                                                      << "";
    QTest::newRow("quote in an IE") << true << "0' OR IE <> '"
                                    << ""
                                    << "";
    QTest::newRow("empty name shows nothing") << false << "55.666.777/0001-00"
                                              << ""
                                              << "";
    QTest::newRow("not registered") << false << "99.999.999/0001-91"
                                    << ""
                                    << "";
    QTest::newRow("empty CNPJ") << false << ""
                                << ""
                                << "";
    QTest::newRow("empty IE") << true << ""
                              << ""
                              << "";
}

void TestRegimes::dialogo()
{
    QFETCH(bool, porIE);
    QFETCH(QString, doc);
    QFETCH(QString, nome);
    QFETCH(QString, message);
    QCOMPARE(porIE ? ConsultaRegimeIE(*m_qry, doc) : ConsultaRegimeCNPJ(*m_qry, doc), nome);
    if (message.isEmpty()) {
        QVERIFY(m_sink.entries.isEmpty());
        return;
    }
    QCOMPARE(m_sink.entries.size(), 1);
    QCOMPARE(m_sink.entries[0].kind, MsgKind::Informacao);
    QCOMPARE(partes(m_sink.entries[0].text), partes(message));
}

void TestRegimes::relatorio_data()
{
    QTest::addColumn<bool>("porIE");
    QTest::addColumn<QString>("doc");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CNPJ, its own item") << false << kCnpj << "1"
                                        << "Autopeças: PTA 45/2020";
    QTest::newRow("CNPJ, item of its IE") << false << kCnpj << "15"
                                          << "Medicamentos - distribuição hospitalar: PTA 46/2020";
    QTest::newRow("item with leading zero") << false << kCnpj << "01"
                                            << "Autopeças: PTA 45/2020";
    QTest::newRow("CNPJ, other item") << false << kCnpj << "12"
                                      << "";
    QTest::newRow("IE, regime 15") << true << kIe << "15"
                                   << "Medicamentos - distribuição hospitalar: PTA 46/2020 [até ]";
    QTest::newRow("IE, item of its CNPJ") << true << kIe << "1"
                                          << "Autopeças: PTA 45/2020";
    QTest::newRow("item 12 regime under item 15") << true << "001.002.003.0004"
                                                  << "15"
                                                  << "";
    QTest::newRow("item 12 regime under item 12") << true << "001.002.003.0004"
                                                  << "12"
                                                  << "Materiais elétricos: PTA 1";
    QTest::newRow("two rows joined") << true << "333.444.555.0001"
                                     << "15"
                                     << "Medicamentos - distribuição hospitalar: PTA 15 [até 33.444.555/0001-00]; "
                                        "Medicamentos - distribuição hospitalar: PTA 15B [até 33.444.555/0001-00]";
    QTest::newRow("quote") << false << "D'AGUA"
                           << "3"
                           << "Cervejas, chopes, refrigerantes, águas e outras bebidas: PTA 3";
    QTest::newRow("quote in the item") << false << kCnpj << "1) OR (1=1"
                                       << "";
    QTest::newRow("empty name") << false << "55.666.777/0001-00"
                                << "1"
                                << "";
    QTest::newRow("empty document") << true << ""
                                    << "15"
                                    << "";
}

void TestRegimes::relatorio()
{
    QFETCH(bool, porIE);
    QFETCH(QString, doc);
    QFETCH(QString, item);
    QFETCH(QString, expected);
    const QString got = porIE ? RegimesRelatorioIE(*m_qry, doc, item) : RegimesRelatorioCNPJ(*m_qry, doc, item);
    QCOMPARE(partesRelatorio(got), partesRelatorio(expected));
    QVERIFY(m_sink.entries.isEmpty());
}

// The general query is closed before each use (whatever it held) and after.
void TestRegimes::queryClosedAroundUse()
{
    m_qry->sql() = {QStringLiteral("SELECT NOME FROM REGIMEESPECIAL")};
    m_qry->open();
    QVERIFY(m_qry->isActive());
    QCOMPARE(ConsultaRegimeCNPJ(*m_qry, kCnpj), QStringLiteral("Distribuidora Sul"));
    QVERIFY(!m_qry->isActive());
    m_qry->open();
    QCOMPARE(
        RegimesRelatorioIE(*m_qry, kIe, QStringLiteral("17")), QStringLiteral("Produtos alimentícios: PTA 47/2020"));
    QVERIFY(!m_qry->isActive());
}

// An engine failure closes the query and reaches the caller.
void TestRegimes::failurePropagates()
{
    QTemporaryDir empty;
    Database db;
    db.setDirectory(empty.path());
    Query q(&db);
    QVERIFY_THROWS_EXCEPTION(EngineError, ConsultaRegimeCNPJ(q, kCnpj));
    QVERIFY(!q.isActive());
    QVERIFY_THROWS_EXCEPTION(EngineError, RegimesRelatorioIE(q, kIe, QStringLiteral("15")));
    QVERIFY(!q.isActive());
    QVERIFY(m_sink.entries.isEmpty());
}

void TestRegimes::nomes()
{
    QCOMPARE(NomeRegime(1), QStringLiteral("Autopeças"));
    QCOMPARE(NomeRegime(6), QStringLiteral("Combustíveis e lubrificantes"));
    QCOMPARE(NomeRegime(99), QStringLiteral("Regime 99"));
    QCOMPARE(NomeRegime(0), QStringLiteral("Regime 0"));
    QCOMPARE(
        CarregaNomesRegimes(QStringLiteral("# lista\n5 = Cimento Portland\n100=fora\n0=zero\nsem igual\n99=Último\n")),
        2);
    QCOMPARE(NomeRegime(5), QStringLiteral("Cimento Portland"));
    QCOMPARE(NomeRegime(99), QStringLiteral("Último"));
    QCOMPARE(NomeRegime(1), QStringLiteral("Regime 1"));
    QCOMPARE(CarregaNomesRegimes(NomesRegimesPadrao()), 28);
    QCOMPARE(NomeRegime(1), QStringLiteral("Autopeças"));
}

QTEST_GUILESS_MAIN(TestRegimes)
#include "tst_regimes.moc"
