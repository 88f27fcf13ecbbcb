// Second process for the engine's cross-process and fault tests. Commands:
//   append DIR TABLE FIRST COUNT     appends rows V = FIRST .. FIRST+COUNT-1, one commit each
//   append-loop DIR TABLE [FIRST]    appends rows V = FIRST, FIRST+1, ... printing each committed V
//   tx-loop DIR [FIRST]              one transaction per pass over tables A and B, printing the pass
//   repair-loop DIR TABLE            repairs the table again and again, printing "repaired" after each
//   alter-loop DIR TABLE             restructures the table again and again (a field "Extra" comes and goes)
//   repair DIR TABLE                 repairs once, printing "repaired ROWS complete|partial"
//   alter DIR TABLE / upgrade DIR TABLE    one restructure / one upgrade of an older table
//   hold-semaphore DIR TABLE SLOT    takes a semaphore slot, prints "locked", waits
//   hold-open DIR TABLE MODE         opens the table shared or exclusive, prints "open", waits
//   hold-write DIR TABLE FIELD VALUE appends a row inside a transaction left open, prints "open", waits
//   hold-sqlite-lock DIR TABLE [MS]  holds SQLite's exclusive lock on the table file (for MS ms, or for ever)
// Any command may be preceded by
//   kill-at POINT N                  the process kills itself the N-th time it reaches the fault point
//   pause-at POINT                   it prints "paused" at the fault point and waits there
//   points                           it prints "point NAME" at every fault point it passes
#include "platform/db/dataset.h"
#include "platform/db/faultpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

using namespace stb::db;

namespace {

QByteArray g_point;
int g_hits = 0;
enum class HookMode { Kill, Pause, Print } g_mode = HookMode::Print;

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

void hook(const char *point)
{
    if (g_mode == HookMode::Print) {
        std::printf("point %s\n", point);
        std::fflush(stdout);
        return;
    }
    if (g_point != point)
        return;
    if (g_mode == HookMode::Pause) {
        say("paused");
        waitForever();
    }
    if (--g_hits <= 0)
        ::raise(SIGKILL);
}

TableDef toggled(const TableDef &def)
{
    TableDef d = def;
    const int extra = d.fieldIndex(QStringLiteral("Extra"));
    if (extra >= 0)
        d.fields.removeAt(extra);
    else
        d.fields << FieldDef {QStringLiteral("Extra"), FieldType::Integer};
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList a = app.arguments();
    a.removeFirst();
    if (!a.isEmpty() && a[0] == QLatin1String("kill-at") && a.size() > 2) {
        g_mode = HookMode::Kill;
        g_point = a[1].toUtf8();
        g_hits = a[2].toInt();
        a = a.mid(3);
        setFaultHook(hook);
    } else if (!a.isEmpty() && a[0] == QLatin1String("pause-at") && a.size() > 1) {
        g_mode = HookMode::Pause;
        g_point = a[1].toUtf8();
        a = a.mid(2);
        setFaultHook(hook);
    } else if (!a.isEmpty() && a[0] == QLatin1String("points")) {
        a = a.mid(1);
        setFaultHook(hook);
    }
    if (a.size() < 2)
        return 2;
    if (!qEnvironmentVariableIsSet("STB_DEFAULT_LOCKS")) {
        Session::defaultSession().lockRetryCount = 200;
        Session::defaultSession().lockWaitTime = 5;
    }
    Database db;
    db.setDirectory(a[1]);
    try {
        const QString cmd = a[0];
        if (cmd == QLatin1String("append") || cmd == QLatin1String("append-loop")) {
            Table t(&db, a[2]);
            t.open();
            const bool loop = cmd == QLatin1String("append-loop");
            const qint64 first = loop ? (a.size() > 3 ? a[3].toLongLong() : 1) : a[3].toLongLong();
            const qint64 count = loop ? INT64_MAX : a[4].toLongLong();
            if (loop)
                say("ready");
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
            say("ready");
            for (qint64 pass = a.size() > 2 ? a[2].toLongLong() : 1;; ++pass) {
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
        if (cmd == QLatin1String("repair") || cmd == QLatin1String("repair-loop")) {
            db.open();
            say("ready");
            do {
                const RepairResult r = db.repairTable(a[2]);
                std::printf("repaired %lld %s\n", static_cast<long long>(r.rows), r.complete ? "complete" : "partial");
                std::fflush(stdout);
            } while (cmd == QLatin1String("repair-loop"));
            return 0;
        }
        if (cmd == QLatin1String("alter") || cmd == QLatin1String("alter-loop")) {
            db.open();
            say("ready");
            do {
                db.alterTable(a[2], toggled(db.tableDef(a[2])));
                say("altered");
            } while (cmd == QLatin1String("alter-loop"));
            return 0;
        }
        if (cmd == QLatin1String("upgrade")) {
            db.upgradeTable(a[2]);
            say("upgraded");
            return 0;
        }
        if (cmd == QLatin1String("hold-semaphore")) {
            if (!db.lockSemaphore(a[2], a[3].toInt()))
                return 3;
            say("locked");
            waitForever();
        }
        if (cmd == QLatin1String("hold-write")) {
            // A transaction that has written a row of the table and stays open:
            // the table file is write-locked until the process ends.
            Table t(&db, a[2]);
            t.open();
            db.startTransaction();
            t.append();
            t.fieldByName(a[3]).setAsString(a[4]);
            t.post();
            say("open");
            waitForever();
        }
        if (cmd == QLatin1String("hold-open")) {
            Table t(&db, a[2]);
            t.setExclusive(a[3] == QLatin1String("exclusive"));
            t.open();
            say("open");
            waitForever();
        }
        if (cmd == QLatin1String("hold-sqlite-lock")) {
            sqlite3 *raw = nullptr;
            const QString path = db.tableFilePath(a[2], QStringLiteral(".dat"));
            if (sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
                || sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
                return 3;
            say("locked");
            if (a.size() < 4)
                waitForever();
            QThread::msleep(a[3].toULong());
            sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(raw);
            say("released");
            return 0;
        }
    } catch (const EngineError &e) {
        std::printf("error %d %s\n", e.code(), qPrintable(e.message()));
        std::fflush(stdout);
        return 1;
    }
    return 2;
}
