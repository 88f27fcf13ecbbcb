// Second process for the engine's cross-process tests. Commands:
//   append DIR TABLE FIRST COUNT     appends rows V = FIRST .. FIRST+COUNT-1, one commit each
//   append-loop DIR TABLE            appends rows V = 1, 2, ... printing each committed V
//   tx-loop DIR                      one transaction per pass over tables A and B, printing the pass
//   hold-semaphore DIR TABLE SLOT    takes a semaphore slot, prints "locked", waits
//   hold-open DIR TABLE MODE         opens the table shared or exclusive, prints "open", waits
#include "platform/db/dataset.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

using namespace stb::db;

namespace {
void say(const char *text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

[[noreturn]] void waitForever()
{
    for (;;)
        QThread::sleep(60);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 3)
        return 2;
    Session::defaultSession().lockRetryCount = 200;
    Session::defaultSession().lockWaitTime = 5;
    Database db;
    db.setDirectory(a[2]);
    try {
        const QString cmd = a[1];
        if (cmd == QLatin1String("append") || cmd == QLatin1String("append-loop")) {
            Table t(&db, a[3]);
            t.open();
            const bool loop = cmd == QLatin1String("append-loop");
            const qint64 first = loop ? 1 : a[4].toLongLong();
            const qint64 count = loop ? INT64_MAX : a[5].toLongLong();
            for (qint64 i = 0; i < count; ++i) {
                t.append();
                t.fieldByName(QStringLiteral("V")).setAsInteger(first + i);
                t.fieldByName(QStringLiteral("Texto")).setAsString(QStringLiteral("linha %1").arg(first + i));
                t.post();
                if (loop)
                    std::printf("%lld\n", static_cast<long long>(first + i)), std::fflush(stdout);
            }
            say("done");
            return 0;
        }
        if (cmd == QLatin1String("tx-loop")) {
            Table ta(&db, QStringLiteral("A"));
            Table tb(&db, QStringLiteral("B"));
            ta.open();
            tb.open();
            for (qint64 pass = 1;; ++pass) {
                db.startTransaction();
                for (Table *t : {&ta, &tb}) {
                    t->append();
                    t->fieldByName(QStringLiteral("V")).setAsInteger(pass);
                    t->post();
                }
                db.commit(true);
                std::printf("%lld\n", static_cast<long long>(pass));
                std::fflush(stdout);
            }
        }
        if (cmd == QLatin1String("hold-semaphore")) {
            if (!db.lockSemaphore(a[3], a[4].toInt()))
                return 3;
            say("locked");
            waitForever();
        }
        if (cmd == QLatin1String("hold-write")) {
            // A transaction that has written a row of the table and stays open:
            // the table file is write-locked until the process ends.
            Table t(&db, a[3]);
            t.open();
            db.startTransaction();
            t.append();
            t.fieldByName(a[4]).setAsString(a[5]);
            t.post();
            say("open");
            waitForever();
        }
        if (cmd == QLatin1String("hold-open")) {
            Table t(&db, a[3]);
            t.setExclusive(a[4] == QLatin1String("exclusive"));
            t.open();
            say("open");
            waitForever();
        }
    } catch (const EngineError &e) {
        std::printf("error %d %s\n", e.code(), qPrintable(e.message()));
        std::fflush(stdout);
        return 1;
    }
    return 2;
}
