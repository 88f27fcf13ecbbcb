// In-memory tables (the datasets named Mem...) and the process's memory
// database that holds them.
#pragma once

#include "platform/db/table.h"

namespace stb::db {

// An in-memory table (datasets named Mem...): defined in code, created in the
// process's memory database when opened, emptied when closed.
class MemTable : public Table {
public:
    explicit MemTable(const QString &name = {}, Database *memoryDb = nullptr);
    ~MemTable() override;

    // Saves the rows to a snapshot file; loads them back (replacing the rows).
    void saveToFile(const QString &path);
    void loadFromFile(const QString &path);

protected:
    void openImpl() override;
    void closeImpl() override;
};

// The process's memory database (in-memory tables).
Database &memoryDatabase();

} // namespace stb::db
