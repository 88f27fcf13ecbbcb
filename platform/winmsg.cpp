#include "platform/winmsg.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QPointer>
#include <QUrl>
#include <atomic>
#include <memory>

namespace stb {

namespace {
std::atomic<int> g_counter {0};
constexpr int kReplyTimeoutMs = 3000;

// The windows of this process, by handle.
QMutex g_windowsMutex;
QHash<qint64, QPointer<MessageWindow>> g_windows;

MessageWindow *localWindow(qint64 handle)
{
    QMutexLocker lock(&g_windowsMutex);
    const auto it = g_windows.constFind(handle);
    return it == g_windows.cend() ? nullptr : it->data();
}

// Texts travel percent-encoded, so line breaks survive the one-line protocol.
QByteArray encodeText(const QString &text) { return QUrl::toPercentEncoding(text); }
QString decodeText(const QByteArray &bytes) { return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes)); }

// Connects to a window's socket; nullptr when nobody listens.
std::unique_ptr<QLocalSocket> connectTo(qint64 handle, int timeoutMs = 1000)
{
    if (handle <= 0)
        return nullptr;
    auto s = std::make_unique<QLocalSocket>();
    s->connectToServer(windowSocketName(handle));
    if (!s->waitForConnected(timeoutMs))
        return nullptr;
    return s;
}

bool sendLine(qint64 handle, const QByteArray &line)
{
    const auto s = connectTo(handle);
    if (!s)
        return false;
    s->write(line + '\n');
    const bool ok = s->waitForBytesWritten(1000);
    s->disconnectFromServer();
    return ok;
}

// Sends a line and waits for the one-line answer.
std::optional<QByteArray> request(qint64 handle, const QByteArray &line)
{
    const auto s = connectTo(handle);
    if (!s)
        return std::nullopt;
    s->write(line + '\n');
    if (!s->waitForBytesWritten(1000))
        return std::nullopt;
    while (!s->canReadLine()) {
        if (!s->waitForReadyRead(kReplyTimeoutMs))
            return std::nullopt;
    }
    QByteArray answer = s->readLine();
    s->disconnectFromServer();
    return answer.trimmed();
}
} // namespace

QString windowSocketName(qint64 handle) { return QStringLiteral("stbrelva-window-%1").arg(handle); }

MessageWindow::MessageWindow(QObject *parent) : QObject(parent)
{
    // Process id times 1000 plus a counter: unique while the process lives.
    m_handle = QCoreApplication::applicationPid() * 1000 + (++g_counter % 1000);
    {
        QMutexLocker lock(&g_windowsMutex);
        g_windows.insert(m_handle, this);
    }
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
                        setTextFromOutside(decodeText(line.mid(5)));
                        c->write("OK\n");
                        c->flush();
                        continue;
                    }
                    if (line == "GETTEXT") {
                        c->write("TEXT " + encodeText(m_text) + '\n');
                        c->flush();
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
    {
        QMutexLocker lock(&g_windowsMutex);
        g_windows.remove(m_handle);
    }
    m_server->close();
}

bool MessageWindow::isListening() const { return m_server->isListening(); }

void MessageWindow::setTextFromOutside(const QString &text)
{
    m_text = text;
    emit textReceived(text);
}

bool PostMessage(qint64 handle, int msg, qint64 wparam, qint64 lparam)
{
    if (MessageWindow *w = localWindow(handle)) {
        // Still posted: the window handles it once the caller is back in the event loop.
        QPointer<MessageWindow> guard(w);
        QMetaObject::invokeMethod(
            w,
            [guard, msg, wparam, lparam] {
                if (guard)
                    emit guard->messageReceived(msg, wparam, lparam);
            },
            Qt::QueuedConnection);
        return true;
    }
    return sendLine(handle, QStringLiteral("MSG %1 %2 %3").arg(msg).arg(wparam).arg(lparam).toLatin1());
}

bool SetWindowText(qint64 handle, const QString &text)
{
    if (MessageWindow *w = localWindow(handle)) {
        w->setTextFromOutside(text);
        return true;
    }
    const auto answer = request(handle, "TEXT " + encodeText(text));
    return answer && *answer == "OK";
}

std::optional<QString> GetWindowText(qint64 handle)
{
    if (MessageWindow *w = localWindow(handle))
        return w->text();
    const auto answer = request(handle, "GETTEXT");
    if (!answer || !answer->startsWith("TEXT"))
        return std::nullopt;
    return decodeText(answer->mid(5));
}

bool IsWindow(qint64 handle)
{
    if (handle <= 0)
        return false;
    if (localWindow(handle))
        return true;
    const auto s = connectTo(handle, 500);
    if (s)
        s->disconnectFromServer();
    return s != nullptr;
}

} // namespace stb
