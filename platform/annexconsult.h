// The annex consultation program (Brelva), seen from the programs that use
// it: finding its main window through the handle it registers as
// "Brelva.Main", starting it when it is not running, asking it for a
// consultation and closing it.
#pragma once

#include "platform/winmsg.h"

#include <QString>

namespace stb::annex {

// Messages exchanged with the annex program.
constexpr int MsgPedido
    = WinMsg::WM_USER + 1; // to the program: consultation (w 0, l kind) or choice (w caller, l request window)
constexpr int MsgResposta = WinMsg::WM_USER + 2; // to the calling dialog: the request window holds the answer
constexpr int MsgFecha = WinMsg::WM_USER + 3; // to the program: close
constexpr int MsgFrente = WinMsg::WM_USER + 10; // to the calling dialog, right after a choice request

// Consultation kinds of MsgPedido with w = 0.
enum Consulta {
    Tabela = 1,
    PesquisaNCM = 2,
    PesquisaDescricaoBrelva = 3,
    PesquisaDescricaoMercadoria = 4,
    Introduzidos1 = 5,
    Introduzidos2 = 6,
};

// Name of the registered handle of the program's main window.
inline QString nomeJanela() { return QStringLiteral("Brelva.Main"); }

// The folder the program is started from; by default the folder of the
// running program. Tests point it at the built installation.
void setPastaPrograma(const QString &folder);
QString pastaPrograma();

// The program's main window when it is registered and alive; 0 otherwise.
qint64 JanelaBrelva();

// Makes sure the program runs: when no live window is registered it is
// started from pastaPrograma() with "/minimize /AppDir:"<appDir>"" and the
// registration is polled every 0.2 s for a bounded time. Returns the window
// handle, or 0 when the program could not be started or found. The caller
// shows the wait cursor.
qint64 OpenAnnexConsult(const QString &appDir);

// Posts a consultation kind to the running program (started when needed);
// false when it cannot be reached.
bool PedeConsulta(const QString &appDir, int kind);

// Posts the close message to the registered window and waits in steps of one
// second, at most `esperas` times, until it is gone. True when the program is
// not running (any more).
bool CloseAnnexConsult(int esperas = 5);

} // namespace stb::annex
