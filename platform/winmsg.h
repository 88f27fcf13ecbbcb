// Window handles and posted window messages between the programs of one
// installation, on a portable footing: a "window handle" is a number that
// names a local socket the window listens on; posting a message writes one
// line to that socket (nobody waits for a reply), as posting does.
//
// A window also has a text (its caption). Setting it waits until the window
// has taken it, as WM_SETTEXT does, and another program may read it back:
// the annex consultation program reads a request from the caption of a window
// that is never shown. Windows of the same process are reached directly,
// without the socket, keeping the posted messages queued.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

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

    // The window's text (caption).
    const QString &text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }

signals:
    void messageReceived(int msg, qint64 wparam, qint64 lparam);
    void textReceived(const QString &text); // WM_SETTEXT

private:
    friend bool PostMessage(qint64, int, qint64, qint64);
    friend bool SetWindowText(qint64, const QString &);
    void setTextFromOutside(const QString &text);
    qint64 m_handle = 0;
    QLocalServer *m_server = nullptr;
    QString m_text;
};

// Posts a message to a window handle; false when no such window listens.
bool PostMessage(qint64 handle, int msg, qint64 wparam = 0, qint64 lparam = 0);
// Sets a window's text (WM_SETTEXT) and waits until the window has it; false
// when no such window listens or it does not answer in time.
bool SetWindowText(qint64 handle, const QString &text);
// Reads a window's text; nullopt when no such window listens.
std::optional<QString> GetWindowText(qint64 handle);
// True while a window with that handle listens.
bool IsWindow(qint64 handle);

// Name of the local socket of a handle.
QString windowSocketName(qint64 handle);

} // namespace stb
