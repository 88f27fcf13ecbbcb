// The frame shared by the subcommands that work on a calculation given as
// JSON (compute, report): the input read and checked, stored in a temporary
// database through the data module, and the errors reported in Portuguese.
#pragma once

#include "app/cli_json.h"
#include "platform/db/types.h"

#include <QDate>
#include <QStringList>
#include <functional>
#include <optional>

namespace stb {
class TDM;
}

namespace cli {

// Writes "erro: PATH: REASON" to stderr; returns the bad-input exit code 2.
int inputError(const QString &path, const QString &reason);

// Reads "--today AAAA-MM-DD" at args[i] (i moves past the date). Returns 0,
// or the exit code after writing the error line.
int leOpcaoToday(const QStringList &args, int &i, std::optional<QDate> &today);

// The arguments "[--today AAAA-MM-DD] ARQUIVO.json" of a subcommand. Returns
// 0, or the exit code after writing the error line.
int leTodayEArquivo(const QStringList &args, const QString &subcomando, std::optional<QDate> &today, QString &file);

// One input value for a stored field of the given definition, as the
// engine keeps it (a null for JSON null); nullopt with the reason when the
// value does not fit the field.
std::optional<stb::db::Value> valorCampo(const stb::db::FieldDef &def, const json::Value &v, QString *motivo);

// Reads and stores the calculation of `file` (today's date fixed when given),
// then runs `acao` on the data module with the input's PrintMR (0 when not
// given); the data module's TabCalc stays on the calculation. Returns the
// exit code: 2 for bad input, 1 when the run failed or the core reported an
// error, otherwise what `acao` returns.
int comCalculoArmazenado(
    const QString &file, const std::optional<QDate> &today, const std::function<int(stb::TDM &dm, int printMR)> &acao);

} // namespace cli
