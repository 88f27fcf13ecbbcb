// Maintenance of the NBM product search table from the main program: the
// archive of product rows delivered with a version, and the start of the
// rebuild tool STProcessNBM, one workstation at a time (engine semaphores
// 301 and 306 on STBrelva.dat). The taxpayer edition has no NBM product
// search.
#pragma once

#include <QString>
#include <QStringList>

namespace stb {

// Applies AppDir + "NBM.<version>.zlb" once per version (recorded in
// [Estrutura] of STBrelva3.ini as "NBM.<version>"); an archive already
// applied is deleted. Then, for a local data folder, starts the rebuild;
// otherwise recommends it on the computer that holds the data.
void UpdateNBMProducts(const QString &versaoInstalada);

// "Reindexar Produtos/NBM agora": prepares the work copy and starts the tool
// with "/Ok /Reind /AppDir=..." (and "/Mens" when the user is to be told at
// the end). Returns whether the tool was started.
bool StartNBMRebuild(bool avisarNoFim);

// Start-up: when AppDir + "NBM-Start.txt" exists, offers to re-create the
// product search and starts the tool with "/Ok /Mens /Create /AppDir=...".
void StartNBMCreate();

// The tool's program file (beside the running program) and its arguments.
QString programaNBM();
QStringList argumentosNBM(const QString &modo, bool avisarNoFim);

} // namespace stb
