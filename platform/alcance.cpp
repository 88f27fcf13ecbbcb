#include "platform/alcance.h"

#include <QTcpSocket>
#include <QTimer>

namespace stb {

TesteAlcance::TesteAlcance(const QString &host, quint16 porta, int limiteMs, QObject *parent)
    : QObject(parent),
      m_socket(new QTcpSocket(this)),
      m_limite(new QTimer(this))
{
    m_limite->setSingleShot(true);
    connect(m_limite, &QTimer::timeout, this, [this] { conclui(false); });
    connect(m_socket, &QTcpSocket::connected, this, [this] { conclui(true); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { conclui(false); });
    m_limite->start(limiteMs);
    // An empty host name is a network nobody configured: unreachable.
    if (host.trimmed().isEmpty())
        QTimer::singleShot(0, this, [this] { conclui(false); });
    else
        m_socket->connectToHost(host.trimmed(), porta);
}

TesteAlcance::~TesteAlcance() = default;

void TesteAlcance::conclui(bool alcancado)
{
    if (m_concluido)
        return;
    m_concluido = true;
    m_alcancado = alcancado;
    m_limite->stop();
    m_socket->abort();
    emit resultado(alcancado);
}

} // namespace stb
