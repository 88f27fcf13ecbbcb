// STBrelva: the launcher. It starts the program with "//OK", the handle of
// its own (splash) window and the installation folder, shows the texts the
// program sends to that window, and ends with the program's exit code.
#include "platform/winmsg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString appDir = QCoreApplication::applicationDirPath();
    stb::MessageWindow splash;
    QObject::connect(&splash, &stb::MessageWindow::textReceived, [](const QString &text) {
        std::printf("STBrelva: %s\n", qPrintable(text));
        std::fflush(stdout);
    });
    QStringList args {QStringLiteral("//OK"), QStringLiteral("/H%1").arg(splash.handle()),
        QStringLiteral("/AppDir:\"%1\"").arg(QDir::toNativeSeparators(appDir + QLatin1Char('/')))};
    args << QCoreApplication::arguments().mid(1);
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.setInputChannelMode(QProcess::ForwardedInputChannel);
    QString exe = appDir + QStringLiteral("/Sys/STBrelvaApp");
    if (!QFileInfo::exists(exe) && QFileInfo::exists(exe + QStringLiteral(".exe")))
        exe += QStringLiteral(".exe");
    QObject::connect(&program, &QProcess::finished, &app,
        [&app](int code, QProcess::ExitStatus status) { app.exit(status == QProcess::NormalExit ? code : 1); });
    QObject::connect(&program, &QProcess::errorOccurred, &app, [&app, exe](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            std::fprintf(stderr, "STBrelva: não consegui iniciar %s\n", qPrintable(exe));
            app.exit(1);
        }
    });
    program.start(exe, args);
    return QCoreApplication::exec();
}
