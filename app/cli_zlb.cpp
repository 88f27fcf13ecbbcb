// Subcommand "zlb": creates, lists and extracts the .zlb archives in which
// the tables are published, through the same reader as the program.
//   zlb create ARQUIVO.zlb PASTA [--armazenado] [--lista-simples]
//   zlb list ARQUIVO.zlb
//   zlb extract ARQUIVO.zlb PASTA
#include "app/cli.h"

#include "platform/zlbarchive.h"

#include <cstdio>

namespace {

int fail(const QString &text)
{
    std::fprintf(stderr, "erro: %s\n", text.toUtf8().constData());
    return 2;
}

const char *kUsage = "uso: zlb create ARQUIVO.zlb PASTA [--armazenado] [--lista-simples] | zlb list ARQUIVO.zlb | "
                     "zlb extract ARQUIVO.zlb PASTA";

} // namespace

int cli::runZlb(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool stored = args.removeAll(QStringLiteral("--armazenado")) > 0;
    const bool rawDirectory = args.removeAll(QStringLiteral("--lista-simples")) > 0;
    if (args.isEmpty())
        return fail(QString::fromLatin1(kUsage));
    const QString verb = args.takeFirst();
    if (verb == QLatin1String("create") && args.size() == 2) {
        QString error;
        if (!stb::ZLBWriter::createFromFolder(args[0], args[1], &error, stored, !rawDirectory))
            return fail(error);
        return 0;
    }
    if (verb == QLatin1String("list") && args.size() == 1) {
        stb::TZLBArchive zlb;
        if (!zlb.open(args[0]))
            return fail(zlb.errorString());
        for (const stb::ZLBEntry &e : zlb.entries()) {
            const QString path = e.folder.isEmpty() ? e.name : e.folder + QLatin1Char('\\') + e.name;
            std::printf("%10u  %s  %s\n", e.size, e.stored ? "armazenado" : "compactado", path.toUtf8().constData());
        }
        return 0;
    }
    if (verb == QLatin1String("extract") && args.size() == 2) {
        stb::TZLBArchive zlb;
        if (!zlb.open(args[0]) || !zlb.extractAll(args[1]))
            return fail(zlb.errorString());
        return 0;
    }
    return fail(QString::fromLatin1(kUsage));
}
