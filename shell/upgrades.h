// Structure and configuration upgrades run at every start: the shared
// tables are brought to the current structure (TModifyStruct, which changes
// nothing in a table already current), and one-time data corrections and
// configuration changes are applied, each recorded by its marker so that it
// runs once:
//   STBrelva3.ini [Estrutura] "2009.04.01", "2012.09.01" (shared by every workstation)
//   STBrelva.ini  [Versao]    "1.9.1.0", "1.9.1.6", "1.9.4.0" (this workstation)
// A step is recorded only after it is done; every step can run again, so a
// start interrupted between the two repeats it harmlessly.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace stb {

// Start-up step "Checando Modificações nas Estruturas dos Arquivos...". A
// table that cannot be restructured raises an error "Erro ao atualizar a
// tabela <caption>." with the advice to close the system on every computer
// when `outrasEstacoesAtivas` says other workstations use it, or to restart
// the computer otherwise.
void CheckStructures(const std::function<bool()> &outrasEstacoesAtivas);

// Whether other workstations use the shared data folder now: only a folder
// given as a network path ("//server/share") is shared; each of the engine's
// semaphores 1 to 255 on STBrelva.dat that is held (three tries 10 ms apart)
// and registered in [Lock] of STBrelva3.ini under an address other than
// this computer's counts.
bool OutrasEstacoesAtivas();

// Start-up step "Checando Alterações de Configuração...": a pending NBM
// archive of `versaoInstalada`, then the configuration changes by version.
void CheckConfiguration(const QString &versaoInstalada);

// The eight entries the "1.9.4.0" change writes into [Links] of STBrelva.ini.
QList<QPair<QString, QString>> linksVersao1940();

} // namespace stb
