// A small timing harness: runs a piece of work several times and keeps the
// best time, so a busy moment of the machine does not count against it.
#pragma once

#include <QElapsedTimer>
#include <cstdio>
#include <functional>

namespace bench {

inline double bestMs(int reps, const std::function<void()> &setup, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        if (setup)
            setup();
        QElapsedTimer t;
        t.start();
        work();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (ms < best)
            best = ms;
    }
    return best;
}

inline void report(const char *what, double oursMs, double baseMs, double target)
{
    const double ratio = oursMs / baseMs;
    std::printf("%-48s %10.2f ms  baseline %10.2f ms  ratio %5.2f  (target <= %.1f) %s\n", what, oursMs, baseMs, ratio,
        target, ratio <= target ? "ok" : "OVER");
    std::fflush(stdout);
}

} // namespace bench
