// Subcommands "validate" (document numbers) and "mva-ajustada" (adjusted MVA).
#include "app/cli.h"

#include "entry/documents.h"
#include "entry/margins.h"

#include <cstdio>
#include <optional>

namespace {

int fail(const QString &text)
{
    std::fprintf(stderr, "erro: %s\n", text.toUtf8().constData());
    return 2;
}

void printLine(const QString &text) { std::printf("%s\n", text.toUtf8().constData()); }

// A number typed with "." or "," as decimal separator.
std::optional<stb::Currency> parseNumber(const QString &text)
{
    QString t = text.trimmed();
    if (!t.contains(QLatin1Char('.')))
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    return stb::Currency::parsePlain(t);
}

} // namespace

int cli::runValidate(const QStringList &args)
{
    if (args.size() < 2)
        return fail(QStringLiteral("uso: validate cnpj|ie|format TEXTO..."));
    const QString kind = args.first();
    const QStringList texts = args.mid(1);
    if (kind == QLatin1String("cnpj")) {
        for (const QString &t : texts)
            printLine(stb::CNPJValido(t) ? QStringLiteral("valid") : QStringLiteral("invalid"));
    } else if (kind == QLatin1String("ie")) {
        for (const QString &t : texts)
            printLine(stb::InscricaoValida(t) ? QStringLiteral("valid") : QStringLiteral("invalid"));
    } else if (kind == QLatin1String("format")) {
        for (const QString &t : texts)
            printLine(stb::FormataDocumento(t));
    } else {
        return fail(QStringLiteral("tipo desconhecido: %1 (use cnpj, ie ou format)").arg(kind));
    }
    std::fflush(stdout);
    return 0;
}

int cli::runMvaAjustada(const QStringList &args)
{
    if (args.size() != 3)
        return fail(QStringLiteral("uso: mva-ajustada MVA INTERESTADUAL INTERNA"));
    stb::Currency values[3];
    for (int i = 0; i < 3; ++i) {
        const auto v = parseNumber(args[i]);
        if (!v)
            return fail(QStringLiteral("número inválido: %1").arg(args[i]));
        values[i] = *v;
    }
    printLine(stb::CalculaMVAAjustada(values[0], values[1], values[2]).toPlainString(2));
    std::fflush(stdout);
    return 0;
}
