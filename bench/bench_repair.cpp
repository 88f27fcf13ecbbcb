// Repair of a 100,000-row table with one damaged leaf page, beside reading
// the same rows with the raw SQLite C API (from the intact file) in the same
// run. For scale it also times the repair of the same table when only its
// index file was lost (the file is sound and SQLite copies every row).
#include "bench/harness.h"
#include "platform/db/dataset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace stb;
using namespace stb::db;

namespace {

constexpr int kRows = 100000;

TableDef itensDef()
{
    TableDef d;
    d.name = QStringLiteral("Itens");
    d.fields = {{QStringLiteral("IdItem"), FieldType::AutoInc}, {QStringLiteral("IdNota"), FieldType::Integer},
        {QStringLiteral("NroItem"), FieldType::SmallInt}, {QStringLiteral("DescricaoNF"), FieldType::String, 50},
        {QStringLiteral("ValorNF"), FieldType::Currency}, {QStringLiteral("AliqICMS"), FieldType::Currency}};
    d.indexes = {{QString(), QStringLiteral("IdItem"), IndexDef::Primary},
        {QStringLiteral("IdNota"), QStringLiteral("IdNota;NroItem"), 0}};
    return d;
}

void fill(const QString &dir)
{
    Database db;
    db.setDirectory(dir);
    db.createTable(itensDef());
    Table t(&db, QStringLiteral("Itens"));
    t.open();
    Field &idNota = t.fieldByName(QStringLiteral("IdNota"));
    Field &nro = t.fieldByName(QStringLiteral("NroItem"));
    Field &desc = t.fieldByName(QStringLiteral("DescricaoNF"));
    Field &val = t.fieldByName(QStringLiteral("ValorNF"));
    Field &aliq = t.fieldByName(QStringLiteral("AliqICMS"));
    db.startTransaction();
    for (int i = 0; i < kRows; ++i) {
        t.append();
        idNota.setAsInteger(i / 20);
        nro.setAsInteger(i % 20 + 1);
        desc.setAsString(QStringLiteral("mercadoria número %1").arg(i));
        val.setAsCurrency(Currency::fromRaw(1000000 + 3377 * i));
        aliq.setAsCurrency(Currency::fromInt(18));
        t.post();
    }
    db.commit(true);
}

// A leaf page of the table in the middle of its key range, and the rows on it.
std::pair<std::uint32_t, int> middleLeaf(const QString &dat)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(dat).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT pageno, ncell FROM dbstat WHERE name = 'Itens' AND pagetype = 'leaf' ORDER BY path",
        -1, &st, nullptr);
    QList<std::pair<std::uint32_t, int>> leaves;
    while (sqlite3_step(st) == SQLITE_ROW)
        leaves.append({std::uint32_t(sqlite3_column_int64(st, 0)), sqlite3_column_int(st, 1)});
    sqlite3_finalize(st);
    sqlite3_close(db);
    return leaves.value(leaves.size() / 2);
}

void copyFolder(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (const QString &f : QDir(from).entryList(QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
}

qint64 readRaw(const QString &dat)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(dat).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT IdItem, IdNota, NroItem, DescricaoNF, ValorNF, AliqICMS FROM Itens", -1, &st, nullptr);
    qint64 check = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        check += sqlite3_column_int64(st, 0) + sqlite3_column_int64(st, 1) + sqlite3_column_int64(st, 2);
        check += sqlite3_column_bytes(st, 3);
        check += qint64(sqlite3_column_double(st, 4) + sqlite3_column_double(st, 5));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return check;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("pristine"));
    const QString work = dir.filePath(QStringLiteral("work"));
    QDir().mkpath(pristine);
    fill(pristine);
    const QString pristineDat = QDir(pristine).filePath(QStringLiteral("Itens.dat"));
    const auto [leaf, leafRows] = middleLeaf(pristineDat);
    const int reps = 3;

    std::printf("Repair of %d rows vs raw SQLite reading them, best of %d\n", kRows, reps);
    RepairResult result;
    const double damaged = bench::bestMs(
        reps,
        [&] {
            copyFolder(pristine, work);
            QFile f(QDir(work).filePath(QStringLiteral("Itens.dat")));
            f.open(QIODevice::ReadWrite);
            f.seek(qint64(leaf - 1) * 4096);
            f.write(QByteArray(4096, '\0'));
        },
        [&] {
            Database db;
            db.setDirectory(work);
            result = db.repairTable(QStringLiteral("Itens"));
        });
    qint64 check = 0;
    const double raw = bench::bestMs(reps, {}, [&] { check = readRaw(pristineDat); });
    std::printf("%-48s %10.2f ms  raw read %10.2f ms  ratio %5.2f  (%lld of the %d rows on intact pages salvaged)\n",
        "repair, one zeroed leaf page", damaged, raw, damaged / raw, static_cast<long long>(result.rows),
        kRows - leafRows);
    const double lostIdx = bench::bestMs(
        reps,
        [&] {
            copyFolder(pristine, work);
            QFile::remove(QDir(work).filePath(QStringLiteral("Itens.idx")));
        },
        [&] {
            Database db;
            db.setDirectory(work);
            result = db.repairTable(QStringLiteral("Itens"));
        });
    std::printf("%-48s %10.2f ms  raw read %10.2f ms  ratio %5.2f  (%lld rows)\n", "repair, index file lost", lostIdx,
        raw, lostIdx / raw, static_cast<long long>(result.rows));
    (void)check;
    return 0;
}
