// Byte-range locks on table files that live beside SQLite's own locks.
//
// Each table file gets one descriptor per process, kept open until the table
// is no longer used by the engine; the locks are open-file-description locks
// (Linux) so that neither SQLite's descriptors nor ours release each other's
// locks, and they vanish when the process ends, also when it is killed.
// Offsets are far above SQLite's lock bytes (which sit at 1 GiB).
#pragma once

#include <QHash>
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
    // Maintenance of a table (rebuild, create, delete), on the main file: one
    // byte per table name, so that it holds while the table's files are replaced.
    static constexpr std::int64_t MaintenanceBase = 0x50100000LL;
    static std::int64_t maintenanceByte(const QString &table);

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
    // Counted holds: a byte held twice in this process stays locked until both
    // holds are released (a single write inside another connection's
    // transaction must not release the transaction's lock).
    bool hold(std::int64_t offset, bool exclusive, int retries, int waitMs);
    void unhold(std::int64_t offset);
    // True when another process holds a conflicting lock on the byte.
    bool isLockedByOther(std::int64_t offset, bool exclusive);

    const QString &path() const { return m_path; }

private:
    explicit FileLock(const QString &path);
    bool ensureOpen();
    // True when the path now names another file than the one our descriptor
    // holds (the file was replaced): locks on the old one guard nothing.
    bool replacedUnderneath() const;

    QString m_path;
    QHash<std::int64_t, int> m_holds;
    int m_fd = -1;
    void *m_handle = nullptr; // Windows file handle
};

// One counted hold (FileLock::hold) of a byte, released when destroyed.
class LockHold {
public:
    LockHold() = default;
    LockHold(std::shared_ptr<FileLock> lock, std::int64_t offset) : m_lock(std::move(lock)), m_offset(offset) {}
    LockHold(LockHold &&o) noexcept : m_lock(std::move(o.m_lock)), m_offset(o.m_offset) {}
    LockHold &operator=(LockHold &&o) noexcept
    {
        if (this != &o) {
            release();
            m_lock = std::move(o.m_lock);
            m_offset = o.m_offset;
        }
        return *this;
    }
    LockHold(const LockHold &) = delete;
    LockHold &operator=(const LockHold &) = delete;
    ~LockHold() { release(); }

    void release()
    {
        if (m_lock)
            m_lock->unhold(m_offset);
        m_lock.reset();
    }
    explicit operator bool() const { return m_lock != nullptr; }

private:
    std::shared_ptr<FileLock> m_lock;
    std::int64_t m_offset = 0;
};

} // namespace stb::db
