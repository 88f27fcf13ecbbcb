// Scope guard of a database transaction: started on construction, committed
// by commit(), rolled back by the destructor when commit() was not reached
// (an early return or an exception). Commit or rollback happens exactly once.
//
//     db::Transaction tx(dm.BaseDados);
//     ... writes ...
//     tx.commit();
#pragma once

#include "platform/db/database.h"

#include <QtGlobal>

namespace stb::db {

class Transaction {
public:
    explicit Transaction(Database &db) : m_db(&db) { m_db->startTransaction(); }
    // Never throws: it often runs while the failure that ended the
    // transaction unwinds.
    ~Transaction()
    {
        if (m_db) {
            try {
                m_db->rollback();
            } catch (const EngineError &e) {
                qWarning("rollback: %s", qPrintable(e.message()));
            }
        }
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Commits with the flush to disk. A failed commit has already rolled the
    // transaction back; the guard then has nothing left to do.
    void commit()
    {
        Database *db = m_db;
        m_db = nullptr;
        db->commit(true);
    }
    // Rolls back now instead of at the end of the scope.
    void rollback()
    {
        Database *db = m_db;
        m_db = nullptr;
        db->rollback();
    }
    bool active() const { return m_db != nullptr; }

private:
    Database *m_db;
};

} // namespace stb::db
