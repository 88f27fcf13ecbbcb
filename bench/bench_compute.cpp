// stbrelva-cli compute at scale: 500 x 20 and 5,000 x 20 lines, run as the
// user runs it (a separate process reading a JSON file), timed with its wall
// time, CPU time and peak memory; beside it, in the same run, the same rows
// inserted into a temporary SQLite file with the raw C API and summed per
// invoice (the storage and the sums the tool cannot avoid).
#include "bench/harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

struct Linha {
    int nota, item;
    long long valorCent, ipiCent;
    int mva, aliq, cred;
};

// The lines of the generated calculation (same numbers for both sides).
Linha linha(int n, int i)
{
    return {n, i, 10000 + (n * 37 + i * 101) % 90000, (n + i) % 7 * 150, 20 + (n + i) % 40, i % 3 ? 18 : 12, 12};
}

QString dinheiro(long long cent)
{
    return QStringLiteral("%1.%2").arg(cent / 100).arg(cent % 100, 2, 10, QLatin1Char('0'));
}

QByteArray entrada(int notas, int itens)
{
    QByteArray out = R"({"calculo": {"TipoCalculo": 1, "PrintMR": 4}, "notas": [)";
    for (int n = 0; n < notas; ++n) {
        out += n ? ",\n" : "\n";
        out += QStringLiteral(R"({"NroNF": "%1", "Frete": "%2", "itens": [)")
                   .arg(n + 1)
                   .arg(dinheiro(1000 + n % 500))
                   .toUtf8();
        for (int i = 0; i < itens; ++i) {
            const Linha l = linha(n, i);
            out += i ? "," : "";
            out += QStringLiteral(R"({"ItemBrelva": "01.001.00", "ValorNF": "%1", "ValorIPI": "%2", "MVA": "%3", )"
                                  R"("AliqICMS": "%4", "CreditoICMS": "%5", "ValorCreditoICMS": "%6"})")
                       .arg(dinheiro(l.valorCent), dinheiro(l.ipiCent))
                       .arg(l.mva)
                       .arg(l.aliq)
                       .arg(l.cred)
                       .arg(dinheiro(l.valorCent * l.cred / 100))
                       .toUtf8();
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

struct Medida {
    double wallMs = 0, cpuMs = 0;
    long peakKb = 0;
    int status = -1;
};

// Runs the tool as a child process and reads its own resource use.
Medida rodaCli(const QString &cli, const QString &json)
{
    Medida m;
    QElapsedTimer t;
    t.start();
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        const std::string prog = cli.toStdString(), arq = json.toStdString();
        execl(
            prog.c_str(), prog.c_str(), "compute", "--today", "2024-06-30", arq.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage ru {};
    wait4(pid, &status, 0, &ru);
    m.wallMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    m.cpuMs = (static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3)
        + static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
    m.peakKb = ru.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

// The same rows with the raw C API: one table file, one transaction, one
// prepared insert, then the per-invoice sums.
double baseline(const QString &dir, int notas, int itens)
{
    const QString path = QDir(dir).filePath(QStringLiteral("raw.db"));
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY;", nullptr, nullptr, nullptr);
    sqlite3_exec(db,
        "CREATE TABLE Itens(IdNota INTEGER, NroItem INTEGER, ItemBrelva TEXT, ValorNF INTEGER, ValorIPI INTEGER,"
        " MVA INTEGER, AliqICMS INTEGER, CreditoICMS INTEGER, ValorCreditoICMS INTEGER);"
        "CREATE INDEX ItensNota ON Itens(IdNota, NroItem);",
        nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Itens VALUES(?,?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
    for (int n = 0; n < notas; ++n)
        for (int i = 0; i < itens; ++i) {
            const Linha l = linha(n, i);
            sqlite3_bind_int(ins, 1, n + 1);
            sqlite3_bind_int(ins, 2, i + 1);
            sqlite3_bind_text(ins, 3, "01.001.00", -1, SQLITE_STATIC);
            sqlite3_bind_int64(ins, 4, l.valorCent * 100);
            sqlite3_bind_int64(ins, 5, l.ipiCent * 100);
            sqlite3_bind_int64(ins, 6, l.mva * 10000LL);
            sqlite3_bind_int64(ins, 7, l.aliq * 10000LL);
            sqlite3_bind_int64(ins, 8, l.cred * 10000LL);
            sqlite3_bind_int64(ins, 9, l.valorCent * l.cred);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_stmt *sum = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT SUM((ValorNF + ValorIPI) * (10000 + MVA) / 10000 * AliqICMS / 1000000 - "
        "CreditoICMS * ValorNF / 1000000) FROM Itens WHERE IdNota = ?",
        -1, &sum, nullptr);
    double total = 0;
    for (int n = 0; n < notas; ++n) {
        sqlite3_bind_int(sum, 1, n + 1);
        if (sqlite3_step(sum) == SQLITE_ROW)
            total += sqlite3_column_double(sum, 0);
        sqlite3_reset(sum);
    }
    sqlite3_finalize(sum);
    sqlite3_close(db);
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (total < 0)
        std::printf("(soma negativa)\n");
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/stbrelva-cli");
    QTemporaryDir tmp;
    std::printf("stbrelva-cli compute at scale (best of 3; peak memory of the tool's process)\n");
    for (const int notas : {500, 5000}) {
        const int itens = 20;
        const QString json = tmp.filePath(QStringLiteral("calc-%1.json").arg(notas));
        QFile f(json);
        f.open(QIODevice::WriteOnly);
        f.write(entrada(notas, itens));
        f.close();
        Medida melhor;
        melhor.wallMs = 1e300;
        for (int r = 0; r < 3; ++r) {
            const Medida m = rodaCli(cli, json);
            if (m.status != 0) {
                std::printf("stbrelva-cli terminou com %d\n", m.status);
                return 1;
            }
            if (m.wallMs < melhor.wallMs)
                melhor = m;
        }
        const double base = bench::bestMs(3, {}, [&] { baseline(tmp.path(), notas, itens); });
        char what[96];
        std::snprintf(what, sizeof what, "compute %d x %d lines (wall)", notas, itens);
        bench::report(what, melhor.wallMs, base, notas == 500 ? 300.0 / base : 1500.0 / base);
        std::printf("    CPU %.0f ms, peak memory %.1f MB (target: wall under %s, memory under 150 MB)\n", melhor.cpuMs,
            static_cast<double>(melhor.peakKb) / 1024.0, notas == 500 ? "0.3 s" : "1.5 s");
    }
    return 0;
}
