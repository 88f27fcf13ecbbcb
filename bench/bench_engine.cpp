// Engine binding against the raw SQLite C API doing the same work on the same
// kind of files: (a) 10,000 appends in one transaction, (b) a full scan of
// 10,000 rows with one calculated field, (c) a grouped SUM query.
#include "bench/engine_work.h"
#include "bench/harness.h"
#include "platform/db/dataset.h"
#include "platform/db/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace stb;
using namespace stb::db;
using namespace stb::benchwork;

namespace {

void appendRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
        "INSERT INTO Itens (IdNota, NroItem, DescricaoNF, ValorNF, AliqICMS) VALUES (?1, ?2, ?3, ?4, ?5)", -1, &st,
        nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < kRows; ++i) {
        sqlite3_bind_int64(st, 1, i / 20);
        sqlite3_bind_int64(st, 2, i % 20 + 1);
        const QByteArray d = descr(i).toUtf8();
        sqlite3_bind_text(st, 3, d.constData(), static_cast<int>(d.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 4, valor(i).toDouble());
        sqlite3_bind_double(st, 5, 18.0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

Currency scanRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT rowid, IdNota, NroItem, DescricaoNF, ValorNF, AliqICMS FROM Itens ORDER BY IdNota, NroItem, rowid", -1,
        &st, nullptr);
    Currency total;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString d = QString::fromUtf8(
            reinterpret_cast<const char *>(sqlite3_column_text(st, 3)), sqlite3_column_bytes(st, 3));
        (void)d;
        const Currency v = Currency::fromDouble(sqlite3_column_double(st, 4));
        const Currency a = Currency::fromDouble(sqlite3_column_double(st, 5));
        total += v * a / Extended(100);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return total;
}

Currency groupRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kGroupSql, -1, &st, nullptr);
    Currency total;
    while (sqlite3_step(st) == SQLITE_ROW)
        total += Currency::fromDouble(sqlite3_column_double(st, 1));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString oursDir = dir.filePath(QStringLiteral("ours"));
    const QString rawDir = dir.filePath(QStringLiteral("raw"));
    QDir().mkpath(oursDir);
    QDir().mkpath(rawDir);
    const QString rawPath = QDir(rawDir).filePath(QStringLiteral("Itens.dat"));
    const int reps = 5;

    std::printf("Engine binding vs raw SQLite, %d rows, best of %d\n", kRows, reps);
    // (a) appends: both start each run from an empty table file of the same definition.
    const double aOurs = bench::bestMs(
        reps,
        [&] {
            Database db;
            db.setDirectory(oursDir);
            if (db.tableExists(QStringLiteral("Itens")))
                db.deleteTable(QStringLiteral("Itens"));
            db.createTable(itensDef());
        },
        [&] {
            Database db;
            db.setDirectory(oursDir);
            appendDataset(db);
        });
    const double aRaw = bench::bestMs(
        reps,
        [&] {
            Database db;
            db.setDirectory(rawDir);
            if (db.tableExists(QStringLiteral("Itens")))
                db.deleteTable(QStringLiteral("Itens"));
            db.createTable(itensDef());
        },
        [&] { appendRaw(rawPath); });
    bench::report("(a) 10,000 appends in one transaction", aOurs, aRaw, 1.5);

    Database db;
    db.setDirectory(oursDir);
    Currency c1, c2;
    const double bOurs = bench::bestMs(reps, {}, [&] { c1 = scanDataset(db); });
    const double bRaw = bench::bestMs(reps, {}, [&] { c2 = scanRaw(rawPath); });
    bench::report("(b) full scan with one calculated field", bOurs, bRaw, 2.0);
    if (c1 != c2)
        std::printf("  totals differ: %s vs %s\n", qPrintable(c1.toPlainString()), qPrintable(c2.toPlainString()));

    const double cOurs = bench::bestMs(reps, {}, [&] { c1 = groupDataset(db); });
    const double cRaw = bench::bestMs(reps, {}, [&] { c2 = groupRaw(rawPath); });
    bench::report("(c) grouped SUM query", cOurs, cRaw, 1.5);
    if (c1 != c2)
        std::printf("  totals differ: %s vs %s\n", qPrintable(c1.toPlainString()), qPrintable(c2.toPlainString()));
    return 0;
}
