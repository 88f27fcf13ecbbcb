#include "platform/exclusivefile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace stb {

namespace {
// Opens and locks without waiting; -1 when either fails. flock locks belong
// to the open file, so a second open in the same process conflicts too.
int abreTravado(const QString &path, int flags)
{
    const QByteArray nome = QFile::encodeName(path);
    const int fd = ::open(nome.constData(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

bool podeAbrirExclusivo(const QString &path)
{
    const int fd = abreTravado(path, O_RDWR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

ArquivoExclusivo::ArquivoExclusivo(const QString &path) : m_fd(abreTravado(path, O_RDWR | O_CREAT)) {}

ArquivoExclusivo::~ArquivoExclusivo()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace stb
