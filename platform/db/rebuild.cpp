// Rebuilding a table file: repair of a damaged table, restructure keeping
// the rows, and the upgrade of an older format. Each builds a complete new
// file beside the table and puts it in place (see filereplace.h).
#include "platform/db/database.h"
#include "platform/db/serverbackend.h"

#include "platform/db/faultpoint.h"
#include "platform/db/fileconn.h"
#include "platform/db/salvage.h"
#include "platform/db/schemasql.h"
#include "platform/db/tablemeta.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <limits>
#include <sqlite3.h>
#include <vector>

namespace stb::db {

namespace {

const char *const kStepHeaders = "Repairing headers";
const char *const kStepData = "Repairing record, index, and BLOB data";
const char *const kStepIndexes = "Repairing indexes";

void report(const ProgressFn &progress, const char *step, int percent)
{
    if (progress)
        progress(QString::fromLatin1(step), percent);
}

QString placeholders(int first, int count)
{
    QStringList q;
    for (int i = 0; i < count; ++i)
        q << QStringLiteral("?%1").arg(first + i);
    return q.join(QStringLiteral(", "));
}

qint64 queryInt(sqlite3 *db, const QString &sql, qint64 otherwise = 0)
{
    sqlite3_stmt *st = nullptr;
    qint64 v = otherwise;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

bool hasAutoInc(const TableDef &def)
{
    return std::any_of(
        def.fields.cbegin(), def.fields.cend(), [](const FieldDef &f) { return f.type == FieldType::AutoInc; });
}

// Told how many of the indexes are built (after each one).
using IndexesBuilt = std::function<void(int built, int count)>;

// Builds the file at `tmp`: the definition, the rows `fill` puts in, the
// indexes; the file is complete and on the disk when this returns.
void buildRebuilt(const QString &tmp, const TableDef &def, const QString &version,
    const std::function<void(FileConn &)> &fill, const IndexesBuilt &indexesBuilt = {})
{
    try {
        buildTableFile(tmp, def, version, false);
        FileConn fc;
        if (fc.open(tmp, SQLITE_OPEN_READWRITE) != SQLITE_OK)
            throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível criar o arquivo %1").arg(tmp), def.name);
        // The file is private until it is put in place and thrown away when
        // anything fails: no journal while it fills, one flush at its end.
        fc.exec(QStringLiteral("PRAGMA journal_mode = OFF"));
        fc.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        fc.exec(QStringLiteral("PRAGMA cache_size = -65536"));
        fill(fc);
        fc.exec(QStringLiteral("PRAGMA synchronous = FULL"));
        fc.exec(QStringLiteral("BEGIN"));
        // One index at a time, so that a long build can be followed.
        TableDef one = def;
        for (int i = 0; i < def.indexes.size(); ++i) {
            one.indexes = {def.indexes.at(i)};
            createIndexes(fc.db, QStringLiteral("main"), one);
            if (indexesBuilt)
                indexesBuilt(i + 1, int(def.indexes.size()));
        }
        if (fc.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
            throw EngineError(Err::DiskFull, QStringLiteral("Não foi possível gravar o arquivo %1").arg(tmp), def.name);
    } catch (...) {
        QFile::remove(tmp);
        QFile::remove(tmp + QStringLiteral("-journal"));
        throw;
    }
    faultPoint("rebuild:built");
}

void attachOld(FileConn &fc, const QString &dat, const QString &table)
{
    if (fc.exec(QStringLiteral("ATTACH DATABASE %1 AS old").arg(quoteText(dat))) != SQLITE_OK)
        throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), table);
}

// Told how many rows are copied (after each batch) of how many.
using RowsCopied = std::function<void(qint64 done, qint64 total)>;

// Rows per statement of a copy that is followed: about fifty steps for the
// whole table, never fewer than this.
constexpr qint64 kMinBatch = 500;
constexpr qint64 kSteps = 50;

// Copies every row of the sound table `oldTable` (attached as "old") into the
// new one, converting values to the new field types; throws when one cannot be
// read. When `rowsCopied` is given, the rows go in rowid order in batches
// of one transaction, and it is told after each batch.
qint64 copyRows(FileConn &fc, const TableDef &oldDef, const TableDef &newDef, const QString &oldTable,
    const RowsCopied &rowsCopied = {})
{
    QStringList from, to;
    for (const FieldDef &nf : newDef.fields) {
        const FieldDef *of = oldDef.field(nf.name);
        if (!of || nf.type == FieldType::AutoInc)
            continue; // an auto-increment field is the rowid, copied as such
        to << quoteIdent(nf.name);
        from << (of->type == nf.type && of->size == nf.size ? quoteIdent(of->name)
                                                            : convertExpr(quoteIdent(of->name), nf));
    }
    QString cols = QStringLiteral("rowid");
    QString values = QStringLiteral("rowid");
    if (!to.isEmpty()) {
        cols += QStringLiteral(", ") + to.join(QStringLiteral(", "));
        values += QStringLiteral(", ") + from.join(QStringLiteral(", "));
    }
    fc.exec(QStringLiteral("BEGIN"));
    const QString sql = QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM old.%4")
                            .arg(quoteIdent(newDef.name), cols, values, quoteIdent(oldTable));
    const auto failed = [&fc, &newDef] {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(fc.db));
        fc.exec(QStringLiteral("ROLLBACK"));
        return EngineError(Err::DataDamaged, msg, newDef.name);
    };
    qint64 copied = 0;
    const qint64 total
        = rowsCopied ? queryInt(fc.db, QStringLiteral("SELECT count(*) FROM old.%1").arg(quoteIdent(oldTable)), -1) : 0;
    if (total < 0)
        throw failed();
    if (total <= kMinBatch) {
        if (fc.exec(sql) != SQLITE_OK)
            throw failed();
        copied = sqlite3_changes64(fc.db);
        if (rowsCopied)
            rowsCopied(copied, total);
    } else {
        const QByteArray batchSql = (sql + QStringLiteral(" WHERE rowid > ?1 ORDER BY rowid LIMIT ?2")).toUtf8();
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(fc.db, batchSql.constData(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            throw failed();
        }
        const qint64 batch = std::max(kMinBatch, total / kSteps);
        qint64 last = std::numeric_limits<qint64>::min();
        for (;;) {
            sqlite3_bind_int64(st, 1, last);
            sqlite3_bind_int64(st, 2, batch);
            const int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc != SQLITE_DONE) {
                sqlite3_finalize(st);
                throw failed();
            }
            const qint64 n = sqlite3_changes64(fc.db);
            if (n == 0)
                break;
            copied += n;
            // The rows went in rowid order: the last one inserted ends the batch.
            last = sqlite3_last_insert_rowid(fc.db);
            rowsCopied(std::min(copied, total), total);
        }
        sqlite3_finalize(st);
    }
    if (fc.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
        throw EngineError(Err::DiskFull, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
    return copied;
}

// A percent between `from` and `to` for `done` of `total`, reported when it moves.
class PercentScale {
public:
    PercentScale(const ProgressFn &progress, QString step, int from, int to)
        : m_progress(progress),
          m_step(std::move(step)),
          m_from(from),
          m_to(to)
    {
    }
    void operator()(qint64 done, qint64 total)
    {
        if (!m_progress || total <= 0)
            return;
        const int percent = m_from + int((m_to - m_from) * std::min(done, total) / total);
        if (percent != m_last)
            m_progress(m_step, percent);
        m_last = percent;
    }

private:
    const ProgressFn &m_progress;
    QString m_step;
    int m_from, m_to;
    int m_last = -1;
};

// The auto-increment counter never goes back: ids of rows that were lost are
// not handed out again (other tables may still name them).
void keepSequence(FileConn &fc, const TableDef &def, qint64 atLeast)
{
    if (!hasAutoInc(def))
        return;
    const qint64 seq = std::max(
        atLeast, queryInt(fc.db, QStringLiteral("SELECT max(rowid) FROM main.%1").arg(quoteIdent(def.name))));
    fc.exec(QStringLiteral("DELETE FROM main.sqlite_sequence WHERE name = %1").arg(quoteText(def.name)));
    fc.exec(QStringLiteral("INSERT INTO main.sqlite_sequence (name, seq) VALUES (%1, %2)")
                .arg(quoteText(def.name))
                .arg(seq));
}

qint64 removeDuplicateKeys(FileConn &fc, const TableDef &def)
{
    qint64 removed = 0;
    for (const IndexDef &ix : def.indexes) {
        if (!ix.isUnique() || isRowidIndex(def, ix))
            continue;
        QStringList cols;
        for (const QString &f : ix.fieldList())
            cols << quoteIdent(f)
                    + ((ix.options & IndexDef::CaseInsensitive) ? QStringLiteral(" COLLATE PTCI") : QString());
        if (fc.exec(
                QStringLiteral("DELETE FROM main.%1 WHERE rowid NOT IN (SELECT min(rowid) FROM main.%1 GROUP BY %2)")
                    .arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))))
            == SQLITE_OK)
            removed += sqlite3_changes64(fc.db);
    }
    return removed;
}

// ---- salvage ----------------------------------------------------------------

bool isText(const salvage::Cell &c, const char *text, int encoding)
{
    return c.kind == salvage::Cell::Text && salvage::decodeText(c.bytes, encoding) == QLatin1String(text);
}

// Whether a record found on a page outside every tree is a row of `def`: one
// value per field, each of a kind the field's column holds.
bool fitsDefinition(const salvage::Record &r, const TableDef &def, int encoding)
{
    using salvage::Cell;
    if (r.values.size() != std::size_t(def.fields.size()))
        return false;
    // The table's own bookkeeping rows look alike when the shapes agree.
    if (r.values.size() == 2
        && (isText(r.values[0], "version", encoding) || isText(r.values[0], "definition", encoding)))
        return false;
    if (r.values.size() == 2 && r.values[0].kind == Cell::Text && r.values[1].kind == Cell::Int
        && salvage::decodeText(r.values[0].bytes, encoding).compare(def.name, Qt::CaseInsensitive) == 0)
        return false;
    for (int i = 0; i < def.fields.size(); ++i) {
        const Cell::Kind k = r.values[std::size_t(i)].kind;
        if (k == Cell::Null)
            continue;
        switch (def.fields[i].type) {
        case FieldType::AutoInc:
            return false; // the rowid stands for it: the record holds null
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::LargeInt:
        case FieldType::Boolean:
        case FieldType::Float:
        case FieldType::Currency:
            if (k != Cell::Int && k != Cell::Real)
                return false;
            break;
        case FieldType::String:
        case FieldType::Memo:
        case FieldType::Date:
        case FieldType::DateTime:
            if (k != Cell::Text)
                return false;
            break;
        case FieldType::Blob:
        case FieldType::Unknown:
            break;
        }
    }
    return true;
}

void bindCell(sqlite3_stmt *st, int index, const salvage::Cell &c, int encoding)
{
    switch (c.kind) {
    case salvage::Cell::Null:
        sqlite3_bind_null(st, index);
        break;
    case salvage::Cell::Int:
        sqlite3_bind_int64(st, index, c.i);
        break;
    case salvage::Cell::Real:
        sqlite3_bind_double(st, index, c.r);
        break;
    case salvage::Cell::Text:
        sqlite3_bind_text64(st, index, c.bytes.constData(), sqlite3_uint64(c.bytes.size()), SQLITE_TRANSIENT,
            encoding == 2       ? SQLITE_UTF16LE
                : encoding == 3 ? SQLITE_UTF16BE
                                : SQLITE_UTF8);
        break;
    case salvage::Cell::Blob:
        sqlite3_bind_blob64(st, index, c.bytes.constData(), sqlite3_uint64(c.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

struct Salvaged {
    qint64 rows = 0;
    qint64 sequence = 0; // the old auto-increment counter, when found
    bool definitionFound = false;
    TableDef def;
    QString version;
};

// Reads what the page walk found: the table's definition when SQLite could
// not tell it, the old counter, and the rows into the new table.
class SalvageReader {
public:
    SalvageReader(const salvage::FileScan &scan, const QString &innerName) : m_scan(scan)
    {
        // The data tree: the table named as the definition says, else the one
        // table that is neither ours nor SQLite's bookkeeping.
        for (std::size_t t = 0; t < scan.trees.size(); ++t) {
            const salvage::Tree &tree = scan.trees[t];
            if (tree.type != QLatin1String("table"))
                continue;
            if (tree.name.compare(QLatin1String("_stmeta"), Qt::CaseInsensitive) == 0)
                m_metaTree = int(t);
            else if (tree.name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
                m_sequenceTree = tree.name.compare(QLatin1String("sqlite_sequence"), Qt::CaseInsensitive) == 0
                    ? int(t)
                    : m_sequenceTree;
            else if (m_dataTree < 0 || tree.name.compare(innerName, Qt::CaseInsensitive) == 0)
                m_dataTree = int(t);
        }
    }

    // The definition kept in the file's own bookkeeping rows.
    bool definition(TableDef &def, QString &version) const
    {
        QByteArray json, ver;
        for (const salvage::Record &r : m_scan.records) {
            if (r.values.size() != 2 || (r.tree != m_metaTree && r.tree != -1)
                || r.values[1].kind != salvage::Cell::Text)
                continue;
            const int enc = m_scan.textEncoding;
            if (isText(r.values[0], "definition", enc))
                json = salvage::decodeText(r.values[1].bytes, enc).toUtf8();
            else if (isText(r.values[0], "version", enc))
                ver = salvage::decodeText(r.values[1].bytes, enc).toUtf8();
        }
        if (json.isEmpty() || ver.isEmpty() || !definitionFromJson(json, def))
            return false;
        version = QString::fromUtf8(ver);
        return true;
    }

    qint64 sequence(const QString &innerName) const
    {
        qint64 seq = 0;
        for (const salvage::Record &r : m_scan.records)
            if ((r.tree == m_sequenceTree || r.tree == -1) && r.values.size() == 2
                && r.values[0].kind == salvage::Cell::Text && r.values[1].kind == salvage::Cell::Int
                && salvage::decodeText(r.values[0].bytes, m_scan.textEncoding).compare(innerName, Qt::CaseInsensitive)
                    == 0)
                seq = std::max<qint64>(seq, r.values[1].i);
        return seq;
    }

    // Inserts every record that is a row of `def`; returns the rows inserted.
    qint64 insertRows(FileConn &fc, const TableDef &def) const
    {
        std::vector<const salvage::Record *> rows;
        for (const salvage::Record &r : m_scan.records) {
            if (m_dataTree >= 0 && r.tree == m_dataTree) {
                if (r.values.size() <= std::size_t(def.fields.size()))
                    rows.push_back(&r);
            } else if (r.tree == -1 && fitsDefinition(r, def, m_scan.textEncoding)) {
                rows.push_back(&r);
            }
        }
        // In key order, rows read through their tree before those of lost parents.
        std::stable_sort(rows.begin(), rows.end(), [this](const salvage::Record *a, const salvage::Record *b) {
            if (a->rowid != b->rowid)
                return a->rowid < b->rowid;
            return (a->tree == m_dataTree) && (b->tree != m_dataTree);
        });
        QStringList cols {QStringLiteral("rowid")};
        std::vector<int> columnOf; // record position of each bound column
        for (int i = 0; i < def.fields.size(); ++i)
            if (def.fields[i].type != FieldType::AutoInc) {
                cols << quoteIdent(def.fields[i].name);
                columnOf.push_back(i);
            }
        const QByteArray sql
            = QStringLiteral("INSERT OR IGNORE INTO main.%1 (%2) VALUES (%3)")
                  .arg(quoteIdent(def.name), cols.join(QStringLiteral(", ")), placeholders(1, int(cols.size())))
                  .toUtf8();
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(fc.db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            throw EngineError(Err::SqlError, QString::fromUtf8(sqlite3_errmsg(fc.db)), def.name);
        }
        qint64 inserted = 0;
        fc.exec(QStringLiteral("BEGIN"));
        const salvage::Record *previous = nullptr;
        for (const salvage::Record *r : rows) {
            if (previous && previous->rowid == r->rowid)
                continue;
            previous = r;
            sqlite3_bind_int64(st, 1, r->rowid);
            for (std::size_t c = 0; c < columnOf.size(); ++c) {
                const std::size_t at = std::size_t(columnOf[c]);
                if (at < r->values.size())
                    bindCell(st, int(c) + 2, r->values[at], m_scan.textEncoding);
                else
                    sqlite3_bind_null(st, int(c) + 2);
            }
            if (sqlite3_step(st) == SQLITE_DONE && sqlite3_changes(fc.db) == 1)
                ++inserted;
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        if (fc.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
            throw EngineError(Err::DiskFull, QString::fromUtf8(sqlite3_errmsg(fc.db)), def.name);
        return inserted;
    }

private:
    const salvage::FileScan &m_scan;
    int m_dataTree = -1;
    int m_metaTree = -2;
    int m_sequenceTree = -2;
};

// The old file as SQLite sees it: readable definition, and sound throughout
// (every page checked, the size that of its pages).
struct Probe {
    bool metaOk = false;
    bool sound = false;
    TableDef def;
    QString version;
};

Probe probeFile(const QString &dat)
{
    Probe p;
    FileConn fc;
    // Opened for writing so that SQLite plays back a journal a crash left.
    if (fc.open(dat, SQLITE_OPEN_READWRITE) != SQLITE_OK)
        return p;
    fc.exec(QStringLiteral("PRAGMA writable_schema = ON"));
    p.metaOk = readMetaFrom(fc.db, QStringLiteral("main"), p.def, p.version) == SQLITE_OK;
    if (!p.metaOk)
        return p;
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(fc.db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW
        && qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok") == 0
        && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    const qint64 pages = queryInt(fc.db, QStringLiteral("PRAGMA page_count"));
    const qint64 pageSize = queryInt(fc.db, QStringLiteral("PRAGMA page_size"));
    p.sound = ok && pages > 0 && pages * pageSize == QFileInfo(dat).size();
    // The structure checks cannot see an overflow page whose bytes were lost:
    // text the program stored never holds a zero character.
    QStringList texts;
    for (const FieldDef &f : std::as_const(p.def.fields))
        if (f.type == FieldType::String || f.type == FieldType::Memo)
            texts << QStringLiteral("instr(CAST(%1 AS BLOB), x'00') > 0").arg(quoteIdent(f.name));
    if (p.sound && !texts.isEmpty())
        p.sound = queryInt(fc.db,
                      QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE %2)")
                          .arg(quoteIdent(p.def.name), texts.join(QStringLiteral(" OR "))),
                      1)
            == 0;
    return p;
}

} // namespace

RepairResult Database::repairTable(const QString &table, const ProgressFn &progress)
{
    if (m_server) {
        ensureNotOpenHere(table);
        return m_server->repairTable(table, progress);
    }
    RepairResult result;
    if (m_storage == Storage::Memory)
        return result;
    open();
    report(progress, kStepHeaders, 0);
    MaintenanceHold hold = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString idx = tableFilePath(table, QStringLiteral(".idx"));
    const QString name = QFileInfo(dat).completeBaseName();

    // Definitions: fields from the .dat when it can tell them, indexes from the .idx.
    Probe probe = probeFile(dat);
    salvage::FileScan scan;
    if (!probe.sound)
        scan = salvage::scanFile(dat);
    const SalvageReader reader(scan, probe.metaOk ? probe.def.name : name);
    if (!probe.metaOk && reader.definition(probe.def, probe.version))
        probe.metaOk = true;
    TableDef idxDef;
    QString idxVersion;
    const bool idxOk = readIndexFile(idx, idxDef, idxVersion);
    if (!probe.metaOk && !idxOk)
        throw EngineError(
            Err::TableDamaged, QStringLiteral("Não foi possível recuperar a definição da tabela %1").arg(name), name);
    // A .dat of another table under this one's .idx: its rows are not ours.
    const bool foreign = probe.metaOk && probe.def.name.compare(name, Qt::CaseInsensitive) != 0 && idxOk
        && idxDef.name.compare(probe.def.name, Qt::CaseInsensitive) != 0;
    TableDef def = probe.metaOk && !foreign ? probe.def : idxDef;
    const QString version = probe.metaOk && !foreign ? probe.version : idxVersion;
    def.name = name;
    if (idxOk) {
        def.indexes.clear();
        for (const IndexDef &ix : std::as_const(idxDef.indexes)) {
            bool fieldsExist = true;
            for (const QString &f : ix.fieldList())
                fieldsExist = fieldsExist && def.field(f);
            if (fieldsExist)
                def.indexes << ix;
        }
    }
    report(progress, kStepHeaders, 10);

    const QString tmp = tempPath(name);
    bool complete = false;
    buildRebuilt(tmp, def, version, [&](FileConn &fc) {
        report(progress, kStepData, 10);
        if (foreign)
            return;
        if (probe.sound) {
            attachOld(fc, dat, name);
            PercentScale rows(progress, QString::fromLatin1(kStepData), 10, 85);
            result.rows
                = copyRows(fc, probe.def, def, probe.def.name, progress ? RowsCopied(std::ref(rows)) : RowsCopied());
            keepSequence(fc, def,
                queryInt(fc.db,
                    QStringLiteral("SELECT max(seq) FROM old.sqlite_sequence WHERE name = %1")
                        .arg(quoteText(probe.def.name))));
            fc.exec(QStringLiteral("DETACH DATABASE old"));
            complete = true;
        } else {
            result.rows = reader.insertRows(fc, def);
            keepSequence(fc, def, reader.sequence(probe.metaOk ? probe.def.name : name));
            complete = scan.complete();
        }
        report(progress, kStepIndexes, 90);
        const qint64 removed = removeDuplicateKeys(fc, def);
        result.rows -= removed;
        complete = complete && removed == 0;
    });
    result.complete = complete;
    result.damagedPages = int(std::min<std::uint64_t>(scan.badPages + scan.unaccounted, INT_MAX));
    result.backup = replaceTableFiles(name, tmp, def, version, !complete);
    report(progress, kStepIndexes, 100);
    return result;
}

void Database::alterTable(const QString &table, const TableDef &newDefIn, const ProgressFn &progress)
{
    if (m_server) {
        ensureNotOpenHere(table);
        return m_server->alterTable(table, newDefIn, progress);
    }
    if (m_storage == Storage::Memory)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Tabelas em memória não podem ser alteradas"), table);
    open();
    const TableDef oldDef = tableDef(table); // validates the table
    const QString version = QLatin1String(CurrentVersion);
    MaintenanceHold hold = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    TableDef newDef = newDefIn;
    newDef.name = QFileInfo(dat).completeBaseName();
    const QString step = QStringLiteral("Restructuring");
    if (progress)
        progress(step, 0);
    const QString tmp = tempPath(newDef.name);
    // The rows take most of the time (0 to 75 %), the indexes the rest.
    PercentScale rows(progress, step, 0, 75);
    PercentScale indexes(progress, step, 75, 98);
    buildRebuilt(
        tmp, newDef, version,
        [&](FileConn &fc) {
            attachOld(fc, dat, table);
            copyRows(fc, oldDef, newDef, oldDef.name, progress ? RowsCopied(std::ref(rows)) : RowsCopied());
            keepSequence(fc, newDef,
                queryInt(fc.db,
                    QStringLiteral("SELECT max(seq) FROM old.sqlite_sequence WHERE name = %1")
                        .arg(quoteText(oldDef.name))));
            fc.exec(QStringLiteral("DETACH DATABASE old"));
            removeDuplicateKeys(fc, newDef);
        },
        progress ? IndexesBuilt([&indexes](int built, int count) { indexes(built, count); }) : IndexesBuilt());
    replaceTableFiles(newDef.name, tmp, newDef, version, true);
    if (progress)
        progress(step, 100);
}

void Database::upgradeTable(const QString &table, const ProgressFn &progress)
{
    if (m_server)
        return m_server->upgradeTable(table, QLatin1String(CurrentVersion), progress);
    if (m_storage == Storage::Memory)
        return;
    QString version;
    TableDef def;
    {
        FileConn fc;
        if (fc.open(tableFilePath(table, QStringLiteral(".dat")), SQLITE_OPEN_READONLY) != SQLITE_OK
            || readMetaFrom(fc.db, QStringLiteral("main"), def, version) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QStringLiteral("A tabela %1 está danificada").arg(table), table);
    }
    if (version == QLatin1String(CurrentVersion))
        return;
    // An older table is rebuilt in the current format with its own definition.
    MaintenanceHold hold = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString inner = def.name;
    def.name = QFileInfo(dat).completeBaseName();
    const QString step = QStringLiteral("Upgrading");
    if (progress)
        progress(step, 0);
    const QString tmp = tempPath(def.name);
    buildRebuilt(tmp, def, QLatin1String(CurrentVersion), [&](FileConn &fc) {
        attachOld(fc, dat, table);
        TableDef oldDef = def;
        oldDef.name = inner;
        copyRows(fc, oldDef, def, inner);
        keepSequence(fc, def,
            queryInt(fc.db,
                QStringLiteral("SELECT max(seq) FROM old.sqlite_sequence WHERE name = %1").arg(quoteText(inner))));
        fc.exec(QStringLiteral("DETACH DATABASE old"));
    });
    replaceTableFiles(def.name, tmp, def, QLatin1String(CurrentVersion), true);
    if (progress)
        progress(step, 100);
}

} // namespace stb::db
