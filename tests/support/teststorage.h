// Where a test's databases live. Built plainly, in a temporary folder; built
// with STB_TEST_SERVER, on the program's private PostgreSQL server (started
// once per program), each test starting from an empty schema. The same test
// source thus runs on both storages (registered twice, see tests/*.cmake).
#pragma once

#include "platform/db/database.h"

#include <QTemporaryDir>
#include <memory>

#ifdef STB_TEST_SERVER
#include "platform/db/pgbackend.h"
#include "platform/db/pgconn.h"
#include "tests/support/pgserver.h"
#endif

namespace stbtest {

class TestStorage {
public:
#ifdef STB_TEST_SERVER
    static constexpr bool onServer = true;
#else
    static constexpr bool onServer = false;
#endif

    // A fresh, empty storage for the next test; false with the reason when
    // the server cannot be had.
    bool fresh(QString *error)
    {
        m_dir = std::make_unique<QTemporaryDir>();
#ifdef STB_TEST_SERVER
        static PgServer server;
        static QString address;
        if (address.isEmpty()) {
            if (!server.start(error))
                return false;
            address = server.createDatabase(QStringLiteral("stbtest"), error);
            if (address.isEmpty())
                return false;
        }
        m_server = &server;
        m_address = address;
        try {
            stb::db::PgConnection c(m_address);
            c.exec(QStringLiteral("DROP SCHEMA IF EXISTS stbrelva CASCADE"));
        } catch (const stb::db::EngineError &e) {
            *error = e.message();
            return false;
        }
#else
        Q_UNUSED(error);
#endif
        return m_dir->isValid();
    }

    // Puts a database on the storage: the folder (or its sub-folder `sub`),
    // or the server holding that folder's tables.
    void attach(stb::db::Database &db, const QString &sub = {}) const
    {
#ifdef STB_TEST_SERVER
        db.setServer(stb::db::makePgBackend(m_address, sub));
#else
        db.setDirectory(sub.isEmpty() ? m_dir->path() : m_dir->filePath(sub));
#endif
    }

    // A scratch folder of the test (files the test writes besides the tables).
    QString folder() const { return m_dir->path(); }
    QString filePath(const QString &name) const { return m_dir->filePath(name); }

#ifdef STB_TEST_SERVER
    PgServer &server() const { return *m_server; }
    const QString &address() const { return m_address; }
#endif

private:
    std::unique_ptr<QTemporaryDir> m_dir;
#ifdef STB_TEST_SERVER
    PgServer *m_server = nullptr;
    QString m_address;
#endif
};

} // namespace stbtest

// Marks a case that tests what only a data folder has (table files, attach
// limit, the file engine's own settings); it is reported as skipped on the server.
#define STB_FOLDER_ONLY(why)                                                                                     \
    do {                                                                                                         \
        if (stbtest::TestStorage::onServer)                                                                      \
            QSKIP("folder only: " why);                                                                          \
    } while (false)
