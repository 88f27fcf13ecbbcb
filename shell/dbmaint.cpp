#include "shell/dbmaint.h"

#include "core/datamodule.h"
#include "core/schema.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stb {

namespace {

QString pristineDir() { return App().AppDir + QStringLiteral("Sys/Dados/"); }

// Copies every file of `from` that `to` lacks; `suffix` ends the failure message.
void copiaFaltantes(const QString &from, const QString &to, const QString &suffix)
{
    QDir().mkpath(to);
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files)) {
        const QString target = QDir(to).filePath(fi.fileName());
        bool present = QFileInfo::exists(target);
        if (!present)
            for (const QString &e : QDir(to).entryList(QDir::Files))
                if (e.compare(fi.fileName(), Qt::CaseInsensitive) == 0)
                    present = true;
        if (present)
            continue;
        QFile src(fi.absoluteFilePath());
        if (!src.copy(target))
            MsgErro(QStringLiteral("Não consegui copiar ") + fi.fileName() + suffix + src.errorString()
                    + QLatin1Char('.'));
    }
}

// Copies each delivered file over the data folder's, then over the pristine
// copy, and removes it from the delivery folder.
void aplicaAtualizacoes(const QString &delivered, const QString &to, const QString &pristine, const QString &suffix)
{
    for (const QFileInfo &fi : QDir(delivered).entryInfoList(QDir::Files)) {
        const QString target = QDir(to).filePath(fi.fileName());
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
        QFile::remove(target);
        QFile src(fi.absoluteFilePath());
        if (!src.copy(target)) {
            MsgErro(QStringLiteral("Não consegui copiar ") + fi.fileName() + suffix + src.errorString()
                    + QLatin1Char('.'));
            continue;
        }
        const QString pristineTarget = QDir(pristine).filePath(fi.fileName());
        QFile::setPermissions(pristineTarget, QFile::permissions(pristineTarget) | QFile::WriteOwner);
        QFile::remove(pristineTarget);
        QFile::copy(fi.absoluteFilePath(), pristineTarget);
        QFile::remove(fi.absoluteFilePath());
    }
}

} // namespace

void CopiaArquivosDeDados()
{
    const AppGlobals &g = App();
    const QString dadosMsg = QStringLiteral(" para a base de dados.\r");
    copiaFaltantes(pristineDir(), g.DataDir, dadosMsg);
    if (!Contribuinte)
        copiaFaltantes(pristineDir() + QStringLiteral("ARM/"), g.DataDir + QStringLiteral("ARM/"),
                       QStringLiteral(" para a base de dados ARM.\r"));
    const QString atualiza = g.AppDir + QStringLiteral("Sys/Dados.Atualiza/");
    aplicaAtualizacoes(atualiza, g.DataDir, pristineDir(), dadosMsg);
    if (!Contribuinte)
        aplicaAtualizacoes(atualiza + QStringLiteral("ARM/"), g.DataDir + QStringLiteral("ARM/"),
                           pristineDir() + QStringLiteral("ARM/"), dadosMsg);
}

bool isTabelaReferencia(const QString &fileName)
{
    static const char *const names[] = {"REGIMEESPECIAL.DAT", "PRODUTOSNBM.DAT", "XPRODUTOSNBM.DAT", "STBRELVA.DAT",
                                        "BRELVA.DAT", "PMPF.DAT", "TEC.DAT", "TEC2007.DAT", "TEC2012.DAT", "MSG.DAT"};
    for (const char *n : names)
        if (fileName.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool ReindexAll(bool ask)
{
    TMain *main = TMain::instance();
    if (ask) {
        if (main && main->calcViewOpen()) {
            MsgAviso(QStringLiteral("É preciso fechar este cálculo para indexar os arquivos!"));
            return false;
        }
        if (!Confirma(QStringLiteral("Confirma ") + QStringLiteral("a Reindexação dos Arquivos (poderá demorar alguns minutos)")
                      + QLatin1Char('?')))
            return false;
        ShowStatus(QStringLiteral("Reindexando Arquivos..."));
    }
    if (main)
        main->Reindexing = true;
    TDM &dm = DM();
    for (db::Table *t : {&dm.TabItens, &dm.TabNotas, &dm.TabCalc, &dm.TabDest, &dm.TabRemet, &dm.TabFisc, &dm.TabBrelva,
                         &dm.TabItensMedic})
        t->close();
    annex::CloseAnnexConsult();
    QStringList files = QDir(App().DataDir).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    const int total = static_cast<int>(files.size());
    int n = 0;
    for (const QString &file : std::as_const(files)) {
        ++n;
        if (isTabelaReferencia(file))
            continue;
        const QString name = QFileInfo(file).completeBaseName();
        ShowStatus(QStringLiteral("Reindexando: %1/%2 - %3").arg(n).arg(total).arg(file.toUpper()));
        // Opening the table alone proves it; a table that cannot open is repaired,
        // or upgraded when only its version differs.
        db::Table probe(&dm.BaseDados, name);
        probe.setExclusive(true);
        try {
            probe.open();
            probe.close();
        } catch (const db::EngineError &e) {
            // A table in use on another workstation cannot be rebuilt now: the
            // user is told, with the engine's code, like any other failure.
            const auto falha = [&name](const db::EngineError &r) {
                MsgErro(QStringLiteral("Não consegui reindexar ") + name + QStringLiteral("... (") + r.message()
                        + QStringLiteral(" - código %1)").arg(r.code()));
            };
            if (e.code() == db::Err::TableInUse) {
                falha(e);
                continue;
            }
            try {
                if (dm.BaseDados.tableVersion(name) != QLatin1String(db::Database::CurrentVersion))
                    dm.BaseDados.upgradeTable(name);
                else
                    dm.BaseDados.repairTable(name);
            } catch (const db::EngineError &r) {
                falha(r);
            }
        }
    }
    ShowStatus(QStringLiteral("Reindexação encerrada!"));
    if (main) {
        main->AbreTabelas();
        main->Reindexing = false;
        main->ShowVersionStatus();
    }
    return true;
}

} // namespace stb
