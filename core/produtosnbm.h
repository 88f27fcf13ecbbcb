// The NBM product search table (ProdutosNBM): its rows from a delivered
// archive, and the rebuild through its work copy XProdutosNBM that the
// STProcessNBM tool runs.
#pragma once

#include "platform/db/types.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace stb {

namespace db {
class Database;
}

namespace nbm {

inline QString tabela() { return QStringLiteral("ProdutosNBM"); }
inline QString tabelaTrabalho() { return QStringLiteral("XProdutosNBM"); }
constexpr int TamanhoDescricao = 64;
// Engine semaphores on STBrelva.dat: the archive update, and the rebuild.
constexpr int SemaforoAtualizacao = 301;
constexpr int SemaforoReindexacao = 306;

// An eight-character code gets its dots: "84212300" is "8421.23.00".
// Any other code is kept as it is.
QString formataCodigo(const QString &codigo);

struct Linha {
    QString nbm;
    QString descricao; // at most TamanhoDescricao characters
};
// A line of a delivered archive, "code=description"; nothing for a line
// without "=" or without a code.
std::optional<Linha> leLinha(const QString &texto);

// Status text of one step of work on the product table: the three engine
// repair steps become "Passo 1/3" to "Passo 3/3", any other step keeps its
// own text. "Reindexando ProdutosNBM: Passo 2/3... (40%)".
QString textoProgresso(const QString &passo, int percent);

// Appends the rows of archive lines to the product table in one transaction,
// skipping a row already there with the same code and description, so that
// applying an archive again (after an interruption) adds nothing twice.
// `progresso` is told (line number from 1, count) per line. Returns the rows
// appended.
int aplicaLinhas(
    db::Database &base, const QStringList &linhas, const std::function<void(int n, int total)> &progresso = {});

enum class Modo {
    Reindexa, // the table's own rows, each distinct row once
    Cria, // the delivered rows of the pristine table and every code of the annex
};

// Rebuilds the product table through its work copy. The work copy is built
// (from the pristine table of `pastaPristina` when the caller has not
// prepared it), filled, its rows replace the table's in one transaction, the
// table is rebuilt by the engine with its indexes, and the work copy is
// deleted. A process killed at any point leaves the table as it was before
// or as it is after. Returns the rows of the rebuilt table.
qint64 reconstroi(db::Database &base, Modo modo, const QString &pastaPristina, const db::ProgressFn &progresso = {});

} // namespace nbm
} // namespace stb
