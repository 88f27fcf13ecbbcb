#include "platform/filecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stb {

namespace {

constexpr auto kLeftoverSuffix = ".copia.tmp";

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

void syncFolder(const QString &dir)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(dir);
#endif
}

bool copyFileReplacing(const QString &from, const QString &to, QString *error)
{
    QFile src(from);
    if (!src.open(QIODevice::ReadOnly))
        return failWith(error, src.errorString());
    const QFileInfo target(to);
    const QString tmp = target.absolutePath() + QLatin1Char('/') + target.fileName() + QLatin1Char('.')
        + QUuid::createUuid().toString(QUuid::Id128).left(8) + QLatin1String(kLeftoverSuffix);
    QFile out(tmp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failWith(error, out.errorString());
    QByteArray buf;
    for (;;) {
        buf = src.read(1 << 20);
        if (buf.isEmpty())
            break;
        if (out.write(buf) != buf.size()) {
            const QString e = out.errorString();
            out.close();
            QFile::remove(tmp);
            return failWith(error, e);
        }
    }
    if (src.error() != QFileDevice::NoError) {
        const QString e = src.errorString();
        out.close();
        QFile::remove(tmp);
        return failWith(error, e);
    }
    out.flush();
#ifndef Q_OS_WIN
    ::fsync(out.handle());
#endif
    out.close();
    if (target.exists())
        QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner | QFile::WriteUser);
#ifndef Q_OS_WIN
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(to).constData()) != 0) {
        const QString e = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tmp);
        return failWith(error, e);
    }
#else
    QFile::remove(to);
    if (!QFile::rename(tmp, to)) {
        QFile::remove(tmp);
        return failWith(error, QStringLiteral("Não foi possível substituir o arquivo %1").arg(to));
    }
#endif
    syncFolder(target.absolutePath());
    return true;
}

QStringList findCopyLeftovers(const QString &dir)
{
    QStringList out;
    for (const QFileInfo &fi :
        QDir(dir).entryInfoList({QStringLiteral("*") + QLatin1String(kLeftoverSuffix)}, QDir::Files))
        out << fi.absoluteFilePath();
    return out;
}

QString fileNoCase(const QString &dir, const QString &name)
{
    const QDir d(dir);
    if (QFileInfo::exists(d.filePath(name)))
        return d.filePath(name);
    for (const QString &e : d.entryList(QDir::Files | QDir::Hidden))
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    return d.filePath(name);
}

} // namespace stb
