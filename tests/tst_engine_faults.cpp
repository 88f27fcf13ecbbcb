// Durability of the table files. Child processes are killed at random moments
// of writes, transactions over two tables, rebuilds, restructures and repairs,
// and at every step of each rebuild; table files are damaged in the ways a
// disk or a user damages them; two, four and eight processes write at once.
// After each, the table must hold every committed row and no row that was
// never written, open or be reported damaged with the right code, and keep
// every backup intact.
// The figures (kills, rows checked, rows lost, rows salvaged) are printed at
// the end.
#include "platform/db/dataset.h"
#include "platform/db/faultpoint.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <functional>
#include <sqlite3.h>

using namespace stb::db;

namespace {

constexpr int kKills = 50;
constexpr int kRows = 3000; // rows of the table that is rebuilt and damaged
constexpr qint64 kBigRow = kRows + 1; // a row whose memo spills over several pages

TableDef rowsDef(const QString &name)
{
    TableDef d;
    d.name = name;
    d.fields = {{QStringLiteral("Id"), FieldType::AutoInc}, {QStringLiteral("V"), FieldType::Integer},
        {QStringLiteral("Texto"), FieldType::String, 40}, {QStringLiteral("Valor"), FieldType::Currency},
        {QStringLiteral("Obs"), FieldType::Memo}};
    d.indexes = {{QString(), QStringLiteral("Id"), IndexDef::Primary},
        {QStringLiteral("V"), QStringLiteral("V"), IndexDef::Unique},
        {QStringLiteral("Texto"), QStringLiteral("Texto"), IndexDef::CaseInsensitive}};
    return d;
}

QString memo(qint64 v, int size)
{
    QString s = QStringLiteral("observação %1 ").arg(v);
    while (s.size() < size)
        s += QStringLiteral("ação-%1 ").arg(v * 7 + s.size());
    return s.left(size);
}

void fill(Database &db, const QString &table, qint64 first, qint64 count, int memoSize)
{
    Table t(&db, table);
    t.open();
    db.startTransaction();
    for (qint64 v = first; v < first + count; ++v) {
        t.append();
        t.fieldByName(QStringLiteral("V")).setAsInteger(v);
        t.fieldByName(QStringLiteral("Texto")).setAsString(QStringLiteral("linha %1").arg(v));
        t.fieldByName(QStringLiteral("Valor")).setAsCurrency(stb::Currency::fromRaw(v * 12345));
        t.fieldByName(QStringLiteral("Obs")).setAsString(memo(v, memoSize));
        t.post();
    }
    db.commit(true);
}

// Every row of a table by Id, as "V|Texto|Valor|Obs". Throws EngineError.
using Rows = QMap<qint64, QString>;
Rows readRows(const QString &dir, const QString &table)
{
    Database db;
    db.setDirectory(dir);
    Table t(&db, table);
    t.open();
    Rows rows;
    QStringList fields;
    for (Field *f : t.fields())
        if (f->name() != QLatin1String("Id") && f->name() != QLatin1String("Extra"))
            fields << f->name();
    for (t.first(); !t.eof(); t.next()) {
        QStringList values;
        for (const QString &f : std::as_const(fields))
            values << t.fieldByName(f).asString();
        rows.insert(t.fieldByName(QStringLiteral("Id")).asLargeInt(), values.join(QLatin1Char('|')));
    }
    return rows;
}

int openCode(const QString &dir, const QString &table)
{
    try {
        readRows(dir, table);
        return 0;
    } catch (const EngineError &e) {
        return e.code();
    }
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

// Every backup of the folder with the hash of its bytes.
QMap<QString, QByteArray> backups(const QString &dir)
{
    QMap<QString, QByteArray> out;
    for (const QString &f : QDir(dir).entryList({QStringLiteral("*.dbk"), QStringLiteral("*.ibk")}, QDir::Files))
        out.insert(f, fileHash(QDir(dir).filePath(f)));
    return out;
}

// Files a killed process may leave that the next open must have settled.
QStringList leftovers(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.tmp"), QStringLiteral("*.tmp-journal"), QStringLiteral("*.rpl"),
                                   QStringLiteral("*-mj*"), QStringLiteral("*.part")},
        QDir::Files);
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &f : QDir(from).entryList(QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
}

class Child {
public:
    explicit Child(const QStringList &args, bool defaultLocks = false)
    {
        m_p.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/engine_child"));
        m_p.setArguments(args);
        if (defaultLocks) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("STB_DEFAULT_LOCKS"), QStringLiteral("1"));
            m_p.setProcessEnvironment(env);
        }
        m_p.start();
    }
    ~Child() { kill(); }
    QString readLine(int timeoutMs = 30000)
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
    bool finish(int ms = 60000) { return m_p.state() == QProcess::NotRunning || m_p.waitForFinished(ms); }
    // Lines the process wrote that were not read yet (after it ended).
    QStringList rest()
    {
        QStringList out;
        for (const QByteArray &l : m_p.readAllStandardOutput().split('\n'))
            if (!l.trimmed().isEmpty())
                out << QString::fromUtf8(l.trimmed());
        return out;
    }
    bool killedItself() const { return m_p.exitStatus() == QProcess::CrashExit; }
    QProcess &process() { return m_p; }

private:
    QProcess m_p;
};

// Pages of the table's b-tree read with SQLite's own page statistics, so that
// what a damage must cost is known without the engine's page reader.
struct PageMap {
    std::uint32_t root = 0;
    QList<std::uint32_t> leaves; // in key order
    QMap<std::uint32_t, QList<qint64>> rowsOf; // leaf page -> Ids on it
    QList<std::uint32_t> interior; // interior pages other than the root
    QList<std::uint32_t> overflow; // overflow pages, in chain order of the big row
};

PageMap pageMap(const QString &dat, const QString &table)
{
    PageMap m;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(dat).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    const QByteArray name = table.toUtf8();
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = ?1", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW)
        m.root = std::uint32_t(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_prepare_v2(
        db, "SELECT pageno, pagetype, ncell FROM dbstat WHERE name = ?1 ORDER BY path", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
    qint64 nextId = 1; // rows were written in key order from 1, so each leaf holds the next ones
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto page = std::uint32_t(sqlite3_column_int64(st, 0));
        const QByteArray type(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        const int cells = sqlite3_column_int(st, 2);
        if (type == "leaf") {
            m.leaves << page;
            for (int c = 0; c < cells; ++c)
                m.rowsOf[page] << nextId++;
        } else if (type == "internal" && page != m.root) {
            m.interior << page;
        } else if (type == "overflow") {
            m.overflow << page;
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return m;
}

void zeroPage(const QString &path, std::uint32_t page, int from = 0, int length = 4096)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(qint64(page - 1) * 4096 + from);
    f.write(QByteArray(length, '\0'));
}

void appendTo(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write(bytes);
}

// Counts kept over the whole run and printed at its end.
struct Figures {
    int kills = 0;
    qint64 rowsChecked = 0;
    qint64 rowsLost = 0;
    qint64 rowsInvented = 0;
    qint64 intactRows = 0; // rows on intact pages of damaged files
    qint64 salvagedRows = 0; // of those, rows the repair gave back
} g_figures;

// Compares what the table holds with what it must and may hold.
void checkRows(const Rows &got, const Rows &mustHave, const Rows &mayHave = {})
{
    g_figures.rowsChecked += got.size();
    qint64 lost = 0, invented = 0;
    for (auto it = mustHave.cbegin(); it != mustHave.cend(); ++it)
        if (got.value(it.key()) != it.value())
            ++lost;
    for (auto it = got.cbegin(); it != got.cend(); ++it)
        if (mustHave.value(it.key()) != it.value() && mayHave.value(it.key()) != it.value())
            ++invented;
    g_figures.rowsLost += lost;
    g_figures.rowsInvented += invented;
    QVERIFY2(lost == 0, qPrintable(QStringLiteral("%1 committed rows missing or changed").arg(lost)));
    QVERIFY2(invented == 0, qPrintable(QStringLiteral("%1 rows that were never written").arg(invented)));
}

void checkBackupsKept(const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(
            after.value(it.key()) == it.value(), qPrintable(QStringLiteral("backup %1 overwritten").arg(it.key())));
}

} // namespace

class TestEngineFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void killsDuringWrites();
    void killsDuringTransactions();
    void killsDuringRebuilds();
    void killsDuringRestructures();
    void killsDuringRepairs();
    void killAtEveryStep_data();
    void killAtEveryStep();
    void secondRepairKeepsFirstBackup();
    void damagedFiles_data();
    void damagedFiles();
    void busyLockIsNotDamage_data();
    void busyLockIsNotDamage();
    void leftoversSettledAtOpen();
    void writersAtOnce_data();
    void writersAtOnce();

private:
    QString freshCopy();
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_template; // a folder with the tables every test starts from
    Rows m_rows; // the rows of its table "Linhas"
    PageMap m_pages;
    int m_copies = 0;
    QRandomGenerator m_random;
};

void TestEngineFaults::initTestCase()
{
    Session::defaultSession().lockRetryCount = 40;
    Session::defaultSession().lockWaitTime = 25;
    const quint32 seed
        = qEnvironmentVariableIsSet("STB_SEED") ? quint32(qEnvironmentVariableIntValue("STB_SEED")) : 20240601u;
    m_random.seed(seed);
    qInfo("seed %u", seed);
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    m_template = m_work->filePath(QStringLiteral("template"));
    QDir().mkpath(m_template);
    {
        Database db;
        db.setDirectory(m_template);
        db.createTable(rowsDef(QStringLiteral("Linhas")));
        fill(db, QStringLiteral("Linhas"), 1, kRows, 600); // a few rows a page: the tree has three levels
        fill(db, QStringLiteral("Linhas"), kBigRow, 1, 20000);
        db.createTable(rowsDef(QStringLiteral("Outra")));
        fill(db, QStringLiteral("Outra"), 1, 50, 10);
    }
    m_rows = readRows(m_template, QStringLiteral("Linhas"));
    QCOMPARE(m_rows.size(), kRows + 1);
    m_pages = pageMap(QDir(m_template).filePath(QStringLiteral("Linhas.dat")), QStringLiteral("Linhas"));
    QVERIFY(m_pages.leaves.size() > 100);
    QVERIFY2(!m_pages.interior.isEmpty(), "the table needs interior pages below its root");
    QVERIFY(m_pages.overflow.size() >= 3);
}

void TestEngineFaults::cleanupTestCase()
{
    qInfo("kills %d, rows checked %lld, rows lost %lld, rows invented %lld, rows salvaged %lld of %lld on intact "
          "pages",
        g_figures.kills, g_figures.rowsChecked, g_figures.rowsLost, g_figures.rowsInvented, g_figures.salvagedRows,
        g_figures.intactRows);
}

QString TestEngineFaults::freshCopy()
{
    const QString dir = m_work->filePath(QStringLiteral("copy%1").arg(++m_copies));
    copyFolder(m_template, dir);
    return dir;
}

void TestEngineFaults::killsDuringWrites()
{
    const QString dir = m_work->filePath(QStringLiteral("writes"));
    QDir().mkpath(dir);
    {
        Database db;
        db.setDirectory(dir);
        db.createTable(rowsDef(QStringLiteral("W")));
    }
    Rows committed;
    qint64 next = 1;
    for (int k = 0; k < kKills; ++k) {
        qint64 last = next - 1;
        {
            Child c({QStringLiteral("append-loop"), dir, QStringLiteral("W"), QString::number(next)});
            QCOMPARE(c.readLine(), QStringLiteral("ready"));
            const int lines = m_random.bounded(1, 12);
            for (int i = 0; i < lines; ++i) {
                const QString line = c.readLine();
                QVERIFY2(!line.isEmpty() && !line.startsWith(QLatin1String("error")), qPrintable(line));
                last = line.toLongLong();
            }
            if (m_random.bounded(2))
                QThread::usleep(m_random.bounded(3000));
            c.kill();
            ++g_figures.kills;
            for (const QString &line : c.rest())
                last = std::max(last, line.toLongLong()); // committed before the kill, not read yet
        }
        const Rows got = readRows(dir, QStringLiteral("W"));
        // Values of committed rows; the row being written at the kill may be there or not.
        QSet<qint64> values;
        for (const QString &r : got)
            values << r.section(QLatin1Char('|'), 0, 0).toLongLong();
        for (qint64 v = 1; v <= last; ++v)
            QVERIFY2(values.contains(v), qPrintable(QStringLiteral("committed value %1 lost").arg(v)));
        Rows must, may;
        for (auto it = got.cbegin(); it != got.cend(); ++it) {
            const qint64 v = it.value().section(QLatin1Char('|'), 0, 0).toLongLong();
            const QString expected = QStringLiteral("%1|linha %1||").arg(v);
            (v <= last ? must : may).insert(it.key(), expected);
            QVERIFY2(v <= last + 1, qPrintable(QStringLiteral("value %1 was never written").arg(v)));
        }
        checkRows(got, must, may);
        QCOMPARE(committed.size() <= got.size(), true);
        committed = got;
        next = std::max(last, values.isEmpty() ? 0 : *std::max_element(values.cbegin(), values.cend())) + 1;
    }
    QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
}

void TestEngineFaults::killsDuringTransactions()
{
    const QString dir = m_work->filePath(QStringLiteral("tx"));
    QDir().mkpath(dir);
    {
        Database db;
        db.setDirectory(dir);
        db.createTable(rowsDef(QStringLiteral("A")));
        db.createTable(rowsDef(QStringLiteral("B")));
    }
    qint64 next = 1;
    for (int k = 0; k < kKills; ++k) {
        qint64 reported = next - 1;
        {
            Child c({QStringLiteral("tx-loop"), dir, QString::number(next)});
            QCOMPARE(c.readLine(), QStringLiteral("ready"));
            const int lines = m_random.bounded(1, 8);
            for (int i = 0; i < lines; ++i) {
                const QString line = c.readLine();
                QVERIFY2(!line.isEmpty() && !line.startsWith(QLatin1String("error")), qPrintable(line));
                reported = line.toLongLong();
            }
            QThread::usleep(m_random.bounded(4000));
            c.kill();
            ++g_figures.kills;
            for (const QString &line : c.rest())
                reported = std::max(reported, line.toLongLong());
        }
        // Both tables hold the same passes: each transaction is all or nothing.
        const Rows a = readRows(dir, QStringLiteral("A"));
        const Rows b = readRows(dir, QStringLiteral("B"));
        QCOMPARE(a.size(), b.size());
        QSet<qint64> va, vb;
        for (const QString &r : a)
            va << r.section(QLatin1Char('|'), 0, 0).toLongLong();
        for (const QString &r : b)
            vb << r.section(QLatin1Char('|'), 0, 0).toLongLong();
        QCOMPARE(va, vb);
        for (qint64 v = 1; v <= reported; ++v)
            QVERIFY2(va.contains(v), qPrintable(QStringLiteral("committed pass %1 lost").arg(v)));
        for (qint64 v : std::as_const(va))
            QVERIFY2(v <= reported + 1, qPrintable(QStringLiteral("pass %1 was never committed").arg(v)));
        g_figures.rowsChecked += a.size() + b.size();
        next = (va.isEmpty() ? 0 : *std::max_element(va.cbegin(), va.cend())) + 1;
        // What the kill left (journals of the two tables and of the pair) is settled by the open.
        QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
    }
}

void TestEngineFaults::killsDuringRebuilds()
{
    // A sound table rebuilt (its indexes and file) again and again.
    const QString dir = freshCopy();
    QElapsedTimer timer;
    timer.start();
    {
        Database db;
        db.setDirectory(dir);
        QVERIFY(db.repairTable(QStringLiteral("Linhas")).complete);
    }
    const int rebuildMs = int(timer.elapsed()) + 20;
    for (int k = 0; k < kKills; ++k) {
        const auto before = backups(dir);
        {
            Child c({QStringLiteral("repair-loop"), dir, QStringLiteral("Linhas")});
            QCOMPARE(c.readLine(), QStringLiteral("ready"));
            QThread::msleep(m_random.bounded(rebuildMs * 3 / 2));
            c.kill();
            ++g_figures.kills;
        }
        checkRows(readRows(dir, QStringLiteral("Linhas")), m_rows);
        QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
        // A rebuild that kept every row keeps no backup; none is touched.
        QCOMPARE(backups(dir), before);
    }
}

void TestEngineFaults::killsDuringRestructures()
{
    const QString dir = m_work->filePath(QStringLiteral("alter"));
    QDir().mkpath(dir);
    {
        Database db;
        db.setDirectory(dir);
        db.createTable(rowsDef(QStringLiteral("R")));
        fill(db, QStringLiteral("R"), 1, 300, 40);
    }
    const Rows rows = readRows(dir, QStringLiteral("R"));
    QElapsedTimer timer;
    timer.start();
    {
        Child c({QStringLiteral("alter"), dir, QStringLiteral("R")});
        QVERIFY(c.finish());
    }
    const int alterMs = int(timer.elapsed()) + 10;
    for (int k = 0; k < kKills; ++k) {
        const auto before = backups(dir);
        {
            Child c({QStringLiteral("alter-loop"), dir, QStringLiteral("R")});
            QCOMPARE(c.readLine(), QStringLiteral("ready"));
            QThread::msleep(m_random.bounded(alterMs * 2));
            c.kill();
            ++g_figures.kills;
        }
        checkRows(readRows(dir, QStringLiteral("R")), rows);
        QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
        checkBackupsKept(before, backups(dir));
    }
}

void TestEngineFaults::killsDuringRepairs()
{
    // A table with a lost leaf, repaired by a process killed at a random moment.
    const QString dat = QStringLiteral("Linhas.dat");
    QElapsedTimer timer;
    int repairMs = 0;
    for (int k = 0; k <= kKills; ++k) {
        const QString dir = freshCopy();
        const std::uint32_t leaf = m_pages.leaves[m_random.bounded(1, int(m_pages.leaves.size()) - 1)];
        zeroPage(QDir(dir).filePath(dat), leaf);
        const QByteArray damaged = fileHash(QDir(dir).filePath(dat));
        Rows expected = m_rows;
        for (qint64 id : m_pages.rowsOf.value(leaf))
            expected.remove(id);
        if (k == 0) {
            timer.start();
            Child c({QStringLiteral("repair"), dir, QStringLiteral("Linhas")});
            QVERIFY(c.finish());
            repairMs = int(timer.elapsed());
        } else {
            Child c({QStringLiteral("repair"), dir, QStringLiteral("Linhas")});
            QCOMPARE(c.readLine(), QStringLiteral("ready"));
            QThread::msleep(m_random.bounded(repairMs + 10));
            c.kill();
            ++g_figures.kills;
        }
        // Either the repair had not put its file in place (the damage shows) or it had.
        const int code = openCode(dir, QStringLiteral("Linhas"));
        QVERIFY2(code == 0 || code == Err::DataDamaged, qPrintable(QString::number(code)));
        if (code == 0)
            checkRows(readRows(dir, QStringLiteral("Linhas")), expected);
        const auto before = backups(dir);
        {
            Database db;
            db.setDirectory(dir);
            db.repairTable(QStringLiteral("Linhas"));
        }
        checkBackupsKept(before, backups(dir));
        const Rows got = readRows(dir, QStringLiteral("Linhas"));
        checkRows(got, expected);
        g_figures.intactRows += expected.size();
        g_figures.salvagedRows += got.size();
        // The damaged file is kept, under its own name.
        QVERIFY(backups(dir).values().contains(damaged));
        QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
        QDir(dir).removeRecursively();
    }
}

void TestEngineFaults::killAtEveryStep_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("rebuild of a sound table") << "repair" << false;
    QTest::newRow("repair of a damaged table") << "repair" << true;
    QTest::newRow("restructure") << "alter" << false;
    QTest::newRow("upgrade") << "upgrade" << false;
}

void TestEngineFaults::killAtEveryStep()
{
    QFETCH(QString, operation);
    QFETCH(bool, damaged);
    const QString table = operation == QLatin1String("upgrade") ? QStringLiteral("Velha") : QStringLiteral("Linhas");
    auto prepare = [&]() {
        const QString dir = freshCopy();
        if (damaged)
            zeroPage(QDir(dir).filePath(QStringLiteral("Linhas.dat")), m_pages.leaves[m_pages.leaves.size() / 2]);
        if (operation == QLatin1String("upgrade")) {
            Database db;
            db.setDirectory(dir);
            db.createTable(rowsDef(table), QStringLiteral("3.00"));
            fill(db, table, 1, 200, 30);
        }
        return dir;
    };
    Rows expected;
    {
        const QString dir = prepare();
        if (!damaged)
            expected = readRows(dir, table);
        else {
            expected = m_rows;
            for (qint64 id : m_pages.rowsOf.value(m_pages.leaves[m_pages.leaves.size() / 2]))
                expected.remove(id);
        }
    }
    // The steps the operation passes, from a run that reports them.
    QStringList steps;
    {
        Child c({QStringLiteral("points"), operation, prepare(), table});
        for (QString line = c.readLine(); !line.isEmpty(); line = c.readLine())
            if (line.startsWith(QLatin1String("point ")))
                steps << line.mid(6);
        QVERIFY(c.finish());
    }
    QVERIFY2(steps.contains(QLatin1String("replace:renamed")), qPrintable(steps.join(QLatin1Char(' '))));
    // Every step is tried; what went wrong at each is reported together.
    QStringList problems;
    QMap<QString, int> seen;
    for (const QString &step : std::as_const(steps)) {
        const int nth = ++seen[step];
        const QString dir = prepare();
        const QByteArray original = fileHash(QDir(dir).filePath(table + QStringLiteral(".dat")));
        {
            Child c({QStringLiteral("kill-at"), step, QString::number(nth), operation, dir, table});
            QVERIFY(c.finish());
            QVERIFY2(c.killedItself(), qPrintable(step));
            ++g_figures.kills;
        }
        // The next open finds a whole table under its name: the old one or the new one.
        const int code = openCode(dir, table);
        if (damaged && code == Err::DataDamaged) {
            Database db;
            db.setDirectory(dir);
            db.repairTable(table);
        } else if (code != 0) {
            problems << QStringLiteral("%1: open failed with %2").arg(step).arg(code);
            continue;
        }
        const qint64 lostBefore = g_figures.rowsLost + g_figures.rowsInvented;
        checkRows(readRows(dir, table), expected);
        if (g_figures.rowsLost + g_figures.rowsInvented != lostBefore)
            problems << QStringLiteral("%1: rows lost or invented").arg(step);
        if (!leftovers(dir).isEmpty())
            problems << QStringLiteral("%1: left %2").arg(step, leftovers(dir).join(QLatin1Char(' ')));
        if (damaged && !backups(dir).values().contains(original))
            problems << QStringLiteral("%1: the damaged file was not kept").arg(step);
        QDir(dir).removeRecursively();
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

void TestEngineFaults::secondRepairKeepsFirstBackup()
{
    // The header of a table's file lost, repaired twice: the second repair
    // must not take the only copy of the file as it was.
    const QString dir = freshCopy();
    const QString dat = QDir(dir).filePath(QStringLiteral("Linhas.dat"));
    zeroPage(dat, 1, 0, 16);
    const QByteArray damaged = fileHash(dat);
    Database db;
    db.setDirectory(dir);
    db.repairTable(QStringLiteral("Linhas"));
    QVERIFY(backups(dir).values().contains(damaged));
    const auto first = backups(dir);
    db.repairTable(QStringLiteral("Linhas"));
    checkBackupsKept(first, backups(dir));
    QVERIFY(backups(dir).values().contains(damaged));
}

void TestEngineFaults::damagedFiles_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("openCode"); // -1: the damage cannot be seen before the rows are read
    QTest::newRow("zeroed header") << "header" << int(Err::DataDamaged);
    QTest::newRow("zeroed first page") << "page1" << int(Err::DataDamaged);
    QTest::newRow("zeroed root page") << "root" << int(Err::DataDamaged);
    QTest::newRow("zeroed interior page") << "interior" << int(Err::DataDamaged);
    QTest::newRow("zeroed leaf page") << "leaf" << int(Err::DataDamaged);
    QTest::newRow("truncated in the middle of a page") << "truncate" << int(Err::DataDamaged);
    QTest::newRow("broken overflow chain") << "overflow-middle" << int(Err::DataDamaged);
    QTest::newRow("zeroed last overflow page") << "overflow-last" << -1;
    QTest::newRow("garbage after the end of the .dat") << "dat-tail" << int(Err::DataDamaged);
    QTest::newRow("garbage after the end of the .idx") << "idx-tail" << int(Err::IndexDamaged);
    QTest::newRow("a .dat of another table") << "foreign" << int(Err::DataDamaged);
    QTest::newRow("garbage main file") << "main" << 0;
}

void TestEngineFaults::damagedFiles()
{
    QFETCH(QString, damage);
    QFETCH(int, openCode);
    const QString dir = freshCopy();
    const QString dat = QDir(dir).filePath(QStringLiteral("Linhas.dat"));
    Rows expected = m_rows;
    auto lose = [&](std::uint32_t leaf) {
        for (qint64 id : m_pages.rowsOf.value(leaf))
            expected.remove(id);
    };
    if (damage == QLatin1String("header")) {
        zeroPage(dat, 1, 0, 16);
    } else if (damage == QLatin1String("page1")) {
        zeroPage(dat, 1);
    } else if (damage == QLatin1String("root")) {
        zeroPage(dat, m_pages.root);
    } else if (damage == QLatin1String("interior")) {
        zeroPage(dat, m_pages.interior.first());
    } else if (damage == QLatin1String("leaf")) {
        const std::uint32_t leaf = m_pages.leaves[m_pages.leaves.size() / 3];
        zeroPage(dat, leaf);
        lose(leaf);
    } else if (damage == QLatin1String("truncate")) {
        const std::uint32_t cut = m_pages.leaves[m_pages.leaves.size() / 2];
        QFile f(dat);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.resize(qint64(cut - 1) * 4096 + 1000);
        for (std::uint32_t leaf : std::as_const(m_pages.leaves))
            if (leaf >= cut)
                lose(leaf);
        for (std::uint32_t o : std::as_const(m_pages.overflow))
            if (o >= cut)
                expected.remove(kBigRow);
    } else if (damage == QLatin1String("overflow-middle")) {
        zeroPage(dat, m_pages.overflow[1]);
        expected.remove(kBigRow);
    } else if (damage == QLatin1String("overflow-last")) {
        zeroPage(dat, m_pages.overflow.last());
        expected.remove(kBigRow);
    } else if (damage == QLatin1String("dat-tail")) {
        appendTo(dat, QByteArray(777, '\x5a'));
    } else if (damage == QLatin1String("idx-tail")) {
        appendTo(QDir(dir).filePath(QStringLiteral("Linhas.idx")), QByteArray("lixo\n"));
    } else if (damage == QLatin1String("foreign")) {
        QFile::remove(dat);
        QVERIFY(QFile::copy(QDir(dir).filePath(QStringLiteral("Outra.dat")), dat));
        expected.clear();
    } else if (damage == QLatin1String("main")) {
        QFile f(QDir(dir).filePath(QStringLiteral("BaseDados.sys")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, '\xa5'));
    }
    const QByteArray damaged = fileHash(dat);

    const int code = ::openCode(dir, QStringLiteral("Linhas"));
    if (openCode >= 0)
        QCOMPARE(code, openCode);

    Database db;
    db.setDirectory(dir);
    QStringList steps;
    const RepairResult first = db.repairTable(QStringLiteral("Linhas"), [&steps](const QString &s, int) {
        if (!steps.contains(s))
            steps << s;
    });
    QCOMPARE(steps,
        QStringList({QStringLiteral("Repairing headers"), QStringLiteral("Repairing record, index, and BLOB data"),
            QStringLiteral("Repairing indexes")}));
    const Rows got = readRows(dir, QStringLiteral("Linhas"));
    checkRows(got, expected);
    QCOMPARE(first.rows, qint64(expected.size()));
    if (damage != QLatin1String("foreign")) {
        g_figures.intactRows += expected.size();
        g_figures.salvagedRows += got.size();
    }
    // Unless every row came back, the damaged file is kept under its own name.
    const bool everyRow = expected.size() == m_rows.size();
    if (!first.complete) {
        QVERIFY(QFileInfo::exists(first.backup));
        QCOMPARE(fileHash(first.backup), damaged);
    } else {
        QVERIFY(everyRow);
    }
    // A second repair of the repaired table finds it whole and leaves every backup alone.
    const auto kept = backups(dir);
    const RepairResult second = db.repairTable(QStringLiteral("Linhas"));
    QVERIFY(second.complete);
    QVERIFY(second.backup.isEmpty());
    QCOMPARE(backups(dir), kept);
    checkRows(readRows(dir, QStringLiteral("Linhas")), expected);
    // And it takes new rows, with keys never handed out before (unknown when
    // the file of another table took this one's place).
    Table t(&db, QStringLiteral("Linhas"));
    t.open();
    t.append();
    t.fieldByName(QStringLiteral("V")).setAsInteger(-1);
    t.post();
    if (damage != QLatin1String("foreign"))
        QCOMPARE(t.fieldByName(QStringLiteral("Id")).asLargeInt(), kBigRow + 1);
}

void TestEngineFaults::busyLockIsNotDamage_data()
{
    // When the other process takes the lock: before the open, between the
    // file's attach and the reading of its header, or between the open and a read.
    QTest::addColumn<QString>("when");
    QTest::addColumn<int>("holdMs"); // 0: held for the whole test
    QTest::newRow("open, lock held") << "open" << 0;
    QTest::newRow("open, lock released while waiting") << "open" << 300;
    QTest::newRow("attached, lock held") << "attached" << 0;
    QTest::newRow("attached, lock released while waiting") << "attached" << 300;
    QTest::newRow("read, lock held") << "read" << 0;
    // Longer than one of SQLite's waits, shorter than the session's retries.
    QTest::newRow("read, lock released while waiting") << "read" << 600;
}

namespace {
// Starts the process that takes the lock when the open reaches the point
// between attaching the file and reading its header.
std::function<void()> g_lockNow;
void lockAtAttach(const char *point)
{
    if (g_lockNow && qstrcmp(point, "attach:attached") == 0)
        std::exchange(g_lockNow, {})();
}
} // namespace

void TestEngineFaults::busyLockIsNotDamage()
{
    QFETCH(QString, when);
    QFETCH(int, holdMs);
    const QString dir = freshCopy();
    // Opening tries 60 times 20 ms; reading waits 400 ms in SQLite a try, 20 tries.
    Session patient {QString(), when == QLatin1String("read") ? 20 : 60, 20};
    Session hurried {QString(), 2, 10};
    Database db;
    db.setDirectory(dir);
    db.setSession(holdMs ? &patient : &hurried);
    Table t(&db, QStringLiteral("Linhas"));
    if (when == QLatin1String("read"))
        t.open();
    QStringList args {QStringLiteral("hold-sqlite-lock"), dir, QStringLiteral("Linhas")};
    if (holdMs)
        args << QString::number(holdMs);
    std::unique_ptr<Child> c;
    auto lockNow = [&] {
        c = std::make_unique<Child>(args);
        QCOMPARE(c->readLine(), QStringLiteral("locked"));
    };
    if (when == QLatin1String("attached")) {
        g_lockNow = lockNow;
        setFaultHook(lockAtAttach);
    } else {
        lockNow();
    }
    const auto unhook = qScopeGuard([] {
        setFaultHook(nullptr);
        g_lockNow = {};
    });
    try {
        if (when == QLatin1String("read")) {
            Query q(&db);
            q.setSql(QStringLiteral("SELECT COUNT(*) FROM Linhas"));
            q.open();
            QVERIFY2(holdMs, "read a table another process holds locked");
            QCOMPARE(q.field(0).asInteger(), kRows + 1);
        } else {
            t.open();
            QVERIFY2(holdMs, "opened a table another process holds locked");
            QCOMPARE(t.recordCount(), kRows + 1);
        }
    } catch (const EngineError &e) {
        QVERIFY2(!holdMs, qPrintable(e.message()));
        QCOMPARE(e.code(), when == QLatin1String("read") ? Err::LockFailed : Err::TableInUse);
    }
    QVERIFY(c);
}

void TestEngineFaults::leftoversSettledAtOpen()
{
    const QString dir = freshCopy();
    const QDir d(dir);
    // A rebuilt file whose repair was killed, and the super-journal of a
    // transaction killed before any table file took its name.
    QFile tmp(d.filePath(QStringLiteral("Linhas.0badf00d.tmp")));
    QVERIFY(tmp.open(QIODevice::WriteOnly));
    tmp.write(QByteArray(8192, 'x'));
    tmp.close();
    QFile sj(d.filePath(QStringLiteral("BaseDados.sys-mj12AB34CD")));
    QVERIFY(sj.open(QIODevice::WriteOnly));
    sj.write(QFile::encodeName(d.filePath(QStringLiteral("Linhas.dat-journal"))) + '\0');
    sj.close();
    // A rebuilt file of a repair still at work in another process stays.
    Child busy({QStringLiteral("pause-at"), QStringLiteral("rebuild:built"), QStringLiteral("repair"), dir,
        QStringLiteral("Outra")});
    QCOMPARE(busy.readLine(), QStringLiteral("ready"));
    QCOMPARE(busy.readLine(), QStringLiteral("paused"));
    const QStringList working = d.entryList({QStringLiteral("Outra.*.tmp")}, QDir::Files);
    QCOMPARE(working.size(), 1);

    checkRows(readRows(dir, QStringLiteral("Linhas")), m_rows);
    QCOMPARE(leftovers(dir), working);
    busy.kill();
    checkRows(readRows(dir, QStringLiteral("Linhas")), m_rows);
    QVERIFY2(leftovers(dir).isEmpty(), qPrintable(leftovers(dir).join(QLatin1Char(' '))));
    QCOMPARE(readRows(dir, QStringLiteral("Outra")).size(), 50);
}

void TestEngineFaults::writersAtOnce_data()
{
    QTest::addColumn<int>("writers");
    QTest::newRow("two writers") << 2;
    QTest::newRow("four writers") << 4;
    QTest::newRow("eight writers") << 8;
}

void TestEngineFaults::writersAtOnce()
{
    // Single appends with the default lock retries, several processes at once:
    // none may give up.
    QFETCH(int, writers);
    const QString dir = m_work->filePath(QStringLiteral("writers%1").arg(writers));
    QDir().mkpath(dir);
    {
        Database db;
        db.setDirectory(dir);
        db.createTable(rowsDef(QStringLiteral("W")));
    }
    constexpr int kEach = 250;
    std::vector<std::unique_ptr<Child>> children;
    for (int w = 0; w < writers; ++w)
        children.push_back(std::make_unique<Child>(QStringList {QStringLiteral("append"), dir, QStringLiteral("W"),
                                                       QString::number(w * 1000 + 1), QString::number(kEach)},
            true));
    for (auto &c : children) {
        const QString line = c->readLine(120000);
        QCOMPARE(line, QStringLiteral("done"));
        QVERIFY(c->finish());
        QCOMPARE(c->process().exitCode(), 0);
    }
    const Rows got = readRows(dir, QStringLiteral("W"));
    Rows must;
    for (auto it = got.cbegin(); it != got.cend(); ++it)
        must.insert(it.key(), QStringLiteral("%1|linha %1||").arg(it.value().section(QLatin1Char('|'), 0, 0)));
    checkRows(got, must);
    QSet<qint64> values;
    for (const QString &r : got)
        values << r.section(QLatin1Char('|'), 0, 0).toLongLong();
    QCOMPARE(values.size(), writers * kEach);
}

QTEST_GUILESS_MAIN(TestEngineFaults)
#include "tst_engine_faults.moc"
