#include "shell/nbm.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/produtosnbm.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/drives.h"
#include "platform/filecopy.h"
#include "platform/zlbarchive.h"
#include "shell/appglobals.h"
#include "shell/dbmaint.h"
#include "shell/dbopen.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

namespace stb {

namespace {

const QString kEmAndamento = QStringLiteral("Os produtos NBM estão sendo reindexados neste momento...");

// Every line of every entry of an archive; false when it cannot be read.
bool linhasDoArquivo(const QString &path, QStringList &linhas)
{
    TZLBArchive arquivo;
    if (!arquivo.open(path))
        return false;
    for (int i = 0; i < arquivo.count(); ++i) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (!arquivo.readEntry(i, buffer))
            return false;
        QString texto = QString::fromUtf8(buffer.data());
        texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        for (const QString &l : texto.split(QLatin1Char('\n')))
            if (!l.trimmed().isEmpty())
                linhas << l;
    }
    return true;
}

// The work copy of the rebuild, taken from the pristine table (the index
// file first, so a work copy whose .dat exists is whole).
bool preparaCopiaTrabalho()
{
    const QString pristina = App().AppDir + QStringLiteral("Sys/Dados/");
    const QString dataDir = App().DataDir;
    for (const char *ext : {".idx", ".dat"}) {
        const QString origem = fileNoCase(pristina, nbm::tabela() + QLatin1String(ext));
        if (!QFileInfo::exists(origem))
            return false;
        if (!copyFileReplacing(origem, fileNoCase(dataDir, nbm::tabelaTrabalho() + QLatin1String(ext))))
            return false;
    }
    return true;
}

// With the tables on a server there are no table files for the tool: the
// table is rebuilt here, through the server, with its steps on the status
// line. Returns the error text, empty when it went well.
QString reconstroiNoServidor(nbm::Modo modo)
{
    TDM &dm = DM();
    dm.TabIndexNBM.close();
    try {
        nbm::reconstroi(dm.BaseDados, modo, App().AppDir + QStringLiteral("Sys/Dados/"),
            [](const QString &passo, int percent) { statusManutencao(nbm::textoProgresso(passo, percent)); });
        return {};
    } catch (const db::EngineError &e) {
        return QStringLiteral("Não consegui reindexar os Produtos NBM (%1 - código %2).")
            .arg(e.message())
            .arg(e.code());
    }
}

// Starts the tool; the semaphore taken to check that no other workstation is
// rebuilding is left to the tool, which holds it while it works.
bool iniciaFerramenta(const QStringList &args) { return QProcess::startDetached(programaNBM(), args, App().DataDir); }

} // namespace

QString programaNBM()
{
    const QString exe = App().ExeDir + QStringLiteral("STProcessNBM");
    if (!QFileInfo::exists(exe) && QFileInfo::exists(exe + QStringLiteral(".exe")))
        return exe + QStringLiteral(".exe");
    return exe;
}

QStringList argumentosNBM(const QString &modo, bool avisarNoFim)
{
    const QString appDir = QStringLiteral("/AppDir=\"%1\"").arg(QDir::toNativeSeparators(App().AppDir));
    if (modo == QLatin1String("/Create"))
        return {QStringLiteral("/Ok"), QStringLiteral("/Mens"), QStringLiteral("/Create"), appDir};
    QStringList args {QStringLiteral("/Ok"), QStringLiteral("/Reind"), appDir};
    if (avisarNoFim)
        args << QStringLiteral("/Mens");
    return args;
}

void UpdateNBMProducts(const QString &versaoInstalada)
{
    if (Contribuinte)
        return;
    const QString arquivo = App().AppDir + QStringLiteral("NBM.") + versaoInstalada + QStringLiteral(".zlb");
    if (versaoInstalada.isEmpty() || !QFileInfo::exists(arquivo))
        return;
    Settings &s = Settings::instance();
    const QString marcador = QStringLiteral("NBM.") + versaoInstalada;
    if (s.estruturaAplicada(marcador)) {
        QFile::remove(arquivo);
        return;
    }
    // One workstation applies it; the others find the semaphore taken. It is
    // not held while the question waits: taken to see that no other
    // workstation is at it, let go, and taken again for the work.
    if (!OpenSysTable(nbm::SemaforoAtualizacao))
        return;
    CloseSysSemaphore(nbm::SemaforoAtualizacao);
    if (!Confirma(QStringLiteral("Agora a Tabela de Produtos NBM será atualizada.\rEste procedimento pode demorar "
                                 "alguns minutos.\r\rContinua")))
        return;
    if (!OpenSysTable(nbm::SemaforoAtualizacao))
        return;
    bool lido = false;
    {
        const auto solta = qScopeGuard([] { CloseSysSemaphore(nbm::SemaforoAtualizacao); });
        // Another workstation may have applied it meanwhile.
        if (s.estruturaAplicada(marcador)) {
            QFile::remove(arquivo);
            return;
        }
        QStringList linhas;
        lido = linhasDoArquivo(arquivo, linhas);
        if (lido) {
            TDM &dm = DM();
            dm.TabIndexNBM.close();
            if (!dm.BaseDados.tableExists(nbm::tabela()))
                dm.TabBeforeOpen(dm.TabIndexNBM);
            nbm::aplicaLinhas(dm.BaseDados, linhas, [](int n, int total) {
                statusManutencao(QStringLiteral("Processando item %1/%2...").arg(n).arg(total));
            });
            statusManutencao(QStringLiteral("Encerrando Atualização dos Produtos NBM..."));
            QFile::remove(arquivo);
            s.setEstruturaAplicada(marcador);
        }
    }
    if (!lido) {
        MsgErro(QStringLiteral("Não consegui ler o arquivo ") + QFileInfo(arquivo).fileName() + QLatin1Char('.'));
        return;
    }
    if (!pastaDeDadosLocal() && !DM().BaseDados.server()) {
        MsgInformacao(QStringLiteral("Recomendamos Reindexar a tabela de Produtos NBM.\rPara isso, você precisa abrir "
                                     "o sistema ST/Brelva no computador ")
            + computerOfPath(App().DataDir) + QStringLiteral(" e:\r")
            + QStringLiteral("Clique no botão \"Opções, \"Opções do Sistema\" e \"Reindexar Produtos/NBM agora\"."));
        return;
    }
    StartNBMRebuild(false);
}

bool StartNBMRebuild(bool avisarNoFim)
{
    statusManutencao(QStringLiteral("Iniciando o processo de reindexação..."));
    if (!OpenSysTable(nbm::SemaforoReindexacao)) {
        MsgAviso(kEmAndamento);
        return false;
    }
    if (DM().BaseDados.server()) {
        const QString erro = reconstroiNoServidor(nbm::Modo::Reindexa);
        CloseSysSemaphore(nbm::SemaforoReindexacao);
        if (!erro.isEmpty())
            MsgErro(erro);
        else if (avisarNoFim)
            MsgInformacao(QStringLiteral("Reindexação dos Produtos NBM encerrada!"));
        return erro.isEmpty();
    }
    // The semaphore is let go before any message waits for the user (the
    // tool takes it again for its work).
    QString erro;
    if (!annex::CloseAnnexConsult())
        erro = QStringLiteral("Não consegui fechar a Tabela do Brelva para reindexar os produtos.");
    else if (!preparaCopiaTrabalho() || !iniciaFerramenta(argumentosNBM(QStringLiteral("/Reind"), avisarNoFim)))
        erro = QStringLiteral("Não consegui iniciar a reindexação dos Produtos NBM agora...");
    CloseSysSemaphore(nbm::SemaforoReindexacao);
    if (!erro.isEmpty())
        MsgErro(erro);
    return erro.isEmpty();
}

void StartNBMCreate()
{
    if (Contribuinte)
        return;
    const QString inicio = fileNoCase(App().AppDir, QStringLiteral("NBM-Start.txt"));
    if (!QFileInfo::exists(inicio))
        return;
    // A server is no workstation's own disk: any of them may do it.
    const bool local = pastaDeDadosLocal() || DM().BaseDados.server();
    QString pergunta = QStringLiteral("O arquivo de pesquisa de Produtos/NBM precisa ser recriado.\r");
    if (!local)
        pergunta += QStringLiteral("É recomendável que isso seja feito no computador onde o sistema está instalado (")
            + computerOfPath(App().DataDir) + QStringLiteral(").\r");
    pergunta += QStringLiteral(
        "Quer criar o arquivo de pesquisa de Produtos/NBM (esse processo vai demorar vários minutos)");
    if (!Confirma(pergunta)) {
        QFile::remove(inicio);
        return;
    }
    if (local)
        MsgInformacao(QStringLiteral("A consulta de Produtos por NBM estará disponível dentro de alguns minutos."));
    else if (!Confirma(QStringLiteral("Tem Certeza?")))
        return;
    statusManutencao(QStringLiteral("Iniciando a criação da Consulta de Produtos por NBM..."));
    if (!OpenSysTable(nbm::SemaforoReindexacao)) {
        MsgAviso(kEmAndamento);
        return;
    }
    if (DM().BaseDados.server()) {
        const QString erro = reconstroiNoServidor(nbm::Modo::Cria);
        CloseSysSemaphore(nbm::SemaforoReindexacao);
        if (!erro.isEmpty()) {
            MsgErro(erro);
            return;
        }
        QFile::remove(inicio);
        MsgInformacao(QStringLiteral("A Consulta de Produtos por NBM está disponível."));
        return;
    }
    QString erro;
    if (!annex::CloseAnnexConsult())
        erro = QStringLiteral("Não consegui desativar a Consulta da Tabela do Brelva.");
    else if (!iniciaFerramenta(argumentosNBM(QStringLiteral("/Create"), true)))
        erro = QStringLiteral("Não consegui iniciar a criação da Consulta de Produtos por NBM...");
    CloseSysSemaphore(nbm::SemaforoReindexacao);
    if (!erro.isEmpty())
        MsgErro(erro);
}

} // namespace stb
