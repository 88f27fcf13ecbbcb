// Workstations writing at once: invoices stored per second by 1 and by 8
// writer processes (tests/writer_child: the data module, a transaction per
// invoice numbered by ProximoIdNota, one line per invoice), on a data folder
// and on a private PostgreSQL server, side by side. Every run stores the same
// 200 invoices into an empty calculation; the clock runs from the moment all
// writers are open and told to start until the last one has finished.
#include "tests/support/pgserver.h"
#include "tests/support/writerprocs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using stbtest::WriterProcess;

namespace {

constexpr int kTotal = 200;
constexpr int kLinhas = 1;

struct Run {
    double perSecond = 0;
    int retries = 0;
    QString failure; // a writer that failed leaves no figure
};

QString cellOf(const Run &r)
{
    return r.failure.isEmpty() ? QStringLiteral("%1 /s").arg(r.perSecond, 0, 'f', 1) : QStringLiteral("failed");
}

// Runs `writers` processes on `where`.
Run run(const QString &where, int writers)
{
    const int idCalculo = stbtest::newCalculation(where);
    const int each = kTotal / writers;
    std::vector<std::unique_ptr<WriterProcess>> procs;
    for (int w = 1; w <= writers; ++w)
        procs.push_back(std::make_unique<WriterProcess>(QStringLiteral(STB_WRITER_CHILD),
            QStringList {where, QString::number(idCalculo), QString::number(w), QString::number(each),
                QString::number(kLinhas), QStringLiteral("slot=%1").arg(w)}));
    for (auto &p : procs) {
        const QString line = p->readLine();
        if (line != QLatin1String("PRONTO"))
            return {0, 0, QStringLiteral("writer did not open: ") + line + QLatin1Char(' ') + p->errors()};
    }
    QElapsedTimer t;
    t.start();
    for (auto &p : procs)
        p->go();
    Run r;
    for (auto &p : procs) {
        QString line;
        do
            line = p->readLine(300000);
        while (line.startsWith(QLatin1String("NOTA ")));
        if (!line.startsWith(QLatin1String("FIM ")) || !p->finish())
            return {0, 0, QStringLiteral("writer failed: ") + line + QLatin1Char(' ') + p->errors()};
        r.retries += line.section(QLatin1Char(' '), 2).toInt();
    }
    r.perSecond = kTotal * 1000.0 / static_cast<double>(t.elapsed());
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    stbtest::PgServer server;
    QString error;
    if (!server.start(&error, true)) { // flushed commits, as the folder's
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    std::printf("Invoices stored per second (%d invoices of %d line each, one calculation)\n", kTotal, kLinhas);
    std::printf("%-10s %16s %16s\n", "writers", "data folder", "server");
    for (int writers : {1, 8}) {
        const QString folder = dir.filePath(QStringLiteral("w%1").arg(writers));
        QDir().mkpath(folder);
        const QString address = server.createDatabase(QStringLiteral("w%1").arg(writers), &error);
        if (address.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const Run f = run(folder, writers);
        const Run s = run(address, writers);
        std::printf("%-10d %16s %16s", writers, qPrintable(cellOf(f)), qPrintable(cellOf(s)));
        if (f.failure.isEmpty() && s.failure.isEmpty())
            std::printf(
                "   server/folder %5.2f   (entered again: %d, %d)", s.perSecond / f.perSecond, f.retries, s.retries);
        std::printf("\n");
        for (const Run *r : {&f, &s})
            if (!r->failure.isEmpty())
                std::printf("  %s: %s\n", r == &f ? "folder" : "server", qPrintable(r->failure.simplified().left(300)));
        std::fflush(stdout);
    }
    return 0;
}
