#include "platform/db/openprobe.h"

#include "platform/db/filelock.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stb::db {

bool heldExclusively(const QString &datPath)
{
#ifdef Q_OS_WIN
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(datPath.utf16()), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(FileLock::OpenByte & 0xffffffff);
    ov.OffsetHigh = static_cast<DWORD>(FileLock::OpenByte >> 32);
    const bool got = LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov);
    if (got)
        UnlockFileEx(h, 0, 1, 0, &ov);
    CloseHandle(h);
    return !got;
#else
    const int fd = ::open(QFile::encodeName(datPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = FileLock::OpenByte;
    fl.l_len = 1;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
#endif
}

} // namespace stb::db
