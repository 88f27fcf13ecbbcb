// The libpq client against a private server: addresses, values in both
// directions, error codes, transactions, semaphores and table opens across
// processes (a killed holder frees them), and a connection cut by a stopped
// server.
#include "platform/db/pgconn.h"
#include "platform/db/pgerrors.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgvalue.h"
#include "tests/support/pgserver.h"

#include <QProcess>
#include <QTest>
#include <QUrl>
#include <memory>

using namespace stb;
using namespace stb::db;

Q_DECLARE_METATYPE(stb::db::FieldType)

namespace {

int codeOf(const std::function<void()> &fn, QString *message = nullptr)
{
    try {
        fn();
    } catch (const EngineError &e) {
        if (message)
            *message = e.message();
        return e.code();
    }
    return 0;
}

} // namespace

class TestPgConn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void addresses_data();
    void addresses();
    void values_data();
    void values();
    void decimalText_data();
    void decimalText();
    void errors_data();
    void errors();
    void lockNotAvailable();
    void transactionGuard();
    void locksAcrossProcesses_data();
    void locksAcrossProcesses();
    void opensInOneProcess();
    void connectionLost();

private:
    // A child process holding a lock; killed with SIGKILL by the test.
    std::unique_ptr<QProcess> startHolder(const QStringList &args);

    stbtest::PgServer m_server;
    QString m_address;
};

void TestPgConn::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    m_address = m_server.createDatabase(QStringLiteral("conn"), &error);
    QVERIFY2(!m_address.isEmpty(), qPrintable(error));
    PgConnection c(m_address);
    pgEnsureSchema(c);
}

void TestPgConn::addresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("messageStart");
    const QString host = QString::fromLatin1(QUrl::toPercentEncoding(m_server.folder()));
    QTest::newRow("the server") << m_address << 0 << QString();
    QTest::newRow("postgres scheme") << QStringLiteral("postgres://stb@%1/conn").arg(host) << 0 << QString();
    QTest::newRow("password in the address") << QStringLiteral("postgresql://stb:segredo@%1/conn").arg(host)
                                             << int(Err::InvalidValue) << QStringLiteral("A senha não pode");
    QTest::newRow("password as a parameter") << QStringLiteral("postgresql://stb@%1/conn?password=x").arg(host)
                                             << int(Err::InvalidValue) << QStringLiteral("A senha não pode");
    QTest::newRow("a folder") << QStringLiteral("/srv/Dados") << int(Err::InvalidValue)
                              << QStringLiteral("Endereço de servidor inválido");
    QTest::newRow("unknown database") << QStringLiteral("postgresql://stb@%1/naoexiste").arg(host)
                                      << int(Err::ConnectionLost) << QStringLiteral("Não foi possível conectar");
    QTest::newRow("nobody listening") << QStringLiteral("postgresql://stb@%2Ftmp%2Fstb-nenhum/conn")
                                      << int(Err::ConnectionLost) << QStringLiteral("Não foi possível conectar");
}

void TestPgConn::addresses()
{
    QFETCH(QString, address);
    QFETCH(int, code);
    QFETCH(QString, messageStart);
    QString message;
    QCOMPARE(codeOf([&] { PgConnection c(address); }, &message), code);
    QVERIFY2(message.startsWith(messageStart), qPrintable(message));
}

void TestPgConn::values_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");
    auto raw = [](std::int64_t v) { return QVariant(qlonglong(v)); };
    QTest::newRow("currency") << FieldType::Currency << 0
                              << raw(Currency::parsePlain(QStringLiteral("1234.5678"))->raw());
    QTest::newRow("negative currency") << FieldType::Currency << 0 << raw(-1);
    QTest::newRow("largest currency") << FieldType::Currency << 0 << raw(INT64_MAX);
    QTest::newRow("smallest currency") << FieldType::Currency << 0 << raw(-INT64_MAX);
    QTest::newRow("date") << FieldType::Date << 0 << raw(encodeDate(QDate(2026, 2, 28)));
    QTest::newRow("old date") << FieldType::Date << 0 << raw(encodeDate(QDate(1899, 12, 30)));
    QTest::newRow("date-time with ms") << FieldType::DateTime << 0
                                       << raw(encodeDateTime(QDateTime(QDate(2026, 12, 5), QTime(23, 59, 58, 120))));
    QTest::newRow("date-time at midnight")
        << FieldType::DateTime << 0 << raw(encodeDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0))));
    QTest::newRow("true") << FieldType::Boolean << 0 << raw(1);
    QTest::newRow("false") << FieldType::Boolean << 0 << raw(0);
    QTest::newRow("small integer") << FieldType::SmallInt << 0 << raw(-32768);
    QTest::newRow("large integer") << FieldType::LargeInt << 0 << raw(INT64_MIN);
    QTest::newRow("float") << FieldType::Float << 0 << QVariant(0.1 + 0.2);
    QTest::newRow("text with quote and accents")
        << FieldType::String << 20 << QVariant(QStringLiteral("D'ÁGUA ção \\n"));
    QTest::newRow("memo with lines") << FieldType::Memo << 0 << QVariant(QStringLiteral("linha 1\r\nlinha 2\t;"));
    QTest::newRow("blob with zero bytes") << FieldType::Blob << 0 << QVariant(QByteArray("\0\x01\xff\\x", 5));
    QTest::newRow("null") << FieldType::Currency << 0 << QVariant();
}

void TestPgConn::values()
{
    QFETCH(FieldType, type);
    QFETCH(int, size);
    QFETCH(QVariant, value);
    Value v;
    if (value.typeId() == QMetaType::LongLong)
        v = value.toLongLong();
    else if (value.typeId() == QMetaType::Double)
        v = value.toDouble();
    else if (value.typeId() == QMetaType::QString)
        v = value.toString();
    else if (value.typeId() == QMetaType::QByteArray)
        v = value.toByteArray();
    PgConnection c(m_address);
    c.exec(QStringLiteral("CREATE TEMP TABLE v (x %1)").arg(pgColumnType(FieldDef {QStringLiteral("x"), type, size})));
    c.exec(QStringLiteral("INSERT INTO v VALUES ($1)"), QList<QByteArray> {pgTextOf(type, v)});
    const PgResult r = c.exec(QStringLiteral("SELECT x FROM v"));
    QCOMPARE(r.rows(), 1);
    QVERIFY(r.value(0, 0, type) == v);
}

void TestPgConn::decimalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // four decimals, or "invalid"
    QTest::newRow("exact") << "84.8195"
                           << "84.8195";
    QTest::newRow("more decimals, down") << "84.819512195121951"
                                         << "84.8195";
    QTest::newRow("more decimals, up") << "0.00005000001"
                                       << "0.0001";
    QTest::newRow("tie to even, stays") << "1.23445"
                                        << "1.2344";
    QTest::newRow("tie to even, up") << "1.23455"
                                     << "1.2346";
    QTest::newRow("negative tie") << "-2.00005"
                                  << "-2.0000";
    QTest::newRow("integer") << "410"
                             << "410.0000";
    QTest::newRow("leading point") << ".5"
                                   << "0.5000";
    QTest::newRow("too large") << "922337203685477.5808"
                               << "invalid";
    QTest::newRow("not a number") << "NaN"
                                  << "invalid";
    QTest::newRow("empty") << ""
                           << "invalid";
}

void TestPgConn::decimalText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QByteArray b = text.toLatin1();
    const auto c = currencyFromDecimalText(b);
    QCOMPARE(c ? c->toPlainString(4) : QStringLiteral("invalid"), expected);
}

void TestPgConn::errors_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("messageStart");
    const QString table = QStringLiteral("CREATE TEMP TABLE t (k integer PRIMARY KEY, n varchar(2) NOT NULL)");
    QTest::newRow("duplicate key") << QStringList {table, QStringLiteral("INSERT INTO t VALUES (1, 'a')")}
                                   << QStringLiteral("INSERT INTO t VALUES (1, 'b')") << int(Err::KeyViolation)
                                   << QStringLiteral("Violação de chave (tabela T):");
    QTest::newRow("required field") << QStringList {table} << QStringLiteral("INSERT INTO t VALUES (1, NULL)")
                                    << int(Err::RequiredField) << QStringLiteral("Campo obrigatório sem valor");
    QTest::newRow("text too long") << QStringList {table} << QStringLiteral("INSERT INTO t VALUES (1, 'abc')")
                                   << int(Err::InvalidValue) << QStringLiteral("Erro do banco de dados");
    QTest::newRow("missing table") << QStringList {} << QStringLiteral("SELECT * FROM naoexiste")
                                   << int(Err::TableNotFound) << QStringLiteral("Tabela não encontrada");
    QTest::newRow("missing column") << QStringList {table} << QStringLiteral("SELECT zz FROM t")
                                    << int(Err::FieldNotFound) << QStringLiteral("Erro do banco de dados");
    QTest::newRow("syntax") << QStringList {} << QStringLiteral("SELEC 1") << int(Err::SqlError)
                            << QStringLiteral("Erro do banco de dados");
    QTest::newRow("two statements in one text") << QStringList {} << QStringLiteral("SELECT 1; SELECT 2")
                                                << int(Err::SqlError) << QStringLiteral("Erro do banco de dados");
}

void TestPgConn::errors()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, statement);
    QFETCH(int, code);
    QFETCH(QString, messageStart);
    PgConnection c(m_address);
    for (const QString &s : setup)
        c.exec(s);
    QString message;
    QCOMPARE(codeOf([&] { c.exec(statement, QList<QByteArray> {}, QStringLiteral("T")); }, &message), code);
    QVERIFY2(message.startsWith(messageStart), qPrintable(message));
    // The connection serves on after an error.
    QCOMPARE(c.exec(QStringLiteral("SELECT 7")).string(0, 0), QStringLiteral("7"));
}

void TestPgConn::lockNotAvailable()
{
    PgConnection a(m_address), b(m_address);
    a.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS bloqueio (k integer)"));
    PgTransaction tx(a);
    a.exec(QStringLiteral("LOCK TABLE bloqueio IN EXCLUSIVE MODE"));
    PgTransaction txb(b);
    QString message;
    QCOMPARE(codeOf([&] { b.exec(QStringLiteral("LOCK TABLE bloqueio IN EXCLUSIVE MODE NOWAIT")); }, &message),
        int(Err::TableInUse));
    QCOMPARE(message, QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!"));
}

void TestPgConn::transactionGuard()
{
    PgConnection c(m_address), other(m_address);
    c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS guarda (k integer PRIMARY KEY)"));
    auto count = [&other] { return other.exec(QStringLiteral("SELECT count(*) FROM guarda")).string(0, 0).toInt(); };
    {
        PgTransaction tx(c);
        c.exec(QStringLiteral("INSERT INTO guarda VALUES (1)"));
    } // left without commit: rolled back
    QCOMPARE(count(), 0);
    QVERIFY(!c.inTransaction());
    {
        PgTransaction tx(c);
        c.exec(QStringLiteral("INSERT INTO guarda VALUES (1)"));
        tx.commit();
        QVERIFY(!tx.active());
    } // committed once: the end of the scope undoes nothing
    QCOMPARE(count(), 1);
    {
        PgTransaction tx(c);
        c.exec(QStringLiteral("INSERT INTO guarda VALUES (2)"));
        QCOMPARE(codeOf([&] { c.exec(QStringLiteral("INSERT INTO guarda VALUES (1)")); }), int(Err::KeyViolation));
        // The server answers the commit of a failed transaction with a rollback.
        QCOMPARE(codeOf([&] { tx.commit(); }), int(Err::InvalidOperation));
    }
    QCOMPARE(count(), 1);
    QVERIFY(!c.inTransaction());
    // An exception leaving the scope rolls back.
    QCOMPARE(codeOf([&] {
        PgTransaction tx(c);
        c.exec(QStringLiteral("INSERT INTO guarda VALUES (3)"));
        throw EngineError(Err::InvalidOperation, QStringLiteral("interrompido"));
    }),
        int(Err::InvalidOperation));
    QCOMPARE(count(), 1);
}

std::unique_ptr<QProcess> TestPgConn::startHolder(const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    p->start(
        QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/pg_child"), QStringList {m_address} + args);
    if (!p->waitForReadyRead(20000))
        return nullptr;
    return p;
}

void TestPgConn::locksAcrossProcesses_data()
{
    QTest::addColumn<QStringList>("held"); // what the child holds
    QTest::addColumn<QStringList>("wanted"); // what this process then asks
    QTest::addColumn<bool>("conflict");
    QTest::newRow("same semaphore") << QStringList {"semaphore", "STBrelva", "7"}
                                    << QStringList {"semaphore", "STBRELVA", "7"} << true;
    QTest::newRow("another slot") << QStringList {"semaphore", "STBrelva", "7"}
                                  << QStringList {"semaphore", "STBrelva", "8"} << false;
    QTest::newRow("same slot of another table")
        << QStringList {"semaphore", "STBrelva", "301"} << QStringList {"semaphore", "Notas", "301"} << false;
    QTest::newRow("exclusive, then shared")
        << QStringList {"exclusive", "Notas"} << QStringList {"shared", "notas"} << true;
    QTest::newRow("shared, then exclusive")
        << QStringList {"shared", "Notas"} << QStringList {"exclusive", "Notas"} << true;
    QTest::newRow("shared twice") << QStringList {"shared", "Notas"} << QStringList {"shared", "Notas"} << false;
    QTest::newRow("exclusive of another table")
        << QStringList {"exclusive", "Notas"} << QStringList {"exclusive", "Itens"} << false;
    QTest::newRow("open is not a semaphore")
        << QStringList {"exclusive", "Notas"} << QStringList {"semaphore", "Notas", "0"} << false;
}

void TestPgConn::locksAcrossProcesses()
{
    QFETCH(QStringList, held);
    QFETCH(QStringList, wanted);
    QFETCH(bool, conflict);
    const auto holder = startHolder(held);
    QVERIFY(holder);
    QCOMPARE(holder->readAll().trimmed(), QByteArray("ok"));

    Session s;
    s.lockRetryCount = 2;
    s.lockWaitTime = 10;
    PgConnection c(m_address, &s);
    auto take = [&] {
        if (wanted[0] == QLatin1String("semaphore"))
            return c.lockSemaphore(wanted[1], wanted[2].toInt()) ? 0 : -1;
        return codeOf([&] {
            c.acquireOpen(wanted[1], wanted[0] == QLatin1String("exclusive") ? OpenMode::Exclusive : OpenMode::Shared);
        });
    };
    const int expected = wanted[0] == QLatin1String("semaphore") ? -1 : int(Err::TableInUse);
    QCOMPARE(take(), conflict ? expected : 0);
    // The holder is killed: the server drops its session and its locks with
    // it. "At once": within the few short retries of a workstation scan.
    holder->kill();
    QVERIFY(holder->waitForFinished(10000));
    s.lockRetryCount = 20;
    s.lockWaitTime = 10;
    QCOMPARE(take(), 0);
}

void TestPgConn::opensInOneProcess()
{
    Session s;
    s.lockRetryCount = 1;
    PgConnection a(m_address, &s), b(m_address, &s);
    // A slot held here is taken again without a second lock: one unlock frees it.
    QVERIFY(a.lockSemaphore(QStringLiteral("STBrelva"), 12));
    QVERIFY(a.lockSemaphore(QStringLiteral("STBrelva"), 12));
    QVERIFY(!b.lockSemaphore(QStringLiteral("STBrelva"), 12));
    a.unlockSemaphore(QStringLiteral("STBrelva"), 12);
    QVERIFY(b.lockSemaphore(QStringLiteral("STBrelva"), 12));

    // Exclusive, then shared in the same process; the exclusive one ends
    // first and the shared one still keeps others from an exclusive open.
    a.acquireOpen(QStringLiteral("Itens"), OpenMode::Exclusive);
    a.acquireOpen(QStringLiteral("Itens"), OpenMode::Shared);
    QCOMPARE(codeOf([&] { b.acquireOpen(QStringLiteral("Itens"), OpenMode::Shared); }), int(Err::TableInUse));
    a.releaseOpen(QStringLiteral("Itens"), OpenMode::Exclusive);
    QCOMPARE(codeOf([&] { b.acquireOpen(QStringLiteral("Itens"), OpenMode::Exclusive); }), int(Err::TableInUse));
    b.acquireOpen(QStringLiteral("Itens"), OpenMode::Shared);
    b.releaseOpen(QStringLiteral("Itens"), OpenMode::Shared);
    a.releaseOpen(QStringLiteral("Itens"), OpenMode::Shared);
    b.acquireOpen(QStringLiteral("Itens"), OpenMode::Exclusive);
    b.releaseOpen(QStringLiteral("Itens"), OpenMode::Exclusive);
    // Two shared opens here need two releases.
    a.acquireOpen(QStringLiteral("Itens"), OpenMode::Shared);
    a.acquireOpen(QStringLiteral("Itens"), OpenMode::Shared);
    a.releaseOpen(QStringLiteral("Itens"), OpenMode::Shared);
    QCOMPARE(codeOf([&] { b.acquireOpen(QStringLiteral("Itens"), OpenMode::Exclusive); }), int(Err::TableInUse));
    a.releaseOpen(QStringLiteral("Itens"), OpenMode::Shared);
    QCOMPARE(codeOf([&] { b.acquireOpen(QStringLiteral("Itens"), OpenMode::Exclusive); }), 0);
}

void TestPgConn::connectionLost()
{
    PgConnection c(m_address);
    PgConnection inTx(m_address);
    inTx.startTransaction();
    QVERIFY(m_server.stop());
    QString message;
    const int lostCode = codeOf([&] { c.exec(QStringLiteral("SELECT 1")); }, &message);
    QVERIFY2(lostCode == Err::ConnectionLost, qPrintable(message));
    QVERIFY2(message.startsWith(QStringLiteral("Conexão com o computador dos dados perdida: ")), qPrintable(message));
    QVERIFY(!c.isConnected());
    QCOMPARE(codeOf([&] { c.lockSemaphore(QStringLiteral("STBrelva"), 1); }), int(Err::ConnectionLost));
    // Ending a transaction on a lost connection throws nothing.
    inTx.rollback();
    QVERIFY(!inTx.inTransaction());
    QString error;
    QVERIFY2(m_server.restart(&error), qPrintable(error));
    QCOMPARE(PgConnection(m_address).exec(QStringLiteral("SELECT 1")).string(0, 0), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestPgConn)
#include "tst_pg_conn.moc"
