// The shared database folder: delivered files copied in, a missing table
// restored from the installation's pristine copy before it opens, and the
// full reindex.
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

// Runs before a table of the data module opens: a missing table is copied
// from the pristine folder (with a notice unless switched off), a missing
// index file is copied and the table repaired, an older format upgraded.
void TabBeforeOpen(db::Table &table);

// Switches the missing-table notice (the system turns it off when it has
// just deleted annex files itself).
void setAvisoTabelaAusente(bool on);

// Reference tables that a full reindex never touches.
bool isTabelaReferencia(const QString &fileName);

// The full reindex. With `ask` the user confirms first; returns whether it ran.
bool ReindexAll(bool ask);

} // namespace stb
