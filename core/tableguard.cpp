// The guard every table of the data module passes before it opens: a table
// missing from the data folder is restored from the installation's pristine
// copy (or created from its definition), a missing index file is copied and
// the table repaired, an older table format is upgraded, and the open mode
// follows the exclusive-opening request.
#include "core/datamodule.h"

#include "core/messages.h"
#include "core/produtosnbm.h"
#include "core/schema.h"
#include "platform/filecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stb {

namespace {

// Copies the table's files from the pristine folder beside `dat`: the .idx
// and the .blb first and the .dat last, each complete or not at all, so a
// table whose .dat is there is whole. False when the pristine folder does
// not hold the table or a copy failed.
bool copiaPristina(const QString &pristineDir, const QString &dat)
{
    if (pristineDir.isEmpty())
        return false;
    const QString nomeBase = QFileInfo(dat).completeBaseName();
    const QString pasta = QFileInfo(dat).absolutePath();
    const QString from = fileNoCase(pristineDir, nomeBase + QStringLiteral(".dat"));
    const QString idx = fileNoCase(pristineDir, nomeBase + QStringLiteral(".idx"));
    if (!QFileInfo::exists(from) || !QFileInfo::exists(idx))
        return false;
    if (!copyFileReplacing(idx, fileNoCase(pasta, nomeBase + QStringLiteral(".idx"))))
        return false;
    const QString blb = fileNoCase(pristineDir, nomeBase + QStringLiteral(".blb"));
    if (QFileInfo::exists(blb) && !copyFileReplacing(blb, fileNoCase(pasta, nomeBase + QStringLiteral(".blb"))))
        return false;
    return copyFileReplacing(from, dat);
}

// The index file no longer describes the table (an index file of another
// version was copied in, or it was damaged): the table needs a repair.
bool indicesDesatualizados(db::Database &base, const QString &name)
{
    try {
        base.tableDef(name);
        return false;
    } catch (const db::EngineError &e) {
        return e.code() == db::Err::IndexDamaged;
    }
}

} // namespace

void TDM::TabBeforeOpen(db::Table &table)
{
    if (!m_iniciado)
        MsgAviso(QStringLiteral("Database já conectado..."));
    db::Database *base = table.database();
    if (!base || base->storage() == db::Database::Storage::Memory)
        return;
    // Without table files (a database server) only a missing table is made,
    // from its definition.
    if (base->storage() != db::Database::Storage::Folder) {
        CriaTabela(table);
        return;
    }
    const QString name = table.tableName();
    const QString dat = base->tableFilePath(name, QStringLiteral(".dat"));
    const QString idx = base->tableFilePath(name, QStringLiteral(".idx"));
    // The repair of the product search table can take minutes: its steps go
    // to the status line.
    db::ProgressFn progresso;
    if (name.compare(nbm::tabela(), Qt::CaseInsensitive) == 0)
        progresso = [this](const QString &passo, int percent) { emit statusText(nbm::textoProgresso(passo, percent)); };

    // The pristine copies of the ARM folder's tables are in the pristine ARM folder.
    const QString pristina
        = m_pristineDir.isEmpty() || base != &BaseARM ? m_pristineDir : m_pristineDir + QStringLiteral("ARM/");
    if (!QFileInfo::exists(dat)) {
        QDir().mkpath(base->directory());
        if (m_avisoTabelaAusente && !pristina.isEmpty())
            MsgAviso(QStringLiteral("A tabela ") + name
                + QStringLiteral(" não foi localizada. Ela será criada novamente.\r")
                + QStringLiteral("Se o problema se repetir, entre em contato com o suporte (suporte@stbrelva.local)."));
        const bool temPristina
            = !pristina.isEmpty() && QFileInfo::exists(fileNoCase(pristina, QFileInfo(dat).fileName()));
        if (temPristina) {
            if (!copiaPristina(pristina, dat)) {
                MsgErro(QStringLiteral("Não foi possivel recriar a tabela ") + name + QLatin1Char('.'));
                return;
            }
        } else {
            // Without a pristine copy (command-line tool, tests, tables the
            // installation does not deliver) the table is created from its
            // definition.
            db::TableDef def = schema::byName(name);
            if (def.fields.isEmpty())
                def = table.definition();
            def.name = name;
            QFile::remove(idx);
            base->createTable(def);
        }
    } else if (!QFileInfo::exists(idx)) {
        const QString idxPristino = fileNoCase(pristina, QFileInfo(idx).fileName());
        if (pristina.isEmpty() || !QFileInfo::exists(fileNoCase(pristina, QFileInfo(dat).fileName()))) {
            // No installation copy: the repair takes the indexes from the
            // table's own definition and writes the index file again.
            base->repairTable(name, progresso);
        } else {
            if (!QFileInfo::exists(idxPristino) || !copyFileReplacing(idxPristino, idx)) {
                MsgErro(QStringLiteral("Não foi possivel recriar os indices da tabela ") + name + QStringLiteral(".\r")
                    + QStringLiteral(
                        "Clique no botão Opções, Opções do Sistema, e escolha \"Reindexar os dados agora\"."));
                return;
            }
            base->repairTable(name, progresso);
        }
    }
    if (indicesDesatualizados(*base, name))
        base->repairTable(name, progresso);
    if (base->tableVersion(name) != QLatin1String(db::Database::CurrentVersion))
        base->upgradeTable(name);

    // The exclusive-opening request covers every table but the invoices.
    const bool exclusiva = m_aberturaExclusiva && name.compare(QLatin1String("Notas"), Qt::CaseInsensitive) != 0;
    if (exclusiva && !m_modoAntesExclusivo.contains(&table)) {
        m_modoAntesExclusivo.insert(&table, table.openMode());
        table.setExclusive(true);
    } else if (!exclusiva && m_modoAntesExclusivo.contains(&table)) {
        table.setOpenMode(m_modoAntesExclusivo.take(&table));
    }
}

} // namespace stb
