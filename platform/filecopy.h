// Copies that never leave half a file behind: the bytes go to a temporary
// file in the target's folder, reach the disk, and the temporary file is then
// renamed over the target in one step. A process killed at any moment leaves
// either the old target or the complete new one (and at most a stray
// temporary file, which findCopyLeftovers names).
#pragma once

#include <QString>
#include <QStringList>

namespace stb {

// Copies `from` over `to`, clearing the read-only attribute of an existing
// target first. False with the system's error text in `error` on failure
// (the target is then untouched).
bool copyFileReplacing(const QString &from, const QString &to, QString *error = nullptr);

// Flushes a folder's entries (renames, new and removed files) to the disk.
void syncFolder(const QString &dir);

// Temporary files of interrupted copies in `dir`.
QStringList findCopyLeftovers(const QString &dir);

// The file of `dir` named `name` without regard to case, or the path it
// would have when there is none.
QString fileNoCase(const QString &dir, const QString &name);

} // namespace stb
