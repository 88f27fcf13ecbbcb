// Workstations adding invoices at once, on a data folder and on a private
// PostgreSQL server: eight writer processes start together on one
// calculation; afterwards every invoice is there once with its lines, the ids
// are unique and consecutive, and nothing is lost. And a writer killed in the
// middle of storing an invoice (inside the transaction that numbers it,
// holding its workstation's semaphore) frees both at once: another process
// takes them within the short retries of the workstation scan.
#include "tests/support/pgserver.h"
#include "tests/support/writerprocs.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using stbtest::WriterProcess;

namespace {

QString childPath() { return qEnvironmentVariable("STB_TEST_BIN") + QStringLiteral("/writer_child"); }

QString invoiceNumber(int writer, int n) { return QStringLiteral("%1-%2").arg(writer).arg(n, 4, 10, QLatin1Char('0')); }

struct Stored {
    QMap<int, QString> notas; // IdNota -> NroNF
    QMap<int, int> calculo; // IdNota -> IdCalculo
    QMap<int, QStringList> linhas; // IdNota -> "NroItem:DescricaoNF" in line order
    int linhasTotal = 0;
};

Stored readStored(const QString &where)
{
    auto dm = stbtest::openModule(where);
    Stored s;
    db::Query q(&dm->BaseDados);
    q.setSql(QStringLiteral("SELECT IdNota, NroNF, IdCalculo FROM NOTAS"));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        const int id = q.field(0).asInteger();
        if (s.notas.contains(id))
            s.notas[id] += QStringLiteral(" (repetida)");
        else
            s.notas.insert(id, q.field(1).asString());
        s.calculo.insert(id, q.field(2).asInteger());
    }
    q.close();
    q.setSql(QStringLiteral("SELECT IdNota, NroItem, DescricaoNF FROM ITENS ORDER BY 1, 2"));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        s.linhas[q.field(0).asInteger()]
            << QStringLiteral("%1:%2").arg(q.field(1).asInteger()).arg(q.field(2).asString());
        ++s.linhasTotal;
    }
    return s;
}

} // namespace

class TestWriters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void writersAtOnce_data();
    void writersAtOnce();
    void killedWriterFreesLocks_data();
    void killedWriterFreesLocks();

private:
    void backends();
    // An empty data folder or server database of that name.
    QString storage(const QString &backend, const QString &name);

    stbtest::PgServer m_server;
    QTemporaryDir m_work;
};

void TestWriters::initTestCase()
{
    QVERIFY(m_work.isValid());
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
}

void TestWriters::backends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("pasta") << QStringLiteral("pasta");
    QTest::newRow("servidor") << QStringLiteral("servidor");
}

QString TestWriters::storage(const QString &backend, const QString &name)
{
    if (backend == QLatin1String("servidor")) {
        QString error;
        const QString address = m_server.createDatabase(name, &error);
        if (address.isEmpty())
            qFatal("%s", qPrintable(error));
        return address;
    }
    const QString dir = m_work.filePath(name);
    QDir().mkpath(dir);
    return dir;
}

void TestWriters::writersAtOnce_data() { backends(); }

void TestWriters::writersAtOnce()
{
    QFETCH(QString, backend);
    constexpr int kWriters = 8;
    constexpr int kNotas = 25;
    constexpr int kLinhas = 2;
    const QString where = storage(backend, QStringLiteral("oito"));
    const int idCalculo = stbtest::newCalculation(where);

    std::vector<std::unique_ptr<WriterProcess>> writers;
    for (int w = 1; w <= kWriters; ++w)
        writers.push_back(std::make_unique<WriterProcess>(childPath(),
            QStringList {where, QString::number(idCalculo), QString::number(w), QString::number(kNotas),
                QString::number(kLinhas), QStringLiteral("slot=%1").arg(w)}));
    for (auto &w : writers) {
        const QString line = w->readLine();
        QVERIFY2(line == QLatin1String("PRONTO"), qPrintable(line + w->errors()));
    }
    for (auto &w : writers)
        w->go();

    // What each writer says it stored, in its order.
    QMap<int, QString> reported; // IdNota -> NroNF the writer gave it
    int retries = 0;
    for (int w = 1; w <= kWriters; ++w) {
        WriterProcess &p = *writers[w - 1];
        for (int n = 1; n <= kNotas; ++n) {
            const QString line = p.readLine(100000);
            QVERIFY2(line.startsWith(QLatin1String("NOTA ")),
                qPrintable(QStringLiteral("escritor %1: %2 %3").arg(w).arg(line, p.errors())));
            const int id = line.mid(5).toInt();
            QVERIFY2(!reported.contains(id), qPrintable(QStringLiteral("IdNota %1 dada duas vezes").arg(id)));
            reported.insert(id, invoiceNumber(w, n));
        }
        const QString fim = p.readLine();
        QVERIFY2(fim.startsWith(QStringLiteral("FIM %1 ").arg(kNotas)), qPrintable(fim + p.errors()));
        retries += fim.section(QLatin1Char(' '), 2).toInt();
        QVERIFY(p.finish());
    }
    qInfo("%s: %d invoices by %d writers, %d entered again after a lock conflict", qPrintable(backend),
        kWriters * kNotas, kWriters, retries);

    const Stored s = readStored(where);
    // Every invoice once, under the id its writer was given, on the calculation.
    QCOMPARE(s.notas, reported);
    for (auto it = s.calculo.cbegin(); it != s.calculo.cend(); ++it)
        QCOMPARE(it.value(), idCalculo);
    // Ids consecutive from 1: no gap where a failed post took a number.
    QCOMPARE(s.notas.firstKey(), 1);
    QCOMPARE(s.notas.lastKey(), kWriters * kNotas);
    // Every line under its own invoice, numbered 1..kLinhas.
    QCOMPARE(s.linhasTotal, kWriters * kNotas * kLinhas);
    for (auto it = s.notas.cbegin(); it != s.notas.cend(); ++it) {
        QStringList must;
        for (int l = 1; l <= kLinhas; ++l)
            must << QStringLiteral("%1:%2/%1").arg(l).arg(it.value());
        QCOMPARE(s.linhas.value(it.key()), must);
    }
}

void TestWriters::killedWriterFreesLocks_data() { backends(); }

void TestWriters::killedWriterFreesLocks()
{
    QFETCH(QString, backend);
    const QString where = storage(backend, QStringLiteral("morto"));
    const int idCalculo = stbtest::newCalculation(where);
    const QString calc = QString::number(idCalculo);

    // The holder stops after posting its invoice, inside the transaction.
    WriterProcess holder(childPath(),
        {where, calc, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("slot=9"),
            QStringLiteral("hold=1")});
    QCOMPARE(holder.readLine(), QStringLiteral("PRONTO"));
    holder.go();
    const QString held = holder.readLine();
    QVERIFY2(held.startsWith(QLatin1String("SEGURANDO ")), qPrintable(held + holder.errors()));
    {
        // While the holder lives its workstation number is taken.
        WriterProcess probe(childPath(),
            {where, calc, QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("slot=9"),
                QStringLiteral("tries=3"), QStringLiteral("wait=10")});
        const QString busy = probe.readLine();
        QVERIFY2(
            busy.startsWith(QStringLiteral("ERRO %1 ").arg(db::Err::LockFailed)), qPrintable(busy + probe.errors()));
    }
    holder.kill();

    // The next process gets the semaphore on its one try and the transaction
    // within the workstation scan's 3 tries of 10 ms: nothing waits for a timeout.
    WriterProcess taker(childPath(),
        {where, calc, QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("slot=9"),
            QStringLiteral("tries=3"), QStringLiteral("wait=10")});
    const QString ready = taker.readLine();
    QVERIFY2(ready == QLatin1String("PRONTO"), qPrintable(ready + taker.errors()));
    taker.go();
    const QString nota = taker.readLine();
    QVERIFY2(nota.startsWith(QLatin1String("NOTA ")), qPrintable(nota + taker.errors()));
    // The killed writer's invoice was never committed: its id is given again.
    QCOMPARE(nota, QStringLiteral("NOTA %1").arg(held.mid(10)));
    QCOMPARE(taker.readLine(), QStringLiteral("FIM 1 0"));
    QVERIFY(taker.finish());

    const Stored s = readStored(where);
    QCOMPARE(s.notas, (QMap<int, QString> {{held.mid(10).toInt(), invoiceNumber(2, 1)}}));
    QCOMPARE(s.linhasTotal, 1);
}

QTEST_GUILESS_MAIN(TestWriters)
#include "tst_writers.moc"
