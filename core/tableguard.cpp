// The guard every table of the data module passes before it opens: a table
// missing from the data folder is restored from the installation's pristine
// copy (or created from its definition), a missing index file is copied and
// the table repaired, and an older table format is upgraded.
#include "core/datamodule.h"

#include "core/messages.h"
#include "core/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stb {

namespace {

// A file of the pristine folder by name, without regard to case.
QString pristineFile(const QString &dir, const QString &name)
{
    const QDir d(dir);
    for (const QString &e : d.entryList(QDir::Files))
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    return d.filePath(name);
}

// Copies the table's .dat (and .blb) and .idx from the pristine folder
// beside `dat`; false when the pristine folder does not hold the table.
bool copiaPristina(const QString &pristineDir, db::Database &base, const QString &name, const QString &dat)
{
    if (pristineDir.isEmpty())
        return false;
    const QString nomeBase = QFileInfo(dat).completeBaseName();
    const QString pasta = QFileInfo(dat).absolutePath() + QLatin1Char('/');
    const QString from = pristineFile(pristineDir, nomeBase + QStringLiteral(".dat"));
    if (!QFile::copy(from, pasta + QFileInfo(from).fileName()))
        return false;
    const QString blb = pristineFile(pristineDir, nomeBase + QStringLiteral(".blb"));
    if (QFileInfo::exists(blb))
        QFile::copy(blb, pasta + QFileInfo(blb).fileName());
    const QString idx = pristineFile(pristineDir, nomeBase + QStringLiteral(".idx"));
    QFile::remove(base.tableFilePath(name, QStringLiteral(".idx")));
    return QFile::copy(idx, pasta + QFileInfo(idx).fileName());
}

} // namespace

void TDM::TabBeforeOpen(db::Table &table)
{
    db::Database *base = table.database();
    if (!base || base->storage() != db::Database::Storage::Folder)
        return;
    const QString name = table.tableName();
    const QString dat = base->tableFilePath(name, QStringLiteral(".dat"));
    if (!QFileInfo::exists(dat)) {
        QDir().mkpath(base->directory());
        if (m_avisoTabelaAusente && !m_pristineDir.isEmpty())
            MsgAviso(QStringLiteral("A tabela ") + name + QStringLiteral(" não foi localizada. Ela será criada novamente.\r")
                     + QStringLiteral("Se o problema se repetir, entre em contato com o suporte (suporte@stbrelva.local)."));
        if (!copiaPristina(m_pristineDir, *base, name, dat) && !base->tableExists(name)) {
            // No pristine copy: the table is created from its definition.
            db::TableDef def = schema::byName(name);
            if (def.fields.isEmpty())
                def = table.definition();
            if (def.fields.isEmpty()) {
                MsgErro(QStringLiteral("Não foi possivel recriar a tabela ") + name + QLatin1Char('.'));
                return;
            }
            def.name = name;
            base->createTable(def);
        }
    } else if (!QFileInfo::exists(base->tableFilePath(name, QStringLiteral(".idx")))) {
        if (m_pristineDir.isEmpty()) {
            // Without an installation (command-line tool, tests) the index
            // file is written again from the table's own definition.
            base->rebuildIndexFile(name);
            return;
        }
        const QString idx = pristineFile(m_pristineDir, QFileInfo(dat).completeBaseName() + QStringLiteral(".idx"));
        if (!QFile::copy(idx, base->tableFilePath(name, QStringLiteral(".idx")))) {
            MsgErro(QStringLiteral("Não foi possivel recriar os indices da tabela ") + name + QStringLiteral(".\r")
                    + QStringLiteral("Clique no botão Opções, Opções do Sistema, e escolha \"Reindexar os dados agora\"."));
            return;
        }
        base->repairTable(name);
    }
    if (base->tableVersion(name) != QLatin1String(db::Database::CurrentVersion))
        base->upgradeTable(name);
}

} // namespace stb
