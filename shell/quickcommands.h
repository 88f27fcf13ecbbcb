// The main window's quick calculation command (SBCalcRapido).
#pragma once

#include <QObject>

namespace stb {

class TMain;

class QuickCommands : public QObject {
    Q_OBJECT

public:
    // Connects the button; owned by the window.
    explicit QuickCommands(TMain *main);

    void SBCalcRapidoClick();

private:
    TMain *m_main;
};

} // namespace stb
