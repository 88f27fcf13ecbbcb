// The medicine table and the .zlb reader beside the same work done directly
// with SQLite and zlib, in one run:
//   (a) loading a 30,000-line TabMedic.txt   vs  parsing + prepared inserts in one transaction
//   (b) loading the snapshot Medic.Tab       vs  ATTACH + INSERT ... SELECT
//   (c) searching a contained word           vs  a LIKE scan, on plain descriptions and on
//       descriptions where one syllable in thirteen is accented and lower case
//   (d) extracting a 30 MB .zlb              vs  zlib inflation of the same streams to files
// Arguments name the parts to run (text, snapshot, search, zlb); none runs all.
#include "bench/harness.h"
#include "outputs/medic.h"
#include "platform/zlbarchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <zlib.h>

using namespace stb;

namespace {

constexpr int kLines = 30000;

QByteArray tabela(bool acentos = false)
{
    QRandomGenerator g(42);
    const char *const sil[]
        = {"LO", "RA", "XI", "TE", "NA", "MI", "ZO", "PRA", "DE", "VAL", "CIN", "TOL", acentos ? "ção" : "FEN"};
    QByteArray b;
    for (int i = 0; i < kLines; ++i) {
        QByteArray name;
        for (int k = 0; k < 3; ++k)
            name += sil[g.bounded(13)];
        b += "789" + QByteArray::number(1000000000 + i) + ";" + name + " " + QByteArray::number(g.bounded(1000))
            + "MG COMP CX 20;" + QByteArray::number(g.bounded(400)) + "," + QByteArray::number(10 + g.bounded(90))
            + ";0,00;0;0;" + (i % 3 ? "" : "GEN") + ";LABORATORIO " + QByteArray::number(i % 40) + ";+\r\n";
    }
    return b;
}

void rawLoad(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(f.readAll());
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
        "CREATE TABLE Medic (Id INTEGER, CodBarra TEXT, Descricao TEXT, Valor1 REAL, Valor2 REAL, Valor3 REAL, "
        "Valor4 REAL, Generico INTEGER, Laboratorio TEXT, Lista TEXT); CREATE INDEX d ON Medic(Descricao); "
        "CREATE INDEX c ON Medic(CodBarra)",
        nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Medic VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)", -1, &st, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fl = lines[i].trimmed().split(QLatin1Char(';'));
        if (fl.size() != 9)
            continue;
        sqlite3_bind_int(st, 1, i);
        for (int c : {0, 1, 7, 8}) {
            const QByteArray u = fl[c].toUtf8();
            sqlite3_bind_text(st,
                c == 0       ? 2
                    : c == 1 ? 3
                    : c == 7 ? 9
                             : 10,
                u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        }
        for (int c = 2; c < 6; ++c)
            sqlite3_bind_double(st, c + 2, QString(fl[c]).replace(QLatin1Char(','), QLatin1Char('.')).toDouble());
        sqlite3_bind_int(st, 8, fl[6] == QLatin1String("GEN"));
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

sqlite3 *rawSnapshot(const QString &snap)
{
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    const QByteArray attach = "ATTACH DATABASE '" + QFile::encodeName(snap) + "' AS snap";
    sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr);
    sqlite3_exec(db,
        "CREATE TABLE Medic AS SELECT * FROM snap.Medic WHERE 0; CREATE INDEX d ON Medic(Descricao); "
        "CREATE INDEX c ON Medic(CodBarra); INSERT INTO Medic SELECT * FROM snap.Medic",
        nullptr, nullptr, nullptr);
    sqlite3_exec(db, "DETACH DATABASE snap", nullptr, nullptr, nullptr);
    return db;
}

int rawSearch(sqlite3 *db, const char *pattern)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM Medic WHERE UPPER(Descricao) LIKE ?1 ORDER BY Descricao", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, pattern, -1, SQLITE_STATIC);
    int n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            sqlite3_column_value(st, c);
        ++n;
    }
    sqlite3_finalize(st);
    return n;
}

// Inflates every entry of an archive straight with zlib (offsets and sizes read
// with the reader beforehand, so only the inflation and the writing are timed).
void rawExtract(const QString &archive, const QList<ZLBEntry> &entries, const QString &out)
{
    QFile in(archive);
    in.open(QIODevice::ReadOnly);
    QByteArray src(64 * 1024, Qt::Uninitialized), dst(64 * 1024, Qt::Uninitialized);
    for (const ZLBEntry &e : entries) {
        QFile o(QDir(out).filePath(e.name));
        o.open(QIODevice::WriteOnly);
        in.seek(e.offset);
        z_stream zs {};
        inflateInit(&zs);
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            if (zs.avail_in == 0) {
                const qint64 got = in.read(src.data(), src.size());
                if (got <= 0)
                    break;
                zs.next_in = reinterpret_cast<Bytef *>(src.data());
                zs.avail_in = static_cast<uInt>(got);
            }
            zs.next_out = reinterpret_cast<Bytef *>(dst.data());
            zs.avail_out = static_cast<uInt>(dst.size());
            rc = inflate(&zs, Z_NO_FLUSH);
            o.write(dst.constData(), dst.size() - zs.avail_out);
            if (rc != Z_OK && rc != Z_STREAM_END)
                break;
        }
        inflateEnd(&zs);
    }
}

void line(const char *what, double ours, double base, const char *target)
{
    std::printf("%-44s %9.2f ms  baseline %9.2f ms  ratio %5.2f  (target %s)\n", what, ours, base, ours / base, target);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList parts = app.arguments().mid(1);
    const auto runs = [&parts](const char *part) { return parts.isEmpty() || parts.contains(QLatin1String(part)); };
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("TabMedic.txt"));
    {
        QFile f(txt);
        f.open(QIODevice::WriteOnly);
        f.write(tabela());
    }
    std::printf("Medicine table (%d lines) and .zlb extraction vs raw SQLite / zlib, best of 5\n", kLines);

    Medic medic;
    if (runs("text")) {
        const double load = bench::bestMs(5, {}, [&] { medic.carregaTexto(txt); });
        const double loadRaw = bench::bestMs(5, {}, [&] { rawLoad(txt); });
        line("(a) text table load", load, loadRaw, "<= 500 ms");
    } else {
        medic.carregaTexto(txt);
    }

    const QString snap = dir.filePath(QStringLiteral("Medic.Tab"));
    medic.salvaSnapshot(snap);
    Medic other;
    if (runs("snapshot")) {
        const double snapMs = bench::bestMs(5, {}, [&] { other.carregaSnapshot(snap); });
        const double snapRaw = bench::bestMs(5, {}, [&] { sqlite3_close(rawSnapshot(snap)); });
        line("(b) snapshot load", snapMs, snapRaw, "<= 100 ms");
    } else {
        other.carregaSnapshot(snap);
    }

    if (runs("search")) {
        // The same search on plain and on accented descriptions; the accented
        // table is loaded and saved like the first one.
        const QString txtAcentos = dir.filePath(QStringLiteral("TabMedicAcentos.txt"));
        const QString snapAcentos = dir.filePath(QStringLiteral("MedicAcentos.Tab"));
        {
            QFile f(txtAcentos);
            f.open(QIODevice::WriteOnly);
            f.write(tabela(true));
        }
        Medic acentos;
        acentos.carregaTexto(txtAcentos);
        acentos.salvaSnapshot(snapAcentos);
        struct Caso {
            const char *what;
            Medic *medic;
            QString snap;
        };
        for (const Caso &c : {Caso {"(c) search by contained word", &other, snap},
                 Caso {"    the same, accented descriptions", &acentos, snapAcentos}}) {
            db::Query q(&c.medic->database());
            int found = 0, foundRaw = 0;
            const double search = bench::bestMs(5, {}, [&] {
                c.medic->pesquisa(q, QStringLiteral("xite"), Medic::Busca::Contem);
                found = q.recordCount();
            });
            sqlite3 *raw = rawSnapshot(c.snap);
            const double searchRaw = bench::bestMs(5, {}, [&] { foundRaw = rawSearch(raw, "%XITE%"); });
            sqlite3_close(raw);
            line(c.what, search, searchRaw, "<= 20 ms");
            std::printf("    rows found: %d (raw %d)\n", found, foundRaw);
        }
    }
    if (!runs("zlb"))
        return 0;

    // About 30 MB of archive: text that compresses little, in 4 entries.
    const QString src = dir.filePath(QStringLiteral("fonte"));
    QDir().mkpath(src);
    QRandomGenerator g(7);
    for (int e = 0; e < 4; ++e) {
        QFile f(QDir(src).filePath(QStringLiteral("parte%1.txt").arg(e)));
        f.open(QIODevice::WriteOnly);
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (int mb = 0; mb < 12; ++mb) {
            for (qsizetype i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<char>(i % 3 ? 'A' + g.bounded(26) : g.bounded(256));
            f.write(chunk);
        }
    }
    const QString archive = dir.filePath(QStringLiteral("grande.zlb"));
    QString error;
    ZLBWriter::createFromFolder(archive, src, &error);
    TZLBArchive zlb;
    zlb.open(archive);
    const QList<ZLBEntry> entries = zlb.entries();
    const QString out = dir.filePath(QStringLiteral("saida"));
    const QString outRaw = dir.filePath(QStringLiteral("saida-raw"));
    QDir().mkpath(outRaw);
    const double ext = bench::bestMs(5, {}, [&] {
        TZLBArchive a;
        a.open(archive);
        a.extractAll(out);
    });
    const double extRaw = bench::bestMs(5, {}, [&] { rawExtract(archive, entries, outRaw); });
    line("(d) .zlb extraction (CRC check included)", ext, extRaw, "throughput >= 0.8x raw, ratio <= 1.25");
    std::printf("    archive %.1f MB, %d entries, %.1f MB extracted\n",
        static_cast<double>(QFileInfo(archive).size()) / 1e6, static_cast<int>(entries.size()), 48.0 * 1.048576);
    return 0;
}
