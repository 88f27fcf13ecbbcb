// Process start, before the main window exists: single instance, the
// launcher protocol, the installation and data folders, and the
// configuration files.
#pragma once

#include <QStringList>

namespace stb {

// Exit codes of a start that must not go on.
namespace ExitCode {
constexpr int SecondInstance = 255;
constexpr int NotFromLauncher = 65535;
constexpr int NoDataFolder = 1;
} // namespace ExitCode

// Runs the start steps in their order. Returns -1 when the program goes on
// (the main window may be created), or the exit code to end with.
// `args` are the command-line parameters without the program name.
int ProcessStart(const QStringList &args);

// Opens the configuration files and checks the data folder (runs once even
// if called again). Returns false when the data folder is missing (the
// message has been shown).
bool AbreConfiguracao();

// Releases what ProcessStart took (the single-instance mutex); for tests.
void ProcessEnd();

} // namespace stb
