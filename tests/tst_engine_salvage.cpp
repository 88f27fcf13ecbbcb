// The page reader that salvages rows from damaged table files: on sound files
// of every shape SQLite writes it must read exactly what SQLite reads, and on
// hostile bytes it must end without reading outside its input.
#include "platform/db/salvage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace stb::db;

namespace {

struct Shape {
    int pageSize = 4096;
    int reserved = 0;
    int rows = 100;
    int memo = 20; // characters of the text column
    bool deletes = false; // every third row deleted afterwards
    bool secureDelete = true;
    const char *encoding = "UTF-8";
};

void exec(sqlite3 *db, const char *sql) { QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK); }

// Builds a file with SQLite alone: every storage class, rowid alias, big and
// negative integers, text with accents, blobs, nulls.
void build(const QString &path, const Shape &s)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    if (s.reserved) {
        int n = s.reserved;
        sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &n);
    }
    exec(db, QStringLiteral("PRAGMA page_size = %1").arg(s.pageSize).toUtf8().constData());
    exec(db, QStringLiteral("PRAGMA encoding = '%1'").arg(QLatin1String(s.encoding)).toUtf8().constData());
    exec(db, s.secureDelete ? "PRAGMA secure_delete = ON" : "PRAGMA secure_delete = OFF");
    exec(db, "CREATE TABLE T (Id INTEGER PRIMARY KEY AUTOINCREMENT, N BIGINT, R REAL, S TEXT, B BLOB, F BOOLEAN)");
    exec(db, "CREATE INDEX ix_S ON T (S)");
    exec(db, "CREATE TABLE _stmeta (key TEXT PRIMARY KEY, value TEXT)");
    exec(db, "BEGIN");
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T (N, R, S, B, F) VALUES (?1, ?2, ?3, ?4, ?5)", -1, &st, nullptr);
    for (int i = 0; i < s.rows; ++i) {
        const qint64 n = (i % 7 == 0) ? -(qint64(1) << (i % 63)) : qint64(i) * 1000003;
        if (i % 11 == 3)
            sqlite3_bind_null(st, 1);
        else
            sqlite3_bind_int64(st, 1, n);
        sqlite3_bind_double(st, 2, i * 0.125 - 3);
        QString text = QStringLiteral("ação nº %1 ").arg(i);
        while (text.size() < s.memo)
            text += QStringLiteral("çãõ%1 ").arg(text.size());
        const QByteArray t = text.left(std::max(s.memo, 1)).toUtf8();
        sqlite3_bind_text(st, 3, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        const QByteArray blob(i % 50, char(i));
        sqlite3_bind_blob(st, 4, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, i % 2);
        QCOMPARE(sqlite3_step(st), SQLITE_DONE);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
    if (s.deletes)
        exec(db, "DELETE FROM T WHERE Id % 3 = 0");
    sqlite3_close(db);
}

// Rows as SQLite reads them: rowid -> values as text.
QMap<qint64, QStringList> sqliteRows(const QString &path)
{
    QMap<qint64, QStringList> out;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, N, R, S, B, F FROM T", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList v;
        for (int c = 1; c < 6; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                v << QStringLiteral("null");
                break;
            case SQLITE_INTEGER:
                v << QStringLiteral("i%1").arg(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                v << QStringLiteral("r%1").arg(sqlite3_column_double(st, c), 0, 'g', 17);
                break;
            case SQLITE_TEXT:
                v << QStringLiteral("t")
                        + QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)));
                break;
            default:
                v << QStringLiteral("b")
                        + QString::fromLatin1(QByteArray(
                            static_cast<const char *>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c))
                                                  .toHex());
            }
        }
        out.insert(sqlite3_column_int64(st, 0), v);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

QString cellText(const salvage::Cell &c, int encoding)
{
    switch (c.kind) {
    case salvage::Cell::Null:
        return QStringLiteral("null");
    case salvage::Cell::Int:
        return QStringLiteral("i%1").arg(c.i);
    case salvage::Cell::Real:
        return QStringLiteral("r%1").arg(c.r, 0, 'g', 17);
    case salvage::Cell::Text:
        return QStringLiteral("t") + salvage::decodeText(c.bytes, encoding);
    case salvage::Cell::Blob:
        return QStringLiteral("b") + QString::fromLatin1(c.bytes.toHex());
    }
    return {};
}

int treeOf(const salvage::FileScan &scan, const char *name)
{
    for (std::size_t t = 0; t < scan.trees.size(); ++t)
        if (scan.trees[t].name == QLatin1String(name))
            return int(t);
    return -1;
}

} // namespace

class TestEngineSalvage : public QObject {
    Q_OBJECT

private slots:
    void varints_data();
    void varints();
    void soundFilesReadAsSQLiteReadsThem_data();
    void soundFilesReadAsSQLiteReadsThem();
    void freedRowsStayDeleted();
    void hostileBytes();
};

void TestEngineSalvage::varints_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("used");
    QTest::addColumn<quint64>("value");
    QTest::newRow("one byte") << QByteArray::fromHex("7f") << 1 << quint64(127);
    QTest::newRow("two bytes") << QByteArray::fromHex("8100") << 2 << quint64(128);
    QTest::newRow("largest of eight") << QByteArray::fromHex("ffffffffffffff7f") << 8 << quint64(0xffffffffffffffULL);
    QTest::newRow("nine bytes use all of the last") << QByteArray::fromHex("ffffffffffffffffff") << 9 << ~quint64(0);
    QTest::newRow("runs past the end") << QByteArray::fromHex("8080") << 0 << quint64(0);
    QTest::newRow("empty") << QByteArray() << 0 << quint64(0);
}

void TestEngineSalvage::varints()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, used);
    QFETCH(quint64, value);
    std::uint64_t v = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    QCOMPARE(salvage::readVarint(p, p + bytes.size(), v), used);
    if (used)
        QCOMPARE(quint64(v), value);
}

void TestEngineSalvage::soundFilesReadAsSQLiteReadsThem_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("reserved");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("memo");
    QTest::addColumn<bool>("deletes");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("empty table") << 4096 << 0 << 0 << 10 << false << "UTF-8";
    QTest::newRow("one row") << 4096 << 0 << 1 << 10 << false << "UTF-8";
    QTest::newRow("three levels") << 4096 << 0 << 6000 << 300 << false << "UTF-8";
    QTest::newRow("small pages, overflow chains") << 512 << 0 << 300 << 3000 << false << "UTF-8";
    QTest::newRow("large pages, long chains") << 65536 << 0 << 50 << 200000 << false << "UTF-8";
    QTest::newRow("reserved bytes per page") << 1024 << 32 << 500 << 900 << false << "UTF-8";
    QTest::newRow("after deletes") << 4096 << 0 << 3000 << 200 << true << "UTF-8";
    QTest::newRow("UTF-16 text") << 2048 << 0 << 400 << 700 << false << "UTF-16le";
    QTest::newRow("UTF-16 big-endian text") << 4096 << 0 << 200 << 50 << false << "UTF-16be";
}

void TestEngineSalvage::soundFilesReadAsSQLiteReadsThem()
{
    QFETCH(int, pageSize);
    QFETCH(int, reserved);
    QFETCH(int, rows);
    QFETCH(int, memo);
    QFETCH(bool, deletes);
    QFETCH(QString, encoding);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.dat"));
    Shape s;
    s.pageSize = pageSize;
    s.reserved = reserved;
    s.rows = rows;
    s.memo = memo;
    s.deletes = deletes;
    const QByteArray enc = encoding.toLatin1();
    s.encoding = enc.constData();
    build(path, s);
    const salvage::FileScan scan = salvage::scanFile(path);
    QVERIFY2(scan.complete(),
        qPrintable(QStringLiteral("bad %1 orphan %2 unaccounted %3 rejected %4")
                       .arg(scan.badPages)
                       .arg(scan.orphanLeaves)
                       .arg(scan.unaccounted)
                       .arg(scan.rejectedCells)));
    QCOMPARE(scan.pageSize, pageSize);
    QCOMPARE(scan.usableSize, pageSize - reserved);
    const int tree = treeOf(scan, "T");
    QVERIFY(tree >= 0);
    QVERIFY(treeOf(scan, "ix_S") >= 0);
    QMap<qint64, QStringList> got;
    for (const salvage::Record &r : scan.records) {
        if (r.tree != tree)
            continue;
        QCOMPARE(int(r.values.size()), 6);
        QCOMPARE(r.values[0].kind, salvage::Cell::Null); // the rowid alias
        QStringList v;
        for (std::size_t c = 1; c < r.values.size(); ++c) {
            salvage::Cell cell = r.values[c];
            if (c == 2 && cell.kind == salvage::Cell::Int) { // REAL affinity: SQLite keeps whole values as integers
                cell.kind = salvage::Cell::Real;
                cell.r = double(cell.i);
            }
            v << cellText(cell, scan.textEncoding);
        }
        QVERIFY2(!got.contains(r.rowid), "a row read twice");
        got.insert(r.rowid, v);
    }
    QCOMPARE(got, sqliteRows(path));
}

void TestEngineSalvage::freedRowsStayDeleted()
{
    // Without secure delete, freed pages keep old rows: the free list that the
    // header names keeps them from coming back.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.dat"));
    Shape s;
    s.rows = 2000;
    s.memo = 300;
    s.deletes = true;
    s.secureDelete = false;
    build(path, s);
    const salvage::FileScan scan = salvage::scanFile(path);
    QVERIFY(scan.complete());
    const int tree = treeOf(scan, "T");
    qint64 rows = 0;
    for (const salvage::Record &r : scan.records) {
        QVERIFY2(r.tree != -1, "a row of a freed page");
        if (r.tree == tree) {
            QVERIFY(r.rowid % 3 != 0);
            ++rows;
        }
    }
    QCOMPARE(rows, qint64(sqliteRows(path).size()));
}

void TestEngineSalvage::hostileBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.dat"));
    Shape s;
    s.pageSize = 1024;
    s.rows = 150;
    s.memo = 2500;
    build(path, s);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray sound = f.readAll();
    QRandomGenerator random(4242);
    const int pages = int(sound.size() / 1024);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = sound;
        const int edits = random.bounded(1, 8);
        for (int e = 0; e < edits; ++e) {
            const int at = random.bounded(int(bytes.size()));
            switch (random.bounded(5)) {
            case 0: // a few random bytes
                for (int k = 0; k < random.bounded(1, 6) && at + k < bytes.size(); ++k)
                    bytes[at + k] = char(random.bounded(256));
                break;
            case 1: // a zeroed run
                bytes.replace(at, std::min<int>(random.bounded(1, 1500), int(bytes.size()) - at),
                    QByteArray(std::min<int>(1500, int(bytes.size()) - at), '\0'));
                break;
            case 2: // a page copied over another
                bytes.replace(random.bounded(pages) * 1024, 1024, sound.mid(random.bounded(pages) * 1024, 1024));
                break;
            case 3: // a pointer or count made huge
                bytes[at] = char(0xff);
                if (at + 1 < bytes.size())
                    bytes[at + 1] = char(0xff);
                break;
            default: // cut short
                bytes.truncate(at);
            }
        }
        // The copy keeps the scan from reading past the end unseen.
        const QByteArray exact(bytes.constData(), bytes.size());
        const salvage::FileScan scan
            = salvage::scanFile(reinterpret_cast<const unsigned char *>(exact.constData()), exact.size());
        for (const salvage::Record &r : scan.records)
            QVERIFY(r.tree >= -1 && r.tree < int(scan.trees.size()));
        QVERIFY(scan.pageCount <= std::uint32_t(exact.size() / 512 + 1));
    }
}

QTEST_GUILESS_MAIN(TestEngineSalvage)
#include "tst_engine_salvage.moc"
