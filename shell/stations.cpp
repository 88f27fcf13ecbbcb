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
    : m_sessao(DM().BaseDados.session()), m_tentativas(m_sessao.lockRetryCount), m_espera(m_sessao.lockWaitTime)
{
    m_sessao.lockRetryCount = 3;
    m_sessao.lockWaitTime = 10;
}

LockCurto::~LockCurto()
{
    m_sessao.lockRetryCount = m_tentativas;
    m_sessao.lockWaitTime = m_espera;
}

int RegisterStation(const std::function<void(const QString &)> &status,
                    const std::function<void(const QString &)> &painelIP)
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

namespace {

// On a server every workstation of the unit shares the tables: a slot that
// this session cannot take is held by another workstation's session. This
// workstation's own slot is not probed (taking it again and releasing it
// would free it).
QStringList outrasNoServidor()
{
    QStringList outras;
    db::Database &base = DM().BaseDados;
    const QString meu = enderecoIPLocal();
    const int proprio = numeroEstacao(meu);
    LockCurto curto;
    Settings &s = Settings::instance();
    for (int n = 1; n <= 255; ++n) {
        if (n == proprio)
            continue;
        if (base.lockSemaphore(QStringLiteral("STBrelva"), n)) {
            base.unlockSemaphore(QStringLiteral("STBrelva"), n);
            continue;
        }
        QString endereco = s.lockEntry(QString::number(n));
        if (endereco.isEmpty())
            endereco = QStringLiteral("0.0.0.0");
        if (endereco != meu)
            outras << endereco;
    }
    return outras;
}

} // namespace

QStringList OutrasEstacoes()
{
    if (DM().BaseDados.server())
        return outrasNoServidor();
    QStringList outras;
    if (!pastaCompartilhada(App().DataDir))
        return outras;
    const QString sys = DM().BaseDados.tableFilePath(QStringLiteral("STBrelva"), QStringLiteral(".dat"));
    if (!QFileInfo::exists(sys))
        return outras;
    const QString meu = enderecoIPLocal();
    LockCurto curto;
    const db::Session &sessao = DM().BaseDados.session();
    Settings &s = Settings::instance();
    // The probe counts this process's own semaphore as held too; its entry
    // carries this computer's address and is left out.
    for (int n = 1; n <= 255; ++n) {
        if (!db::semaphoreHeld(sys, n, sessao.lockRetryCount, sessao.lockWaitTime))
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
