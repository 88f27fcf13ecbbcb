// The one clock of the program. Dated values, the DIFAL share by year and the
// engine's CURRENT_DATE all ask it, so tests and the command-line tool can fix
// "today" for a run.
#pragma once

#include <QDate>
#include <QDateTime>
#include <optional>

namespace stb {

class Clock {
public:
    static QDate today();
    static QDateTime now();
    // Fixes the clock at the given moment (the time of day keeps running from it).
    static void setFixed(const QDateTime &moment);
    static void setFixedDate(const QDate &date) { setFixed(date.startOfDay()); }
    static void reset();
    static bool isFixed();
};

// Waits `ms` while the process's windows keep repainting and its messages
// arrive; keyboard and mouse input waits until the end (polling a sibling
// program, the pauses between attempts).
void waitRepainting(int ms);

} // namespace stb
