#include "platform/namedmutex.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace stb {

QString NamedMutex::folder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

NamedMutex::NamedMutex(const QString &name) : m_path(QDir(folder()).filePath(name + QStringLiteral(".mutex"))) {}

NamedMutex::~NamedMutex() { release(); }

bool NamedMutex::acquire()
{
    if (m_fd >= 0)
        return true;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
#else
    return true;
#endif
}

void NamedMutex::release()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
#endif
}

} // namespace stb
