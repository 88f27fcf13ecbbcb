// The first use of a server database by a unit: the reference tables the
// installation delivers (its pristine folder "Sys/Dados/" with the ARM
// sub-folder, the tables a new data folder is filled from) are created and
// loaded into a server database that holds none of the program's tables yet.
//
// The load is one transaction (a failure leaves the database empty, the next
// start tries again) and runs under a server-wide advisory lock: a second
// workstation starting at the same moment waits for the first one and then
// finds the tables there, so they are loaded once.
#pragma once

#include "platform/db/pgmigrate.h"

#include <QList>
#include <QString>

namespace stb::db {

// Loads the pristine tables when the server database has none of the
// program's tables. Returns what was loaded and compared, table by table;
// empty when the tables were already there. Throws EngineError (10225 when
// the server cannot be reached).
QList<MigrationCheck> pgLoadPristine(const QString &address, const QString &pristineDir,
                                     const MigrationProgress &progress = {});

} // namespace stb::db
