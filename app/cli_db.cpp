// Subcommand "db": moves a unit's tables between a data folder and a
// PostgreSQL server, and prints what it compared.
//   db migrate PASTA postgresql://usuario@servidor:porta/banco
//   db migrate postgresql://usuario@servidor:porta/banco PASTA
// The password comes from ~/.pgpass or the PG environment, never from the
// command line.
#include "app/cli.h"

#include "platform/db/pgconn.h"
#include "platform/db/pgmigrate.h"

#include <cstdio>

namespace {

int fail(const QString &text)
{
    std::fprintf(stderr, "erro: %s\n", text.toUtf8().constData());
    return 2;
}

void out(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

const char *kUsage = "uso: db migrate PASTA postgresql://usuario@servidor:porta/banco | "
                     "db migrate postgresql://usuario@servidor:porta/banco PASTA";

QString checkLine(const stb::db::MigrationCheck &c)
{
    QString line = (c.folder.isEmpty() ? c.table : c.folder + QLatin1Char('/') + c.table)
        + QStringLiteral(": linhas %1 = %2").arg(c.sourceRows).arg(c.targetRows);
    for (const auto &s : c.sums)
        line += QStringLiteral("; %1 %2 = %3").arg(s.column, s.source.toPlainString(4), s.target.toPlainString(4));
    return line + (c.equal() ? QStringLiteral(" (iguais)") : QStringLiteral(" (DIFERENTES)"));
}

} // namespace

int cli::runDb(const QStringList &args)
{
    using namespace stb::db;
    if (args.size() != 3 || args[0] != QLatin1String("migrate"))
        return fail(QString::fromLatin1(kUsage));
    const QString from = args[1], to = args[2];
    const bool toServer = PgConnection::isAddress(to);
    if (toServer == PgConnection::isAddress(from))
        return fail(QString::fromLatin1(kUsage));
    try {
        const auto progress = [](const QString &table, qint64 rows) {
            out(QStringLiteral("Copiada %1: %2 linha%3").arg(table).arg(rows).arg(rows == 1 ? "" : "s"));
        };
        const QList<MigrationCheck> checks
            = toServer ? migrateFolderToServer(from, to, progress) : migrateServerToFolder(from, to, progress);
        out(QStringLiteral("Conferência (origem = destino):"));
        qint64 rows = 0;
        int sums = 0;
        for (const MigrationCheck &c : checks) {
            out(checkLine(c));
            rows += c.targetRows;
            sums += static_cast<int>(c.sums.size());
        }
        out(QStringLiteral("Migração concluída: %1 tabelas, %2 linhas, %3 somas de valores conferidas.")
                .arg(checks.size())
                .arg(rows)
                .arg(sums));
        return 0;
    } catch (const EngineError &e) {
        return fail(QStringLiteral("%1 (código %2). O destino ficou como estava.").arg(e.message()).arg(e.code()));
    }
}
