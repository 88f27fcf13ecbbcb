#include "tests/support/testenv.h"

#include "core/datamodule.h"
#include "core/schema.h"
#include "core/settings.h"
#include "platform/db/database.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "shell/appglobals.h"
#include "shell/startup.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>
#include <memory>

namespace stbtest {

QString TestInstall::pristineDir() { return QStringLiteral(STB_PRISTINE_DIR); }

void copyPristine(const QString &dir)
{
    QDir().mkpath(dir);
    const QDir src(TestInstall::pristineDir());
    if (src.exists() && !src.entryList({QStringLiteral("*.dat")}, QDir::Files).isEmpty()) {
        for (const QFileInfo &fi : src.entryInfoList(QDir::Files))
            QFile::copy(fi.absoluteFilePath(), QDir(dir).filePath(fi.fileName()));
        return;
    }
    // Without the built reference data the tables are created empty.
    stb::db::Database db;
    db.setDirectory(dir);
    for (const stb::db::TableDef &d : stb::schema::dataFolderTables())
        if (!db.tableExists(d.name))
            db.createTable(d);
}

TestInstall::TestInstall()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QDir().mkpath(path(QStringLiteral("Sys/Dados")));
    QDir().mkpath(path(QStringLiteral("Dados")));
    QDir().mkpath(path(QStringLiteral("registry")));
    QDir().mkpath(path(QStringLiteral("runtime")));
    QFile::setPermissions(path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    copyPristine(path(QStringLiteral("Sys/Dados")));
    const QString ini2 = QDir(pristineDir() + QStringLiteral("/../..")).filePath(QStringLiteral("STBrelva2.ini"));
    if (QFileInfo::exists(ini2))
        QFile::copy(ini2, path(QStringLiteral("STBrelva2.ini")));
    qputenv("STB_REGISTRY_DIR", path(QStringLiteral("registry")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", path(QStringLiteral("runtime")).toUtf8());
    qputenv("XDG_DATA_HOME", path(QStringLiteral("home/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("home/.config")).toUtf8());
    setIni(QStringLiteral("Sistema"), QStringLiteral("Msg2"), QStringLiteral("1"));
    setIni(QStringLiteral("Sistema"), QStringLiteral("Reindex"), QStringLiteral("0"));
    setIni(QStringLiteral("Sistema"), QStringLiteral("Link.Ex"), QStringLiteral("0"));
    setIni(QStringLiteral("Sistema"), QStringLiteral("Link.AllUsers"), QStringLiteral("1"));
    setIni(QStringLiteral("Unidade"), QStringLiteral("Unidade"), QStringLiteral("AF/Região Central"));
    setIni(QStringLiteral("Unidade"), QStringLiteral("Usuario"), QStringLiteral("Teste"));
    setIni(QStringLiteral("HostFazenda"), QStringLiteral("Host"), QStringLiteral("127.0.0.1"));
}

TestInstall::~TestInstall()
{
    if (stb::TDM::hasInstance())
        stb::TDM::destroyInstance();
    stb::ProcessEnd();
    stb::App() = stb::AppGlobals {};
}

QString TestInstall::appDir() const { return m_dir.path() + QLatin1Char('/'); }
QString TestInstall::dataDir() const { return appDir() + QStringLiteral("Dados/"); }
QString TestInstall::path(const QString &relative) const { return QDir(m_dir.path()).filePath(relative); }

void TestInstall::setIni(const QString &section, const QString &key, const QString &value)
{
    stb::IniFile ini(path(QStringLiteral("STBrelva.ini")));
    ini.writeString(section, key, value);
}

void TestInstall::applyToProcess()
{
    stb::AppGlobals &g = stb::App();
    g = stb::AppGlobals {};
    g.AppDir = appDir();
    g.ExeDir = appDir() + QStringLiteral("Sys/");
    stb::AbreConfiguracao();
}

QStringList TestInstall::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STB_REGISTRY_DIR"), path(QStringLiteral("registry")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
    env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("STB_MENSAGENS"), QStringLiteral("stderr"));
    return env.toStringList();
}

namespace {

QList<QPointer<QTimer>> g_watches;

// Polls for the active modal dialog (of object name `name`, or any when empty).
void watchModal(const QString &name, std::function<void(QWidget *)> fn, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, name, fn, timeoutMs] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w->isVisible() && (name.isEmpty() || w->objectName() == name)) {
            timer->stop();
            timer->deleteLater();
            QPointer<QWidget> alvo(w);
            fn(w);
            // A failed check inside `fn` returns before the dialog is
            // answered; close it so the test fails instead of hanging.
            if (QTest::currentTestFailed() && alvo && alvo->isVisible())
                if (auto *dlg = qobject_cast<QDialog *>(alvo.data()))
                    dlg->reject();
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    g_watches.removeAll(nullptr);
    g_watches << timer;
    timer->start(20);
}

} // namespace

void whenModal(std::function<void(QWidget *)> fn, int timeoutMs) { watchModal(QString(), std::move(fn), timeoutMs); }

void whenModalNamed(const QString &name, std::function<void(QWidget *)> fn, int timeoutMs)
{
    watchModal(name, std::move(fn), timeoutMs);
}

void dropModalWatches()
{
    for (const QPointer<QTimer> &t : std::as_const(g_watches))
        delete t.data();
    g_watches.clear();
}

QString saveScreenshot(QWidget *w, const QString &name)
{
    const QString dir = QStringLiteral(STB_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QString file = QDir(dir).filePath(name + QStringLiteral(".png"));
    w->grab().save(file);
    return file;
}

} // namespace stbtest
