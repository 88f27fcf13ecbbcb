// Message boxes of the program: the GUI side of the message helpers.
#pragma once

#include "core/messages.h"

class QCheckBox;
class QWidget;

namespace stb {

// Shows every message and question of the core as a modal box with the
// system's captions ("Atenção", "Informação", "Confirme").
class GuiMessageSink : public MessageSink {
public:
    void show(MsgKind kind, const QString &text) override;
    void showCaptioned(MsgKind kind, const QString &text, const QString &caption) override;
    bool ask(const QString &text, bool defaultYes) override;
    QString askText(const QString &text) override;
    void showDontRepeat(MsgKind kind, const QString &text, bool &naoMostre) override;
    bool askDontRepeat(const QString &text, bool defaultYes, bool &naoMostre) override;

private:
    // The box takes ownership of `check` (nullptr: no box).
    void showBox(MsgKind kind, const QString &text, const QString &caption, QCheckBox *check, bool &checked);
    bool askBox(const QString &text, bool defaultYes, QCheckBox *check, bool &checked);
};

// Line breaks of the system's texts ("\r", "\r\n") as shown on screen.
QString screenText(const QString &text);

} // namespace stb
