// The installation's tables on a server database:
//
// - first use: the reference tables the installation delivers (its pristine
//   folder "Sys/Dados/" with the ARM sub-folder, the tables a new data folder
//   is filled from) are created and loaded into a server database that holds
//   none of the program's tables yet;
// - updates: tables delivered later ("Sys/Dados.Atualiza/") replace the
//   server's tables of the same name, definition and rows.
//
// Each is one transaction (a failure leaves the database as it was, the next
// start tries again) and runs under a server-wide advisory lock: a second
// workstation starting at the same moment waits for the first one and then
// finds the work done, so the tables are loaded once.
#pragma once

#include "platform/db/pgmigrate.h"

#include <QList>
#include <QString>

namespace stb::db {

// Loads the pristine tables when the server database has none of the
// program's tables. Returns what was loaded and compared, table by table;
// empty when the tables were already there. Throws EngineError (10225 when
// the server cannot be reached).
QList<MigrationCheck> pgLoadPristine(
    const QString &address, const QString &pristineDir, const MigrationProgress &progress = {});

// Replaces, on the server, each table of the folder `deliveryDir` (its
// tables of the data folder, or of the ARM sub-folder with `folder` "ARM")
// by the delivered one: definition, version and rows. Returns the names of
// the tables replaced. Throws EngineError; nothing changes then.
QStringList pgReplaceTables(const QString &address, const QString &deliveryDir, const QString &folder = {});

} // namespace stb::db
