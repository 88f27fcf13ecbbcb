#include "platform/clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

namespace stb {

namespace {
struct FixedClock {
    QDateTime start;
    QElapsedTimer elapsed;
};
std::optional<FixedClock> g_fixed;
} // namespace

QDateTime Clock::now()
{
    if (g_fixed)
        return g_fixed->start.addMSecs(g_fixed->elapsed.elapsed());
    return QDateTime::currentDateTime();
}

QDate Clock::today() { return now().date(); }

void Clock::setFixed(const QDateTime &moment)
{
    g_fixed = FixedClock {moment, {}};
    g_fixed->elapsed.start();
}

void Clock::reset() { g_fixed.reset(); }

bool Clock::isFixed() { return g_fixed.has_value(); }

void waitRepainting(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(10);
    }
}

} // namespace stb
