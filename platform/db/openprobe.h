// Whether a process keeps a table to itself: the table open locks seen from
// outside the engine, for the checks made before the tables are opened.
#pragma once

#include <QString>

namespace stb::db {

// True when a process holds the table of `datPath` open exclusively (or is
// rebuilding it), so that a shared open would fail now. The probe uses a
// descriptor of its own and keeps nothing open: call it before this process
// opens the table, since its own exclusive open would count too.
bool heldExclusively(const QString &datPath);

// True when a process (this one included) holds semaphore `slot` of the
// table of `datPath`; tried `tries` times `waitMs` apart, held on every try.
bool semaphoreHeld(const QString &datPath, int slot, int tries = 1, int waitMs = 0);

} // namespace stb::db
