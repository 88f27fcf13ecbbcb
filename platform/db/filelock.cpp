#include "platform/db/filelock.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace stb::db {

namespace {
QMutex g_mutex;
QHash<QString, std::shared_ptr<FileLock>> &registry()
{
    static QHash<QString, std::shared_ptr<FileLock>> r;
    return r;
}
QString keyOf(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() ? fi.canonicalFilePath() : fi.absoluteFilePath();
}
} // namespace

std::shared_ptr<FileLock> FileLock::forFile(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    const QString key = keyOf(path);
    auto &slot = registry()[key];
    if (!slot)
        slot.reset(new FileLock(key));
    return slot;
}

void FileLock::release(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    registry().remove(keyOf(path));
}

std::int64_t FileLock::maintenanceByte(const QString &table)
{
    return MaintenanceBase + (qHash(table.toLower()) & 0xffff);
}

FileLock::FileLock(const QString &path) : m_path(path) {}

FileLock::~FileLock()
{
#ifdef Q_OS_WIN
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
#else
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool FileLock::ensureOpen()
{
#ifdef Q_OS_WIN
    if (m_handle)
        return true;
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(m_path.utf16()), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_handle = h;
    return true;
#else
    if (m_fd >= 0)
        return true;
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0;
#endif
}

bool FileLock::tryLock(std::int64_t offset, bool exclusive)
{
    if (!ensureOpen())
        return false;
#ifdef Q_OS_WIN
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(offset & 0xffffffff);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    // Windows locks do not convert; drop a lock of ours first so a shared
    // lock can become exclusive.
    UnlockFileEx(static_cast<HANDLE>(m_handle), 0, 1, 0, &ov);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(static_cast<HANDLE>(m_handle), flags, 0, 1, 0, &ov);
#else
    struct flock fl = {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    for (int reopened = 0;;) {
        if (::fcntl(m_fd, F_OFD_SETLK, &fl) == 0) {
            if (reopened < 2 && replacedUnderneath()) {
                // The file was replaced since we opened it: lock the file the
                // path names now, or two processes would each hold "the" lock.
                ::close(m_fd);
                m_fd = -1;
                if (!ensureOpen())
                    return false;
                ++reopened;
                continue;
            }
            return true;
        }
        if (errno == EINTR)
            continue;
        // A read-only descriptor cannot take write locks: reopen is pointless, fail.
        return false;
    }
#endif
}

bool FileLock::replacedUnderneath() const
{
#ifdef Q_OS_WIN
    return false;
#else
    struct stat held = {}, named = {};
    if (m_fd < 0 || ::fstat(m_fd, &held) != 0)
        return false;
    if (::stat(QFile::encodeName(m_path).constData(), &named) != 0)
        return false; // gone: nothing else to lock
    return held.st_ino != named.st_ino || held.st_dev != named.st_dev;
#endif
}

bool FileLock::lock(std::int64_t offset, bool exclusive, int retries, int waitMs)
{
    for (int attempt = 0;; ++attempt) {
        if (tryLock(offset, exclusive))
            return true;
        if (attempt >= retries)
            return false;
        if (waitMs > 0)
            QThread::msleep(static_cast<unsigned long>(waitMs));
    }
}

bool FileLock::hold(std::int64_t offset, bool exclusive, int retries, int waitMs)
{
    int &count = m_holds[offset];
    if (count == 0 && !lock(offset, exclusive, retries, waitMs)) {
        m_holds.remove(offset);
        return false;
    }
    ++count;
    return true;
}

void FileLock::unhold(std::int64_t offset)
{
    auto it = m_holds.find(offset);
    if (it == m_holds.end())
        return;
    if (--it.value() == 0) {
        m_holds.erase(it);
        unlock(offset);
    }
}

void FileLock::unlock(std::int64_t offset)
{
#ifdef Q_OS_WIN
    if (!m_handle)
        return;
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(offset & 0xffffffff);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    UnlockFileEx(static_cast<HANDLE>(m_handle), 0, 1, 0, &ov);
#else
    if (m_fd < 0)
        return;
    struct flock fl = {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    while (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {}
#endif
}

bool FileLock::isLockedByOther(std::int64_t offset, bool exclusive)
{
    if (!ensureOpen())
        return false;
#ifdef Q_OS_WIN
    // Probe with a lock of a second handle.
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(m_path.utf16()), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(offset & 0xffffffff);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    const bool got = LockFileEx(h, flags, 0, 1, 0, &ov);
    if (got)
        UnlockFileEx(h, 0, 1, 0, &ov);
    CloseHandle(h);
    return !got;
#else
    struct flock fl = {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    if (::fcntl(m_fd, F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
#endif
}

} // namespace stb::db
