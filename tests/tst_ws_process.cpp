// Workstations as real processes: two programs on one data folder see each
// other through the presence semaphore and the Lock register, a killed one
// drops out at once while its entry stays, a close request makes the other
// count down and end; a fatal signal leaves its report.
#include "core/datamodule.h"
#include "core/settings.h"
#include "platform/db/database.h"
#include "platform/db/openprobe.h"
#include "platform/drives.h"
#include "platform/inifile.h"
#include "shell/appglobals.h"
#include "shell/stations.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

using namespace stb;
using stbtest::TestInstall;

namespace {

void installPrograms(TestInstall &inst)
{
    const QString built = QStringLiteral(STB_APPDIR);
    QDir().mkpath(inst.path(QStringLiteral("Sys")));
    QFile::copy(built + QStringLiteral("/Sys/STBrelvaApp"), inst.path(QStringLiteral("Sys/STBrelvaApp")));
}

// A workstation: its own installation on the shared data folder, reporting
// the address `ip`.
struct Estacao {
    TestInstall inst;
    QProcess processo;
    QString ip;

    Estacao(const QString &dados, const QString &endereco, const QStringList &env = {}) : ip(endereco)
    {
        installPrograms(inst);
        inst.setIni(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"), dados);
        processo.setEnvironment(inst.environment() + QStringList {QStringLiteral("STB_ENDERECO_IP=") + ip} + env);
        processo.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~Estacao()
    {
        if (processo.state() != QProcess::NotRunning) {
            processo.kill();
            processo.waitForFinished();
        }
    }
    void inicia()
    {
        processo.start(inst.path(QStringLiteral("Sys/STBrelvaApp")),
            {QStringLiteral("//OK"), QStringLiteral("/H0"), QStringLiteral("/AppDir:\"%1\"").arg(inst.appDir())});
    }
    int numero() const { return numeroEstacao(ip); }
};

QString lockEntry(const QString &dados, int numero)
{
    return IniFile(dados + QStringLiteral("STBrelva3.ini")).readString(QStringLiteral("Lock"), QString::number(numero));
}

} // namespace

class TestWsProcess : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void presenceAndCloseRequest();
    void fatalSignalLeavesReport_data();
    void fatalSignalLeavesReport();
};

void TestWsProcess::cleanup()
{
    setDriveTypeOverride(nullptr);
    qunsetenv("STB_ENDERECO_IP");
    if (TDM::hasInstance())
        TDM::destroyInstance();
}

void TestWsProcess::presenceAndCloseRequest()
{
    // The unit's shared folder, seen by this process as a network folder.
    QTemporaryDir pasta;
    const QString dados = pasta.path() + QStringLiteral("/Dados/");
    stbtest::copyPristine(dados);
    Estacao a(dados, QStringLiteral("10.20.30.41"));
    Estacao b(dados, QStringLiteral("10.20.30.42"), {QStringLiteral("STB_CONTAGEM_ENCERRAMENTO=2")});
    const QString sys = dados + QStringLiteral("STBrelva.dat");
    a.inicia();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(sys) && db::semaphoreHeld(sys, a.numero()), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(lockEntry(dados, a.numero()), a.ip, 10000);
    b.inicia();
    QTRY_VERIFY_WITH_TIMEOUT(db::semaphoreHeld(sys, b.numero()), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(lockEntry(dados, b.numero()), b.ip, 10000);

    // A third workstation (this process) sees both.
    TestInstall observador;
    observador.setIni(QStringLiteral("Sistema"), QStringLiteral("BaseDadosPath"), dados);
    observador.applyToProcess();
    qputenv("STB_ENDERECO_IP", "10.20.30.43");
    setDriveTypeOverride([](const QString &) { return DriveType::Remote; });
    TDM::setDefaultDataDir(App().DataDir);
    DM().DataModuleCreate();
    QStringList outras = OutrasEstacoes();
    outras.sort();
    QCOMPARE(outras, (QStringList {a.ip, b.ip}));

    // A killed workstation drops out at once; its entry stays.
    ::kill(static_cast<pid_t>(a.processo.processId()), SIGKILL);
    QVERIFY(a.processo.waitForFinished(10000));
    QCOMPARE(OutrasEstacoes(), QStringList {b.ip});
    QCOMPARE(lockEntry(dados, a.numero()), a.ip);

    // The close request: the other workstation counts down (two seconds
    // here) and ends normally.
    QTest::qWait(1000); // its message folders are watched from start-up step 14 on
    QElapsedTimer relogio;
    QFile pedido(dados + QStringLiteral("Msg/NAOENTRE.MSG"));
    QVERIFY(pedido.open(QIODevice::WriteOnly));
    pedido.close();
    relogio.start();
    QVERIFY2(b.processo.waitForFinished(30000), qPrintable(QString::fromUtf8(b.processo.readAll())));
    const qint64 ms = relogio.elapsed();
    const QString saida = QString::fromUtf8(b.processo.readAll());
    QCOMPARE(b.processo.exitStatus(), QProcess::NormalExit);
    QVERIFY2(b.processo.exitCode() == 0, qPrintable(saida));
    QVERIFY2(ms >= 1800, qPrintable(QString::number(ms)));
    QVERIFY(!saida.contains(QStringLiteral("Sanitizer")));
    QCOMPARE(OutrasEstacoes(), QStringList());
    QFile::remove(pedido.fileName());
}

void TestWsProcess::fatalSignalLeavesReport_data()
{
    QTest::addColumn<QString>("como");
    QTest::addColumn<QString>("sinal");
    QTest::newRow("segmentation fault") << "segv"
                                        << "SIGSEGV";
    QTest::newRow("abort") << "abort"
                           << "SIGABRT";
}

void TestWsProcess::fatalSignalLeavesReport()
{
    QFETCH(QString, como);
    QFETCH(QString, sinal);
    TestInstall inst;
    QProcess p;
    p.setEnvironment(inst.environment());
    p.start(QString::fromLocal8Bit(qgetenv("STB_TEST_BIN")) + QStringLiteral("/ws_child"), {como});
    QVERIFY(p.waitForStarted());
    const qint64 pid = p.processId();
    QVERIFY(p.waitForFinished(20000));
    QVERIFY(p.readAllStandardOutput().contains("PRONTO"));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    const QString pastaErros = inst.path(QStringLiteral("home/.local/share/STBrelva/Erros"));
    QFile relatorio(pastaErros + QStringLiteral("/STBrelva-fatal-%1.txt").arg(pid));
    QVERIFY2(relatorio.open(QIODevice::ReadOnly), qPrintable(QDir(pastaErros).entryList().join(QLatin1Char(','))));
    const QString texto = QString::fromUtf8(relatorio.readAll());
    QVERIFY(texto.startsWith(QStringLiteral("Erro fatal no sistema ST/Brelva: ") + sinal));
    const QStringList ordem {QStringLiteral(", Comp: "), QStringLiteral("Usuario="), QStringLiteral("Exe="),
        QStringLiteral("AppDir="), QStringLiteral("DataModule=Nil"), QStringLiteral("STExecs=")};
    qsizetype pos = 0;
    for (const QString &parte : ordem) {
        const qsizetype em = texto.indexOf(parte, pos);
        QVERIFY2(em >= 0, qPrintable(parte + QStringLiteral(" in\n") + texto));
        pos = em;
    }
}

QTEST_MAIN(TestWsProcess)
#include "tst_ws_process.moc"
