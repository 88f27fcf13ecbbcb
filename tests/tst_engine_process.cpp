// Engine behaviour across processes: a writer killed mid-way, two writers at
// once, semaphores and exclusive opens held by another process.
#include "platform/db/dataset.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace stb::db;

namespace {

TableDef rowsDef(const char *name)
{
    TableDef d;
    d.name = QString::fromLatin1(name);
    d.fields = {{QStringLiteral("Id"), FieldType::AutoInc}, {QStringLiteral("V"), FieldType::Integer},
        {QStringLiteral("Texto"), FieldType::String, 40}};
    d.indexes = {{QString(), QStringLiteral("Id"), IndexDef::Primary}, {QStringLiteral("V"), QStringLiteral("V"), 0}};
    return d;
}

class Child {
public:
    explicit Child(const QStringList &args)
    {
        m_p.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/engine_child"));
        m_p.setArguments(args);
        m_p.start();
    }
    ~Child() { kill(); }
    // Waits for a line of output; empty on timeout or end.
    QString readLine(int timeoutMs = 20000)
    {
        while (!m_p.canReadLine()) {
            if (m_p.state() == QProcess::NotRunning || !m_p.waitForReadyRead(timeoutMs))
                return m_p.canReadLine() ? QString::fromUtf8(m_p.readLine()).trimmed() : QString();
        }
        return QString::fromUtf8(m_p.readLine()).trimmed();
    }
    void kill()
    {
        if (m_p.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_p.processId()), SIGKILL);
            m_p.waitForFinished(10000);
        }
    }
    bool waitForFinished() { return m_p.waitForFinished(120000); }
    QProcess &process() { return m_p; }

private:
    QProcess m_p;
};

} // namespace

class TestEngineProcess : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void killedWhilePosting();
    void killedInsideTransactions();
    void twoWritersAtOnce();
    void semaphoreHeldElsewhere();
    void exclusiveOpenRefused();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Database> m_db;
};

void TestEngineProcess::init()
{
    Session::defaultSession().lockRetryCount = 3;
    Session::defaultSession().lockWaitTime = 10;
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = std::make_unique<Database>();
    m_db->setDirectory(m_dir->path());
    m_db->createTable(rowsDef("Linhas"));
}

void TestEngineProcess::cleanup()
{
    m_db.reset();
    m_dir.reset();
}

void TestEngineProcess::killedWhilePosting()
{
    qint64 reported = 0;
    {
        Child c({QStringLiteral("append-loop"), m_dir->path(), QStringLiteral("Linhas")});
        while (reported < 300) {
            const QString line = c.readLine();
            QVERIFY2(!line.isEmpty() && !line.startsWith(QLatin1String("error")), qPrintable(line));
            reported = line.toLongLong();
        }
        c.kill();
    }
    Table t(m_db.get(), QStringLiteral("Linhas"));
    t.open(); // openable: a journal left behind is played back
    QVERIFY(t.recordCount() >= reported);
    QSet<qint64> seen;
    for (t.first(); !t.eof(); t.next())
        seen.insert(t.fieldByName(QStringLiteral("V")).asLargeInt());
    for (qint64 v = 1; v <= reported; ++v)
        QVERIFY2(seen.contains(v), qPrintable(QStringLiteral("committed row %1 lost").arg(v)));
    // Still writable.
    t.append();
    t.fieldByName(QStringLiteral("V")).setAsInteger(-1);
    t.post();
}

void TestEngineProcess::killedInsideTransactions()
{
    // Each transaction writes one row into each of two table files; a kill at
    // any moment leaves both files with the same rows.
    m_db->createTable(rowsDef("A"));
    m_db->createTable(rowsDef("B"));
    for (int round = 0; round < 3; ++round) {
        qint64 reported = 0;
        {
            Child c({QStringLiteral("tx-loop"), m_dir->path()});
            const qint64 stopAt = 40 + round * 37;
            while (reported < stopAt) {
                const QString line = c.readLine();
                QVERIFY2(!line.isEmpty() && !line.startsWith(QLatin1String("error")), qPrintable(line));
                reported = line.toLongLong();
            }
            c.kill();
        }
        Query q(m_db.get());
        q.setSql(QStringLiteral("SELECT (SELECT COUNT(*) FROM A), (SELECT COUNT(*) FROM B), (SELECT MAX(V) FROM A), "
                                "(SELECT MAX(V) FROM B)"));
        q.open();
        QCOMPARE(q.field(0).asLargeInt(), q.field(1).asLargeInt());
        QCOMPARE(q.field(2).asLargeInt(), q.field(3).asLargeInt());
        QVERIFY(q.field(2).asLargeInt() >= reported);
        q.close();
        m_db->execSql(QStringLiteral("DELETE FROM A"));
        m_db->execSql(QStringLiteral("DELETE FROM B"));
    }
}

void TestEngineProcess::twoWritersAtOnce()
{
    Child a({QStringLiteral("append"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("1"),
        QStringLiteral("400")});
    Child b({QStringLiteral("append"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("1001"),
        QStringLiteral("400")});
    QCOMPARE(a.readLine(120000), QStringLiteral("done"));
    QCOMPARE(b.readLine(120000), QStringLiteral("done"));
    QVERIFY(a.waitForFinished());
    QVERIFY(b.waitForFinished());
    QCOMPARE(a.process().exitCode(), 0);
    QCOMPARE(b.process().exitCode(), 0);
    Query q(m_db.get());
    q.setSql(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT V), COUNT(DISTINCT Id), SUM(V) FROM Linhas"));
    q.open();
    QCOMPARE(q.field(0).asInteger(), 800);
    QCOMPARE(q.field(1).asInteger(), 800);
    QCOMPARE(q.field(2).asInteger(), 800);
    QCOMPARE(q.field(3).asLargeInt(), qint64(400 * 401 / 2 + 400 * 1000 + 400 * 401 / 2));
}

void TestEngineProcess::semaphoreHeldElsewhere()
{
    {
        Child c({QStringLiteral("hold-semaphore"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("5")});
        QCOMPARE(c.readLine(), QStringLiteral("locked"));
        QVERIFY(!m_db->lockSemaphore(QStringLiteral("Linhas"), 5));
        QVERIFY(m_db->lockSemaphore(QStringLiteral("Linhas"), 6));
        QVERIFY(m_db->lockSemaphore(QStringLiteral("Linhas"), 255));
        c.kill();
    }
    QVERIFY(m_db->lockSemaphore(QStringLiteral("Linhas"), 5)); // released with the killed process
    m_db->unlockSemaphore(QStringLiteral("Linhas"), 5);
    m_db->unlockSemaphore(QStringLiteral("Linhas"), 6);
    // Our own slot is free for another process once unlocked.
    Child c({QStringLiteral("hold-semaphore"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("6")});
    QCOMPARE(c.readLine(), QStringLiteral("locked"));
}

void TestEngineProcess::exclusiveOpenRefused()
{
    {
        Child c({QStringLiteral("hold-open"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("shared")});
        QCOMPARE(c.readLine(), QStringLiteral("open"));
        Table t(m_db.get(), QStringLiteral("Linhas"));
        t.setExclusive(true);
        try {
            t.open();
            QFAIL("exclusive open while another process has the table open");
        } catch (const EngineError &e) {
            QCOMPARE(e.code(), Err::TableInUse);
        }
        try {
            m_db->alterTable(QStringLiteral("Linhas"), rowsDef("Linhas"));
            QFAIL("restructure while another process has the table open");
        } catch (const EngineError &e) {
            QCOMPARE(e.code(), Err::TableInUse);
        }
        Table shared(m_db.get(), QStringLiteral("Linhas"));
        shared.open(); // sharing is fine
        c.kill();
        shared.close();
        t.open();
        QVERIFY(t.isActive());
    }
    {
        Child c({QStringLiteral("hold-open"), m_dir->path(), QStringLiteral("Linhas"), QStringLiteral("exclusive")});
        QCOMPARE(c.readLine(), QStringLiteral("open"));
        Table t(m_db.get(), QStringLiteral("Linhas"));
        try {
            t.open();
            QFAIL("shared open while another process holds the table exclusively");
        } catch (const EngineError &e) {
            QCOMPARE(e.code(), Err::TableInUse);
        }
    }
}

QTEST_GUILESS_MAIN(TestEngineProcess)
#include "tst_engine_process.moc"
