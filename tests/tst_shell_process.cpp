// The program as a process: the launcher protocol, a second start and a
// missing data folder end with their exit codes.
#include "core/settings.h"
#include "platform/registry.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
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

Run run(TestInstall &inst, const QString &program, const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    p.setEnvironment(inst.environment());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

QStringList launcherArgs(TestInstall &inst) { return {QStringLiteral("//OK"), QStringLiteral("/H0"), QStringLiteral("/AppDir:\"%1\"").arg(inst.appDir())}; }

} // namespace

class TestShellProcess : public QObject {
    Q_OBJECT

private slots:
    void notStartedByLauncher();
    void missingDataFolder();
    void secondInstance();
    void launcherSplashAndExitCode();
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
    QVERIFY2(r.out.contains(QStringLiteral("O Sistema ST/Brelva não conseguiu abrir os dados em ") + inst.path(QStringLiteral("NaoExiste"))),
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

QTEST_GUILESS_MAIN(TestShellProcess)
#include "tst_shell_process.moc"
