#include "shell/startup.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/drives.h"
#include "platform/namedmutex.h"
#include "platform/registry.h"
#include "platform/winmsg.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"
#include "shell/servidor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace stb {

namespace {

NamedMutex &instanceMutex()
{
    static NamedMutex m(QStringLiteral("STBrelva"));
    return m;
}

QString withSlash(const QString &dir)
{
    QString d = QDir::fromNativeSeparators(dir);
    if (!d.isEmpty() && !d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d;
}

// A switch given with a leading "/" or "-", in any case.
bool hasSwitch(const QStringList &args, const char *name)
{
    for (const QString &a : args)
        if ((a.startsWith(QLatin1Char('/')) || a.startsWith(QLatin1Char('-')))
            && a.mid(1).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

int ProcessStart(const QStringList &args)
{
    AppGlobals &g = App();
    Settings &s = Settings::instance();

    // 1. One instance: a second start brings the running one forward.
    if (!instanceMutex().acquire()) {
        if (const auto h = Registry::readInteger(
                Registry::Root::CurrentUser, Settings::chaveHandles(), QStringLiteral("STBrelva"))) {
            PostMessage(*h, WinMsg::WM_SYSCOMMAND, WinMsg::SC_MINIMIZE, 0);
            PostMessage(*h, WinMsg::WM_SYSCOMMAND, WinMsg::SC_RESTORE, 1);
        }
        return ExitCode::SecondInstance;
    }
    if (!g.AppWindow)
        g.AppWindow = new MessageWindow(QCoreApplication::instance());
    s.setHandle(QStringLiteral("STBrelva"), g.AppWindow->handle());
    s.setHandleText(QStringLiteral("STBrelva.Path"), QCoreApplication::applicationDirPath());

    // 2. Title (the captions of the program's boxes before the main window exists).
    g.Titulo = tituloAplicacao();

    // 3. Launcher protocol: "//OK" and the launcher's splash window.
    if (args.value(0) != QLatin1String("//OK")) {
        MsgCaption(QStringLiteral("Inicie o Sistema por STBrelva.exe"), g.Titulo);
        return ExitCode::NotFromLauncher;
    }
    bool ok = false;
    g.LauncherHandle = args.value(1).mid(2).toLongLong(&ok);
    if (!ok)
        g.LauncherHandle = 0;
    if (g.LauncherHandle != 0)
        SetWindowText(g.LauncherHandle, QStringLiteral("Inicializando..."));
    g.MinimizeSwitch = hasSwitch(args, "minimize");
    g.SetupSwitch = hasSwitch(args, "Setup");
    g.NoHelpSwitch = hasSwitch(args, "NoHelp");

    // 4. Installation folder.
    g.AppDir.clear();
    for (const QString &a : args)
        if (a.toUpper().startsWith(QLatin1String("/APPDIR"))) {
            QString dir = a.mid(8);
            if (dir.startsWith(QLatin1Char('"')))
                dir = dir.mid(1);
            if (dir.endsWith(QLatin1Char('"')))
                dir.chop(1);
            g.AppDir = withSlash(dir);
            break;
        }
    if (g.AppDir.isEmpty())
        if (const auto dir = Registry::readStringAnyRoot(Settings::chaveHandles(), QStringLiteral("STBrelva.AppDir")))
            g.AppDir = withSlash(*dir);
    if (g.AppDir.isEmpty())
        g.AppDir = withSlash(QCoreApplication::applicationDirPath());

    // 6. Configuration and data folder.
    if (!AbreConfiguracao())
        return ExitCode::NoDataFolder;

    // 7. Program folder.
    g.ExeDir = withSlash(QCoreApplication::applicationDirPath());
    return -1;
}

bool AbreConfiguracao()
{
    AppGlobals &g = App();
    if (g.ConfigOpened)
        return true;
    Settings &s = Settings::instance();
    s.openSistema(g.AppDir);
    g.DataDir = withSlash(s.baseDadosPath());
    // Tables on a server: a server that cannot be reached ends the start as a
    // missing folder does, before anything is written.
    g.Servidor = s.baseDadosServidor();
    if (!g.Servidor.isEmpty()) {
        const TesteServidor teste = testaServidor(g.Servidor);
        if (!teste.ok) {
            MsgErro(QStringLiteral("O Sistema ST/Brelva não conseguiu abrir os dados em ") + g.Servidor
                + QStringLiteral(".\r\r") + teste.texto + QStringLiteral("\r\rVerifique se o servidor ")
                + computadorServidor(g.Servidor) + QStringLiteral(" está ligado e funcionando."));
            return false;
        }
    }
    // A re-creation interrupted by a kill is completed; the installation's
    // own folder is created when missing (the start fills it). A folder the
    // settings name elsewhere is never created: it may be on a computer that
    // is switched off.
    const bool pastaPadrao = !s.iniSistema().valueExists(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"));
    if (!PreparaPastaDeDados(g.DataDir, pastaPadrao)) {
        QString msg
            = QStringLiteral("O Sistema ST/Brelva não conseguiu abrir os dados em ") + g.DataDir + QLatin1Char('.');
        if (!isLocalFolder(g.DataDir))
            msg += QStringLiteral("\r\rVerifique se o computador ") + computerOfPath(g.DataDir)
                + QStringLiteral(" está ligado e funcionando.");
        MsgErro(msg);
        return false;
    }
    QDir().mkpath(g.DataDir + QStringLiteral("Msg"));
    g.NaoEntreFile = g.DataDir + QStringLiteral("Msg/NAOENTRE.MSG");
    s.openDados(g.DataDir);
    g.ConfigOpened = true;
    return true;
}

void ProcessEnd()
{
    instanceMutex().release();
    AppGlobals &g = App();
    delete g.AppWindow;
    g.AppWindow = nullptr;
}

} // namespace stb
