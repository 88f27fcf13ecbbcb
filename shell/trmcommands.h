// The main window's collection-document commands (SBTrm and its menu):
// "Cria um ARM para este cálculo" and "Abre o Sistema de ARM". The document
// itself is made by core/arm; here it is handed to the collection-document
// program, which edits and prints it.
#pragma once

#include <QObject>

class QAction;

namespace stb {

class TMain;

class TrmCommands : public QObject {
    Q_OBJECT

public:
    // Fills PopMenuTRM and connects SBTrm; owned by the window.
    explicit TrmCommands(TMain *main);

    QAction *CriaARM = nullptr;
    QAction *AbreARM = nullptr;

    void SBTrmClick();
    void CriaARMClick();
    void AbreARMClick();

private:
    TMain *m_main;
};

// The collection-document program, seen from this one. Its main window
// registers as "ARM.Main"; its document window as "ARM", whose text is the
// key of the document it edits (empty when idle). A key is handed over by
// setting that text.
namespace armprograma {
// Whether the program is installed (its file exists) or already running.
bool disponivel();
// "Abre o Sistema de ARM": starts the program when it is not running
// ("Abrindo ARM...", polled every 0.2 s) and brings its window to the front.
// Failures are shown; returns whether the program runs.
bool abre();
// Hands a document key to the running program; refuses while it edits
// another document. Failures are shown; returns whether it was taken.
bool entrega(const QString &chave);
} // namespace armprograma

} // namespace stb
