// The program's settings: the three configuration files, every key they hold
// with its type and default, and the registry values the program uses.
//
//   STBrelva.ini  in AppDir   this installation's own settings (IniSistema)
//   STBrelva2.ini in AppDir   reference data delivered with updates (IniLocal2)
//   STBrelva3.ini in DataDir  settings shared by every workstation (IniDados)
//
// Every accessor reads or writes the file at once (another process sees a
// change immediately); a missing key, a missing file or a malformed value
// reads as the key's default. Booleans are written "1"/"0", floats with ",".
#pragma once

#include "platform/currency.h"
#include "platform/inifile.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace stb {

class Settings : public QObject {
    Q_OBJECT
public:
    // The process's settings, opened at start (empty files until then).
    static Settings &instance();

    // Opens the three files: STBrelva.ini and STBrelva2.ini in `appDir`,
    // STBrelva3.ini in `dataDir` (openSistema then openDados).
    void open(const QString &appDir, const QString &dataDir);
    // Opens STBrelva.ini and STBrelva2.ini in `appDir`. The taxpayer edition
    // erases the reference sections it must not use (secoesApagadasContribuinte)
    // from STBrelva2.ini, at every start.
    void openSistema(const QString &appDir);
    // Opens STBrelva3.ini in `dataDir`.
    void openDados(const QString &dataDir);

    IniFile &iniSistema();
    IniFile &iniLocal2();
    IniFile &iniDados();

    // Folders given to open (with a trailing "/"; empty until opened).
    QString appDir() const { return m_appDir; }
    QString dataDir() const { return m_dataDir; }

    static QStringList secoesApagadasContribuinte();

    // ---- STBrelva.ini, section "Sistema" --------------------------------
    // The shared database folder; default AppDir + "Dados/".
    QString baseDadosPath();
    void setBaseDadosPath(const QString &folder);
    void deleteBaseDadosPath();
    // The PostgreSQL server that holds the unit's tables (an address
    // "postgresql://user@host:port/database", never with a password); empty
    // when the tables are the data folder's. The data folder keeps every
    // other shared file either way.
    QString baseDadosServidor();
    void setBaseDadosServidor(const QString &address);
    void deleteBaseDadosServidor();
    bool localDrive();
    void setLocalDrive(bool v);
    bool baseARM(); // written for the collection-document program; false when absent
    void setBaseARM(bool v);
    bool reindex();
    void setReindex(bool v);
    bool reindexOnce();
    void setReindexOnce(bool v);
    Currency aliqCreditoICMS(); // percent, default 12
    void setAliqCreditoICMS(Currency percent);
    bool aliqCreditoICMSAviso();
    void setAliqCreditoICMSAviso(bool v);
    bool calculaMR();
    void setCalculaMR(bool v);
    bool auditor(); // false when absent
    void setAuditor(bool v);
    bool atualizaSistema();
    void setAtualizaSistema(bool v);
    bool atualizaDados();
    void setAtualizaDados(bool v);
    bool startHelp();
    void setStartHelp(bool v);
    bool help(); // the hint window's F1 switch; false when absent
    void setHelp(bool v);
    bool linkEx();
    void setLinkEx(bool v);
    bool link1();
    void setLink1(bool v);
    bool link2();
    void setLink2(bool v);
    bool msg2();
    void setMsg2(bool v);
    bool printEmail();
    bool printPDF();
    bool printXLS();
    bool printRTF();
    QString nesh2007(); // default AppDir
    void setNesh2007(const QString &folder);
    QString consultaNBM();
    bool removeRegEsp();
    void setRemoveRegEsp(bool v);
    bool opInterna();
    void setOpInterna(bool v);
    bool somaMR();
    int mrNormal();
    int mrEmDobro();
    int mrReducao();
    int voceSabia();
    void setVoceSabia(int v);
    QString armExe(); // default: the running program's folder + "ARM.exe"
    QString security();

    // One-byte accessors: 255 returns the stored flag, 0 writes false and 1
    // writes true (returning the value written); other values only read.
    bool IniAuto(quint8 value = 255); // default true
    bool ExecARM(quint8 value = 255); // default true; a write emits execARMChanged
    bool LinkAllUsers(quint8 value = 255); // key "Link.AllUsers", default false

    // ---- STBrelva.ini, section "Unidade" --------------------------------
    QString unidade();
    QString usuario();
    QString telefone();
    QString email();
    void setUnidade(const QString &unidade, const QString &usuario, const QString &telefone, const QString &email);
    // The unit's name: Unidade, or Usuario when Unidade is empty.
    QString unitName();
    QString prefixoTRM(); // default "0758"

    // ---- STBrelva.ini, section "HostFazenda" ----------------------------
    static QString hostPadrao();
    QString host();
    void setHost(const QString &host);
    bool proxyIE();
    void setProxyIE(bool v);
    QString proxy();
    QString porta();
    void setProxy(const QString &proxy, const QString &porta);
    void deleteProxy(); // removes Proxy and Porta (the browser's proxy is used)
    bool sendMail();
    void setSendMail(bool v);
    bool showMail();
    void setShowMail(bool v);

    // ---- STBrelva.ini, other sections -----------------------------------
    // Section "Versao": configuration upgrades done ("1.9.1.0", ...).
    bool versaoAplicada(const QString &version);
    void setVersaoAplicada(const QString &version);
    QString versaoAtual();
    QString dataVersaoAtual();
    // Section "Links" of STBrelva.ini: replaced whole, entries in order.
    void replaceLinksSistema(const QList<QPair<QString, QString>> &entries);
    QList<QPair<QString, QString>> linksSistema();
    // Section "Modulo".
    bool moduloContribuinte();
    void setModuloContribuinte(bool v);
    // Section "ListaMedic": list MVAs, percent.
    Currency listaNegativa();
    Currency listaPositiva();
    Currency listaNeutra();
    // Section "AliqIPI": the IPI rate learnt for an annex code (0 when none).
    Currency aliqIPI(const QString &code);
    void setAliqIPI(const QString &code, Currency rate);
    // Section "Novidades": bookkeeping of the news pages, by file name.
    QString novidade(const QString &file);
    void setNovidade(const QString &file, const QString &value);
    QDate novidadeData(const QString &file);
    void setNovidadeData(const QString &file, const QDate &date);

    // ---- STBrelva2.ini (reference data, read only) ----------------------
    // Section "Links": (menu caption, address) in file order.
    QList<QPair<QString, QString>> links();
    QString pmpfPort(const QString &key); // section "PMPF.PORT"
    QString portariaBebidas(); // "Sistema"/"Portaria.Bebidas"
    QString portariaRacoesPET(); // "Sistema"/"Portaria.RacoesPET"
    Currency mvaMedic(const QString &key); // section "MVA.Medic.15.1", percent, default 0

    // ---- STBrelva3.ini (shared) -----------------------------------------
    // Section "Estrutura": structure versions and NBM archives applied.
    bool estruturaAplicada(const QString &version);
    void setEstruturaAplicada(const QString &version, bool v = true);
    // Section "Lock": workstation number -> IP address.
    QString lockEntry(const QString &station);
    void setLockEntry(const QString &station, const QString &address);
    QStringList lockStations();
    // Section "Medicamento".
    QString tabMedicTxt();
    void setTabMedicTxt(const QString &v);
    bool tabMedicNovaTabela();
    void setTabMedicNovaTabela(bool v);
    QDate dataTabela();
    void setDataTabela(const QDate &date);

    // ---- Registry values ------------------------------------------------
    static QString chaveHandles(); // "\Software\Orvant\Handles\"
    // Window handles and folders under chaveHandles(): read from the current
    // user, then the local machine; written to the local machine (failures
    // ignored), then to the current user.
    std::optional<qint64> handle(const QString &name);
    void setHandle(const QString &name, qint64 value);
    std::optional<QString> handleText(const QString &name);
    void setHandleText(const QString &name, const QString &value);
    // "\Software\STBrelva": the user's shortcut choices "0"/"1" (empty when absent).
    QString registroLink(const QString &name);
    void setRegistroLink(const QString &name, bool v);
    // Shell folders ("Programs", "Desktop", "Startup", "Common Programs",
    // "Common Desktop", "Common Startup"): the registry value, or this
    // system's equivalent folder when there is none.
    QString shellFolder(const QString &name);
    // The browser's proxy ("ProxyEnable", "ProxyServer"); without registry
    // values, the environment's http_proxy.
    bool browserProxyEnabled();
    QString browserProxyServer();

private:
    bool readBool(IniFile &ini, const char *section, const char *key, bool def);
    void writeBool(IniFile &ini, const char *section, const char *key, bool v);
    QString readText(IniFile &ini, const char *section, const char *key, const QString &def = {});
    void writeText(IniFile &ini, const char *section, const char *key, const QString &v);
    bool byteFlag(const char *key, bool def, quint8 value);

    std::unique_ptr<IniFile> m_sistema, m_local2, m_dados;
    QString m_appDir, m_dataDir;

signals:
    // ExecARM was written (the main window shows or hides its collection-document button).
    void execARMChanged(bool value);
};

// The three configuration file objects of the process.
IniFile &IniSistema();
IniFile &IniLocal2();
IniFile &IniDados();

} // namespace stb
