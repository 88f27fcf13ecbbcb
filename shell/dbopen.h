// Opening the shared database folder robustly: the table files are tried
// before the tables open (with retries), a folder whose files cannot be
// opened at all is re-created under a numbered name keeping every other
// file, and a missing default folder is created.
//
// A re-creation records its intent beside the folder before it moves
// anything ("<Dados>.recriar": the numbered folder and the file that failed),
// builds the new folder under a temporary name and renames it into place, so
// a process killed at any moment leaves a state the next start completes
// (PreparaPastaDeDados) without losing a file.
#pragma once

#include <QFile>
#include <QString>
#include <functional>
#include <memory>

namespace stb {

// Raised after the database folder was re-created: the operation under way
// ends without a message; during start-up the remaining steps are skipped.
struct SilentAbort {};

// Raised when the process must end now with its exit code (the user would
// not re-create the database, or it could not be re-created, or the annex
// table cannot be used and the user chose to restart).
struct EncerraProcesso {
    int exitCode;
};

// Where the maintenance steps announce themselves: the main window's status
// line unless a receiver is set (tests). Returns the previous receiver.
using StatusFn = std::function<void(const QString &)>;
StatusFn setStatusManutencao(StatusFn fn);
void statusManutencao(const QString &text);

// Waits `ms` milliseconds while the window keeps processing its events.
void esperaProcessando(int ms);

// A table file opened by TryOpenFile; invalid (no file) when every attempt failed.
struct ArquivoDados {
    std::unique_ptr<QFile> file;
    QString erro; // the system's error text of the last failed attempt
    bool valido() const { return file != nullptr; }
};

// Opens a file of the data folder for reading and writing, sharing it with
// everyone: six attempts, one second apart ("Tentando abrir ... (try n/5)"
// before each retry). A .dat file fails while another process holds its
// table exclusively. With `restoreFromPristine` a failed attempt copies the
// installation's pristine file over it and, when that succeeds, asks for a
// full reindex at the next start.
ArquivoDados TryOpenFile(const QString &path, bool restoreFromPristine);

// False when `arquivo` is valid. Otherwise asks whether to re-create the
// database; a negative answer ends the process (EncerraProcesso). The folder
// is renamed to the first free "<Dados>.000" ... "<Dados>.999", a new one is
// made with every file of the former but `path` (and its ARM folder in the
// tax units' edition), Reindex is set and SilentAbort is raised.
bool RecreateDatabase(const QString &path, const ArquivoDados &arquivo);

// The re-creation record of a data folder ("<Dados>.recriar" beside it).
QString registroRecriacao(const QString &dataDir);

// Before the data folder is used: completes a re-creation a killed process
// left behind, and creates the folder when it is the installation's default
// one (`pastaPadrao`) and missing, so that the start fills it from the
// pristine tables. Returns whether the folder exists.
bool PreparaPastaDeDados(const QString &dataDir, bool pastaPadrao);

// Opens the system table STBrelva.dat (created empty when missing) and takes
// the numbered semaphore with a lock retry count of 1; false when another
// process holds it.
bool OpenSysTable(int semaforo);
void CloseSysSemaphore(int semaforo);

// Whether the data folder counts as local for the maintenance (a local disk,
// or LocalDrive set for a folder this computer serves).
bool pastaDeDadosLocal();

} // namespace stb
