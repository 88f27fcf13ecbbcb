#include "platform/clock.h"

#include <QElapsedTimer>

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
    g_fixed = FixedClock{moment, {}};
    g_fixed->elapsed.start();
}

void Clock::reset() { g_fixed.reset(); }

bool Clock::isFixed() { return g_fixed.has_value(); }

} // namespace stb
