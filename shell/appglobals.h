// Process-wide state of the program: folders, command-line switches and the
// values read from the configuration at start.
#pragma once

#include "platform/currency.h"

#include <QString>

namespace stb {

class MessageWindow;

struct AppGlobals {
    QString AppDir; // installation folder, with a trailing "/"
    QString ExeDir; // folder of the running program file
    QString DataDir; // shared database folder, with a trailing "/"
    QString NaoEntreFile; // DataDir + "Msg/NAOENTRE.MSG"
    QString Servidor; // the PostgreSQL server holding the tables; empty: the folder's
    QString UnitName; // Unidade, or Usuario when empty
    QString UserName;
    bool MinimizeSwitch = false;
    // A start nobody watches (STB_SAIR_APOS_INICIO=1): the first-run unit
    // identification is left for the next start instead of waiting for an answer.
    bool Desassistido = false;
    bool SetupSwitch = false;
    bool NoHelpSwitch = false;
    Currency AliqCreditoICMS = Currency::fromInt(12);
    bool AliqCreditoICMSAviso = true;
    bool CalculaMR = true;
    qint64 LauncherHandle = 0; // the launcher's splash window
    MessageWindow *AppWindow = nullptr; // the application window (second starts reach it)
    bool ConfigOpened = false;
    QString Titulo; // the application's title
};

AppGlobals &App();

// The application title at start and after the main window exists.
inline QString tituloAplicacao() { return QStringLiteral("Cálculo da Substituição Tributária - Brelva do RICMS"); }

} // namespace stb
