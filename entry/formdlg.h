// TFormDlg: the base of every dialog of the program (all modal): a body,
// a bevel, "Ok" (BtnOk) and "Cancela" (BtnCancel) and an icon. Escape clicks
// BtnCancel so that the dialog's own cancel handling runs, and so does the
// window's close button (Alt+F4). Checks that must
// run after a focus change are posted to the dialog as private messages
// (numbers from 1025 up); change handlers that write other controls run
// under the events-suppressed guard.
#pragma once

#include <QDialog>
#include <QEvent>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QHBoxLayout;

namespace stb {

class TFormDlg : public QDialog {
    Q_OBJECT

public:
    explicit TFormDlg(QWidget *parent = nullptr);
    ~TFormDlg() override;

    // A dialog opens where the user last left one of its kind (by object
    // name, for the run), or centred on its parent the first time.
    void setVisible(bool visible) override;

    QPushButton *BtnOk = nullptr;
    QPushButton *BtnCancel = nullptr;

    // Area above the bevel where each dialog puts its controls.
    QWidget *body() const { return m_body; }
    // Row of the buttons: dialogs may add their own buttons to its left.
    QHBoxLayout *buttonRow() const { return m_buttonRow; }

    // Posts a private message to the dialog itself; privateMessage() runs
    // once the events already queued (the focus change) are done.
    void postPrivate(int msg, qintptr wparam = 0, qintptr lparam = 0);
    // Delivers the private messages already posted (tests, and callers that
    // need the deferred checks done now).
    void processPrivate();

    bool eventsSuppressed() const { return m_suppressed > 0; }
    // Whether a focus change (QApplication::focusChanged) leaves a control of
    // this open dialog for another of its controls, the checks of leaving a
    // field being due: not towards Cancel, not while events are suppressed,
    // and not when a message box or another dialog takes the focus.
    bool leavesControl(QWidget *old, QWidget *now) const;
    // Guard: while it lives the dialog's change handlers do nothing.
    class SuppressEvents {
    public:
        explicit SuppressEvents(TFormDlg &d) : m_d(d) { ++m_d.m_suppressed; }
        ~SuppressEvents() { --m_d.m_suppressed; }
        SuppressEvents(const SuppressEvents &) = delete;
        SuppressEvents &operator=(const SuppressEvents &) = delete;

    private:
        TFormDlg &m_d;
    };

protected:
    // Called once the derived dialog is built: in the taxpayer edition it
    // calls AjustaContribuinte() so the dialog can hide what that edition lacks.
    void finishCreate();
    virtual void AjustaContribuinte() {}
    virtual void privateMessage(int msg, qintptr wparam, qintptr lparam);
    virtual void BtnOkClick();
    virtual void BtnCancelClick();
    // Runs before BtnOkClick when OK is clicked (or Enter presses it): work
    // left pending by the fields is finished first; false stops the OK.
    virtual bool antesDoOk() { return true; }
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void customEvent(QEvent *e) override;

private:
    QWidget *m_body = nullptr;
    QHBoxLayout *m_buttonRow = nullptr;
    QLabel *m_icon = nullptr;
    int m_suppressed = 0;
};

// The event carrying a private message.
class PrivateMessageEvent : public QEvent {
public:
    static QEvent::Type eventType();
    PrivateMessageEvent(int msg, qintptr w, qintptr l) : QEvent(eventType()), msg(msg), wparam(w), lparam(l) {}
    int msg;
    qintptr wparam;
    qintptr lparam;
};

// `w` is `container` or one of its children (a combo's editor).
bool dentroDe(const QWidget *w, const QWidget *container);

// First private message number (WM_USER + 1).
constexpr int WM_USER_1 = 1025;

} // namespace stb
