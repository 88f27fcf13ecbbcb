#include "tests/support/writerprocs.h"

#include "core/schema.h"
#include "platform/db/pgbackend.h"
#include "platform/db/pgconn.h"

namespace stbtest {

std::unique_ptr<stb::TDM> openModule(const QString &where)
{
    const bool server = stb::db::PgConnection::isAddress(where);
    auto dm = std::make_unique<stb::TDM>(server ? QString() : where);
    if (server)
        dm->setServerBackends(stb::db::makePgBackend(where), stb::db::makePgBackend(where, QStringLiteral("ARM")));
    return dm;
}

int newCalculation(const QString &where)
{
    auto dm = openModule(where);
    // Every table a writer opens exists before the writers start, so that
    // none of them has to create one while the others wait. A folder creates
    // a missing table as it opens; an empty server database gets them here.
    for (stb::db::Table *t : {&dm->TabSys, &dm->TabCalc, &dm->TabNotas, &dm->TabItens, &dm->TabItensMedic}) {
        if (dm->BaseDados.server() && !dm->BaseDados.tableExists(t->tableName()))
            dm->BaseDados.createTable(stb::schema::byName(t->tableName()));
        t->open();
    }
    dm->TabCalc.append();
    dm->TabCalc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1);
    dm->TabCalc.fieldByName(QStringLiteral("DiferencialAliq")).setAsBoolean(false);
    dm->TabCalc.post();
    return dm->TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
}

WriterProcess::WriterProcess(const QString &program, const QStringList &args) { m_p.start(program, args); }

WriterProcess::~WriterProcess()
{
    if (m_p.state() != QProcess::NotRunning)
        kill();
}

QString WriterProcess::readLine(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!m_p.canReadLine()) {
        const qint64 left = timeoutMs - t.elapsed();
        if (left <= 0 || (!m_p.waitForReadyRead(static_cast<int>(left)) && m_p.state() == QProcess::NotRunning))
            return m_p.canReadLine() ? QString::fromUtf8(m_p.readLine()).trimmed() : QString();
    }
    return QString::fromUtf8(m_p.readLine()).trimmed();
}

void WriterProcess::go()
{
    m_p.write("VAI\n");
    m_p.waitForBytesWritten(5000);
}

void WriterProcess::kill()
{
    m_p.kill();
    m_p.waitForFinished(10000);
}

bool WriterProcess::finish(int timeoutMs)
{
    return m_p.waitForFinished(timeoutMs) && m_p.exitStatus() == QProcess::NormalExit && m_p.exitCode() == 0;
}

QString WriterProcess::errors() { return QString::fromLocal8Bit(m_p.readAllStandardError()); }

} // namespace stbtest
