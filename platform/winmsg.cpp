#include "platform/winmsg.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <atomic>

namespace stb {

namespace {
std::atomic<int> g_counter{0};

bool sendLine(qint64 handle, const QByteArray &line)
{
    if (handle <= 0)
        return false;
    QLocalSocket s;
    s.connectToServer(windowSocketName(handle));
    if (!s.waitForConnected(1000))
        return false;
    s.write(line + '\n');
    const bool ok = s.waitForBytesWritten(1000);
    s.disconnectFromServer();
    return ok;
}
} // namespace

QString windowSocketName(qint64 handle) { return QStringLiteral("stbrelva-window-%1").arg(handle); }

MessageWindow::MessageWindow(QObject *parent) : QObject(parent)
{
    // Process id times 1000 plus a counter: unique while the process lives.
    m_handle = QCoreApplication::applicationPid() * 1000 + (++g_counter % 1000);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = windowSocketName(m_handle);
    QLocalServer::removeServer(name);
    m_server->listen(name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *c = m_server->nextPendingConnection()) {
            connect(c, &QLocalSocket::readyRead, this, [this, c] {
                while (c->canReadLine()) {
                    const QByteArray line = c->readLine().trimmed();
                    if (line.startsWith("TEXT ")) {
                        emit textReceived(QString::fromUtf8(line.mid(5)));
                        continue;
                    }
                    const QList<QByteArray> parts = line.split(' ');
                    if (parts.size() == 4 && parts[0] == "MSG")
                        emit messageReceived(parts[1].toInt(), parts[2].toLongLong(), parts[3].toLongLong());
                }
            });
            connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
        }
    });
}

MessageWindow::~MessageWindow()
{
    m_server->close();
}

bool MessageWindow::isListening() const { return m_server->isListening(); }

bool PostMessage(qint64 handle, int msg, qint64 wparam, qint64 lparam)
{
    return sendLine(handle, QStringLiteral("MSG %1 %2 %3").arg(msg).arg(wparam).arg(lparam).toLatin1());
}

bool SetWindowText(qint64 handle, const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return sendLine(handle, "TEXT " + t.toUtf8());
}

bool IsWindow(qint64 handle)
{
    if (handle <= 0)
        return false;
    QLocalSocket s;
    s.connectToServer(windowSocketName(handle));
    const bool ok = s.waitForConnected(500);
    s.disconnectFromServer();
    return ok;
}

} // namespace stb
