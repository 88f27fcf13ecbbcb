// The program as a process: the launcher protocol, a second start and a
// missing data folder end with their exit codes.
#include "core/settings.h"
#include "platform/registry.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <csignal>

using stbtest::TestInstall;

namespace {

// Copies the built launcher and program into the test installation.
void installPrograms(TestInstall &inst)
{
    const QString built = QStringLiteral(STB_APPDIR);
    QDir().mkpath(inst.path(QStringLiteral("Sys")));
    QFile::copy(built + QStringLiteral("/STBrelva"), inst.path(QStringLiteral("STBrelva")));
    QFile::copy(built + QStringLiteral("/Sys/STBrelvaApp"), inst.path(QStringLiteral("Sys/STBrelvaApp")));
}

struct Run {
    int code;
    QString out;
};

Run run(TestInstall &inst, const QString &program, const QStringList &args, int timeoutMs = 30000,
    const QStringList &extraEnv = {})
{
    QProcess p;
    p.setEnvironment(inst.environment() + extraEnv);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

// A start that ends by itself through the program's end command once the
// deferred start-up is over.
const QStringList kSairAposInicio {QStringLiteral("STB_SAIR_APOS_INICIO=1")};

// What a sanitizer or the C library prints when the process misbehaves.
bool relatorioDeFalha(const QString &out)
{
    for (const char *marca : {"AddressSanitizer", "LeakSanitizer", "runtime error:", "UndefinedBehaviorSanitizer",
             "malloc", "double free", "corrupted", "Segmentation"})
        if (out.contains(QLatin1String(marca)))
            return true;
    return false;
}

QStringList launcherArgs(TestInstall &inst)
{
    return {QStringLiteral("//OK"), QStringLiteral("/H0"), QStringLiteral("/AppDir:\"%1\"").arg(inst.appDir())};
}

} // namespace

class TestShellProcess : public QObject {
    Q_OBJECT

private slots:
    void notStartedByLauncher();
    void missingDataFolder();
    void secondInstance();
    void launcherSplashAndExitCode();
    void normalStartAndEnd();
    void setupKeepsAutostart();
};

void TestShellProcess::notStartedByLauncher()
{
    TestInstall inst;
    installPrograms(inst);
    const Run r = run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), {});
    // The program ends with 65535; a POSIX system reports the low eight bits.
    QCOMPARE(r.code, 65535 & 0xff);
    QVERIFY2(r.out.contains(QStringLiteral("Inicie o Sistema por STBrelva.exe")), qPrintable(r.out));
}

void TestShellProcess::missingDataFolder()
{
    TestInstall inst;
    installPrograms(inst);
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"), inst.path(QStringLiteral("NaoExiste")));
    const Run r = run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst));
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains(QStringLiteral("O Sistema ST/Brelva não conseguiu abrir os dados em ")
                 + inst.path(QStringLiteral("NaoExiste"))),
        qPrintable(r.out));
}

void TestShellProcess::secondInstance()
{
    TestInstall inst;
    installPrograms(inst);
    QProcess first;
    first.setEnvironment(inst.environment());
    first.start(inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst));
    QVERIFY(first.waitForStarted());
    // The running instance registers its window handle.
    QTRY_VERIFY_WITH_TIMEOUT(stb::Registry::readInteger(stb::Registry::Root::CurrentUser, stb::Settings::chaveHandles(),
                                 QStringLiteral("STBrelva"))
                                 .has_value(),
        20000);
    const Run second = run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst));
    QCOMPARE(second.code, 255);
    QCOMPARE(first.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished();
    // The lock went with the killed process: a new start goes on (and ends as told).
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"), inst.path(QStringLiteral("NaoExiste")));
    QCOMPARE(run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst)).code, 1);
}

void TestShellProcess::launcherSplashAndExitCode()
{
    TestInstall inst;
    installPrograms(inst);
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"), inst.path(QStringLiteral("NaoExiste")));
    // The launcher passes "//OK", its splash window and the folder, shows what
    // the program writes to the splash, and ends with the program's code.
    const Run r = run(inst, inst.path(QStringLiteral("STBrelva")), {});
    QVERIFY2(r.out.contains(QStringLiteral("STBrelva: Inicializando...")), qPrintable(r.out));
    QCOMPARE(r.code, 1);
}

void TestShellProcess::normalStartAndEnd()
{
    // A complete start on a new data folder, then the normal end: exit
    // status 0 from the program and from the launcher, nothing reported.
    TestInstall inst;
    installPrograms(inst);
    // The first start of an installation: the unit is not identified yet, and
    // an unattended start does not wait for the identification dialog.
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("Msg2"), QStringLiteral("0"));
    for (const bool launcher : {false, true}) {
        const Run r = launcher
            ? run(inst, inst.path(QStringLiteral("STBrelva")), {}, 60000, kSairAposInicio)
            : run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst), 60000, kSairAposInicio);
        QVERIFY2(r.out.contains(QStringLiteral("INICIO-CONCLUIDO")), qPrintable(r.out));
        QVERIFY2(!relatorioDeFalha(r.out), qPrintable(r.out));
        QCOMPARE(r.code, 0);
    }
    // The data folder was filled on the first start and used on the second.
    QVERIFY(QFileInfo::exists(inst.dataDir() + QStringLiteral("Calculos.dat")));
}

void TestShellProcess::setupKeepsAutostart()
{
    // The first run after installation ("Setup") creates the start-up entry
    // (IniAuto is on by default); a normal start afterwards keeps it.
    TestInstall inst;
    installPrograms(inst);
    // The user's own folders, and a normal start that does run the shortcut creation.
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("Link.AllUsers"), QStringLiteral("0"));
    inst.setIni(QStringLiteral("Sistema"), QStringLiteral("Link.Ex"), QStringLiteral("1"));
    const QString autostart = inst.path(QStringLiteral("home/.config/autostart"));
    const Run setup = run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")),
        launcherArgs(inst) << QStringLiteral("/Setup") << QStringLiteral("/NoHelp"), 60000, kSairAposInicio);
    QCOMPARE(setup.code, 0);
    const QStringList criados = QDir(autostart).entryList(QDir::Files);
    QCOMPARE(criados.size(), 1);
    const Run normal
        = run(inst, inst.path(QStringLiteral("Sys/STBrelvaApp")), launcherArgs(inst), 60000, kSairAposInicio);
    QCOMPARE(normal.code, 0);
    QCOMPARE(QDir(autostart).entryList(QDir::Files), criados);
}

QTEST_GUILESS_MAIN(TestShellProcess)
#include "tst_shell_process.moc"
