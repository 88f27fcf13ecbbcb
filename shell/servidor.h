// The PostgreSQL server that may hold a unit's tables instead of its data
// folder (setting BaseDadosServidor): checking an address, testing it, and
// putting the data module on it at start-up.
#pragma once

#include <QString>

namespace stb {

// The outcome of a connection test, with the text to show the user.
struct TesteServidor {
    bool ok = false;
    QString texto;
};

// Whether an address can be stored: a "postgresql://" address without a
// password. Otherwise the Portuguese reason in `motivo`.
bool enderecoServidorValido(const QString &address, QString *motivo);

// The computer an address names ("servidor" in
// "postgresql://usuario@servidor:5432/banco"; a socket folder as written).
QString computadorServidor(const QString &address);

// The computer that holds the unit's tables: the server's, or the one that
// holds the data folder.
QString computadorDosDados();

// Connects to the server (no transaction, no lock) and reads its version;
// the connection is closed before this returns, so that no session is held
// while the result is shown. On failure the text is the engine's message
// with its code (10225 when the server cannot be reached).
TesteServidor testaServidor(const QString &address);

// Start-up on a server: loads the installation's pristine tables into an
// empty server database (once, even when several workstations start
// together). Returns whether the tables were loaded now (a new database).
// Throws the engine's error when the server cannot be used.
bool CarregaTabelasServidor(const QString &address, const QString &pristineDir);

// Puts the data module's two databases (the data folder's tables and the
// ARM sub-folder's) on the server.
void ConectaServidor(const QString &address);

} // namespace stb
