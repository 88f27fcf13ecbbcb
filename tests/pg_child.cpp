// Second process of the server lock tests: connects, takes what it is told
// and prints "ok" (or "busy"), then waits until it is killed.
//   pg_child ADDRESS semaphore TABLE SLOT
//   pg_child ADDRESS shared|exclusive TABLE
#include "platform/db/pgconn.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

using namespace stb::db;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    try {
        Session s;
        s.lockRetryCount = 1;
        PgConnection c(a[1], &s);
        bool ok = true;
        if (a[2] == QLatin1String("semaphore"))
            ok = c.lockSemaphore(a[3], a.value(4).toInt());
        else
            c.acquireOpen(a[3], a[2] == QLatin1String("exclusive") ? OpenMode::Exclusive : OpenMode::Shared);
        std::printf(ok ? "ok\n" : "busy\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(60);
    } catch (const EngineError &e) {
        std::printf("error %d\n", e.code());
        std::fflush(stdout);
        return 1;
    }
}
