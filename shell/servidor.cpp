#include "shell/servidor.h"

#include "core/datamodule.h"
#include "platform/db/pgbackend.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgpristine.h"
#include "platform/drives.h"
#include "shell/appglobals.h"

#include <QRegularExpression>
#include <QUrl>

namespace stb {

bool enderecoServidorValido(const QString &address, QString *motivo)
{
    try {
        db::PgConnection::checkAddress(address);
        return true;
    } catch (const db::EngineError &e) {
        if (motivo)
            *motivo = e.message();
        return false;
    }
}

QString computadorServidor(const QString &address)
{
    // Between the scheme (and the user) and the port or the database.
    QString resto = address.mid(address.indexOf(QLatin1String("://")) + 3);
    resto = resto.mid(resto.indexOf(QLatin1Char('@')) + 1);
    const qsizetype fim = resto.startsWith(QLatin1Char('['))
        ? resto.indexOf(QLatin1Char(']')) + 1
        : resto.indexOf(QRegularExpression(QStringLiteral("[:/?]")));
    const QString host = QUrl::fromPercentEncoding(resto.left(fim).toUtf8());
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

QString computadorDosDados()
{
    const AppGlobals &g = App();
    return g.Servidor.isEmpty() ? computerOfPath(g.DataDir) : computadorServidor(g.Servidor);
}

TesteServidor testaServidor(const QString &address)
{
    TesteServidor r;
    if (!enderecoServidorValido(address, &r.texto))
        return r;
    try {
        db::PgConnection c(address);
        const db::PgResult v = c.exec(QStringLiteral("SHOW server_version"));
        r.ok = true;
        r.texto = QStringLiteral("Conexão estabelecida com o servidor.\rPostgreSQL ") + v.string(0, 0);
    } catch (const db::EngineError &e) {
        r.texto = QString::fromUtf8(e.what());
        // The server asked for a password the user's files do not give.
        if (e.message().contains(QLatin1String("password"), Qt::CaseInsensitive))
            r.texto += QStringLiteral("\rA senha é lida do arquivo ~/.pgpass do usuário (ou da variável PGPASSWORD): "
                                      "verifique a linha deste servidor, banco e usuário.");
    }
    return r;
}

bool CarregaTabelasServidor(const QString &address, const QString &pristineDir)
{
    return !db::pgLoadPristine(address, pristineDir).isEmpty();
}

void ConectaServidor(const QString &address)
{
    TDM &dm = DM();
    dm.setServerBackends(db::makePgBackend(address, {}, &dm.BaseDados.session()),
        db::makePgBackend(address, QStringLiteral("ARM"), &dm.BaseARM.session()));
}

} // namespace stb
