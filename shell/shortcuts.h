// The program's shortcuts in the desktop's menu, desktop and autostart
// folders (the fixed table of six shortcuts).
#pragma once

#include <QString>

namespace stb {

// What the shortcut creation does with the start-up (autostart) folder.
enum class AtalhoInicializacao {
    Manter, // leave it as the user or the installation left it
    Criar, // a shortcut that starts the program minimised
    Remover,
};

// Re-creates the shortcuts by the user's choices (Link.1, Link.2, ExecARM)
// and treats the start-up folder as asked. With Link.AllUsers the all-users
// folders are used when they can be written.
void criaAtalhos(AtalhoInicializacao inicializacao);
// Criar when `iniAuto`, else Remover (the shortcut dialog and the first run).
inline AtalhoInicializacao atalhoInicializacao(bool iniAuto)
{
    return iniAuto ? AtalhoInicializacao::Criar : AtalhoInicializacao::Remover;
}
// Deletes the collection-document shortcut from the menu and the desktop.
void removeAtalhoARM();
// Target file of a shortcut in the installation folder ("STBrelva.exe" is the
// launcher, kept here without the extension).
QString alvoAtalho(const QString &file);

} // namespace stb
