// Byte-range locks on table files that live beside SQLite's own locks.
//
// Each table file gets one descriptor per process, kept open until the table
// is no longer used by the engine; the locks are open-file-description locks
// (Linux) so that neither SQLite's descriptors nor ours release each other's
// locks, and they vanish when the process ends, also when it is killed.
// Offsets are far above SQLite's lock bytes (which sit at 1 GiB).
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace stb::db {

class FileLock {
public:
    // Byte used by table opens: shared opens hold a read lock, exclusive opens a write lock.
    static constexpr std::int64_t OpenByte = 0x50000000LL;
    // The database's transaction lock, on its main file: one writer at a time.
    static constexpr std::int64_t TransactionByte = 0x50000010LL;
    // Semaphore slot n uses byte SemaphoreBase + n.
    static constexpr std::int64_t SemaphoreBase = 0x50001000LL;

    static std::shared_ptr<FileLock> forFile(const QString &path);
    // Closes the descriptor of a file (its locks go with it); for use after the
    // engine detached the file, before it is replaced or deleted.
    static void release(const QString &path);

    ~FileLock();

    // Tries once; true when taken.
    bool tryLock(std::int64_t offset, bool exclusive);
    // Tries, then retries `retries` times waiting `waitMs` between tries.
    bool lock(std::int64_t offset, bool exclusive, int retries, int waitMs);
    void unlock(std::int64_t offset);
    // True when another process holds a conflicting lock on the byte.
    bool isLockedByOther(std::int64_t offset, bool exclusive);

    const QString &path() const { return m_path; }

private:
    explicit FileLock(const QString &path);
    bool ensureOpen();

    QString m_path;
    int m_fd = -1;
    void *m_handle = nullptr; // Windows file handle
};

} // namespace stb::db
