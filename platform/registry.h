// The system registry: values under keys of two roots, the current user's and
// the local machine's.
//
// Keys keep their registry names ("\Software\Orvant\Handles\") and, like the
// registry, compare without case. Where there is no registry each root is a
// settings file: the current user's in the user's configuration folder, the
// local machine's in the system's configuration folder (usually writable only
// by an administrator, so its writes may fail as they do on a locked-down
// workstation). Every call reads or writes the file at once, so another
// process sees a change immediately.
//
// Tests and portable installations move both files into one folder with the
// environment variable STB_REGISTRY_DIR or with setLocation().
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace stb {

class Registry {
public:
    enum class Root { CurrentUser, LocalMachine };

    // The file that holds a root's values.
    static QString fileName(Root root);
    // Places a root's file at `path` (an empty path restores the default).
    static void setLocation(Root root, const QString &path);

    // Reads a value; nullopt when the key or the value does not exist (or an
    // integer value does not hold a number).
    static std::optional<QString> readString(Root root, const QString &key, const QString &name);
    static std::optional<qint64> readInteger(Root root, const QString &key, const QString &name);
    static bool valueExists(Root root, const QString &key, const QString &name);

    // Writes a value, creating the key; false when the store cannot be written.
    static bool writeString(Root root, const QString &key, const QString &name, const QString &value);
    static bool writeInteger(Root root, const QString &key, const QString &name, qint64 value);
    // Removes a value; true when it is gone afterwards.
    static bool deleteValue(Root root, const QString &key, const QString &name);

    // The names of the values of a key, in the order stored; nullopt when the
    // root or the key cannot be read.
    static std::optional<QStringList> valueNames(Root root, const QString &key);

    // Reads from the current user first and then from the local machine.
    static std::optional<QString> readStringAnyRoot(const QString &key, const QString &name);
    static std::optional<qint64> readIntegerAnyRoot(const QString &key, const QString &name);
};

} // namespace stb
