#include "shell/crashreport.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/itemcalc.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/db/types.h"
#include "platform/drives.h"
#include "platform/registry.h"
#include "platform/winmsg.h"
#include "shell/appglobals.h"
#include "shell/application.h"
#include "shell/mainwindow.h"
#include "shell/servidor.h"
#include "shell/stations.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace stb::relatorio {

namespace {

QString simNao(bool v) { return v ? QStringLiteral("Sim") : QStringLiteral("Não"); }

bool janelaViva(const QString &nome)
{
    const auto h = Settings::instance().handle(nome);
    return h && IsWindow(*h);
}

QString tabelasAbertas()
{
    if (!TDM::hasInstance())
        return QStringLiteral("Nil");
    TDM &dm = DM();
    const std::pair<const char *, db::DataSet *> tabelas[] = {{"TabCalc", &dm.TabCalc}, {"TabNotas", &dm.TabNotas},
        {"TabItens", &dm.TabItens}, {"TabItensMedic", &dm.TabItensMedic}, {"TabFisc", &dm.TabFisc},
        {"TabRemet", &dm.TabRemet}, {"TabDest", &dm.TabDest}, {"TabBrelva", &dm.TabBrelva}, {"TabPMPF", &dm.TabPMPF},
        {"TabBebidas", &dm.TabBebidas}, {"TabRacoesPET", &dm.TabRacoesPET},
        {"TabRegimeEspecial", &dm.TabRegimeEspecial}, {"TabIndexNBM", &dm.TabIndexNBM}, {"TabMedic", &dm.TabMedic},
        {"TabCodMerc", &dm.TabCodMerc}, {"TabTEC", &dm.TabTEC}, {"TabVoceSabia", &dm.TabVoceSabia},
        {"TabSys", &dm.TabSys}, {"TabARM", &dm.TabARM}};
    if (!dm.BaseDados.isConnected())
        return QStringLiteral("DBNil");
    QStringList abertas;
    for (const auto &[nome, tabela] : tabelas)
        if (tabela->isActive())
            abertas << QLatin1String(nome);
    return abertas.isEmpty() ? QStringLiteral("None") : abertas.join(QStringLiteral(", "));
}

} // namespace

QStringList linhasExtras(const DadosRelatorio &d)
{
    QStringList l;
    if (d.contribuinte)
        l << QStringLiteral("Versao=Contribuinte");
    l << QStringLiteral(", Comp: ") + d.computador + QStringLiteral(", IP: ") + d.ip;
    l << QStringList {d.unidade, d.telefone, d.email}.join(QStringLiteral(", "));
    l << QStringLiteral("Usuario=") + d.usuario;
    l << QStringLiteral("Exe=") + d.exe + QStringLiteral(", Versão: ") + d.versao;
    l << QStringLiteral("AppDir=") + d.appDir;
    l << QStringLiteral("Dados=") + d.dataDir;
    if (d.lastError != 0)
        l << QStringLiteral("LastError=%1: %2").arg(d.lastError).arg(d.lastErrorTexto);
    l << QStringLiteral("DataModule=") + d.tabelas;
    l << QStringLiteral("STExecs=Brelva: %1; RegEsp: %2; ARM: %3.")
             .arg(simNao(d.brelva), simNao(d.regEsp), simNao(d.arm));
    return l;
}

QString blocoExtras(const DadosRelatorio &d)
{
    return linhasExtras(d).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n");
}

DadosRelatorio coletaDados(int lastError)
{
    const AppGlobals &g = App();
    Settings &s = Settings::instance();
    DadosRelatorio d;
    d.contribuinte = Contribuinte;
    d.computador = computerName();
    d.ip = enderecoIPLocal();
    d.unidade = s.unidade();
    d.telefone = s.telefone();
    d.email = s.email();
    d.usuario = s.usuario();
    d.exe = QCoreApplication::applicationFilePath();
    const TMain *main = TMain::instance();
    d.versao = main && !main->VersionText.isEmpty() ? main->VersionText : QCoreApplication::applicationVersion();
    d.appDir = g.AppDir;
    d.dataDir = g.DataDir;
    d.lastError = lastError == 127 ? 0 : lastError;
    if (d.lastError != 0)
        d.lastErrorTexto = QString::fromLocal8Bit(std::strerror(d.lastError));
    d.tabelas = tabelasAbertas();
    d.brelva = janelaViva(annex::nomeJanela());
    d.regEsp = janelaViva(QStringLiteral("RegimeEspecial.Main"));
    d.arm = janelaViva(QStringLiteral("ARM.Main"));
    return d;
}

QString linhaArquivo(int numero, const QFileInfo &fi)
{
    static const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    const QDateTime data = fi.lastModified();
    // Archive and system have no counterpart here; read-only is a file
    // without any write permission, hidden a name beginning with a dot.
    QString atributos = QStringLiteral("    ");
    if (!(fi.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)))
        atributos[1] = QLatin1Char('R');
    if (fi.isHidden())
        atributos[2] = QLatin1Char('H');
    return QStringLiteral("%1:%2 %3 %4%5 %6")
        .arg(numero, 4, 10, QLatin1Char('0'))
        .arg(brasil.toString(fi.size()), 10)
        .arg(data.toString(QStringLiteral("dd/MM/yyyy")), data.toString(QStringLiteral("hh:mm:ss")))
        .arg(atributos, 7)
        .arg(fi.fileName());
}

bool arquivoListado(const QFileInfo &fi)
{
    static const QStringList nomes {QStringLiteral("STBrelva.ini"), QStringLiteral("STBrelva2.ini"),
        QStringLiteral("STBrelva3.ini"), QStringLiteral("Atualiza.ini"), QStringLiteral("Atualiza.log"),
        QStringLiteral("RegEsp.ini"), QStringLiteral("Copia.log"), QStringLiteral("Log.txt")};
    if (!fi.isFile())
        return false;
    if (nomes.contains(fi.fileName(), Qt::CaseInsensitive))
        return true;
    const QString ext = fi.suffix().toLower();
    if (ext == QLatin1String("exe") || ext == QLatin1String("bpl"))
        return true;
    // Programs here carry no extension: an executable file without one.
    return fi.suffix().isEmpty() && fi.isExecutable();
}

QString listagemSTInfo(const QString &appDir)
{
    QString texto;
    QTextStream out(&texto);
    int n = 0;
    QStringList arquivos;
    QDirIterator it(appDir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        arquivos << it.next();
    arquivos.sort(Qt::CaseInsensitive);
    for (const QString &a : arquivos) {
        const QFileInfo fi(a);
        if (arquivoListado(fi))
            out << linhaArquivo(++n, fi) << "\r\n";
    }
    const QString chave = Settings::chaveHandles();
    const std::pair<Registry::Root, const char *> raizes[]
        = {{Registry::Root::LocalMachine, "Erro lendo HKEY_LOCAL_MACHINE\\Software\\Orvant\\Handles"},
            {Registry::Root::CurrentUser, "Erro lendo HKEY_CURRENT USER\\Software\\Orvant\\Handles"}};
    for (const auto &[raiz, erro] : raizes) {
        const auto nomes = Registry::valueNames(raiz, chave);
        if (!nomes) {
            out << QString::fromUtf8(erro) << "\r\n";
            continue;
        }
        int i = 0;
        for (const QString &nome : *nomes)
            out << QStringLiteral("%1: %2=%3")
                       .arg(++i, 4, 10, QLatin1Char('0'))
                       .arg(nome, Registry::readString(raiz, chave, nome).value_or(QString()))
                << "\r\n";
    }
    for (const char *nome : {"STBrelva.AppDir", "STBrelva.Path"})
        out << QLatin1String(nome) << '=' << Registry::readStringAnyRoot(chave, QLatin1String(nome)).value_or(QString())
            << "\r\n";
    out.flush();
    return texto;
}

bool deveReportar(const std::exception &e)
{
    if (conexaoPerdida(e))
        return false;
    // Conversion and input errors, invalid floating-point operations.
    if (dynamic_cast<const std::invalid_argument *>(&e) || dynamic_cast<const std::out_of_range *>(&e)
        || dynamic_cast<const std::domain_error *>(&e) || dynamic_cast<const EstouroValor *>(&e))
        return false;
    return !QString::fromUtf8(e.what()).startsWith(QStringLiteral("Data inválida"));
}

bool conexaoPerdida(const std::exception &e)
{
    const auto *engine = dynamic_cast<const db::EngineError *>(&e);
    return engine && engine->code() == db::Err::ConnectionLost;
}

QString textoErroRede(const QString &computador)
{
    return QStringLiteral("Atenção: Houve um erro na rede. O sistema ST/Brelva vai ser encerrado.\r"
                          "Você deve reiniciar este computador e também o computador onde a\r"
                          "base de dados está armazenada (")
        + computador + QStringLiteral(").");
}

QString pastaRelatorios()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/STBrelva/Erros");
}

QString escreveRelatorio(const QString &titulo, const QString &erro, int lastError)
{
    const QString listagem = listagemSTInfo(App().AppDir);
    QFile info(QDir::tempPath() + QStringLiteral("/STInfo.txt"));
    if (info.open(QIODevice::WriteOnly | QIODevice::Truncate))
        info.write(listagem.toUtf8());
    info.close();
    QDir().mkpath(pastaRelatorios());
    const QString caminho = pastaRelatorios() + QStringLiteral("/STBrelva-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")) + QStringLiteral(".txt");
    QFile f(caminho);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QString texto = titulo + QStringLiteral("\r\n")
        + QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + QStringLiteral("\r\n\r\n")
        + erro + QStringLiteral("\r\n\r\n") + blocoExtras(coletaDados(lastError)) + QStringLiteral("STInfo.txt\r\n")
        + listagem;
    f.write(texto.toUtf8());
    return f.error() == QFileDevice::NoError ? caminho : QString();
}

void trataExcecao(const std::exception &e)
{
    // The last system error, before anything else can change it.
    const int codigo = errno;
    if (conexaoPerdida(e)) {
        MsgErro(textoErroRede(computadorDosDados()));
        if (TMain *main = TMain::instance())
            main->EncerraSistema();
        else
            QCoreApplication::exit(1);
        return;
    }
    QString mensagem = textoErroInesperado(e);
    if (!deveReportar(e)) {
        MsgErro(dynamic_cast<const EstouroValor *>(&e) ? mensagem : QString::fromUtf8(e.what()));
        return;
    }
    // Engine errors carry no system code of their own.
    const int lastError = dynamic_cast<const db::EngineError *>(&e) ? 0 : codigo;
    const QString arquivo = escreveRelatorio(QStringLiteral("Erro no sistema ST/Brelva"), mensagem, lastError);
    if (!arquivo.isEmpty())
        mensagem += QStringLiteral("\r\rOs dados deste erro foram gravados em:\r") + arquivo;
    MsgErro(mensagem);
}

// ---- fatal signals --------------------------------------------------------------

namespace {
char g_caminho[4096];
char *g_dados = nullptr;
size_t g_tamanho = 0;

void escreveTudo(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0)
            return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}

extern "C" void aoSinalFatal(int sinal)
{
    // Only calls that are safe in a signal handler: the text was prepared
    // beforehand.
    const int fd = ::open(g_caminho, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const char *nome = sinal == SIGSEGV ? "SIGSEGV"
            : sinal == SIGABRT              ? "SIGABRT"
            : sinal == SIGBUS               ? "SIGBUS"
            : sinal == SIGFPE               ? "SIGFPE"
                                            : "SIGILL";
        static constexpr char cabecalho[] = "Erro fatal no sistema ST/Brelva: ";
        escreveTudo(fd, cabecalho, sizeof cabecalho - 1);
        escreveTudo(fd, nome, std::strlen(nome));
        escreveTudo(fd, "\r\n\r\n", 4);
        if (g_dados)
            escreveTudo(fd, g_dados, g_tamanho);
        void *pilha[64];
        const int n = ::backtrace(pilha, 64);
        ::backtrace_symbols_fd(pilha, n, fd);
        ::close(fd);
    }
    std::signal(sinal, SIG_DFL);
    std::raise(sinal);
}
} // namespace

void instalaSinaisFatais()
{
    QDir().mkpath(pastaRelatorios());
    const QByteArray caminho = QFile::encodeName(
        pastaRelatorios() + QStringLiteral("/STBrelva-fatal-%1.txt").arg(QCoreApplication::applicationPid()));
    std::strncpy(g_caminho, caminho.constData(), sizeof g_caminho - 1);
    const QByteArray dados = blocoExtras(coletaDados(0)).toUtf8();
    char *novo = new char[static_cast<size_t>(dados.size())];
    std::memcpy(novo, dados.constData(), static_cast<size_t>(dados.size()));
    char *antigo = g_dados;
    g_tamanho = 0;
    g_dados = novo;
    g_tamanho = static_cast<size_t>(dados.size());
    delete[] antigo;
    // backtrace loads its library on first use; do it now, not in the handler.
    void *pilha[1];
    ::backtrace(pilha, 1);
    for (int sinal : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(sinal, aoSinalFatal);
}

} // namespace stb::relatorio
