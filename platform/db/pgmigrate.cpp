#include "platform/db/pgmigrate.h"

#include "platform/db/dataset.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgvalue.h"
#include "platform/db/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <memory>

namespace stb::db {

bool MigrationCheck::equal() const
{
    if (sourceRows != targetRows)
        return false;
    for (const Sum &s : sums)
        if (s.source != s.target)
            return false;
    return true;
}

namespace {

constexpr const char *kArmFolder = "ARM";

// A sub-folder by name without regard to case; empty when there is none.
QString subFolder(const QString &dir, const QString &name)
{
    for (const QFileInfo &fi : QDir(dir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (fi.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return fi.absoluteFilePath();
    return {};
}

QList<int> currencyColumns(const TableDef &def)
{
    QList<int> cols;
    for (int i = 0; i < def.fields.size(); ++i)
        if (def.fields[i].type == FieldType::Currency)
            cols << i;
    return cols;
}

Currency addRaw(Currency sum, const Value &v, const QString &table)
{
    std::int64_t raw = 0;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        raw = *i;
    else if (const auto *d = std::get_if<double>(&v))
        raw = Currency::fromDouble(*d).raw();
    std::int64_t out;
    if (__builtin_add_overflow(sum.raw(), raw, &out))
        throw EngineError(
            Err::InvalidValue, QStringLiteral("A soma de um valor da tabela %1 excede o limite").arg(table), table);
    return Currency::fromRaw(out);
}

// Counts and sums of a table on the server, in the current transaction.
void serverTotals(PgConnection &c, const TableDef &def, MigrationCheck &check, bool asSource)
{
    const QList<int> cur = currencyColumns(def);
    QStringList exprs {QStringLiteral("count(*)")};
    for (int i : cur)
        exprs << QStringLiteral("sum(%1)").arg(pgIdent(def.fields[i].name));
    const PgResult r
        = c.exec(QStringLiteral("SELECT %1 FROM %2").arg(exprs.join(QStringLiteral(", ")), pgTableName(def.name)),
            QList<QByteArray> {}, def.name);
    (asSource ? check.sourceRows : check.targetRows) = r.text(0, 0).toByteArray().toLongLong();
    if (check.sums.isEmpty())
        for (int i : cur)
            check.sums << MigrationCheck::Sum {def.fields[i].name, {}, {}};
    for (int k = 0; k < cur.size(); ++k) {
        Currency s;
        if (!r.isNull(0, k + 1)) {
            const auto v = currencyFromDecimalText(r.text(0, k + 1));
            if (!v)
                throw EngineError(
                    Err::InvalidValue, QStringLiteral("Soma inválida na tabela %1").arg(def.name), def.name);
            s = *v;
        }
        (asSource ? check.sums[k].source : check.sums[k].target) = s;
    }
}

// Counts and sums of a table of a folder, read through the engine.
void folderTotals(Database &db, const TableDef &def, MigrationCheck &check)
{
    Table t(&db, def.name);
    t.setReadOnly(true);
    t.open();
    const QList<int> cur = currencyColumns(def);
    QList<Currency> sums(cur.size());
    qint64 rows = 0;
    for (t.first(); !t.eof(); t.next()) {
        ++rows;
        for (int k = 0; k < cur.size(); ++k)
            sums[k] = addRaw(sums[k], t.fieldByName(def.fields[cur[k]].name).raw(), def.name);
    }
    t.close();
    check.targetRows = rows;
    for (int k = 0; k < cur.size(); ++k)
        check.sums[k].target = sums[k];
}

void requireEqual(const QList<MigrationCheck> &checks)
{
    for (const MigrationCheck &c : checks)
        if (!c.equal())
            throw EngineError(Err::InvalidOperation,
                QStringLiteral("A conferência da tabela %1 não bateu: nada foi gravado no destino").arg(c.table),
                c.table);
}

// One source folder of the data folder: the folder itself and its ARM sub-folder.
struct SourceFolder {
    QString label; // "" or "ARM"
    std::unique_ptr<Database> db;
};

} // namespace

QList<MigrationCheck> migrateFolderToServer(
    const QString &folder, const QString &address, const MigrationProgress &progress)
{
    if (!QFileInfo(folder).isDir())
        throw EngineError(Err::ConnectionLost, QStringLiteral("A pasta de dados \"%1\" não existe").arg(folder));
    std::vector<SourceFolder> sources;
    sources.push_back({QString(), std::make_unique<Database>()});
    sources.back().db->setDirectory(folder);
    if (const QString arm = subFolder(folder, QString::fromLatin1(kArmFolder)); !arm.isEmpty()) {
        sources.push_back({QString::fromLatin1(kArmFolder), std::make_unique<Database>()});
        sources.back().db->setDirectory(arm);
    }

    PgConnection c(address);
    if (!pgCatalogEntries(c).isEmpty())
        throw EngineError(Err::InvalidOperation,
            QStringLiteral(
                "O banco de dados do servidor já contém tabelas do sistema: a migração só grava num banco vazio"));
    QList<MigrationCheck> checks;
    QList<TableDef> defs;
    PgTransaction tx(c);
    pgEnsureSchema(c);
    QStringList seen;
    for (SourceFolder &src : sources) {
        Database &db = *src.db;
        for (const QString &file : db.tableNames()) {
            const TableDef def = db.tableDef(file);
            if (seen.contains(def.name, Qt::CaseInsensitive))
                throw EngineError(Err::KeyViolation,
                    QStringLiteral("A tabela %1 existe na pasta de dados e na pasta ARM").arg(def.name), def.name);
            seen << def.name;
            c.acquireOpen(def.name, OpenMode::Exclusive);
            pgCreateTable(c, def, db.tableVersion(file), src.label);

            MigrationCheck check;
            check.table = def.name;
            check.folder = src.label;
            const QList<int> cur = currencyColumns(def);
            for (int i : cur)
                check.sums << MigrationCheck::Sum {def.fields[i].name, {}, {}};
            Table t(&db, file);
            t.setExclusive(true);
            t.open();
            QList<const Field *> fields;
            for (const FieldDef &f : def.fields)
                fields << &t.fieldByName(f.name);
            PgRowWriter writer(c, def);
            for (t.first(); !t.eof(); t.next()) {
                QList<QByteArray> row;
                row.reserve(fields.size());
                for (int i = 0; i < fields.size(); ++i)
                    row << pgTextOf(def.fields[i].type, fields[i]->raw());
                for (int k = 0; k < cur.size(); ++k)
                    check.sums[k].source = addRaw(check.sums[k].source, fields[cur[k]]->raw(), def.name);
                ++check.sourceRows;
                writer.add(std::move(row));
            }
            writer.flush();
            t.close();
            pgSyncAutoIncrement(c, def);
            if (progress)
                progress(src.label.isEmpty() ? def.name : src.label + QLatin1Char('/') + def.name, check.sourceRows);
            checks << check;
            defs << def;
        }
    }
    for (int i = 0; i < checks.size(); ++i)
        serverTotals(c, defs[i], checks[i], false);
    requireEqual(checks);
    tx.commit();
    return checks;
}

namespace {

// The folder a migration builds beside its target, removed unless moved into place.
class BuildFolder {
public:
    explicit BuildFolder(const QString &target)
    {
        const QFileInfo fi(target);
        m_path = fi.absolutePath() + QLatin1Char('/') + fi.fileName()
            + QStringLiteral(".migrando-%1").arg(QCoreApplication::applicationPid());
        QDir(m_path).removeRecursively();
        if (!QDir().mkpath(m_path))
            throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível criar a pasta %1").arg(m_path));
    }
    ~BuildFolder()
    {
        if (!m_path.isEmpty())
            QDir(m_path).removeRecursively();
    }
    BuildFolder(const BuildFolder &) = delete;
    BuildFolder &operator=(const BuildFolder &) = delete;
    const QString &path() const { return m_path; }
    void moveTo(const QString &target)
    {
        // An empty target folder gives way; anything else was refused before.
        if (QFileInfo(target).isDir() && !QDir().rmdir(target))
            throw EngineError(
                Err::ReadOnly, QStringLiteral("Não foi possível substituir a pasta vazia %1").arg(target));
        if (!QDir().rename(m_path, target))
            throw EngineError(
                Err::ReadOnly, QStringLiteral("Não foi possível mover a pasta %1 para %2").arg(m_path, target));
        m_path.clear();
    }

private:
    QString m_path;
};

QString orderByKey(const TableDef &def)
{
    const IndexDef *pk = def.primaryIndex();
    if (!pk)
        return {};
    QStringList cols;
    for (const QString &f : pk->fieldList())
        cols << pgIdent(f);
    return QStringLiteral(" ORDER BY ") + cols.join(QStringLiteral(", "));
}

} // namespace

QList<MigrationCheck> migrateServerToFolder(
    const QString &address, const QString &folder, const MigrationProgress &progress)
{
    const QFileInfo target(folder);
    if (target.exists()
        && (!target.isDir()
            || !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)))
        throw EngineError(Err::InvalidOperation,
            QStringLiteral("A pasta de destino \"%1\" não está vazia: a migração só grava numa pasta nova")
                .arg(folder));

    PgConnection c(address);
    const QList<PgCatalogEntry> entries = pgCatalogEntries(c);
    if (entries.isEmpty())
        throw EngineError(
            Err::TableNotFound, QStringLiteral("O banco de dados do servidor não contém tabelas do sistema"));
    for (const PgCatalogEntry &e : entries)
        c.acquireOpen(e.def.name, OpenMode::Exclusive);
    // One snapshot for the copy and the counts.
    PgTransaction tx(c, true);
    BuildFolder build(folder);
    QList<MigrationCheck> checks;
    {
        Database root;
        root.setDirectory(build.path());
        std::unique_ptr<Database> arm;
        for (const PgCatalogEntry &e : entries) {
            Database *db = &root;
            if (!e.folder.isEmpty()) {
                if (e.folder.compare(QString::fromLatin1(kArmFolder), Qt::CaseInsensitive) != 0)
                    throw EngineError(Err::InvalidValue,
                        QStringLiteral("Pasta desconhecida \"%1\" no catálogo do servidor").arg(e.folder), e.def.name);
                if (!arm) {
                    const QString dir = build.path() + QLatin1Char('/') + QString::fromLatin1(kArmFolder);
                    QDir().mkpath(dir);
                    arm = std::make_unique<Database>();
                    arm->setDirectory(dir);
                }
                db = arm.get();
            }
            db->createTable(e.def, e.version);
            MigrationCheck check;
            check.table = e.def.name;
            check.folder = e.folder;
            serverTotals(c, e.def, check, true);

            Table t(db, e.def.name);
            t.setExclusive(true);
            t.open();
            QList<Field *> fields;
            QStringList cols;
            for (const FieldDef &f : e.def.fields) {
                fields << &t.fieldByName(f.name);
                cols << pgIdent(f.name);
            }
            c.exec(QStringLiteral("DECLARE migra NO SCROLL CURSOR FOR SELECT %1 FROM %2%3")
                       .arg(cols.join(QStringLiteral(", ")), pgTableName(e.def.name), orderByKey(e.def)),
                QList<QByteArray> {}, e.def.name);
            Transaction ftx(*db);
            for (;;) {
                const PgResult r = c.exec(QStringLiteral("FETCH 2000 FROM migra"), QList<QByteArray> {}, e.def.name);
                if (r.rows() == 0)
                    break;
                for (int row = 0; row < r.rows(); ++row) {
                    t.append();
                    for (int i = 0; i < fields.size(); ++i)
                        fields[i]->setRaw(r.value(row, i, e.def.fields[i].type));
                    t.post();
                }
            }
            ftx.commit();
            c.exec(QStringLiteral("CLOSE migra"));
            t.close();
            if (progress)
                progress(e.folder.isEmpty() ? e.def.name : e.folder + QLatin1Char('/') + e.def.name, check.sourceRows);
            checks << check;
        }
        root.close();
        if (arm)
            arm->close();
    }
    // The counts and sums again, from the files as another process would read them.
    {
        Database root;
        root.setDirectory(build.path());
        std::unique_ptr<Database> arm;
        for (int i = 0; i < entries.size(); ++i) {
            Database *db = &root;
            if (!entries[i].folder.isEmpty()) {
                if (!arm) {
                    arm = std::make_unique<Database>();
                    arm->setDirectory(build.path() + QLatin1Char('/') + QString::fromLatin1(kArmFolder));
                }
                db = arm.get();
            }
            folderTotals(*db, entries[i].def, checks[i]);
        }
    }
    requireEqual(checks);
    tx.commit();
    build.moveTo(folder);
    return checks;
}

} // namespace stb::db
