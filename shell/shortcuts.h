// The program's shortcuts in the desktop's menu, desktop and autostart
// folders (the fixed table of six shortcuts).
#pragma once

#include <QString>

namespace stb {

// Re-creates the shortcuts by the user's choices (Link.1, Link.2, ExecARM);
// with `inicializacao` the start-up folder gets one that starts minimised.
// With Link.AllUsers the all-users folders are used when they can be written.
void criaAtalhos(bool inicializacao);
// Deletes the collection-document shortcut from the menu and the desktop.
void removeAtalhoARM();
// Target file of a shortcut in the installation folder ("STBrelva.exe" is the
// launcher, kept here without the extension).
QString alvoAtalho(const QString &file);

} // namespace stb
