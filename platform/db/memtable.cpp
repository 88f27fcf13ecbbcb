#include "platform/db/memtable.h"

#include "platform/db/schemasql.h"

namespace stb::db {

Database &memoryDatabase()
{
    static Database db(QStringLiteral("Memoria"), Database::Storage::Memory);
    return db;
}

MemTable::MemTable(const QString &name, Database *memoryDb) : Table(memoryDb ? memoryDb : &memoryDatabase(), name) {}

MemTable::~MemTable() { closeSilently(); }

void MemTable::openImpl()
{
    if (!database()->tableExists(m_tableName)) {
        TableDef def = m_def;
        def.name = m_tableName;
        database()->createTable(def);
    }
    Table::openImpl();
}

void MemTable::closeImpl()
{
    Table::closeImpl();
    // In-memory rows do not outlive the dataset's opening.
    if (database()->tableExists(m_tableName))
        database()->execSql(QStringLiteral("DELETE FROM %1").arg(quoteIdent(m_tableName)));
}

void MemTable::saveToFile(const QString &path)
{
    if (!database()->tableExists(m_tableName)) {
        TableDef def = m_def;
        def.name = m_tableName;
        database()->createTable(def);
    }
    checkBrowseMode();
    database()->saveTableToFile(m_tableName, path);
}

void MemTable::loadFromFile(const QString &path)
{
    if (isActive())
        checkBrowseMode();
    database()->loadTableFromFile(m_tableName, path);
    if (isActive())
        refresh();
}

} // namespace stb::db
