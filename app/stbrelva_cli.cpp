// stbrelva-cli: headless access to the program's computations and checks.
// Each subcommand lives in its own file (cli_*.cpp) and runs through the
// same code as the program.
#include "app/cli.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

struct Command {
    const char *name;
    int (*run)(const QStringList &args);
    const char *usage;
};

const Command kCommands[] = {
    {"compute", cli::runCompute, "compute [--today AAAA-MM-DD] ARQUIVO.json"},
    {"validate", cli::runValidate, "validate cnpj|ie|format TEXTO..."},
    {"mva-ajustada", cli::runMvaAjustada, "mva-ajustada MVA INTERESTADUAL INTERNA"},
    {"zlb", cli::runZlb, "zlb create|list|extract ARQUIVO.zlb [PASTA]"},
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
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString name = args.takeFirst();
    for (const Command &c : kCommands)
        if (name == QLatin1String(c.name))
            return c.run(args);
    std::fprintf(stderr, "erro: subcomando desconhecido: %s\n", name.toUtf8().constData());
    return usage();
}
