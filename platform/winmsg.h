// Window handles and posted window messages between the programs of one
// installation, on a portable footing: a "window handle" is a number that
// names a local socket the window listens on; posting a message writes one
// line to that socket (nobody waits for a reply), as posting does.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace stb {

namespace WinMsg {
constexpr int WM_SETTEXT = 0x000C;
constexpr int WM_SYSCOMMAND = 0x0112;
constexpr int SC_MINIMIZE = 0xF020;
constexpr int SC_RESTORE = 0xF120;
constexpr int WM_USER = 0x0400;
} // namespace WinMsg

// A window that receives posted messages. Its handle is unique on the
// machine while it lives (derived from the process id and a counter).
class MessageWindow : public QObject {
    Q_OBJECT

public:
    explicit MessageWindow(QObject *parent = nullptr);
    ~MessageWindow() override;

    qint64 handle() const { return m_handle; }
    bool isListening() const;

signals:
    void messageReceived(int msg, qint64 wparam, qint64 lparam);
    void textReceived(const QString &text); // WM_SETTEXT

private:
    void readClient();
    qint64 m_handle = 0;
    QLocalServer *m_server = nullptr;
};

// Posts a message to a window handle; false when no such window listens.
bool PostMessage(qint64 handle, int msg, qint64 wparam = 0, qint64 lparam = 0);
// Sets a window's text (WM_SETTEXT); false when no such window listens.
bool SetWindowText(qint64 handle, const QString &text);
// True while a window with that handle listens.
bool IsWindow(qint64 handle);

// Name of the local socket of a handle.
QString windowSocketName(qint64 handle);

} // namespace stb
