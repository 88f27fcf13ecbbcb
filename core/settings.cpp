#include "core/settings.h"

#include "core/edition.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace stb {

namespace {

const char *const Sistema = "Sistema";
const char *const Unidade = "Unidade";
const char *const HostFazenda = "HostFazenda";
const char *const Versao = "Versao";
const char *const Medicamento = "Medicamento";

QString s(const char *text) { return QString::fromLatin1(text); }

QString withSlash(const QString &dir)
{
    if (dir.isEmpty() || dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))
        return dir;
    return dir + QLatin1Char('/');
}

// Entries of a section in file order.
QList<QPair<QString, QString>> sectionEntries(IniFile &ini, const QString &section)
{
    QList<QPair<QString, QString>> out;
    for (const QString &key : ini.readSection(section))
        out << qMakePair(key, ini.readString(section, key));
    return out;
}

const QString kLinksRegistro = QStringLiteral("\\Software\\STBrelva");
const QString kShellFolders = QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
const QString kInternetSettings = QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\");

} // namespace

Settings &Settings::instance()
{
    static Settings settings;
    return settings;
}

void Settings::open(const QString &appDir, const QString &dataDir)
{
    openSistema(appDir);
    openDados(dataDir);
}

void Settings::openSistema(const QString &appDir)
{
    m_appDir = withSlash(appDir);
    m_sistema = std::make_unique<IniFile>(QDir(appDir).filePath(QStringLiteral("STBrelva.ini")));
    m_local2 = std::make_unique<IniFile>(QDir(appDir).filePath(QStringLiteral("STBrelva2.ini")));
    if (Contribuinte) {
        for (const QString &section : secoesApagadasContribuinte())
            if (m_local2->sectionExists(section))
                m_local2->eraseSection(section);
    }
}

void Settings::openDados(const QString &dataDir)
{
    m_dataDir = withSlash(dataDir);
    m_dados = std::make_unique<IniFile>(QDir(dataDir).filePath(QStringLiteral("STBrelva3.ini")));
}

IniFile &Settings::iniSistema()
{
    if (!m_sistema)
        m_sistema = std::make_unique<IniFile>(QString());
    return *m_sistema;
}

IniFile &Settings::iniLocal2()
{
    if (!m_local2)
        m_local2 = std::make_unique<IniFile>(QString());
    return *m_local2;
}

IniFile &Settings::iniDados()
{
    if (!m_dados)
        m_dados = std::make_unique<IniFile>(QString());
    return *m_dados;
}

QStringList Settings::secoesApagadasContribuinte()
{
    return {QStringLiteral("AliqICMS"), QStringLiteral("MensAliqICMS"), QStringLiteral("Prazo.AliqICMS"),
        QStringLiteral("Prazo.MensAliqICMS"), QStringLiteral("Mensagens"), QStringLiteral("CodMercadoria"),
        QStringLiteral("Mercadorias"), QStringLiteral("CodOcorrencia"), QStringLiteral("RE.Atacadistas")};
}

// ---- helpers ---------------------------------------------------------------

bool Settings::readBool(IniFile &ini, const char *section, const char *key, bool def)
{
    return ini.readBool(s(section), s(key), def);
}

void Settings::writeBool(IniFile &ini, const char *section, const char *key, bool v)
{
    ini.writeBool(s(section), s(key), v);
}

QString Settings::readText(IniFile &ini, const char *section, const char *key, const QString &def)
{
    return ini.readString(s(section), s(key), def);
}

void Settings::writeText(IniFile &ini, const char *section, const char *key, const QString &v)
{
    ini.writeString(s(section), s(key), v);
}

bool Settings::byteFlag(const char *key, bool def, quint8 value)
{
    if (value == 0 || value == 1) {
        writeBool(iniSistema(), Sistema, key, value == 1);
        return value == 1;
    }
    return readBool(iniSistema(), Sistema, key, def);
}

// ---- STBrelva.ini, "Sistema" -----------------------------------------------

QString Settings::baseDadosPath()
{
    return readText(iniSistema(), Sistema, "BaseDadosPath", m_appDir + QStringLiteral("Dados/"));
}
void Settings::setBaseDadosPath(const QString &folder) { writeText(iniSistema(), Sistema, "BaseDadosPath", folder); }
void Settings::deleteBaseDadosPath() { iniSistema().deleteKey(s(Sistema), QStringLiteral("BaseDadosPath")); }
QString Settings::baseDadosServidor() { return readText(iniSistema(), Sistema, "BaseDadosServidor").trimmed(); }
void Settings::setBaseDadosServidor(const QString &address)
{
    writeText(iniSistema(), Sistema, "BaseDadosServidor", address);
}
void Settings::deleteBaseDadosServidor() { iniSistema().deleteKey(s(Sistema), QStringLiteral("BaseDadosServidor")); }
bool Settings::localDrive() { return readBool(iniSistema(), Sistema, "LocalDrive", false); }
void Settings::setLocalDrive(bool v) { writeBool(iniSistema(), Sistema, "LocalDrive", v); }
bool Settings::baseARM() { return readBool(iniSistema(), Sistema, "BaseARM", false); }
void Settings::setBaseARM(bool v) { writeBool(iniSistema(), Sistema, "BaseARM", v); }
bool Settings::reindex() { return readBool(iniSistema(), Sistema, "Reindex", true); }
void Settings::setReindex(bool v) { writeBool(iniSistema(), Sistema, "Reindex", v); }
bool Settings::reindexOnce() { return readBool(iniSistema(), Sistema, "ReindexOnce", false); }
void Settings::setReindexOnce(bool v) { writeBool(iniSistema(), Sistema, "ReindexOnce", v); }

Currency Settings::aliqCreditoICMS()
{
    return iniSistema().readCurrency(s(Sistema), QStringLiteral("AliqCreditoICMS"), Currency::fromInt(12));
}
void Settings::setAliqCreditoICMS(Currency percent)
{
    iniSistema().writeCurrency(s(Sistema), QStringLiteral("AliqCreditoICMS"), percent);
}

bool Settings::aliqCreditoICMSAviso() { return readBool(iniSistema(), Sistema, "AliqCreditoICMSAviso", true); }
void Settings::setAliqCreditoICMSAviso(bool v) { writeBool(iniSistema(), Sistema, "AliqCreditoICMSAviso", v); }
bool Settings::calculaMR() { return readBool(iniSistema(), Sistema, "CalculaMR", true); }
void Settings::setCalculaMR(bool v) { writeBool(iniSistema(), Sistema, "CalculaMR", v); }
bool Settings::auditor() { return readBool(iniSistema(), Sistema, "Auditor", false); }
void Settings::setAuditor(bool v) { writeBool(iniSistema(), Sistema, "Auditor", v); }
bool Settings::atualizaSistema() { return readBool(iniSistema(), Sistema, "AtualizaSistema", true); }
void Settings::setAtualizaSistema(bool v) { writeBool(iniSistema(), Sistema, "AtualizaSistema", v); }
bool Settings::atualizaDados() { return readBool(iniSistema(), Sistema, "AtualizaDados", true); }
void Settings::setAtualizaDados(bool v) { writeBool(iniSistema(), Sistema, "AtualizaDados", v); }
// The floating hints start switched on only on the old systems that needed
// them; everywhere else they start off.
bool Settings::startHelp() { return readBool(iniSistema(), Sistema, "StartHelp", false); }
void Settings::setStartHelp(bool v) { writeBool(iniSistema(), Sistema, "StartHelp", v); }
bool Settings::help() { return readBool(iniSistema(), Sistema, "Help", false); }
void Settings::setHelp(bool v) { writeBool(iniSistema(), Sistema, "Help", v); }
bool Settings::linkEx() { return readBool(iniSistema(), Sistema, "Link.Ex", true); }
void Settings::setLinkEx(bool v) { writeBool(iniSistema(), Sistema, "Link.Ex", v); }
bool Settings::link1() { return readBool(iniSistema(), Sistema, "Link.1", true); }
void Settings::setLink1(bool v) { writeBool(iniSistema(), Sistema, "Link.1", v); }
bool Settings::link2() { return readBool(iniSistema(), Sistema, "Link.2", false); }
void Settings::setLink2(bool v) { writeBool(iniSistema(), Sistema, "Link.2", v); }
bool Settings::msg2() { return readBool(iniSistema(), Sistema, "Msg2", false); }
void Settings::setMsg2(bool v) { writeBool(iniSistema(), Sistema, "Msg2", v); }
bool Settings::printEmail() { return readBool(iniSistema(), Sistema, "PrintEmail", true); }
bool Settings::printPDF() { return readBool(iniSistema(), Sistema, "PrintPDF", true); }
bool Settings::printXLS() { return readBool(iniSistema(), Sistema, "PrintXLS", true); }
bool Settings::printRTF() { return readBool(iniSistema(), Sistema, "PrintRTF", false); }
QString Settings::nesh2007() { return readText(iniSistema(), Sistema, "Nesh2007", m_appDir); }
void Settings::setNesh2007(const QString &folder) { writeText(iniSistema(), Sistema, "Nesh2007", folder); }
QString Settings::consultaNBM() { return readText(iniSistema(), Sistema, "ConsultaNBM"); }
bool Settings::removeRegEsp() { return readBool(iniSistema(), Sistema, "RemoveRegEsp", false); }
void Settings::setRemoveRegEsp(bool v) { writeBool(iniSistema(), Sistema, "RemoveRegEsp", v); }
bool Settings::opInterna() { return readBool(iniSistema(), Sistema, "OpInterna", false); }
void Settings::setOpInterna(bool v) { writeBool(iniSistema(), Sistema, "OpInterna", v); }
bool Settings::somaMR() { return readBool(iniSistema(), Sistema, "SomaMR", true); }
int Settings::mrNormal() { return iniSistema().readInteger(s(Sistema), QStringLiteral("MRNormal"), 50); }
int Settings::mrEmDobro() { return iniSistema().readInteger(s(Sistema), QStringLiteral("MREmDobro"), 100); }
int Settings::mrReducao() { return iniSistema().readInteger(s(Sistema), QStringLiteral("MRReducao"), 20); }
int Settings::voceSabia() { return iniSistema().readInteger(s(Sistema), QStringLiteral("VoceSabia"), 0); }
void Settings::setVoceSabia(int v) { iniSistema().writeInteger(s(Sistema), QStringLiteral("VoceSabia"), v); }

QString Settings::armExe()
{
    return readText(iniSistema(), Sistema, "ARM.exe",
        withSlash(QCoreApplication::applicationDirPath()) + QStringLiteral("ARM.exe"));
}

QString Settings::security() { return readText(iniSistema(), Sistema, "Security"); }

bool Settings::IniAuto(quint8 value) { return byteFlag("IniAuto", true, value); }

bool Settings::ExecARM(quint8 value)
{
    const bool v = byteFlag("ExecARM", true, value);
    if (value == 0 || value == 1)
        emit execARMChanged(v);
    return v;
}

bool Settings::LinkAllUsers(quint8 value) { return byteFlag("Link.AllUsers", false, value); }

// ---- STBrelva.ini, "Unidade" -----------------------------------------------

QString Settings::unidade() { return readText(iniSistema(), Unidade, "Unidade"); }
QString Settings::usuario() { return readText(iniSistema(), Unidade, "Usuario"); }
QString Settings::telefone() { return readText(iniSistema(), Unidade, "Telefone"); }
QString Settings::email() { return readText(iniSistema(), Unidade, "Email"); }

void Settings::setUnidade(const QString &unidade, const QString &usuario, const QString &telefone, const QString &email)
{
    writeText(iniSistema(), Unidade, "Unidade", unidade);
    writeText(iniSistema(), Unidade, "Usuario", usuario);
    writeText(iniSistema(), Unidade, "Telefone", telefone);
    writeText(iniSistema(), Unidade, "Email", email);
}

QString Settings::unitName()
{
    const QString name = unidade();
    return name.isEmpty() ? usuario() : name;
}

QString Settings::prefixoTRM() { return readText(iniSistema(), Unidade, "Prefixo.TRM", QStringLiteral("0758")); }

// ---- STBrelva.ini, "HostFazenda" -------------------------------------------

QString Settings::hostPadrao() { return QStringLiteral("atualiza.stbrelva.local"); }
QString Settings::host() { return readText(iniSistema(), HostFazenda, "Host", hostPadrao()); }
void Settings::setHost(const QString &host) { writeText(iniSistema(), HostFazenda, "Host", host); }
bool Settings::proxyIE() { return readBool(iniSistema(), HostFazenda, "ProxyIE", true); }
void Settings::setProxyIE(bool v) { writeBool(iniSistema(), HostFazenda, "ProxyIE", v); }
QString Settings::proxy() { return readText(iniSistema(), HostFazenda, "Proxy"); }
QString Settings::porta() { return readText(iniSistema(), HostFazenda, "Porta"); }

void Settings::setProxy(const QString &proxy, const QString &porta)
{
    writeText(iniSistema(), HostFazenda, "Proxy", proxy);
    writeText(iniSistema(), HostFazenda, "Porta", porta);
}

void Settings::deleteProxy()
{
    iniSistema().deleteKey(s(HostFazenda), QStringLiteral("Proxy"));
    iniSistema().deleteKey(s(HostFazenda), QStringLiteral("Porta"));
}

bool Settings::sendMail() { return readBool(iniSistema(), HostFazenda, "SendMail", true); }
void Settings::setSendMail(bool v) { writeBool(iniSistema(), HostFazenda, "SendMail", v); }
bool Settings::showMail() { return readBool(iniSistema(), HostFazenda, "ShowMail", true); }
void Settings::setShowMail(bool v) { writeBool(iniSistema(), HostFazenda, "ShowMail", v); }

// ---- STBrelva.ini, other sections ------------------------------------------

bool Settings::versaoAplicada(const QString &version) { return iniSistema().readBool(s(Versao), version, false); }
void Settings::setVersaoAplicada(const QString &version) { iniSistema().writeBool(s(Versao), version, true); }
QString Settings::versaoAtual() { return readText(iniSistema(), Versao, "VersaoAtual"); }
QString Settings::dataVersaoAtual() { return readText(iniSistema(), Versao, "DataVersaoAtual"); }

void Settings::replaceLinksSistema(const QList<QPair<QString, QString>> &entries)
{
    iniSistema().eraseSection(QStringLiteral("Links"));
    for (const auto &e : entries)
        iniSistema().writeString(QStringLiteral("Links"), e.first, e.second);
}

QList<QPair<QString, QString>> Settings::linksSistema()
{
    return sectionEntries(iniSistema(), QStringLiteral("Links"));
}

bool Settings::moduloContribuinte() { return readBool(iniSistema(), "Modulo", "Contribuinte", false); }
void Settings::setModuloContribuinte(bool v) { writeBool(iniSistema(), "Modulo", "Contribuinte", v); }

Currency Settings::listaNegativa()
{
    return iniSistema().readCurrency(
        QStringLiteral("ListaMedic"), QStringLiteral("Negativa"), Currency::fromRaw(330000));
}
Currency Settings::listaPositiva()
{
    return iniSistema().readCurrency(
        QStringLiteral("ListaMedic"), QStringLiteral("Positiva"), Currency::fromRaw(382400));
}
Currency Settings::listaNeutra()
{
    return iniSistema().readCurrency(QStringLiteral("ListaMedic"), QStringLiteral("Neutra"), Currency::fromRaw(413800));
}

Currency Settings::aliqIPI(const QString &code)
{
    return code.isEmpty() ? Currency() : iniSistema().readCurrency(QStringLiteral("AliqIPI"), code);
}

void Settings::setAliqIPI(const QString &code, Currency rate)
{
    if (!code.isEmpty())
        iniSistema().writeCurrency(QStringLiteral("AliqIPI"), code, rate);
}

QString Settings::novidade(const QString &file) { return iniSistema().readString(QStringLiteral("Novidades"), file); }
void Settings::setNovidade(const QString &file, const QString &value)
{
    iniSistema().writeString(QStringLiteral("Novidades"), file, value);
}
QDate Settings::novidadeData(const QString &file) { return iniSistema().readDate(QStringLiteral("Novidades"), file); }
void Settings::setNovidadeData(const QString &file, const QDate &date)
{
    iniSistema().writeDate(QStringLiteral("Novidades"), file, date);
}

// ---- STBrelva2.ini ---------------------------------------------------------

QList<QPair<QString, QString>> Settings::links() { return sectionEntries(iniLocal2(), QStringLiteral("Links")); }
QString Settings::pmpfPort(const QString &key) { return iniLocal2().readString(QStringLiteral("PMPF.PORT"), key); }
QString Settings::portariaBebidas() { return readText(iniLocal2(), Sistema, "Portaria.Bebidas"); }
QString Settings::portariaRacoesPET() { return readText(iniLocal2(), Sistema, "Portaria.RacoesPET"); }
Currency Settings::mvaMedic(const QString &key)
{
    return iniLocal2().readCurrency(QStringLiteral("MVA.Medic.15.1"), key);
}

// ---- STBrelva3.ini ---------------------------------------------------------

bool Settings::estruturaAplicada(const QString &version)
{
    return iniDados().readBool(QStringLiteral("Estrutura"), version, false);
}
void Settings::setEstruturaAplicada(const QString &version, bool v)
{
    iniDados().writeBool(QStringLiteral("Estrutura"), version, v);
}
QString Settings::lockEntry(const QString &station) { return iniDados().readString(QStringLiteral("Lock"), station); }
void Settings::setLockEntry(const QString &station, const QString &address)
{
    iniDados().writeString(QStringLiteral("Lock"), station, address);
}
QStringList Settings::lockStations() { return iniDados().readSection(QStringLiteral("Lock")); }
QString Settings::tabMedicTxt() { return readText(iniDados(), Medicamento, "TabMedic.txt"); }
void Settings::setTabMedicTxt(const QString &v) { writeText(iniDados(), Medicamento, "TabMedic.txt", v); }
bool Settings::tabMedicNovaTabela() { return readBool(iniDados(), Medicamento, "TabMedic.txt.NovaTabela", false); }
void Settings::setTabMedicNovaTabela(bool v) { writeBool(iniDados(), Medicamento, "TabMedic.txt.NovaTabela", v); }
QDate Settings::dataTabela() { return iniDados().readDate(s(Medicamento), QStringLiteral("DataTabela")); }
void Settings::setDataTabela(const QDate &date)
{
    iniDados().writeDate(s(Medicamento), QStringLiteral("DataTabela"), date);
}

// ---- Registry values -------------------------------------------------------

QString Settings::chaveHandles() { return QStringLiteral("\\Software\\Orvant\\Handles\\"); }

std::optional<qint64> Settings::handle(const QString &name)
{
    return Registry::readIntegerAnyRoot(chaveHandles(), name);
}

void Settings::setHandle(const QString &name, qint64 value)
{
    Registry::writeInteger(Registry::Root::LocalMachine, chaveHandles(), name, value);
    Registry::writeInteger(Registry::Root::CurrentUser, chaveHandles(), name, value);
}

std::optional<QString> Settings::handleText(const QString &name)
{
    return Registry::readStringAnyRoot(chaveHandles(), name);
}

void Settings::setHandleText(const QString &name, const QString &value)
{
    Registry::writeString(Registry::Root::LocalMachine, chaveHandles(), name, value);
    Registry::writeString(Registry::Root::CurrentUser, chaveHandles(), name, value);
}

QString Settings::registroLink(const QString &name)
{
    return Registry::readString(Registry::Root::CurrentUser, kLinksRegistro, name).value_or(QString());
}

void Settings::setRegistroLink(const QString &name, bool v)
{
    Registry::writeString(
        Registry::Root::CurrentUser, kLinksRegistro, name, v ? QStringLiteral("1") : QStringLiteral("0"));
}

QString Settings::shellFolder(const QString &name)
{
    if (auto v = Registry::readString(Registry::Root::CurrentUser, kShellFolders, name))
        return *v;
    // Without the registry: the desktop's own folders (freedesktop layout).
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (name.compare(QLatin1String("Programs"), Qt::CaseInsensitive) == 0)
        return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (name.compare(QLatin1String("Desktop"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("Common Desktop"), Qt::CaseInsensitive) == 0)
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (name.compare(QLatin1String("Startup"), Qt::CaseInsensitive) == 0)
        return config + QStringLiteral("/autostart");
    if (name.compare(QLatin1String("Common Programs"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("/usr/local/share/applications");
    if (name.compare(QLatin1String("Common Startup"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("/etc/xdg/autostart");
    return {};
}

bool Settings::browserProxyEnabled()
{
    if (auto v = Registry::readInteger(Registry::Root::CurrentUser, kInternetSettings, QStringLiteral("ProxyEnable")))
        return *v != 0;
    return !qEnvironmentVariableIsEmpty("http_proxy");
}

QString Settings::browserProxyServer()
{
    if (auto v = Registry::readString(Registry::Root::CurrentUser, kInternetSettings, QStringLiteral("ProxyServer")))
        return *v;
    const QUrl url(qEnvironmentVariable("http_proxy"));
    if (url.host().isEmpty())
        return {};
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

// ---- the process's files ---------------------------------------------------

IniFile &IniSistema() { return Settings::instance().iniSistema(); }
IniFile &IniLocal2() { return Settings::instance().iniLocal2(); }
IniFile &IniDados() { return Settings::instance().iniDados(); }

} // namespace stb
