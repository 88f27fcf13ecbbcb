// stbrelva-cli: headless access to the program's computations and checks.
// Each subcommand lives in its own file (cli_*.cpp) and runs through the
// same code as the program.
#include "app/cli.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// "db" runs in the program beside this one (stbrelva-db), which alone links
// the PostgreSQL client; its output and exit status are this command's.
int runDb(const QStringList &args)
{
    QProcess db;
    db.setProcessChannelMode(QProcess::ForwardedChannels);
    db.setInputChannelMode(QProcess::ForwardedInputChannel);
    db.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("stbrelva-db")), args);
    if (!db.waitForStarted(-1)) {
        std::fprintf(stderr, "erro: não consegui iniciar stbrelva-db: %s\n", db.errorString().toUtf8().constData());
        return 2;
    }
    db.waitForFinished(-1);
    return db.exitStatus() == QProcess::NormalExit ? db.exitCode() : 2;
}

struct Command {
    const char *name;
    int (*run)(const QStringList &args);
    const char *usage;
    bool gui = false; // paints (fonts need a GUI application; no window is shown)
};

const Command kCommands[] = {
    {"compute", cli::runCompute, "compute [--today AAAA-MM-DD] ARQUIVO.json"},
    {"validate", cli::runValidate, "validate cnpj|ie|format TEXTO..."},
    {"mva-ajustada", cli::runMvaAjustada, "mva-ajustada MVA INTERESTADUAL INTERNA"},
    {"report", cli::runReport,
        "report [--today AAAA-MM-DD] [--mr 0..5] [--contribuinte] [--analitica] [--codigos STBrelva2.ini] --pdf "
        "SAIDA.pdf "
        "ARQUIVO.json",
        true},
    {"zlb", cli::runZlb, "zlb create|list|extract ARQUIVO.zlb [PASTA]"},
    {"quick", cli::runQuick, "quick [--today AAAA-MM-DD] ARQUIVO.json"},
    {"nfe", cli::runNfe,
        "nfe [--today AAAA-MM-DD] [--appdir PASTA] [--item ARQUIVO:N=SUBITEM]... ARQUIVO.json NFE.xml|PASTA..."},
    {"db", runDb, "db migrate PASTA postgresql://usuario@servidor:porta/banco | db migrate postgresql://... PASTA"},
};

int usage()
{
    std::fprintf(stderr, "uso:\n");
    for (const Command &c : kCommands)
        std::fprintf(stderr, "  stbrelva-cli %s\n", c.usage);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    const Command *command = nullptr;
    if (argc > 1)
        for (const Command &c : kCommands)
            if (std::strcmp(argv[1], c.name) == 0)
                command = &c;
    // A painting subcommand runs without a display.
    if (command && command->gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's start-up notes (a missing runtime folder, say) are not
    // the tool's output: stderr carries only its own error lines.
    const QtMessageHandler anterior
        = qInstallMessageHandler([](QtMsgType tipo, const QMessageLogContext &, const QString &msg) {
              if (tipo == QtCriticalMsg || tipo == QtFatalMsg)
                  std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
          });
    const std::unique_ptr<QCoreApplication> app = command && command->gui
        ? std::make_unique<QGuiApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    qInstallMessageHandler(anterior);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString name = args.takeFirst();
    if (command)
        return command->run(args);
    std::fprintf(stderr, "erro: subcomando desconhecido: %s\n", name.toUtf8().constData());
    return usage();
}
