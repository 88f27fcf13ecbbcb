// Locks of the table files shared between processes: table opens (shared or
// exclusive), the exclusive hold of maintenance work and the numbered
// semaphores.
#include "platform/db/database.h"
#include "platform/db/serverbackend.h"

#include "platform/db/filelock.h"

#include <QFileInfo>

namespace stb::db {

void Database::acquireOpen(const QString &table, OpenMode mode)
{
    if (m_server) {
        m_server->acquireOpen(table, mode);
        OpenCount &info = m_open[keyOf(table)];
        (mode == OpenMode::Exclusive ? info.openExclusive : info.openShared)++;
        return;
    }
    TableInfo &ti = useTable(table);
    OpenCount &info = m_open[keyOf(table)];
    if (m_storage == Storage::Memory) {
        (mode == OpenMode::Exclusive ? info.openExclusive : info.openShared)++;
        return;
    }
    info.datPath = ti.datPath;
    auto lock = FileLock::forFile(ti.datPath);
    const int retries = m_session->lockRetryCount;
    const int wait = m_session->lockWaitTime;
    if (mode == OpenMode::Exclusive) {
        if (info.openExclusive == 0 && !lock->lock(FileLock::OpenByte, true, retries, wait))
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está em uso por outro usuário ou processo").arg(ti.schema), ti.schema);
        ++info.openExclusive;
    } else {
        if (info.openExclusive == 0 && info.openShared == 0 && !lock->lock(FileLock::OpenByte, false, retries, wait))
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está aberta com exclusividade por outro usuário ou processo")
                    .arg(ti.schema),
                ti.schema);
        ++info.openShared;
    }
}

void Database::releaseOpen(const QString &table, OpenMode mode)
{
    auto it = m_open.find(keyOf(table));
    if (it == m_open.end())
        return;
    OpenCount *info = &it.value();
    int &count = mode == OpenMode::Exclusive ? info->openExclusive : info->openShared;
    if (count > 0)
        --count;
    if (m_server)
        return m_server->releaseOpen(table, mode);
    if (m_storage == Storage::Memory)
        return;
    auto lock = FileLock::forFile(info->datPath);
    if (info->openExclusive == 0) {
        if (info->openShared > 0) {
            if (mode == OpenMode::Exclusive)
                lock->tryLock(FileLock::OpenByte, false); // back to shared
        } else {
            lock->unlock(FileLock::OpenByte);
        }
    }
}

bool Database::lockSemaphore(const QString &table, int slot)
{
    if (m_server)
        return m_server->lockSemaphore(table, slot);
    if (m_storage == Storage::Memory)
        return true;
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path))
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(table), table);
    return FileLock::forFile(path)->lock(
        FileLock::SemaphoreBase + slot, true, m_session->lockRetryCount, m_session->lockWaitTime);
}

void Database::unlockSemaphore(const QString &table, int slot)
{
    if (m_server)
        return m_server->unlockSemaphore(table, slot);
    if (m_storage == Storage::Memory)
        return;
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (QFileInfo::exists(path))
        FileLock::forFile(path)->unlock(FileLock::SemaphoreBase + slot);
}

void Database::ensureNotOpenHere(const QString &table)
{
    for (const DatabaseClient *c : std::as_const(m_clients))
        if (c->clientUsesTable(table))
            throw EngineError(Err::TableInUse,
                QStringLiteral("A tabela %1 está aberta; feche-a antes desta operação").arg(table), table);
}

LockHold Database::lockMaintenance(const QString &table, int retries)
{
    QString name = QFileInfo(table).fileName();
    if (name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
        name.chop(4);
    const QString main = mainFilePath();
    const std::int64_t byte = FileLock::maintenanceByte(name);
    auto lock = FileLock::forFile(main);
    if (!QFileInfo::exists(main) || !lock->hold(byte, true, retries, m_session->lockWaitTime))
        return {};
    return LockHold(lock, byte);
}

Database::MaintenanceHold Database::exclusiveForMaintenance(const QString &table)
{
    endReadTransaction();
    ensureNotOpenHere(table);
    if (m_inTransaction)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Operação não permitida durante uma transação"), table);
    auto inUse = [&table] {
        return EngineError(
            Err::TableInUse, QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!"), table);
    };
    MaintenanceHold hold;
    hold.table = lockMaintenance(table, m_session->lockRetryCount);
    if (!hold.table && QFileInfo::exists(mainFilePath()))
        throw inUse();
    finishReplacement(table);
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path))
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(table), table);
    auto lock = FileLock::forFile(path);
    if (!lock->hold(FileLock::OpenByte, true, m_session->lockRetryCount, m_session->lockWaitTime))
        throw inUse();
    hold.open = LockHold(lock, FileLock::OpenByte);
    return hold;
}

} // namespace stb::db
