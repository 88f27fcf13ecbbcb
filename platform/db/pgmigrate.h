// Moving a unit's tables between a data folder and a PostgreSQL server.
//
// Folder to server: every table of the folder (and of its ARM sub-folder) is
// created on the server with its rows in one transaction; before the commit
// the rows are counted and every currency column summed on both sides, and
// any difference rolls everything back. The server database must not hold
// the program's tables yet.
//
// Server to folder: the tables are written into a new folder beside the
// target, counted and summed again from the files, and the new folder is
// moved into place only when complete. The target must be missing or empty.
//
// Both directions open every table exclusively on both sides while they run,
// and leave the target as it was when anything fails (EngineError).
#pragma once

#include "platform/currency.h"

#include <QList>
#include <QString>
#include <functional>

namespace stb::db {

struct MigrationCheck {
    struct Sum {
        QString column;
        Currency source;
        Currency target;
    };
    QString table;
    QString folder; // "" or "ARM"
    qint64 sourceRows = 0;
    qint64 targetRows = 0;
    QList<Sum> sums;
    bool equal() const;
};

// Called after each table is copied, with its name ("ARM/ARM" for the
// sub-folder's) and rows.
using MigrationProgress = std::function<void(const QString &table, qint64 rows)>;

QList<MigrationCheck> migrateFolderToServer(
    const QString &folder, const QString &address, const MigrationProgress &progress = {});
QList<MigrationCheck> migrateServerToFolder(
    const QString &address, const QString &folder, const MigrationProgress &progress = {});

} // namespace stb::db
