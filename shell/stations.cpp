#include "shell/stations.h"

#include "core/datamodule.h"
#include "core/settings.h"
#include "platform/db/database.h"
#include "platform/db/openprobe.h"
#include "platform/drives.h"
#include "platform/winmsg.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>

namespace stb {

int numeroEstacao(const QString &ip)
{
    const int dot = ip.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return 0;
    const QString last = ip.mid(dot + 1).left(3);
    bool ok = false;
    const int n = last.toInt(&ok);
    return ok && n > 0 && n <= 255 ? n : 0;
}

QString enderecoIPLocal()
{
    const QString fixo = qEnvironmentVariable("STB_ENDERECO_IP");
    if (!fixo.isEmpty())
        return fixo;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    return {};
}

bool pastaCompartilhada(const QString &dataDir)
{
    return isNetworkPath(dataDir) || driveTypeOf(dataDir) == DriveType::Remote;
}

LockCurto::LockCurto()
    : m_sessao(DM().BaseDados.session()),
      m_tentativas(m_sessao.lockRetryCount),
      m_espera(m_sessao.lockWaitTime)
{
    m_sessao.lockRetryCount = 3;
    m_sessao.lockWaitTime = 10;
}

LockCurto::~LockCurto()
{
    m_sessao.lockRetryCount = m_tentativas;
    m_sessao.lockWaitTime = m_espera;
}

int RegisterStation(
    const std::function<void(const QString &)> &status, const std::function<void(const QString &)> &painelIP)
{
    status(QStringLiteral("Buscando Nro do IP..."));
    const QString ip = enderecoIPLocal();
    painelIP(ip);
    status(QStringLiteral("Configurando Estação..."));
    const int numero = numeroEstacao(ip);
    if (numero == 0)
        return 0;
    // A workstation whose number another one holds (two addresses ending
    // alike) still writes its entry; it shows as present only through the
    // holder's semaphore.
    OpenSysTable(numero);
    Settings::instance().setLockEntry(QString::number(numero), ip);
    return numero;
}

QStringList OutrasEstacoes()
{
    db::Database &base = DM().BaseDados;
    const bool servidor = base.server() != nullptr;
    QString sys;
    if (!servidor) {
        if (!pastaCompartilhada(App().DataDir))
            return {};
        sys = base.tableFilePath(QStringLiteral("STBrelva"), QStringLiteral(".dat"));
        if (!QFileInfo::exists(sys))
            return {};
    }
    const QString meu = enderecoIPLocal();
    const int proprio = numeroEstacao(meu);
    LockCurto curto;
    const db::Session &sessao = base.session();
    // On a folder the probe counts this process's own semaphore as held too;
    // its entry carries this computer's address and is left out. On a server
    // (always shared) a number this session cannot take is another
    // workstation's; the own number is not probed there, as taking it again
    // and releasing it would free it.
    const auto ocupado = [&](int n) {
        if (!servidor)
            return db::semaphoreHeld(sys, n, sessao.lockRetryCount, sessao.lockWaitTime);
        if (n == proprio)
            return false;
        if (!base.lockSemaphore(QStringLiteral("STBrelva"), n))
            return true;
        base.unlockSemaphore(QStringLiteral("STBrelva"), n);
        return false;
    };
    QStringList outras;
    Settings &s = Settings::instance();
    for (int n = 1; n <= 255; ++n) {
        if (!ocupado(n))
            continue;
        QString endereco = s.lockEntry(QString::number(n));
        if (endereco.isEmpty())
            endereco = QStringLiteral("0.0.0.0");
        if (endereco != meu)
            outras << endereco;
    }
    return outras;
}

bool OtherStationsActive() { return !OutrasEstacoes().isEmpty(); }

} // namespace stb

namespace stb {

bool CloseRegimeEspecial(int esperas)
{
    const auto janela = Settings::instance().handle(QStringLiteral("RegimeEspecial.Main"));
    if (!janela || !IsWindow(*janela))
        return true;
    PostMessage(*janela, WinMsg::WM_USER + 1, 0, 0);
    for (int i = 0; i < esperas; ++i) {
        if (!IsWindow(*janela))
            return true;
        esperaProcessando(1000);
    }
    return !IsWindow(*janela);
}

} // namespace stb
