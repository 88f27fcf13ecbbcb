#include "tests/support/pgserver.h"

#include "platform/db/pgconn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <pwd.h>
#include <unistd.h>

namespace stbtest {

namespace {

const char *kUser = "stb"; // the superuser created by initdb

QString findBinDir()
{
    QProcess p;
    p.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (p.waitForFinished(10000) && p.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        if (QFileInfo::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(
        versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &v : versions) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
        if (QFileInfo::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    return {};
}

} // namespace

PgServer::~PgServer()
{
    if (m_dir.isEmpty())
        return;
    stop();
    QDir(m_dir).removeRecursively();
}

bool PgServer::run(const QString &program, const QStringList &args, QString *error, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString exe = m_bin + QLatin1Char('/') + program;
    if (m_root)
        p.start(QStringLiteral("runuser"),
            QStringList {QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), exe} + args);
    else
        p.start(exe, args);
    const bool done = p.waitForFinished(timeoutMs);
    if (done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("%1 falhou: %2").arg(program, QString::fromLocal8Bit(p.readAll()).trimmed());
    return false;
}

bool PgServer::start(QString *error, bool durable)
{
    m_durable = durable;
    m_bin = findBinDir();
    if (m_bin.isEmpty()) {
        *error = QStringLiteral("PostgreSQL server programs not found (pg_config --bindir, /usr/lib/postgresql/*/bin): "
                                "install the Debian package postgresql (scripts/deps.sh does)");
        return false;
    }
    m_root = geteuid() == 0;
    const passwd *pw = m_root ? getpwnam("postgres") : nullptr;
    if (m_root && !pw) {
        *error
            = QStringLiteral("running as root needs the user \"postgres\" of the postgresql package to run the server");
        return false;
    }
    // A short path: the socket's path has a length limit.
    QByteArray templ = QByteArrayLiteral("/tmp/stbpg-XXXXXX");
    if (!mkdtemp(templ.data())) {
        *error = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    m_dir = QString::fromLocal8Bit(templ);
    if (m_root && chown(templ.constData(), pw->pw_uid, pw->pw_gid) != 0) {
        *error = QStringLiteral("cannot give the temporary folder to postgres");
        return false;
    }
    // Whatever ends this process, the watcher stops the server and removes the folder.
    const QString ctl
        = (m_root ? QStringLiteral("runuser -u postgres -- ") : QString()) + m_bin + QStringLiteral("/pg_ctl");
    QProcess::startDetached(QStringLiteral("sh"),
        {QStringLiteral("-c"),
            QStringLiteral(
                "while kill -0 %1 2>/dev/null; do sleep 1; done; %2 -D '%3/data' -m immediate stop >/dev/null 2>&1; "
                "rm -rf '%3'")
                .arg(QCoreApplication::applicationPid())
                .arg(ctl, m_dir)});
    if (!run(QStringLiteral("initdb"),
            {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-U"), QString::fromLatin1(kUser),
                QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")},
            error))
        return false;
    return restart(error);
}

bool PgServer::restart(QString *error)
{
    const QString options
        = QStringLiteral("-k %1 -c listen_addresses= %2-c shared_buffers=16MB -c max_connections=40")
              .arg(m_dir, m_durable ? QString() : QStringLiteral("-c fsync=off -c full_page_writes=off "));
    QString dummy;
    m_running = run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-o"), options, QStringLiteral("-l"),
            m_dir + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("start")},
        error ? error : &dummy);
    return m_running;
}

bool PgServer::stop()
{
    if (!m_running)
        return true;
    m_running = false;
    return run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-m"), QStringLiteral("immediate"),
            QStringLiteral("-w"), QStringLiteral("stop")},
        nullptr);
}

QString PgServer::address(const QString &database) const
{
    return QStringLiteral("postgresql://%1@%2/%3")
        .arg(QString::fromLatin1(kUser), QString::fromLatin1(QUrl::toPercentEncoding(m_dir)), database);
}

QString PgServer::createDatabase(const QString &name, QString *error)
{
    try {
        stb::db::PgConnection c(address(QStringLiteral("postgres")));
        c.exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(name));
        return address(name);
    } catch (const stb::db::EngineError &e) {
        if (error)
            *error = e.message();
        return {};
    }
}

} // namespace stbtest
