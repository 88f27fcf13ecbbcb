// The table files of the data folder checked and refreshed before the data
// module opens any table (start-up step "Verificando novos Arquivos de
// Dados..."): every file opened once, the installation's pristine tables
// copied in where missing, delivered tables copied over their counterparts,
// and a delivered medicine table copied in.
#pragma once

#include <QDate>
#include <QString>

namespace stb {

// Runs every check in order. A file that cannot be opened leads to the
// re-creation of the database (RecreateDatabase), which does not return.
void CheckDataFiles();

// The steps, in the order CheckDataFiles runs them.
void RecuperaTabelasInterrompidas(); // table replacements a killed process left, finished by the engine
void VerificaArquivosDeDados(); // every table file opened (TryOpenFile)
void CopiaTabelasFaltantes(); // pristine tables the data folder lacks
void AplicaArquivosEntregues(); // "Sys/Dados.Atualiza/" over the data folder and the pristine folder
void CopiaTabelaMedicamentos(); // "Sys/Medic/TabMedic.txt" into the data folder
// With the tables on a server: the delivered tables replace the server's
// (and go over the pristine copies); other delivered files go to the data folder.
void AplicaArquivosEntreguesServidor();

// The date of a delivered medicine table: the first line of its ".data"
// file, "dd/mm/yyyy" (or "yyyy-mm-dd"); invalid when unreadable.
QDate dataTabelaEntregue(const QString &dataFile);

} // namespace stb
