// A small HTTP/1.1 server on 127.0.0.1 for the download tests: files by path,
// any status, a reply cut off in the middle of its body, and a log of the
// requests (method, path and the host asked for; a request through a proxy
// carries the whole address).
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace stbtest {

class HttpServer : public QObject {
public:
    struct Route {
        int status = 200;
        QByteArray body;
        bool cutMidBody = false; // announces the whole body, sends half and closes
    };

    HttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    QHash<QString, Route> routes; // by path ("/stbrelva/medicamentos/TB_...zlb")
    QStringList log; // "HEAD /path host"

private:
    void serve(QTcpSocket *s)
    {
        QByteArray &buf = m_buffers[s];
        buf += s->readAll();
        const qsizetype end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buf.left(end).split('\n');
        m_buffers.remove(s);
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        const QString method = QString::fromLatin1(first.value(0));
        const QString target = QString::fromLatin1(first.value(1));
        QString host;
        for (const QByteArray &l : lines)
            if (l.toLower().startsWith("host:"))
                host = QString::fromLatin1(l.mid(5).trimmed());
        const QUrl url(target);
        const QString path = url.isRelative() ? target : url.path();
        log << QStringLiteral("%1 %2 %3").arg(method, path, url.isRelative() ? host : url.host());
        const auto it = routes.constFind(path);
        Route r = it != routes.cend() ? *it : Route {404, QByteArray("nada aqui"), false};
        const QByteArray reason = r.status == 200 ? "OK" : r.status == 404 ? "Not Found" : "Internal Server Error";
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(r.status) + " " + reason
            + "\r\nContent-Length: " + QByteArray::number(r.body.size())
            + "\r\nContent-Type: application/octet-stream\r\n" + "Connection: close\r\n\r\n";
        if (method != QLatin1String("HEAD"))
            reply += r.cutMidBody ? r.body.left(r.body.size() / 2) : r.body;
        s->write(reply);
        s->flush();
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace stbtest
