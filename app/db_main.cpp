// stbrelva-db: the "db" subcommand of stbrelva-cli, which starts it with the
// arguments that follow "db".
#include "app/cli.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    // As in stbrelva-cli: stderr carries only the tool's own error lines.
    qInstallMessageHandler([](QtMsgType tipo, const QMessageLogContext &, const QString &msg) {
        if (tipo == QtCriticalMsg || tipo == QtFatalMsg)
            std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    });
    QCoreApplication app(argc, argv);
    return cli::runDb(QCoreApplication::arguments().mid(1));
}
