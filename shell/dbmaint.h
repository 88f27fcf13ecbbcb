// The shared database folder: delivered files copied in and the full
// reindex. (A missing table is restored before it opens by the data module,
// from the pristine folder it is given.)
#pragma once

#include <QString>

namespace stb {

namespace db {
class Table;
}

// Copies into the data folder every file of the pristine folder
// (AppDir + "Sys/Dados/") it lacks, the ARM folder likewise (tax-unit
// edition), and the files delivered in "Sys/Dados.Atualiza/" over their
// counterparts. Copy failures are reported and the loop goes on.
void CopiaArquivosDeDados();

// Reference tables that a full reindex never touches.
bool isTabelaReferencia(const QString &fileName);

// The full reindex. With `ask` the user confirms first; returns whether it ran.
bool ReindexAll(bool ask);

} // namespace stb
