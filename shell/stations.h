// Workstations of one unit on a shared data folder: how a workstation
// announces itself (a numbered semaphore on the system table and its entry
// in section "Lock" of STBrelva3.ini) and how it learns which others run.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace stb {

namespace db {
struct Session;
}

// The number of a workstation: the last dotted part of its address (at most
// three characters) read as an integer; 0 when there is none.
int numeroEstacao(const QString &ip);

// This computer's IPv4 address (the first one that is not loopback); empty
// when it has none. STB_ENDERECO_IP replaces it, for computers that run more
// than one workstation of a unit (terminal servers, the process tests).
QString enderecoIPLocal();

// Whether other workstations can share the folder: a path written as a
// network path ("//server/share") or a folder on a network file system (an
// NFS or SMB mount), which here plays the part of the network path.
bool pastaCompartilhada(const QString &dataDir);

// While it lives the engine retries semaphore locks 3 times, 10 ms apart,
// so a scan of the 255 numbers stays quick; the former settings come back at
// its end.
class LockCurto {
public:
    LockCurto();
    ~LockCurto();
    LockCurto(const LockCurto &) = delete;
    LockCurto &operator=(const LockCurto &) = delete;

private:
    db::Session &m_sessao;
    int m_tentativas;
    int m_espera;
};

// RegisterStation: shows the address (through `painelIP`), takes the
// semaphore with this workstation's number on the system table and writes
// its entry in section "Lock". Returns the number (0: not registered).
int RegisterStation(
    const std::function<void(const QString &)> &status, const std::function<void(const QString &)> &painelIP);

// The addresses of the other workstations using the data folder now: every
// number whose semaphore is held and whose "Lock" entry is not this
// computer's address. Empty at once when the folder is not shared. With the
// tables on a server, every number but this workstation's own is probed
// there (the server is always shared).
QStringList OutrasEstacoes();

// OtherStationsActive.
bool OtherStationsActive();

} // namespace stb

namespace stb {

// Posts the close message (WM_USER + 1) to the special-regime program's
// registered window "RegimeEspecial.Main" and waits in steps of one second,
// at most `esperas` times, until it is gone. True when it is not running
// (any more).
bool CloseRegimeEspecial(int esperas = 5);

} // namespace stb
