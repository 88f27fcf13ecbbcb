#include "platform/db/openprobe.h"

#include "platform/db/filelock.h"

#include <QFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stb::db {

namespace {

// Whether a lock on byte `offset` of the file conflicts with one of the kind asked.
bool conflicts(const QString &path, std::int64_t offset, bool exclusive)
{
#ifdef Q_OS_WIN
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(offset & 0xffffffff);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const bool got = LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1, 0, &ov);
    if (got)
        UnlockFileEx(h, 0, 1, 0, &ov);
    CloseHandle(h);
    return !got;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock fl = {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
#endif
}

} // namespace

bool heldExclusively(const QString &datPath) { return conflicts(datPath, FileLock::OpenByte, false); }

bool semaphoreHeld(const QString &datPath, int slot, int tries, int waitMs)
{
    for (int i = 0; i < tries; ++i) {
        if (i > 0 && waitMs > 0)
            QThread::msleep(static_cast<unsigned long>(waitMs));
        if (!conflicts(datPath, FileLock::SemaphoreBase + slot, true))
            return false;
    }
    return true;
}

} // namespace stb::db
