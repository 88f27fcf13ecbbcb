// Kinds of the disks folders live on, and the computer that holds a folder:
// what the program needs to tell a shared database folder on another machine
// from a local disk or a removable drive.
#pragma once

#include <QString>
#include <functional>

namespace stb {

enum class DriveType { NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk, Unknown };

// Kind of the disk holding `path` (the folder need not exist; its nearest
// existing parent decides). NoRootDir when nothing of the path exists.
DriveType driveTypeOf(const QString &path);

// A path written as a network path (two leading separators: "\\server\share"
// or "//server/share").
bool isNetworkPath(const QString &path);

// The computer that holds a folder: the server of a network path or of a
// network mount, else this computer.
QString computerOfPath(const QString &path);
QString computerName();

// A folder counts as local when it is on a fixed disk (or a RAM disk), or
// when its network path names this computer.
bool isLocalFolder(const QString &path);

// Tests can decide the drive type of paths (nullptr restores the real one).
void setDriveTypeOverride(std::function<DriveType(const QString &path)> fn);

} // namespace stb
