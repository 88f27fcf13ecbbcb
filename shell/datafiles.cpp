#include "shell/datafiles.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/produtosnbm.h"
#include "core/settings.h"
#include "outputs/medic.h"
#include "platform/db/filelock.h"
#include "platform/db/pgpristine.h"
#include "platform/filecopy.h"
#include "platform/formatting.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"
#include "shell/servidor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stb {

namespace {

QString pastaPristina() { return App().AppDir + QStringLiteral("Sys/Dados/"); }
QString pastaEntregues() { return App().AppDir + QStringLiteral("Sys/Dados.Atualiza/"); }

const QString kParaBase = QStringLiteral(" para a base de dados.\r");
const QString kParaBaseARM = QStringLiteral(" para a base de dados ARM.\r");

void falhaCopia(const QString &nome, const QString &sufixo, const QString &erro)
{
    MsgErro(QStringLiteral("Não consegui copiar ") + nome + sufixo + erro + QLatin1Char('.'));
}

// Copies every file of `from` that `to` lacks (names compared without case).
void copiaFaltantes(const QString &from, const QString &to, const QString &sufixo)
{
    if (!QFileInfo(from).isDir())
        return;
    QDir().mkpath(to);
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files)) {
        const QString alvo = fileNoCase(to, fi.fileName());
        if (QFileInfo::exists(alvo))
            continue;
        QString erro;
        if (!copyFileReplacing(fi.absoluteFilePath(), alvo, &erro))
            falhaCopia(fi.fileName(), sufixo, erro);
    }
}

// Copies each delivered file over the data folder's file of the same name
// (read-only or not), then over the pristine copy, and removes it from the
// delivery folder. Each copy is whole or absent, so a start that is killed
// half-way leaves the delivery in place for the next start to finish.
void aplicaEntregues(const QString &entregues, const QString &to, const QString &pristina, const QString &sufixo)
{
    if (!QFileInfo(entregues).isDir())
        return;
    QDir().mkpath(to);
    for (const QFileInfo &fi : QDir(entregues).entryInfoList(QDir::Files)) {
        const QString alvo = fileNoCase(to, fi.fileName());
        QString erro;
        if (!copyFileReplacing(fi.absoluteFilePath(), alvo, &erro)) {
            falhaCopia(fi.fileName(), sufixo, erro);
            continue;
        }
        // A descriptor of the engine on the replaced file would lock nothing.
        db::FileLock::release(alvo);
        QDir().mkpath(pristina);
        if (!copyFileReplacing(fi.absoluteFilePath(), fileNoCase(pristina, fi.fileName()), &erro)) {
            falhaCopia(fi.fileName(), sufixo, erro);
            continue;
        }
        QFile::remove(fi.absoluteFilePath());
    }
}

// Tries a file of the data folder; a failure re-creates the database.
void verificaArquivo(const QString &path, bool restaura)
{
    ArquivoDados arquivo = TryOpenFile(path, restaura);
    RecreateDatabase(path, arquivo);
}

} // namespace

QDate dataTabelaEntregue(const QString &dataFile)
{
    QFile f(dataFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString linha = QString::fromUtf8(f.readLine()).trimmed();
    QDate d = StrToDate(linha);
    if (!d.isValid())
        d = QDate::fromString(linha, Qt::ISODate);
    return d;
}

void RecuperaTabelasInterrompidas()
{
    // The engine finishes, when it connects to a folder, every table
    // replacement a killed process left half done (restructure, repair).
    TDM &dm = DM();
    for (db::Database *base : {&dm.BaseDados, &dm.BaseARM}) {
        if (!QFileInfo(base->directory()).isDir() || (Contribuinte && base == &dm.BaseARM))
            continue;
        try {
            base->open();
        } catch (const db::EngineError &) {
            // The file checks that follow report what cannot be opened.
        }
    }
}

void VerificaArquivosDeDados()
{
    const QString dir = App().DataDir;
    const QStringList tabelas = QDir(dir).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    for (const QString &nome : tabelas) {
        if (nome.compare(nbm::tabelaTrabalho() + QStringLiteral(".dat"), Qt::CaseInsensitive) == 0)
            continue;
        if (Contribuinte && nome.compare(nbm::tabela() + QStringLiteral(".dat"), Qt::CaseInsensitive) == 0)
            continue;
        const QString base = QFileInfo(nome).completeBaseName();
        verificaArquivo(QDir(dir).filePath(nome), false);
        verificaArquivo(fileNoCase(dir, base + QStringLiteral(".idx")), true);
        const QString blb = fileNoCase(dir, base + QStringLiteral(".blb"));
        if (QFileInfo::exists(blb))
            verificaArquivo(blb, true);
    }
}

void CopiaTabelasFaltantes()
{
    copiaFaltantes(pastaPristina(), App().DataDir, kParaBase);
    if (!Contribuinte)
        copiaFaltantes(pastaPristina() + QStringLiteral("ARM/"), App().DataDir + QStringLiteral("ARM/"), kParaBaseARM);
}

void AplicaArquivosEntregues()
{
    aplicaEntregues(pastaEntregues(), App().DataDir, pastaPristina(), kParaBase);
    if (!Contribuinte)
        aplicaEntregues(pastaEntregues() + QStringLiteral("ARM/"), App().DataDir + QStringLiteral("ARM/"),
            pastaPristina() + QStringLiteral("ARM/"), kParaBase);
}

void AplicaArquivosEntreguesServidor()
{
    struct Entrega {
        QString entregues, pristina, pasta, sufixo;
    };
    QList<Entrega> entregas {{pastaEntregues(), pastaPristina(), QString(), kParaBase}};
    if (!Contribuinte)
        entregas.append({pastaEntregues() + QStringLiteral("ARM/"), pastaPristina() + QStringLiteral("ARM/"),
            QStringLiteral("ARM"), kParaBase});
    for (const Entrega &e : entregas) {
        if (!QFileInfo(e.entregues).isDir())
            continue;
        // Reading the delivered tables leaves the engine's connection file
        // in the folder: it is not part of the delivery.
        const QString conexao = QString::fromLatin1(db::Database::MainFileName);
        const auto daConexao
            = [&conexao](const QFileInfo &fi) { return fi.fileName().startsWith(conexao, Qt::CaseInsensitive); };
        QFileInfoList arquivos = QDir(e.entregues).entryInfoList(QDir::Files);
        arquivos.removeIf(daConexao);
        const auto ehTabela = [](const QFileInfo &fi) {
            const QString ext = fi.suffix().toLower();
            return ext == QLatin1String("dat") || ext == QLatin1String("idx") || ext == QLatin1String("blb");
        };
        // The tables replace the server's in one step; a failure keeps the
        // delivery for the next start.
        try {
            db::pgReplaceTables(App().Servidor, e.entregues, e.pasta);
        } catch (const db::EngineError &erro) {
            for (const QFileInfo &fi : arquivos)
                if (fi.suffix().compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
                    falhaCopia(fi.fileName(), e.sufixo, erro.message());
            continue;
        }
        // Then each file goes over the pristine copy (the next empty server
        // database is loaded from it); files that are not tables go to the
        // data folder as they do without a server.
        const QString pastaDados = e.pasta.isEmpty() ? App().DataDir : App().DataDir + e.pasta + QLatin1Char('/');
        QDir().mkpath(e.pristina);
        for (const QFileInfo &fi : arquivos) {
            QString erro;
            if (!ehTabela(fi)
                && !copyFileReplacing(fi.absoluteFilePath(), fileNoCase(pastaDados, fi.fileName()), &erro)) {
                falhaCopia(fi.fileName(), e.sufixo, erro);
                continue;
            }
            if (!copyFileReplacing(fi.absoluteFilePath(), fileNoCase(e.pristina, fi.fileName()), &erro)) {
                falhaCopia(fi.fileName(), e.sufixo, erro);
                continue;
            }
            QFile::remove(fi.absoluteFilePath());
        }
        for (const QFileInfo &fi : QDir(e.entregues).entryInfoList(QDir::Files))
            if (daConexao(fi))
                QFile::remove(fi.absoluteFilePath());
    }
}

void CopiaTabelaMedicamentos()
{
    const QString pasta = App().AppDir + QStringLiteral("Sys/Medic/");
    const QString entregue = fileNoCase(pasta, QStringLiteral("TabMedic.txt"));
    if (!QFileInfo::exists(entregue))
        return;
    const QString dataFile = fileNoCase(pasta, QStringLiteral("TabMedic.data"));
    Settings &s = Settings::instance();
    const QDate data = dataTabelaEntregue(dataFile);
    const QString dataDir = App().DataDir;
    const bool maisNova = data.isValid() && (!s.dataTabela().isValid() || data > s.dataTabela());
    if (maisNova || !QFileInfo::exists(fileNoCase(dataDir, QStringLiteral("Medic.Tab")))) {
        QString erro;
        if (!copyFileReplacing(entregue, fileNoCase(dataDir, QStringLiteral("TabMedic.txt")), &erro)) {
            MsgErro(QStringLiteral("Não consegui copiar a nova tabela de medicamentos (%1).").arg(erro));
        } else {
            QFile::remove(fileNoCase(dataDir, QStringLiteral("Medic.Tab")));
            if (data.isValid()) {
                s.setDataTabela(data);
                // The month the table refers to, "OUTUBRO/2024".
                SetTabMedicMesAno(
                    IniMedicamento(), QStringLiteral("%1/%2").arg(NomeMesMaiusculo(data.month())).arg(data.year()));
            }
        }
    }
    QFile::remove(entregue);
    QFile::remove(dataFile);
}

namespace {
// A new database is filled from the installation's tables, which already
// have the current structure: the structure upgrades are marked done.
void marcaEstruturaAtual()
{
    for (const char *marcador : {"2009.04.01", "2012.09.01"})
        Settings::instance().setEstruturaAplicada(QString::fromLatin1(marcador));
}
} // namespace

void CheckDataFiles()
{
    if (!App().Servidor.isEmpty()) {
        // The tables are on the server: a new server database gets the
        // installation's tables; there are no table files to check. The
        // medicine table is a file of the data folder either way.
        if (CarregaTabelasServidor(App().Servidor, pastaPristina()))
            marcaEstruturaAtual();
        AplicaArquivosEntreguesServidor();
        ConectaServidor(App().Servidor);
        CopiaTabelaMedicamentos();
        return;
    }
    const bool novaBase
        = QDir(App().DataDir).entryList({QStringLiteral("*.dat"), QStringLiteral("*.dbk")}, QDir::Files).isEmpty();
    RecuperaTabelasInterrompidas();
    VerificaArquivosDeDados();
    CopiaTabelasFaltantes();
    if (novaBase)
        marcaEstruturaAtual();
    AplicaArquivosEntregues();
    CopiaTabelaMedicamentos();
}

} // namespace stb
