#include "shell/dbopen.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/schema.h"
#include "core/settings.h"
#include "platform/db/filelock.h"
#include "platform/db/openprobe.h"
#include "platform/drives.h"
#include "platform/filecopy.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QTimer>

namespace stb {

namespace {

StatusFn &statusReceiver()
{
    static StatusFn fn;
    return fn;
}

QString semBarra(QString dir)
{
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return dir;
}

// The working folder a re-creation builds before renaming it into place.
QString pastaEmConstrucao(const QString &dataDir) { return semBarra(dataDir) + QStringLiteral(".recriando"); }

// The lock that keeps two processes (two workstations on a shared folder)
// from re-creating the same folder at once.
QString travaRecriacao(const QString &dataDir) { return semBarra(dataDir) + QStringLiteral(".recriar.lck"); }

struct Recriacao {
    QString numerada; // full path of the former folder under its numbered name
    QString falhou; // path of the failed file relative to the data folder
};

bool gravaRegistro(const QString &path, const Recriacao &r)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(r.numerada.toUtf8() + '\n' + r.falhou.toUtf8() + '\n');
    if (!f.commit())
        return false;
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

bool leRegistro(const QString &path, Recriacao &r)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> linhas = f.readAll().split('\n');
    if (linhas.size() < 2 || linhas[0].isEmpty())
        return false;
    r.numerada = QString::fromUtf8(linhas[0]);
    r.falhou = QString::fromUtf8(linhas[1]);
    return true;
}

// Copies every file of `from` but `pular` into `to` (created), each complete.
bool copiaPasta(const QString &from, const QString &to, const QString &pular)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!pular.isEmpty() && fi.absoluteFilePath() == QFileInfo(pular).absoluteFilePath())
            continue;
        if (!copyFileReplacing(fi.absoluteFilePath(), QDir(to).filePath(fi.fileName())))
            return false;
    }
    syncFolder(to);
    return true;
}

bool removePasta(const QString &dir) { return !QFileInfo::exists(dir) || QDir(dir).removeRecursively(); }

// Builds the new data folder from the numbered one and puts it in place;
// every step can be done again, so a killed process's work is redone from
// the record. Returns false when the new folder could not be written.
bool completaRecriacao(const QString &dataDir, const Recriacao &r)
{
    const QString pasta = semBarra(dataDir);
    const QString obra = pastaEmConstrucao(dataDir);
    if (!QFileInfo(r.numerada).isDir() || QFileInfo(pasta).isDir()) {
        // Either nothing was moved yet, or the new folder is already in place.
        removePasta(obra);
        return true;
    }
    statusManutencao(QStringLiteral("Copiando arquivos para nova base de dados..."));
    removePasta(obra);
    const QString falhou = r.falhou.isEmpty() ? QString() : QDir(r.numerada).filePath(r.falhou);
    if (!copiaPasta(r.numerada, obra, falhou))
        return false;
    if (!Contribuinte && QFileInfo(r.numerada + QStringLiteral("/ARM")).isDir()
        && !copiaPasta(r.numerada + QStringLiteral("/ARM"), obra + QStringLiteral("/ARM"), falhou))
        return false;
    if (!QDir().rename(obra, pasta))
        return false;
    syncFolder(QFileInfo(pasta).absolutePath());
    return true;
}

void encerra(const QString &texto, int codigo)
{
    MsgErro(texto);
    throw EncerraProcesso {codigo};
}

} // namespace

StatusFn setStatusManutencao(StatusFn fn) { return std::exchange(statusReceiver(), std::move(fn)); }

void statusManutencao(const QString &text)
{
    if (statusReceiver())
        statusReceiver()(text);
    else
        ShowStatus(text);
}

void esperaProcessando(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool pastaDeDadosLocal() { return isLocalFolder(App().DataDir) || Settings::instance().localDrive(); }

ArquivoDados TryOpenFile(const QString &path, bool restoreFromPristine)
{
    ArquivoDados r;
    const bool tabela = path.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive);
    for (int tentativa = 0; tentativa <= 5; ++tentativa) {
        if (tentativa > 0) {
            statusManutencao(QStringLiteral("Tentando abrir %1... (try %2/5)").arg(path).arg(tentativa));
            esperaProcessando(1000);
        }
        auto file = std::make_unique<QFile>(path);
        if (tabela && db::heldExclusively(path)) {
            r.erro = QStringLiteral("O arquivo já está sendo usado por outro processo");
        } else if (file->open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
            statusManutencao(QStringLiteral("Verificando arquivos de dados..."));
            r.file = std::move(file);
            r.erro.clear();
            return r;
        } else {
            r.erro = file->errorString();
        }
        if (restoreFromPristine) {
            const QString pristina
                = fileNoCase(App().AppDir + QStringLiteral("Sys/Dados/"), QFileInfo(path).fileName());
            if (QFileInfo::exists(pristina) && copyFileReplacing(pristina, path))
                Settings::instance().setReindex(true);
        }
    }
    return r;
}

QString registroRecriacao(const QString &dataDir) { return semBarra(dataDir) + QStringLiteral(".recriar"); }

bool RecreateDatabase(const QString &path, const ArquivoDados &arquivo)
{
    if (arquivo.valido())
        return false;
    const QString dataDir = App().DataDir;
    const QString pasta = semBarra(dataDir);
    if (!Confirma(QStringLiteral("Não foi possível abrir o arquivo ") + QFileInfo(path).fileName().toUpper()
            + QStringLiteral(".\r") + QStringLiteral("MOTIVO: ") + arquivo.erro + QStringLiteral(".\r")
            + QStringLiteral(
                "O sistema ST/Brelva vai tentar criar nova base de dados, tentando preservar os dados já existentes.\r")
            + QStringLiteral("Clique em SIM para criar uma nova base de dados, ou clique em NÃO para encerrar o "
                             "sistema e tentar mais tarde.\r")
            + QStringLiteral("Você quer criar uma nova base de dados"))) {
        MsgAviso(QStringLiteral("O sistema ST/Brelva vai ser encerrado. Tente abrir mais tarde..."));
        throw EncerraProcesso {0};
    }
    statusManutencao(QStringLiteral("Criando nova base de dados..."));
    if (TDM::hasInstance()) {
        DM().BaseDados.close();
        DM().BaseARM.close();
    }
    // The engine's descriptors of the files would follow them into the
    // numbered folder.
    for (const QString &sub : {QString(), QStringLiteral("/ARM")})
        for (const QFileInfo &fi : QDir(pasta + sub).entryInfoList(QDir::Files | QDir::Hidden))
            db::FileLock::release(fi.absoluteFilePath());
    QLockFile trava(travaRecriacao(dataDir));
    trava.setStaleLockTime(0);
    if (!trava.tryLock(5000))
        encerra(QStringLiteral("Não consegui criar nova base de dados. Encerrando..."), 1);

    Recriacao r;
    r.falhou = QDir(pasta).relativeFilePath(path);
    const QString registro = registroRecriacao(dataDir);
    bool movida = false;
    for (int n = 0; n <= 999 && !movida; ++n) {
        const QString nome = QStringLiteral("%1.%2").arg(pasta).arg(n, 3, 10, QLatin1Char('0'));
        if (QFileInfo::exists(nome))
            continue;
        r.numerada = nome;
        if (!gravaRegistro(registro, r))
            break;
        movida = QDir().rename(pasta, nome);
    }
    if (!movida) {
        QFile::remove(registro);
        const QString ultima = pasta + QStringLiteral(".999");
        const QString nomeBase = QFileInfo(pasta).fileName();
        if (QFileInfo::exists(ultima))
            encerra(QStringLiteral("Há muitos arquivos de dados.\rAbra o Windows Explorer e apague as pastas "
                                   "\"%1.000\" até \"%1.999\"\rque estão em ")
                        .arg(nomeBase)
                    + QFileInfo(pasta).absolutePath(),
                1);
        encerra(QStringLiteral("Não consegui criar nova base de dados. Encerrando..."), 1);
    }
    syncFolder(QFileInfo(pasta).absolutePath());
    if (!completaRecriacao(dataDir, r))
        encerra(QStringLiteral("Não consegui criar nova base de dados. Encerrando..."), 1);
    Settings::instance().setReindex(true);
    QFile::remove(registro);
    throw SilentAbort {};
}

bool PreparaPastaDeDados(const QString &dataDir, bool pastaPadrao)
{
    const QString registro = registroRecriacao(dataDir);
    if (QFileInfo::exists(registro)) {
        QLockFile trava(travaRecriacao(dataDir));
        trava.setStaleLockTime(0);
        Recriacao r;
        // Another process still at work on it keeps the folder missing for now.
        if (trava.tryLock(2000) && leRegistro(registro, r) && completaRecriacao(dataDir, r)) {
            Settings::instance().setReindex(true);
            QFile::remove(registro);
        }
    }
    if (!QFileInfo(dataDir).isDir() && pastaPadrao)
        QDir().mkpath(dataDir);
    return QFileInfo(dataDir).isDir();
}

bool OpenSysTable(int semaforo)
{
    TDM &dm = DM();
    db::Database &base = dm.BaseDados;
    if (base.server()) {
        // On a server the table normally came with the pristine tables.
        statusManutencao(QStringLiteral("Abrindo ") + App().Servidor + QStringLiteral(" (STBrelva)..."));
        if (!base.tableExists(QStringLiteral("STBrelva")))
            base.createTable(schema::sysTable());
    } else {
        const QString dat = base.tableFilePath(QStringLiteral("STBrelva"), QStringLiteral(".dat"));
        statusManutencao(QStringLiteral("Abrindo ") + dat + QStringLiteral("..."));
        if (!QFileInfo::exists(dat)) {
            QDir().mkpath(base.directory());
            QFile::remove(base.tableFilePath(QStringLiteral("STBrelva"), QStringLiteral(".idx")));
            base.createTable(schema::sysTable());
        }
    }
    if (!dm.TabSys.isActive())
        dm.TabSys.open();
    db::Session &sessao = base.session();
    const int tentativas = sessao.lockRetryCount;
    sessao.lockRetryCount = 1;
    bool ok = false;
    try {
        ok = base.lockSemaphore(QStringLiteral("STBrelva"), semaforo);
    } catch (...) {
        sessao.lockRetryCount = tentativas;
        throw;
    }
    sessao.lockRetryCount = tentativas;
    return ok;
}

void CloseSysSemaphore(int semaforo) { DM().BaseDados.unlockSemaphore(QStringLiteral("STBrelva"), semaforo); }

} // namespace stb
