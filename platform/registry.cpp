#include "platform/registry.h"

#include "platform/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace stb {

namespace {

// Each root is an INI file: one section per registry key (its path without
// the outer backslashes), one entry per value. The INI files compare
// sections and keys without case, as the registry does.
const char *const kFileNames[] = {"registry-user.ini", "registry-machine.ini"};

QMutex g_mutex;
QString g_override[2];

int slot(Registry::Root root) { return root == Registry::Root::CurrentUser ? 0 : 1; }

QString defaultFolder(Registry::Root root)
{
    if (root == Registry::Root::CurrentUser)
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // The system-wide configuration folder is the last of the generic ones
    // ("/etc/xdg" on Linux, the program data folder on Windows).
    const QStringList all = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    return all.size() > 1 ? all.last() : QStringLiteral("/etc/xdg");
}

QString sectionOf(const QString &key)
{
    QString s = key;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (s.startsWith(QLatin1Char('\\')))
        s.remove(0, 1);
    while (s.endsWith(QLatin1Char('\\')))
        s.chop(1);
    return s.isEmpty() ? QStringLiteral("\\") : s;
}

// The unnamed (default) value of a key is stored under "@", as .reg files do.
QString entryOf(const QString &name) { return name.isEmpty() ? QStringLiteral("@") : name; }

std::optional<qint64> toInteger(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

} // namespace

QString Registry::fileName(Root root)
{
    {
        QMutexLocker locker(&g_mutex);
        if (!g_override[slot(root)].isEmpty())
            return g_override[slot(root)];
    }
    const QByteArray dir = qgetenv("STB_REGISTRY_DIR");
    const QString folder
        = dir.isEmpty() ? defaultFolder(root) + QStringLiteral("/Orvant") : QString::fromLocal8Bit(dir);
    return QDir(folder).filePath(QString::fromLatin1(kFileNames[slot(root)]));
}

void Registry::setLocation(Root root, const QString &path)
{
    QMutexLocker locker(&g_mutex);
    g_override[slot(root)] = path;
}

std::optional<QString> Registry::readString(Root root, const QString &key, const QString &name)
{
    const IniFile ini(fileName(root));
    const QString section = sectionOf(key);
    const QString entry = entryOf(name);
    if (!ini.valueExists(section, entry))
        return std::nullopt;
    return ini.readString(section, entry);
}

std::optional<qint64> Registry::readInteger(Root root, const QString &key, const QString &name)
{
    const auto text = readString(root, key, name);
    return text ? toInteger(*text) : std::nullopt;
}

bool Registry::valueExists(Root root, const QString &key, const QString &name)
{
    return readString(root, key, name).has_value();
}

bool Registry::writeString(Root root, const QString &key, const QString &name, const QString &value)
{
    const QString path = fileName(root);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    IniFile ini(path);
    return ini.writeString(sectionOf(key), entryOf(name), value);
}

bool Registry::writeInteger(Root root, const QString &key, const QString &name, qint64 value)
{
    return writeString(root, key, name, QString::number(value));
}

bool Registry::deleteValue(Root root, const QString &key, const QString &name)
{
    const QString path = fileName(root);
    if (!QFileInfo::exists(path))
        return true;
    IniFile ini(path);
    const QString section = sectionOf(key);
    const QString entry = entryOf(name);
    if (!ini.valueExists(section, entry))
        return true;
    return ini.deleteKey(section, entry);
}

std::optional<QStringList> Registry::valueNames(Root root, const QString &key)
{
    const QString path = fileName(root);
    if (!QFileInfo(path).isReadable())
        return std::nullopt;
    const IniFile ini(path);
    const QString section = sectionOf(key);
    if (!ini.sectionExists(section))
        return std::nullopt;
    return ini.readSection(section);
}

std::optional<QString> Registry::readStringAnyRoot(const QString &key, const QString &name)
{
    if (auto v = readString(Root::CurrentUser, key, name))
        return v;
    return readString(Root::LocalMachine, key, name);
}

std::optional<qint64> Registry::readIntegerAnyRoot(const QString &key, const QString &name)
{
    if (auto v = readInteger(Root::CurrentUser, key, name))
        return v;
    return readInteger(Root::LocalMachine, key, name);
}

} // namespace stb
