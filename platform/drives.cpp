#include "platform/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QRegularExpression>
#include <QStorageInfo>

namespace stb {

namespace {

std::function<DriveType(const QString &)> g_override;

// The block device a mount comes from is removable when the kernel says so.
bool isRemovableDevice(const QByteArray &device)
{
    if (!device.startsWith("/dev/"))
        return false;
    QString dev = QString::fromLatin1(device.mid(5));
    // Partitions (sdb1, mmcblk0p1, nvme0n1p2) belong to their disk.
    QString disk = dev;
    while (!disk.isEmpty() && !QFileInfo::exists(QStringLiteral("/sys/block/") + disk))
        disk.chop(1);
    if (disk.isEmpty())
        return false;
    QFile f(QStringLiteral("/sys/block/%1/removable").arg(disk));
    return f.open(QIODevice::ReadOnly) && f.readAll().trimmed() == "1";
}

QString existingAncestor(const QString &path)
{
    QString p = QDir::cleanPath(QDir(path).absolutePath());
    while (!p.isEmpty() && !QFileInfo::exists(p)) {
        const int slash = p.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QFileInfo::exists(QStringLiteral("/")) && slash == 0 ? QStringLiteral("/") : QString();
        p.truncate(slash);
    }
    return p;
}

} // namespace

void setDriveTypeOverride(std::function<DriveType(const QString &)> fn) { g_override = std::move(fn); }

bool isNetworkPath(const QString &path)
{
    return path.startsWith(QLatin1String("\\\\")) || path.startsWith(QLatin1String("//"));
}

DriveType driveTypeOf(const QString &path)
{
    if (g_override)
        return g_override(path);
    if (isNetworkPath(path))
        return DriveType::Remote;
    const QString existing = existingAncestor(path);
    if (existing.isEmpty())
        return DriveType::NoRootDir;
    const QStorageInfo si(existing);
    // A folder that exists but has no entry in the mount table (a chroot,
    // some containers) is on this computer's own disk.
    if (!si.isValid())
        return DriveType::Fixed;
    const QByteArray fs = si.fileSystemType().toLower();
    static const char *const remote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "davfs",
        "fuse.davfs", "afs", "ceph", "glusterfs", "fuse.glusterfs", "lustre", "fuse.rclone"};
    for (const char *r : remote)
        if (fs == r)
            return DriveType::Remote;
    if (fs == "iso9660" || fs == "udf")
        return DriveType::CdRom;
    if (fs == "tmpfs" || fs == "ramfs")
        return DriveType::RamDisk;
    if (isRemovableDevice(si.device()))
        return DriveType::Removable;
    return DriveType::Fixed;
}

QString computerName() { return QHostInfo::localHostName(); }

QString computerOfPath(const QString &path)
{
    if (isNetworkPath(path)) {
        const QString rest = path.mid(2);
        return rest.section(QRegularExpression(QStringLiteral("[\\\\/]")), 0, 0);
    }
    const QString existing = existingAncestor(path);
    if (!existing.isEmpty() && driveTypeOf(path) == DriveType::Remote) {
        // "//server/share" (SMB) or "server:/export" (NFS).
        const QString dev = QString::fromLocal8Bit(QStorageInfo(existing).device());
        if (dev.startsWith(QLatin1String("//")))
            return dev.mid(2).section(QLatin1Char('/'), 0, 0);
        if (dev.contains(QLatin1Char(':')))
            return dev.section(QLatin1Char(':'), 0, 0);
    }
    return computerName();
}

bool isLocalFolder(const QString &path)
{
    const DriveType t = driveTypeOf(path);
    // A RAM disk (such as a tmpfs /tmp) is on this computer too.
    if (t == DriveType::Fixed || t == DriveType::RamDisk)
        return true;
    if (t == DriveType::Remote)
        return computerOfPath(path).compare(computerName(), Qt::CaseInsensitive) == 0;
    return false;
}

} // namespace stb
