#include "platform/db/pgpristine.h"

#include "platform/db/dataset.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgvalue.h"

#include <QFileInfo>

namespace stb::db {

namespace {

// The advisory lock of the installation's loads, a single 64-bit key (a key
// space of its own: the semaphores and table opens use pairs of 32-bit keys).
// Held by a session for the load; the server drops it with the session too.
class LoadLock {
public:
    explicit LoadLock(PgConnection &c) : m_c(c) { m_c.exec(QStringLiteral("SELECT pg_advisory_lock(7301180001)")); }
    ~LoadLock()
    {
        try {
            m_c.exec(QStringLiteral("SELECT pg_advisory_unlock(7301180001)"));
        } catch (const EngineError &) {
            // The connection is gone, and the lock with it.
        }
    }
    LoadLock(const LoadLock &) = delete;
    LoadLock &operator=(const LoadLock &) = delete;

private:
    PgConnection &m_c;
};

} // namespace

QList<MigrationCheck> pgLoadPristine(
    const QString &address, const QString &pristineDir, const MigrationProgress &progress)
{
    PgConnection guard(address);
    const LoadLock lock(guard);
    if (!pgCatalogEntries(guard).isEmpty())
        return {};
    if (!QFileInfo(pristineDir).isDir())
        throw EngineError(
            Err::TableNotFound, QStringLiteral("A pasta das tabelas de instalação \"%1\" não existe").arg(pristineDir));
    return migrateFolderToServer(pristineDir, address, progress);
}

QStringList pgReplaceTables(const QString &address, const QString &deliveryDir, const QString &folder)
{
    Database source;
    source.setDirectory(deliveryDir);
    const QStringList names = source.tableNames();
    if (names.isEmpty())
        return {};
    PgConnection c(address);
    const LoadLock lock(c);
    // "Already exists" notices of the schema's creation are not news here.
    c.exec(QStringLiteral("SET client_min_messages TO warning"));
    PgTransaction tx(c);
    pgEnsureSchema(c);
    QStringList replaced;
    for (const QString &name : names) {
        const TableDef def = source.tableDef(name);
        c.exec(QStringLiteral("DELETE FROM %1 WHERE lower(tabela) = lower($1)")
                   .arg(pgTableName(QString::fromLatin1(PgCatalog))),
            QList<QByteArray> {def.name.toUtf8()}, def.name);
        c.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(pgTableName(def.name)), QList<QByteArray> {}, def.name);
        pgCreateTable(c, def, source.tableVersion(name), folder);

        Table t(&source, name);
        t.setReadOnly(true);
        t.open();
        QList<const Field *> fields;
        for (const FieldDef &f : def.fields)
            fields << &t.fieldByName(f.name);
        PgRowWriter writer(c, def);
        for (t.first(); !t.eof(); t.next()) {
            QList<QByteArray> row;
            row.reserve(fields.size());
            for (int i = 0; i < fields.size(); ++i)
                row << pgTextOf(def.fields[i].type, fields[i]->raw());
            writer.add(std::move(row));
        }
        writer.flush();
        t.close();
        pgSyncAutoIncrement(c, def);
        replaced << def.name;
    }
    tx.commit();
    source.close();
    return replaced;
}

} // namespace stb::db
