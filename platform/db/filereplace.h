// Putting a rebuilt table file in place so that a kill at any moment leaves
// something the next open completes.
//
// Before anything is renamed, an intent record "<Table>.rpl" names the
// complete rebuilt file, the backup to keep and the definition for the .idx.
// The steps (backup as a second name of the old file, old journal moved away,
// the rebuilt file renamed over the table's name in one step, .idx written,
// record removed) can each be done again, so the next open that finds the
// record repeats them from the start. The table's name always holds one
// complete file: the old one, then the new one.
#pragma once

#include "platform/db/types.h"

#include <QString>

namespace stb::db {

struct ReplaceIntent {
    QString tmpName; // rebuilt file, in the table's folder
    QString backupBase; // base name of the .dbk/.ibk pair to keep, empty for none
    TableDef def;
    QString version;
};

// Path of the intent record of a table file ("<dir>/<base>.rpl").
QString intentPath(const QString &datPath);
// Writes the record durably; throws EngineError.
void writeIntent(const QString &datPath, const ReplaceIntent &intent);
bool readIntent(const QString &path, ReplaceIntent &intent);
// Does (or finishes) the replacement the record describes; throws EngineError.
void completeReplacement(const QString &datPath, const QString &idxPath, const ReplaceIntent &intent);

// The first base name "<Table>", "<Table>.1", "<Table>.2"... whose .dbk and
// .ibk are both free: backups are never overwritten.
QString freeBackupBase(const QString &dir, const QString &tableBase);

// Flushes a folder's entries (renames, new and removed files) to the disk.
void syncDirectory(const QString &dir);

} // namespace stb::db
