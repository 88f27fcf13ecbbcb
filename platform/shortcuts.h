// Shortcuts to the program's files, as the desktop knows them: on Linux
// freedesktop ".desktop" entries in the application menu, desktop and
// autostart folders; the shortcut's name is the name the user sees.
#pragma once

#include <QString>
#include <QStringList>

namespace stb {

// Writes the shortcut `name` into `folder` (created when missing) for a
// program (with arguments) or a document. False when it cannot be written.
bool writeShortcut(const QString &folder, const QString &name, const QString &target, const QStringList &args = {},
    const QString &workingDir = {});
// Removes the shortcut `name` from `folder`; true when it is not there afterwards.
bool removeShortcut(const QString &folder, const QString &name);
bool shortcutExists(const QString &folder, const QString &name);
// The file a shortcut `name` is kept in.
QString shortcutFile(const QString &folder, const QString &name);

} // namespace stb
