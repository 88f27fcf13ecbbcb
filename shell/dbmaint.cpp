#include "shell/dbmaint.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/messages.h"
#include "core/schema.h"
#include "core/settings.h"
#include "platform/annexconsult.h"
#include "platform/db/filelock.h"
#include "platform/filecopy.h"
#include "shell/appglobals.h"
#include "shell/dbopen.h"
#include "shell/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <stdexcept>

namespace stb {

namespace {

QString extensao(const char *e) { return QString::fromLatin1(e); }

} // namespace

DireitosTabela::DireitosTabela(const QString &base) : m_base(base)
{
    for (const char *e : {".dat", ".idx", ".blb"}) {
        const QString arquivo = base + extensao(e);
        if (QFileInfo::exists(arquivo))
            m_direitos.insert(extensao(e), QFile::permissions(arquivo));
    }
}

void DireitosTabela::aplica() const
{
    const QString modelo = Settings::instance().security();
    const bool temModelo = !modelo.isEmpty() && QFileInfo::exists(modelo);
    for (const char *e : {".dat", ".idx", ".blb"}) {
        const QString arquivo = m_base + extensao(e);
        if (!QFileInfo::exists(arquivo))
            continue;
        if (temModelo)
            QFile::setPermissions(arquivo, QFile::permissions(modelo));
        else if (m_direitos.contains(extensao(e)))
            QFile::setPermissions(arquivo, m_direitos.value(extensao(e)));
    }
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
        if (!Confirma(QStringLiteral("Confirma ")
                + QStringLiteral("a Reindexação dos Arquivos (poderá demorar alguns minutos)") + QLatin1Char('?')))
            return false;
        ShowStatus(QStringLiteral("Reindexando Arquivos..."));
    }
    if (main)
        main->Reindexing = true;
    const auto fim = qScopeGuard([main] {
        if (main)
            main->Reindexing = false;
    });
    TDM &dm = DM();
    for (db::Table *t : {&dm.TabItens, &dm.TabNotas, &dm.TabCalc, &dm.TabDest, &dm.TabRemet, &dm.TabFisc, &dm.TabBrelva,
             &dm.TabItensMedic})
        t->close();
    annex::CloseAnnexConsult();
    // On a server the tables are listed by the server; their indexes are
    // rebuilt and checked by the server (repairTable) once the exclusive open
    // proves nobody else uses them.
    const bool servidor = dm.BaseDados.server() != nullptr;
    QStringList files;
    if (servidor) {
        for (const QString &name : dm.BaseDados.tableNames())
            files << name + QStringLiteral(".dat");
        std::sort(files.begin(), files.end(),
            [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    } else {
        files = QDir(App().DataDir).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    }
    const int total = static_cast<int>(files.size());
    int n = 0;
    for (const QString &file : std::as_const(files)) {
        ++n;
        if (isTabelaReferencia(file))
            continue;
        const QString name = QFileInfo(file).completeBaseName();
        statusManutencao(QStringLiteral("Reindexando: %1/%2 - %3").arg(n).arg(total).arg(file.toUpper()));
        const DireitosTabela direitos(QDir(App().DataDir).filePath(name));
        // A table in use on another workstation cannot be rebuilt now: the
        // user is told, with the engine's code, like any other failure.
        const auto falha = [&name](const db::EngineError &r) {
            MsgErro(QStringLiteral("Não consegui reindexar ") + name + QStringLiteral("... (") + r.message()
                + QStringLiteral(" - código %1)").arg(r.code()));
        };
        // Opening the table alone proves it; a table that cannot open is repaired,
        // or upgraded when only its version differs.
        db::Table probe(&dm.BaseDados, name);
        probe.setExclusive(true);
        try {
            probe.open();
            probe.close();
            if (servidor)
                dm.BaseDados.repairTable(name);
        } catch (const db::EngineError &e) {
            if (e.code() == db::Err::TableInUse || servidor) {
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
            direitos.aplica();
        }
    }
    statusManutencao(QStringLiteral("Reindexação encerrada!"));
    if (main) {
        main->AbreTabelas();
        main->Reindexing = false;
        main->ShowVersionStatus();
    }
    return true;
}

void CarregaItensBrelva()
{
    TDM &dm = DM();
    const QString dir = App().DataDir;
    // The damaged annex files, put aside until the restored table has loaded.
    QStringList postos;
    const auto devolve = [&postos] {
        for (const QString &p : std::as_const(postos)) {
            const QString original = p.left(p.size() - int(qstrlen(".danificado")));
            QFile::remove(original);
            QFile::rename(p, original);
        }
        postos.clear();
    };
    int danos = 0;
    int outras = 0;
    for (;;) {
        try {
            dm.CarregaMemGrupo();
            for (const QString &p : std::as_const(postos))
                QFile::remove(p);
            return;
        } catch (const db::EngineError &e) {
            dm.TabBrelva.close();
            dm.Qry.close();
            if (!e.isDamage()) {
                if (++outras > 1)
                    throw std::runtime_error("Erro Lendo Itens do Brelva...");
                continue;
            }
            ++danos;
            const QString dat = fileNoCase(dir, QStringLiteral("Brelva.dat"));
            const QString idx = fileNoCase(dir, QStringLiteral("Brelva.idx"));
            const QString blb = fileNoCase(dir, QStringLiteral("Brelva.blb"));
            // This engine keeps memos inside the .dat: a .blb is only looked
            // for when the installation's own table has one.
            const bool comBlb = QFileInfo::exists(fileNoCase(dm.pristineDir(), QStringLiteral("Brelva.blb")));
            const bool completa
                = QFileInfo::exists(dat) && QFileInfo::exists(idx) && (!comBlb || QFileInfo::exists(blb));
            if (danos == 1 && completa) {
                QFile::remove(fileNoCase(dir, QStringLiteral("Brelva.NBM")));
                dm.BaseDados.close();
                for (const QString &f : {dat, idx, blb}) {
                    if (!QFileInfo::exists(f))
                        continue;
                    db::FileLock::release(f);
                    QFile::remove(f + QStringLiteral(".danificado"));
                    if (QFile::rename(f, f + QStringLiteral(".danificado")))
                        postos << f + QStringLiteral(".danificado");
                }
                dm.setAvisoTabelaAusente(false);
                try {
                    dm.TabBrelva.open();
                } catch (const db::EngineError &) {
                    // The load that follows fails too and ends the recovery.
                }
                continue;
            }
            devolve();
            if (Confirma(QStringLiteral("Não consegui processar a tabela Brelva. O sistema precisa ser reiniciado.\r")
                    + QStringLiteral("Continua com a reinicialização")))
                throw EncerraProcesso {255};
            throw std::runtime_error("Erro Lendo Itens do Brelva...");
        }
    }
}

} // namespace stb
