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

} // namespace stb::db
