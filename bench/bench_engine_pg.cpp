// Engine binding on a PostgreSQL server against raw libpq doing the same work
// on the same server in the same run: (a) 10,000 appends in one transaction,
// (b) a full scan of 10,000 rows with one calculated field, (c) a grouped SUM.
// The server is a private one started for the run (initdb and pg_ctl into a
// temporary folder, Unix socket only). Each side has a database of its own,
// with the table created through the engine, so both write the same columns
// and indexes.
//
// "bench_engine_pg --profile a|b|c" repeats one of the engine's passes, for a
// profiler.
#include "bench/engine_work.h"
#include "bench/harness.h"
#include "platform/db/dataset.h"
#include "platform/db/pgbackend.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgvalue.h"
#include "platform/db/transaction.h"
#include "tests/support/pgserver.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <libpq-fe.h>

using namespace stb;
using namespace stb::db;
using namespace stb::benchwork;

namespace {

void fresh(Database &db)
{
    if (db.tableExists(QStringLiteral("Itens")))
        db.deleteTable(QStringLiteral("Itens"));
    db.createTable(itensDef());
}

// ---- the engine ---------------------------------------------------------------

// ---- raw libpq ----------------------------------------------------------------

class Raw {
public:
    explicit Raw(const QString &address)
    {
        m_conn = PQconnectdb(address.toUtf8().constData());
        if (PQstatus(m_conn) != CONNECTION_OK) {
            std::fprintf(stderr, "raw connection: %s\n", PQerrorMessage(m_conn));
            std::exit(1);
        }
        exec("SET search_path TO stbrelva");
    }
    ~Raw() { PQfinish(m_conn); }
    Raw(const Raw &) = delete;
    Raw &operator=(const Raw &) = delete;

    void exec(const char *sql) { check(PQexec(m_conn, sql), sql); }
    PGconn *conn() const { return m_conn; }
    // Clears a result after checking it; a failure ends the run (the figures would mean nothing).
    static void check(PGresult *r, const char *what)
    {
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "raw %s: %s\n", what, PQresultErrorMessage(r));
            std::exit(1);
        }
        PQclear(r);
    }

private:
    PGconn *m_conn = nullptr;
};

void appendRaw(Raw &raw)
{
    PGconn *c = raw.conn();
    Raw::check(PQprepare(c, "ins",
                   "INSERT INTO itens (idnota, nroitem, descricaonf, valornf, aliqicms) VALUES ($1, $2, $3, $4, $5)", 5,
                   nullptr),
        "prepare");
    raw.exec("BEGIN");
    for (int i = 0; i < kRows; ++i) {
        const QByteArray id = QByteArray::number(i / 20);
        const QByteArray nro = QByteArray::number(i % 20 + 1);
        const QByteArray d = descr(i).toUtf8();
        const QByteArray v = valor(i).toPlainString().toLatin1();
        const char *values[5] = {id.constData(), nro.constData(), d.constData(), v.constData(), "18"};
        Raw::check(PQexecPrepared(c, "ins", 5, values, nullptr, nullptr, 0), "insert");
    }
    raw.exec("COMMIT");
    raw.exec("DEALLOCATE ins");
}

Currency cell(const PGresult *r, int row, int col)
{
    return currencyFromDecimalText(QByteArrayView(PQgetvalue(r, row, col), PQgetlength(r, row, col)))
        .value_or(Currency());
}

Currency scanRaw(Raw &raw)
{
    PGresult *r = PQexecParams(raw.conn(),
        "SELECT idnota, nroitem, descricaonf, valornf, aliqicms FROM itens ORDER BY idnota, nroitem", 0, nullptr,
        nullptr, nullptr, nullptr, 0);
    Currency total;
    const int n = PQntuples(r);
    for (int i = 0; i < n; ++i) {
        const int id = std::atoi(PQgetvalue(r, i, 0));
        const int nro = std::atoi(PQgetvalue(r, i, 1));
        const QString d = QString::fromUtf8(PQgetvalue(r, i, 2), PQgetlength(r, i, 2));
        (void)id;
        (void)nro;
        (void)d;
        total += cell(r, i, 3) * cell(r, i, 4) / Extended(100);
    }
    PQclear(r);
    return total;
}

Currency groupRaw(Raw &raw)
{
    PGresult *r = PQexecParams(raw.conn(), kGroupSql, 0, nullptr, nullptr, nullptr, nullptr, 0);
    Currency total;
    const int n = PQntuples(r);
    for (int i = 0; i < n; ++i)
        total += cell(r, i, 1);
    PQclear(r);
    return total;
}

void differ(const Currency &ours, const Currency &base)
{
    if (ours != base)
        std::printf("  totals differ: %s vs %s\n", qPrintable(ours.toPlainString()), qPrintable(base.toPlainString()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    stbtest::PgServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString oursAddress = server.createDatabase(QStringLiteral("ours"), &error);
    const QString rawAddress = server.createDatabase(QStringLiteral("raw"), &error);
    if (oursAddress.isEmpty() || rawAddress.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Database db;
    db.setServer(makePgBackend(oursAddress));
    Database rawDb;
    rawDb.setServer(makePgBackend(rawAddress));
    Raw raw(rawAddress);

    if (args.size() == 3 && args[1] == QLatin1String("--profile")) {
        const QString which = args[2];
        fresh(db);
        appendDataset(db);
        for (int i = 0; i < 20; ++i) {
            if (which == QLatin1String("a")) {
                fresh(db);
                appendDataset(db);
            } else if (which == QLatin1String("b")) {
                scanDataset(db);
            } else {
                groupDataset(db);
            }
        }
        return 0;
    }

    const int reps = 5;
    std::printf("Engine on PostgreSQL vs raw libpq, %d rows, best of %d\n", kRows, reps);
    // (a) appends: both start each run from an empty table of the same definition.
    const double aOurs = bench::bestMs(
        reps, [&] { fresh(db); }, [&] { appendDataset(db); });
    const double aRaw = bench::bestMs(
        reps, [&] { fresh(rawDb); }, [&] { appendRaw(raw); });
    bench::report("(a) 10,000 appends in one transaction", aOurs, aRaw, 1.5);

    Currency c1, c2;
    const double bOurs = bench::bestMs(reps, {}, [&] { c1 = scanDataset(db); });
    const double bRaw = bench::bestMs(reps, {}, [&] { c2 = scanRaw(raw); });
    bench::report("(b) full scan with one calculated field", bOurs, bRaw, 2.0);
    differ(c1, c2);

    const double cOurs = bench::bestMs(reps, {}, [&] { c1 = groupDataset(db); });
    const double cRaw = bench::bestMs(reps, {}, [&] { c2 = groupRaw(raw); });
    bench::report("(c) grouped SUM query", cOurs, cRaw, 1.5);
    differ(c1, c2);
    return 0;
}
