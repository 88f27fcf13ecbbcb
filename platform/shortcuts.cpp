#include "platform/shortcuts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace stb {

namespace {
QString quoteArg(const QString &a)
{
    if (!a.contains(QLatin1Char(' ')) && !a.contains(QLatin1Char('"')))
        return a;
    QString q = a;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}
} // namespace

QString shortcutFile(const QString &folder, const QString &name)
{
    QString base = name;
    if (base.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive))
        base.chop(4);
    return QDir(folder).filePath(base + QStringLiteral(".desktop"));
}

bool writeShortcut(const QString &folder, const QString &name, const QString &target, const QStringList &args,
    const QString &workingDir)
{
    if (!QDir().mkpath(folder))
        return false;
    const QString file = shortcutFile(folder, name);
    QString title = QFileInfo(file).completeBaseName();
    QString text = QStringLiteral("[Desktop Entry]\n");
    const bool program
        = QFileInfo(target).isExecutable() && !target.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
    if (program) {
        QStringList exec {quoteArg(target)};
        for (const QString &a : args)
            exec << quoteArg(a);
        text += QStringLiteral("Type=Application\nName=%1\nExec=%2\nTerminal=false\n")
                    .arg(title, exec.join(QLatin1Char(' ')));
        if (!workingDir.isEmpty())
            text += QStringLiteral("Path=%1\n").arg(workingDir);
    } else {
        text += QStringLiteral("Type=Link\nName=%1\nURL=%2\n").arg(title, QUrl::fromLocalFile(target).toString());
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(text.toUtf8());
    if (!f.commit())
        return false;
    QFile::setPermissions(file, QFile::permissions(file) | QFile::ExeOwner | QFile::ExeUser);
    return true;
}

bool removeShortcut(const QString &folder, const QString &name)
{
    const QString file = shortcutFile(folder, name);
    return !QFileInfo::exists(file) || QFile::remove(file);
}

bool shortcutExists(const QString &folder, const QString &name)
{
    return QFileInfo::exists(shortcutFile(folder, name));
}

} // namespace stb
