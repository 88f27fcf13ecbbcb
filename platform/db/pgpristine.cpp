#include "platform/db/pgpristine.h"

#include "platform/db/pgconn.h"
#include "platform/db/pgschema.h"

#include <QFileInfo>

namespace stb::db {

namespace {

// The advisory lock of the first load, a single 64-bit key (a key space of
// its own: the semaphores and table opens use pairs of 32-bit keys).
constexpr const char *kLockFirstLoad = "SELECT pg_advisory_lock(7301180001)";
constexpr const char *kUnlockFirstLoad = "SELECT pg_advisory_unlock(7301180001)";

} // namespace

QList<MigrationCheck> pgLoadPristine(const QString &address, const QString &pristineDir, const MigrationProgress &progress)
{
    PgConnection guard(address);
    guard.exec(QString::fromLatin1(kLockFirstLoad));
    // The lock ends with the session too, should anything below throw.
    struct Unlock {
        PgConnection &c;
        ~Unlock()
        {
            try {
                c.exec(QString::fromLatin1(kUnlockFirstLoad));
            } catch (const EngineError &) {
                // The connection is gone, and the lock with it.
            }
        }
    } unlock{guard};
    if (!pgCatalogEntries(guard).isEmpty())
        return {};
    if (!QFileInfo(pristineDir).isDir())
        throw EngineError(Err::TableNotFound,
                          QStringLiteral("A pasta das tabelas de instalação \"%1\" não existe").arg(pristineDir));
    return migrateFolderToServer(pristineDir, address, progress);
}

} // namespace stb::db
