// A private PostgreSQL server for a test program: initdb and pg_ctl of the
// installed server (found through `pg_config --bindir` or
// /usr/lib/postgresql/*/bin) into a temporary folder, listening only on a
// Unix socket in that folder (no TCP). Started once per test program and
// stopped and removed by the destructor; a watcher process does the same if
// the test program dies without it. Run as root, the server runs as the
// "postgres" user, as the server refuses root.
#pragma once

#include <QString>
#include <QStringList>

namespace stbtest {

class PgServer {
public:
    PgServer() = default;
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // Creates and starts the server; false with the reason when the server
    // programs are missing or fail (the caller fails the test with it).
    // Tests run it without flushing to disk; `durable` keeps the flushes (a
    // benchmark that compares it with the folder's flushed commits).
    bool start(QString *error, bool durable = false);
    // Stops the server at once (connections are cut), keeping its files.
    bool stop();
    // Starts it again after stop().
    bool restart(QString *error = nullptr);
    // Creates a database (UTF-8) and returns its address.
    QString createDatabase(const QString &name, QString *error = nullptr);

    // "postgresql://stb@<socket folder>/<database>"
    QString address(const QString &database) const;
    const QString &folder() const { return m_dir; }

private:
    bool run(const QString &program, const QStringList &args, QString *error, int timeoutMs = 60000);

    QString m_bin;
    QString m_dir;
    bool m_durable = false;
    bool m_root = false;
    bool m_running = false;
};

} // namespace stbtest
