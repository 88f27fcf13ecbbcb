// A quick test whether a host answers on a TCP port, for telling at start
// whether the department's network can be reached. It never waits longer
// than its limit and never blocks the caller.
#pragma once

#include <QObject>

class QTcpSocket;
class QTimer;

namespace stb {

class TesteAlcance : public QObject {
    Q_OBJECT

public:
    // Starts connecting at once; `limiteMs` bounds the whole test.
    TesteAlcance(const QString &host, quint16 porta, int limiteMs, QObject *parent = nullptr);
    ~TesteAlcance() override;

    bool concluido() const { return m_concluido; }
    bool alcancado() const { return m_alcancado; }

signals:
    // Once: whether the host accepted the connection within the limit.
    void resultado(bool alcancado);

private:
    void conclui(bool alcancado);

    QTcpSocket *m_socket;
    QTimer *m_limite;
    bool m_concluido = false;
    bool m_alcancado = false;
};

} // namespace stb
