#include "platform/db/database.h"

#include "platform/clock.h"
#include "platform/db/dataset.h"
#include "platform/db/filelock.h"
#include "platform/db/sqltranslate.h"
#include "platform/db/sqlvalue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <sqlite3.h>
#include <zlib.h>

namespace stb::db {

namespace {

constexpr int kMaxAttached = 10;
constexpr int kMaxCachedStatements = 200;
constexpr std::int64_t kTransactionByte = 0x50000010LL;
const char *const kMainFile = "BaseDados.sys";
const char *const kIdxMagic = "STIDX";

QString quoteIdent(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString physicalIndexName(const IndexDef &ix)
{
    return QStringLiteral("ix_") + (ix.name.isEmpty() ? QStringLiteral("PRIMARY") : ix.name);
}

// The primary index made of the auto-increment field alone is the rowid itself.
bool isRowidIndex(const TableDef &def, const IndexDef &ix)
{
    const QStringList f = ix.fieldList();
    if (!ix.isPrimary() || f.size() != 1)
        return false;
    const FieldDef *fd = def.field(f[0]);
    return fd && fd->type == FieldType::AutoInc;
}

QString declaredType(const FieldDef &f)
{
    switch (f.type) {
    case FieldType::SmallInt:
        return QStringLiteral("SMALLINT");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::LargeInt:
        return QStringLiteral("BIGINT");
    case FieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Float:
    case FieldType::Currency:
        return QStringLiteral("REAL"); // REAL affinity keeps SQL arithmetic in floating point
    case FieldType::String:
        return QStringLiteral("VARCHAR(%1)").arg(f.size > 0 ? f.size : 255);
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case FieldType::Boolean:
        return QStringLiteral("BOOLEAN");
    case FieldType::Blob:
        return QStringLiteral("BLOB");
    case FieldType::Unknown:
        break;
    }
    return QStringLiteral("TEXT");
}

QJsonObject defToJson(const TableDef &def)
{
    QJsonArray fields;
    for (const FieldDef &f : def.fields) {
        QJsonObject o;
        o[QStringLiteral("name")] = f.name;
        o[QStringLiteral("type")] = fieldTypeName(f.type);
        if (f.size)
            o[QStringLiteral("size")] = f.size;
        if (f.required)
            o[QStringLiteral("required")] = true;
        fields.append(o);
    }
    QJsonArray indexes;
    for (const IndexDef &ix : def.indexes) {
        QJsonObject o;
        o[QStringLiteral("name")] = ix.name;
        o[QStringLiteral("fields")] = ix.fields;
        o[QStringLiteral("options")] = static_cast<int>(ix.options);
        indexes.append(o);
    }
    QJsonObject root;
    root[QStringLiteral("table")] = def.name;
    root[QStringLiteral("fields")] = fields;
    root[QStringLiteral("indexes")] = indexes;
    return root;
}

bool defFromJson(const QByteArray &json, TableDef &def)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    def = {};
    def.name = root.value(QStringLiteral("table")).toString();
    for (const QJsonValue &v : root.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject o = v.toObject();
        FieldDef f;
        f.name = o.value(QStringLiteral("name")).toString();
        f.type = fieldTypeFromName(o.value(QStringLiteral("type")).toString());
        f.size = o.value(QStringLiteral("size")).toInt();
        f.required = o.value(QStringLiteral("required")).toBool();
        if (f.name.isEmpty() || f.type == FieldType::Unknown)
            return false;
        def.fields << f;
    }
    for (const QJsonValue &v : root.value(QStringLiteral("indexes")).toArray()) {
        const QJsonObject o = v.toObject();
        IndexDef ix;
        ix.name = o.value(QStringLiteral("name")).toString();
        ix.fields = o.value(QStringLiteral("fields")).toString();
        ix.options = static_cast<unsigned>(o.value(QStringLiteral("options")).toInt());
        def.indexes << ix;
    }
    return !def.name.isEmpty() && !def.fields.isEmpty();
}

// SQL functions and collation the engine's dialect needs.
void sqlUpper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])),
                                        sqlite3_value_bytes(argv[0]));
    const QByteArray u = upperText(s).toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlLower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])),
                                        sqlite3_value_bytes(argv[0]));
    const QByteArray u = s.toLower().toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlToday(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateText(Clock::today().toJulianDay()).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

void sqlNow(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateTimeText(encodeDateTime(Clock::now())).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

int collateNoCase(void *, int la, const void *a, int lb, const void *b)
{
    return compareTextNoCase(QString::fromUtf8(static_cast<const char *>(a), la),
                             QString::fromUtf8(static_cast<const char *>(b), lb));
}

void registerExtensions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "upper", 1, flags, nullptr, sqlUpper, nullptr, nullptr);
    sqlite3_create_function(db, "lower", 1, flags, nullptr, sqlLower, nullptr, nullptr);
    sqlite3_create_function(db, "st_today", 0, SQLITE_UTF8, nullptr, sqlToday, nullptr, nullptr);
    sqlite3_create_function(db, "st_now", 0, SQLITE_UTF8, nullptr, sqlNow, nullptr, nullptr);
    sqlite3_create_collation(db, "PTCI", SQLITE_UTF8, nullptr, collateNoCase);
    // The engine's LIKE tells case apart; UPPER() on both sides makes it blind.
    sqlite3_exec(db, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
}

// A standalone connection on one table file, for maintenance work.
struct FileConn {
    sqlite3 *db = nullptr;
    ~FileConn()
    {
        if (db)
            sqlite3_close_v2(db);
    }
    int open(const QString &path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
        if (db) {
            registerExtensions(db);
            sqlite3_extended_result_codes(db, 1);
            sqlite3_busy_timeout(db, 2000);
        }
        return rc;
    }
    int exec(const QString &sql) { return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr); }
};

// Reads definition and version from the _stmeta table of a schema.
int readMetaFrom(sqlite3 *db, const QString &schema, TableDef &def, QString &version)
{
    sqlite3_stmt *st = nullptr;
    const QByteArray sql =
        QStringLiteral("SELECT key, value FROM %1._stmeta").arg(quoteIdent(schema)).toUtf8();
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        return rc;
    }
    QByteArray json;
    version.clear();
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QByteArray key(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        const QByteArray value(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)), sqlite3_column_bytes(st, 1));
        if (key == "definition")
            json = value;
        else if (key == "version")
            version = QString::fromUtf8(value);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return rc;
    if (!defFromJson(json, def) || version.isEmpty())
        return SQLITE_CORRUPT;
    return SQLITE_OK;
}

bool readIndexFile(const QString &path, TableDef &def, QString &version)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray all = f.readAll();
    const QList<QByteArray> lines = all.split('\n');
    if (lines.size() < 3)
        return false;
    const QList<QByteArray> head = lines[0].split(' ');
    if (head.size() != 2 || head[0] != kIdxMagic)
        return false;
    const QByteArray &json = lines[1];
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(json.constData()), static_cast<uInt>(json.size()));
    if (lines[2].trimmed() != QByteArray::number(static_cast<qulonglong>(crc), 16))
        return false;
    version = QString::fromLatin1(head[1]);
    return defFromJson(json, def);
}

QString columnList(const QList<FieldDef> &fields)
{
    QStringList cols;
    for (const FieldDef &f : fields)
        cols << quoteIdent(f.name);
    return cols.join(QStringLiteral(", "));
}

// Expression converting an old column to a new field type when a table is altered.
QString convertExpr(const QString &col, const FieldDef &to)
{
    switch (to.type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc:
    case FieldType::Boolean:
        return QStringLiteral("CAST(%1 AS INTEGER)").arg(col);
    case FieldType::Float:
    case FieldType::Currency:
        return QStringLiteral("CAST(%1 AS REAL)").arg(col);
    case FieldType::String:
        return QStringLiteral("substr(CAST(%1 AS TEXT), 1, %2)").arg(col).arg(to.size > 0 ? to.size : 255);
    case FieldType::Memo:
        return QStringLiteral("CAST(%1 AS TEXT)").arg(col);
    default:
        return col;
    }
}

} // namespace

Session &Session::defaultSession()
{
    static Session s{QDir::tempPath(), 15, 100};
    return s;
}

Database::Database(const QString &name, Storage storage)
    : m_name(name)
    , m_storage(storage)
    , m_session(&Session::defaultSession())
{
}

Database::~Database()
{
    close();
}

void Database::setDirectory(const QString &dir)
{
    if (m_conn)
        close();
    m_dir = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
}

void Database::open()
{
    if (!m_conn)
        connect();
}

void Database::connect()
{
    QString main = QStringLiteral(":memory:");
    if (m_storage == Storage::Folder) {
        if (m_dir.isEmpty() || !QFileInfo(m_dir).isDir())
            throw EngineError(Err::ConnectionLost,
                              QStringLiteral("A pasta de dados \"%1\" não existe ou não está acessível").arg(m_dir));
        main = QDir(m_dir).filePath(QLatin1String(kMainFile));
    }
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(main).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK && m_storage == Storage::Folder) {
        // A folder we cannot write: no transactions across files are needed there.
        sqlite3_close_v2(db);
        db = nullptr;
        rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close_v2(db);
        throw EngineError(Err::ConnectionLost, QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(msg));
    }
    m_conn = db;
    sqlite3_extended_result_codes(m_conn, 1);
    registerExtensions(m_conn);
    sqlite3_limit(m_conn, SQLITE_LIMIT_ATTACHED, kMaxAttached);
    sqlite3_busy_timeout(m_conn, std::max(1, m_session->lockRetryCount * m_session->lockWaitTime));
}

void Database::close()
{
    const QList<DataSet *> sets = m_dataSets;
    for (DataSet *ds : sets)
        if (ds->isActive())
            ds->close();
    disconnect();
}

void Database::disconnect()
{
    if (!m_conn)
        return;
    endReadTransaction();
    if (m_inTransaction) {
        sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        if (m_txLock)
            m_txLock->unlock(kTransactionByte);
        m_txLock.reset();
    }
    dropTempCopies();
    clearStatementCache();
    sqlite3_close_v2(m_conn);
    m_conn = nullptr;
    if (m_storage == Storage::Folder)
        m_tables.clear();
}

sqlite3 *Database::connection()
{
    open();
    return m_conn;
}

void Database::clearStatementCache()
{
    ++m_stmtEpoch;
    for (sqlite3_stmt *st : std::as_const(m_stmtCache))
        sqlite3_finalize(st);
    m_stmtCache.clear();
}

QString Database::tableFilePath(const QString &table, const QString &ext) const
{
    QString base = table;
    if (base.endsWith(ext, Qt::CaseInsensitive))
        base.chop(ext.size());
    const QString wanted = base + ext;
    const QDir dir(m_dir);
    const QStringList entries = dir.entryList({QStringLiteral("*") + ext}, QDir::Files | QDir::Hidden);
    for (const QString &e : entries)
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return dir.filePath(wanted);
}

bool Database::tableExists(const QString &table) const
{
    if (m_storage == Storage::Memory)
        return m_tables.contains(keyOf(table));
    return QFileInfo::exists(tableFilePath(table, QStringLiteral(".dat")));
}

QStringList Database::tableNames() const
{
    QStringList out;
    if (m_storage == Storage::Memory) {
        for (const TableInfo &t : m_tables)
            out << t.def.name;
        return out;
    }
    for (const QFileInfo &fi : QDir(m_dir).entryInfoList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name))
        out << fi.completeBaseName();
    return out;
}

Database::TableInfo *Database::findTable(const QString &table)
{
    auto it = m_tables.find(keyOf(table));
    return it == m_tables.end() ? nullptr : &it.value();
}

Database::TableInfo &Database::useTable(const QString &table)
{
    open();
    QString name = table;
    if (name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
        name.chop(4);
    auto it = m_tables.find(keyOf(name));
    if (it == m_tables.end()) {
        if (m_storage == Storage::Memory)
            throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(name), name);
        attach(name);
        it = m_tables.find(keyOf(name));
    }
    it->lastUse = ++m_useCounter;
    if (m_inTransaction && !m_txTables.contains(it.key()))
        m_txTables << it.key();
    return it.value();
}

void Database::evictOne(const QStringList &keep)
{
    QString victim;
    quint64 oldest = UINT64_MAX;
    for (auto it = m_tables.cbegin(); it != m_tables.cend(); ++it) {
        if (keep.contains(it.key()) || m_txTables.contains(it.key()))
            continue;
        if (it->lastUse < oldest) {
            oldest = it->lastUse;
            victim = it.key();
        }
    }
    if (victim.isEmpty())
        throw EngineError(Err::InvalidOperation,
                          QStringLiteral("Tabelas demais em uso ao mesmo tempo (o limite é %1)").arg(kMaxAttached));
    detach(victim);
}

void Database::attach(const QString &table)
{
    endReadTransaction();
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path)) {
        if (!QFileInfo(m_dir).isDir())
            throw EngineError(Err::ConnectionLost,
                              QStringLiteral("A pasta de dados \"%1\" não está acessível").arg(m_dir), table);
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe em %2").arg(table, m_dir), table);
    }
    int attached = 0;
    for (const TableInfo &t : std::as_const(m_tables))
        if (!t.schema.isEmpty())
            ++attached;
    if (attached >= kMaxAttached)
        evictOne(m_pinned);

    TableInfo info;
    info.schema = QFileInfo(path).completeBaseName();
    info.datPath = path;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(m_conn, "ATTACH DATABASE ?1 AS ?2", -1, &st, nullptr);
    const QByteArray p = QFile::encodeName(path);
    const QByteArray s = info.schema.toUtf8();
    sqlite3_bind_text(st, 1, p.constData(), p.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, s.constData(), s.size(), SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        raise(rc, table, QStringLiteral("abrir"));
    m_tables.insert(keyOf(table), info);
    TableInfo &ref = m_tables[keyOf(table)];
    try {
        readMeta(ref);
        checkIndexFile(ref, tableFilePath(table, QStringLiteral(".idx")));
    } catch (...) {
        detach(keyOf(table));
        throw;
    }
}

void Database::readMeta(TableInfo &info)
{
    // A file shorter than its pages says it was truncated.
    const QString schema = quoteIdent(info.schema);
    sqlite3_stmt *st = nullptr;
    qint64 pages = 0, pageSize = 0;
    int rc = SQLITE_OK;
    for (const char *pragma : {"page_count", "page_size"}) {
        const QByteArray sql = QStringLiteral("PRAGMA %1.%2").arg(schema, QLatin1String(pragma)).toUtf8();
        rc = sqlite3_prepare_v2(m_conn, sql.constData(), -1, &st, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            (std::strcmp(pragma, "page_count") == 0 ? pages : pageSize) = sqlite3_column_int64(st, 0);
            rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_OK)
            break;
    }
    if (rc != SQLITE_OK || pages * pageSize > QFileInfo(info.datPath).size() || pages == 0)
        throw EngineError(Err::DataDamaged,
                          QStringLiteral("A tabela %1 está danificada (cabeçalho inválido)").arg(info.schema),
                          info.schema);
    rc = readMetaFrom(m_conn, info.schema, info.def, info.version);
    if (rc != SQLITE_OK)
        throw EngineError(Err::DataDamaged,
                          QStringLiteral("A tabela %1 está danificada: %2")
                              .arg(info.schema, QString::fromUtf8(sqlite3_errstr(rc))),
                          info.schema);
    // A file copied under another name keeps its inner table name; follow the file.
    if (info.def.name.compare(info.schema, Qt::CaseInsensitive) != 0) {
        const QString sql = QStringLiteral("ALTER TABLE %1.%2 RENAME TO %3")
                                .arg(schema, quoteIdent(info.def.name), quoteIdent(info.schema));
        if (sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw EngineError(Err::DataDamaged,
                              QStringLiteral("A tabela %1 contém a tabela %2").arg(info.schema, info.def.name),
                              info.schema);
        info.def.name = info.schema;
        const QByteArray json = QJsonDocument(defToJson(info.def)).toJson(QJsonDocument::Compact);
        sqlite3_stmt *up = nullptr;
        sqlite3_prepare_v2(m_conn,
                           QStringLiteral("UPDATE %1._stmeta SET value = ?1 WHERE key = 'definition'")
                               .arg(schema)
                               .toUtf8()
                               .constData(),
                           -1, &up, nullptr);
        sqlite3_bind_text(up, 1, json.constData(), json.size(), SQLITE_TRANSIENT);
        sqlite3_step(up);
        sqlite3_finalize(up);
    }
    info.sqlName = schema + QLatin1Char('.') + quoteIdent(info.def.name);
}

void Database::checkIndexFile(TableInfo &info, const QString &idxPath)
{
    if (!QFileInfo::exists(idxPath))
        throw EngineError(Err::IndexDamaged,
                          QStringLiteral("O arquivo de índices da tabela %1 não foi encontrado").arg(info.schema),
                          info.schema);
    TableDef idxDef;
    QString idxVersion;
    if (!readIndexFile(idxPath, idxDef, idxVersion))
        throw EngineError(Err::IndexDamaged,
                          QStringLiteral("O arquivo de índices da tabela %1 está danificado").arg(info.schema),
                          info.schema);
    bool same = idxDef.indexes.size() == info.def.indexes.size();
    for (int i = 0; same && i < idxDef.indexes.size(); ++i)
        same = idxDef.indexes[i] == info.def.indexes[i];
    // The physical indexes inside the .dat must be those the definition names.
    QStringList expected;
    for (const IndexDef &ix : info.def.indexes)
        if (!isRowidIndex(info.def, ix))
            expected << physicalIndexName(ix).toLower();
    QStringList present;
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'index' AND name LIKE 'ix#_%' "
                                          "ESCAPE '#'")
                               .arg(quoteIdent(info.schema))
                               .toUtf8();
    if (sqlite3_prepare_v2(m_conn, sql.constData(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            present << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))).toLower();
    sqlite3_finalize(st);
    expected.sort();
    present.sort();
    if (!same || expected != present)
        throw EngineError(Err::IndexDamaged,
                          QStringLiteral("Os índices da tabela %1 estão desatualizados ou danificados").arg(info.schema),
                          info.schema);
}

void Database::detach(const QString &key)
{
    auto it = m_tables.find(key);
    if (it == m_tables.end())
        return;
    endReadTransaction();
    clearStatementCache();
    if (m_storage == Storage::Folder) {
        const QByteArray sql = QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(it->schema)).toUtf8();
        sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    }
    m_tables.erase(it);
}

void Database::acquireOpen(const QString &table, OpenMode mode)
{
    TableInfo &ti = useTable(table);
    OpenCount &info = m_open[keyOf(table)];
    if (m_storage == Storage::Memory) {
        (mode == OpenMode::Exclusive ? info.openExclusive : info.openShared)++;
        return;
    }
    info.datPath = ti.datPath;
    auto lock = FileLock::forFile(ti.datPath);
    const int retries = m_session->lockRetryCount;
    const int wait = m_session->lockWaitTime;
    if (mode == OpenMode::Exclusive) {
        if (info.openExclusive == 0 && !lock->lock(FileLock::OpenByte, true, retries, wait))
            throw EngineError(Err::TableInUse,
                              QStringLiteral("A tabela %1 está em uso por outro usuário ou processo").arg(ti.schema),
                              ti.schema);
        ++info.openExclusive;
    } else {
        if (info.openExclusive == 0 && info.openShared == 0 && !lock->lock(FileLock::OpenByte, false, retries, wait))
            throw EngineError(Err::TableInUse,
                              QStringLiteral("A tabela %1 está aberta com exclusividade por outro usuário ou processo")
                                  .arg(ti.schema),
                              ti.schema);
        ++info.openShared;
    }
}

void Database::releaseOpen(const QString &table, OpenMode mode)
{
    auto it = m_open.find(keyOf(table));
    if (it == m_open.end())
        return;
    OpenCount *info = &it.value();
    int &count = mode == OpenMode::Exclusive ? info->openExclusive : info->openShared;
    if (count > 0)
        --count;
    if (m_storage == Storage::Memory)
        return;
    auto lock = FileLock::forFile(info->datPath);
    if (info->openExclusive == 0) {
        if (info->openShared > 0) {
            if (mode == OpenMode::Exclusive)
                lock->tryLock(FileLock::OpenByte, false); // back to shared
        } else {
            lock->unlock(FileLock::OpenByte);
        }
    }
}

void Database::registerDataSet(DataSet *ds)
{
    if (!m_dataSets.contains(ds))
        m_dataSets << ds;
}

void Database::unregisterDataSet(DataSet *ds)
{
    m_dataSets.removeAll(ds);
    if (!m_keepConnection && m_conn && !m_inTransaction && m_storage == Storage::Folder) {
        for (DataSet *d : std::as_const(m_dataSets))
            if (d->isActive())
                return;
        disconnect();
    }
}

void Database::dropTempCopies()
{
    if (m_uncached) {
        sqlite3_finalize(m_uncached);
        m_uncached = nullptr;
    }
    for (const QString &name : std::as_const(m_tempCopies)) {
        const QByteArray sql = QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(quoteIdent(name)).toUtf8();
        sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    }
    m_tempCopies.clear();
}

void Database::copyToTemp(const QString &key)
{
    endReadTransaction();
    // A statement over more tables than SQLite attaches at once reads the
    // extra ones from temporary copies, dropped before the next statement.
    TableInfo &info = useTable(key);
    const QString name = info.def.name;
    const QByteArray sql =
        QStringLiteral("CREATE TEMP TABLE %1 AS SELECT * FROM %2").arg(quoteIdent(name), info.sqlName).toUtf8();
    const int rc = sqlite3_exec(m_conn, sql.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), name, QStringLiteral("ler"));
    m_tempCopies << name;
    if (!m_txTables.contains(key))
        detach(key);
}

sqlite3_stmt *Database::prepare(const QString &sql, const QStringList &tables)
{
    open();
    dropTempCopies();
    QStringList keys;
    if (m_storage == Storage::Folder) {
        for (const QString &t : tables) {
            const QString k = keyOf(t);
            if (!keys.contains(k) && (m_tables.contains(k) || tableExists(t)))
                keys << k;
        }
    }
    if (m_stmtCache.contains(sql) && keys.size() <= kMaxAttached) {
        m_pinned = keys;
        for (const QString &k : std::as_const(keys))
            useTable(k);
        if (sqlite3_stmt *st = m_stmtCache.value(sql)) { // attaching may have cleared the cache
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
            return st;
        }
    }
    const QByteArray utf8 = sql.toUtf8();
    for (int attempt = 0; attempt < 64; ++attempt) {
        // Tables already attached stay attached; the rest beyond the limit are copied.
        std::stable_sort(keys.begin(), keys.end(), [this](const QString &a, const QString &b) {
            return m_tables.contains(a) && !m_tables.contains(b);
        });
        const QStringList overflow = keys.mid(kMaxAttached);
        m_pinned.clear();
        for (const QString &k : overflow)
            if (!m_tempCopies.contains(m_tables.contains(k) ? m_tables[k].def.name : k, Qt::CaseInsensitive))
                copyToTemp(k);
        m_pinned = keys.mid(0, kMaxAttached);
        for (const QString &k : std::as_const(m_pinned))
            useTable(k);
        sqlite3_stmt *st = nullptr;
        const int rc = sqlite3_prepare_v2(m_conn, utf8.constData(), static_cast<int>(utf8.size()), &st, nullptr);
        if (rc == SQLITE_OK) {
            // Texts that carry values (an id pasted into the SQL) would grow the
            // cache without end: past a bound it starts again.
            if (m_stmtCache.size() >= kMaxCachedStatements)
                clearStatementCache();
            if (st && m_tempCopies.isEmpty())
                m_stmtCache.insert(sql, st);
            else
                m_uncached = st;
            return st;
        }
        sqlite3_finalize(st);
        const QString msg = QString::fromUtf8(sqlite3_errmsg(m_conn));
        // A table the scan did not recognise (a sub-select, an unusual form): add it and retry.
        static const QString noSuch = QStringLiteral("no such table: ");
        if (m_storage == Storage::Folder && msg.startsWith(noSuch)) {
            QString name = msg.mid(noSuch.size());
            if (name.contains(QLatin1Char('.')))
                name = name.section(QLatin1Char('.'), -1);
            if (!keys.contains(keyOf(name)) && tableExists(name)) {
                keys << keyOf(name);
                continue;
            }
        }
        throw EngineError(Err::SqlError, QStringLiteral("Erro no comando SQL: %1\n%2").arg(msg, sql));
    }
    throw EngineError(Err::SqlError, QStringLiteral("Erro no comando SQL: %1").arg(sql));
}

// ---- read batches -----------------------------------------------------------

void Database::beginReadBatch() { ++m_readBatchDepth; }

void Database::endReadBatch()
{
    if (m_readBatchDepth > 0 && --m_readBatchDepth == 0)
        endReadTransaction();
}

void Database::endReadTransaction()
{
    if (!m_readTxOpen)
        return;
    m_readTxOpen = false;
    // Only shared locks are held: ending cannot fail for want of a lock.
    if (m_conn && !sqlite3_get_autocommit(m_conn))
        sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
}

int Database::step(sqlite3_stmt *stmt)
{
    const bool readOnly = sqlite3_stmt_readonly(stmt) != 0;
    if (m_readTxOpen && !readOnly)
        endReadTransaction();
    else if (m_readBatchDepth > 0 && !m_readTxOpen && readOnly && !m_inTransaction && m_storage == Storage::Folder
             && sqlite3_get_autocommit(m_conn) && !sqlite3_stmt_busy(stmt))
        m_readTxOpen = sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    int rc = sqlite3_step(stmt);
    // SQLite answers "busy" at once where waiting could deadlock; outside a
    // transaction (or in a read batch, before anything was read) the
    // statement can simply be run again.
    for (int attempt = 0; (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && attempt < m_session->lockRetryCount
         && (sqlite3_get_autocommit(m_conn) || (m_readTxOpen && readOnly)) && !sqlite3_stmt_busy(stmt);
         ++attempt) {
        QThread::msleep(static_cast<unsigned long>(std::max(1, m_session->lockWaitTime / 4) + attempt));
        sqlite3_reset(stmt);
        rc = sqlite3_step(stmt);
    }
    return rc;
}

void Database::raise(int rc, const QString &table, const QString &context)
{
    const QString detail = m_conn ? QString::fromUtf8(sqlite3_errmsg(m_conn)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString where = table.isEmpty() ? QString() : QStringLiteral(" (tabela %1)").arg(table);
    const QString ctx = context.isEmpty() ? QString() : context + QStringLiteral(": ");
    switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
        throw EngineError(Err::KeyViolation, QStringLiteral("Violação de chave%1: %2").arg(where, detail), table);
    case SQLITE_CONSTRAINT_NOTNULL:
        throw EngineError(Err::RequiredField, QStringLiteral("Campo obrigatório sem valor%1: %2").arg(where, detail),
                          table);
    default:
        break;
    }
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        throw EngineError(Err::DataDamaged, QStringLiteral("%1Tabela danificada%2: %3").arg(ctx, where, detail), table);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EngineError(Err::LockFailed,
                          QStringLiteral("%1Tabela bloqueada por outro usuário%2: %3").arg(ctx, where, detail), table);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        if (m_storage == Storage::Folder && !QFileInfo(m_dir).isDir())
            throw EngineError(Err::ConnectionLost,
                              QStringLiteral("%1Conexão com o computador dos dados perdida%2: %3").arg(ctx, where, detail),
                              table);
        throw EngineError((rc & 0xff) == SQLITE_IOERR ? Err::ConnectionLost : Err::TableNotFound,
                          QStringLiteral("%1Erro de acesso ao arquivo%2: %3").arg(ctx, where, detail), table);
    case SQLITE_FULL:
        throw EngineError(Err::DiskFull, QStringLiteral("%1Disco cheio%2: %3").arg(ctx, where, detail), table);
    case SQLITE_READONLY:
        throw EngineError(Err::ReadOnly, QStringLiteral("%1Tabela somente para leitura%2: %3").arg(ctx, where, detail),
                          table);
    case SQLITE_CONSTRAINT:
        throw EngineError(Err::KeyViolation, QStringLiteral("Violação de chave%1: %2").arg(where, detail), table);
    default:
        throw EngineError(Err::SqlError, QStringLiteral("%1Erro do banco de dados%2: %3").arg(ctx, where, detail), table);
    }
}

const FieldDef *Database::originField(const QString &schema, const QString &table, const QString &column)
{
    for (TableInfo &t : m_tables) {
        if (t.schema.compare(schema, Qt::CaseInsensitive) == 0 && t.def.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.def.field(column);
        if (m_storage == Storage::Memory && t.def.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.def.field(column);
    }
    return nullptr;
}

// ---- transactions --------------------------------------------------------

void Database::startTransaction()
{
    open();
    if (m_inTransaction)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Já existe uma transação em andamento"));
    endReadTransaction();
    if (m_storage == Storage::Folder) {
        // One transaction at a time over the whole database, as the engine's
        // transaction lock does; it also keeps two writers from deadlocking.
        m_txLock = FileLock::forFile(QDir(m_dir).filePath(QLatin1String(kMainFile)));
        if (!m_txLock->lock(kTransactionByte, true, m_session->lockRetryCount * 4, m_session->lockWaitTime)) {
            m_txLock.reset();
            throw EngineError(Err::LockFailed,
                              QStringLiteral("Não foi possível iniciar a transação: banco de dados bloqueado"));
        }
    }
    const int rc = sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (m_txLock)
            m_txLock->unlock(kTransactionByte);
        m_txLock.reset();
        raise(rc, {}, QStringLiteral("iniciar transação"));
    }
    m_inTransaction = true;
    m_txTables.clear();
}

void Database::commit(bool)
{
    if (!m_inTransaction)
        return;
    // Each table file runs with synchronous=FULL, so COMMIT reaches the disk.
    int rc = sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
    for (int attempt = 0; (rc & 0xff) == SQLITE_BUSY && attempt < m_session->lockRetryCount; ++attempt) {
        QThread::msleep(static_cast<unsigned long>(m_session->lockWaitTime));
        rc = sqlite3_exec(m_conn, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const int code = rc;
        rollback();
        raise(code, {}, QStringLiteral("confirmar transação"));
    }
    m_inTransaction = false;
    m_txTables.clear();
    if (m_txLock)
        m_txLock->unlock(kTransactionByte);
    m_txLock.reset();
}

void Database::rollback()
{
    if (!m_inTransaction)
        return;
    sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
    m_inTransaction = false;
    m_txTables.clear();
    if (m_txLock)
        m_txLock->unlock(kTransactionByte);
    m_txLock.reset();
    // Rows the datasets hold may have been undone.
    const QList<DataSet *> sets = m_dataSets;
    for (DataSet *ds : sets)
        if (ds->isActive() && ds->state() == DataSet::State::Browse)
            ds->refresh();
}

int Database::execSql(const QString &sql, const QVariantMap &params)
{
    const TranslatedSql tr = translateSql(sql);
    sqlite3_stmt *st = prepare(tr.sql, tr.tables);
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QByteArray name = (QLatin1Char(':') + it.key()).toUtf8();
        const int idx = sqlite3_bind_parameter_index(st, name.constData());
        if (idx > 0)
            bindValue(st, idx, FieldType::Unknown, valueFromVariant(FieldType::Unknown, it.value()));
    }
    int rc;
    while ((rc = step(st)) == SQLITE_ROW) {
    }
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        raise(rc, tr.tables.value(0));
    return sqlite3_changes(m_conn);
}

// ---- semaphores -------------------------------------------------------------

bool Database::lockSemaphore(const QString &table, int slot)
{
    if (m_storage == Storage::Memory)
        return true;
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path))
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(table), table);
    return FileLock::forFile(path)->lock(FileLock::SemaphoreBase + slot, true, m_session->lockRetryCount,
                                         m_session->lockWaitTime);
}

void Database::unlockSemaphore(const QString &table, int slot)
{
    if (m_storage == Storage::Memory)
        return;
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (QFileInfo::exists(path))
        FileLock::forFile(path)->unlock(FileLock::SemaphoreBase + slot);
}

// ---- table files ----------------------------------------------------------

QString Database::tempPath(const QString &base) const
{
    QString dir = m_storage == Storage::Folder ? m_dir : m_session->privateDir;
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("%1.%2.tmp").arg(base, QUuid::createUuid().toString(QUuid::Id128).left(8)));
}

void Database::createIndexes(sqlite3 *db, const QString &schema, const TableDef &def)
{
    for (const IndexDef &ix : def.indexes) {
        if (isRowidIndex(def, ix))
            continue;
        QStringList cols;
        for (const QString &f : ix.fieldList()) {
            if (!def.field(f))
                throw EngineError(Err::FieldNotFound,
                                  QStringLiteral("O índice %1 usa o campo %2, que não existe").arg(ix.name, f), def.name);
            QString c = quoteIdent(f);
            if (ix.options & IndexDef::CaseInsensitive)
                c += QStringLiteral(" COLLATE PTCI");
            if (ix.options & IndexDef::Descending)
                c += QStringLiteral(" DESC");
            cols << c;
        }
        const QString sql = QStringLiteral("CREATE %1INDEX %2.%3 ON %4 (%5)")
                                .arg(ix.isUnique() ? QStringLiteral("UNIQUE ") : QString(), quoteIdent(schema),
                                     quoteIdent(physicalIndexName(ix)), quoteIdent(def.name),
                                     cols.join(QStringLiteral(", ")));
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw EngineError((rc & 0xff) == SQLITE_CONSTRAINT ? Err::KeyViolation : Err::SqlError,
                              QStringLiteral("Não foi possível criar o índice %1 da tabela %2: %3")
                                  .arg(ix.name, def.name, QString::fromUtf8(sqlite3_errmsg(db))),
                              def.name);
    }
}

void Database::buildTableFile(const QString &path, const TableDef &def, const QString &version, bool withIndexes)
{
    QFile::remove(path);
    FileConn fc;
    if (fc.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) != SQLITE_OK)
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível criar o arquivo %1").arg(path), def.name);
    QStringList cols;
    int autoincs = 0;
    for (const FieldDef &f : def.fields) {
        cols << quoteIdent(f.name) + QLatin1Char(' ') + declaredType(f);
        if (f.type == FieldType::AutoInc)
            ++autoincs;
    }
    if (autoincs > 1)
        throw EngineError(Err::InvalidOperation, QStringLiteral("A tabela %1 tem mais de um campo auto-incremento").arg(def.name));
    const QByteArray json = QJsonDocument(defToJson(def)).toJson(QJsonDocument::Compact);
    fc.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
    fc.exec(QStringLiteral("BEGIN"));
    int rc = fc.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))));
    if (rc == SQLITE_OK)
        rc = fc.exec(QStringLiteral("CREATE TABLE _stmeta (key TEXT PRIMARY KEY, value TEXT)"));
    if (rc == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(fc.db, "INSERT INTO _stmeta VALUES ('version', ?1), ('definition', ?2)", -1, &st, nullptr);
        const QByteArray v = version.toUtf8();
        sqlite3_bind_text(st, 1, v.constData(), v.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, json.constData(), json.size(), SQLITE_TRANSIENT);
        rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
        sqlite3_finalize(st);
    }
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(fc.db));
        fc.exec(QStringLiteral("ROLLBACK"));
        throw EngineError(Err::SqlError, QStringLiteral("Não foi possível criar a tabela %1: %2").arg(def.name, msg),
                          def.name);
    }
    if (withIndexes)
        createIndexes(fc.db, QStringLiteral("main"), def);
    if (fc.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
        throw EngineError(Err::SqlError, QStringLiteral("Não foi possível criar a tabela %1").arg(def.name), def.name);
}

void Database::writeIndexFile(const QString &path, const TableDef &def, const QString &version)
{
    const QByteArray json = QJsonDocument(defToJson(def)).toJson(QJsonDocument::Compact);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(json.constData()), static_cast<uInt>(json.size()));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), def.name);
    f.write(QByteArray(kIdxMagic) + ' ' + version.toLatin1() + '\n' + json + '\n'
            + QByteArray::number(static_cast<qulonglong>(crc), 16) + '\n');
    if (!f.commit())
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), def.name);
}

void Database::createTable(const TableDef &def, const QString &version)
{
    open();
    if (m_storage == Storage::Memory) {
        if (m_tables.contains(keyOf(def.name)))
            throw EngineError(Err::InvalidOperation, QStringLiteral("A tabela %1 já existe").arg(def.name), def.name);
        QStringList cols;
        for (const FieldDef &f : def.fields)
            cols << quoteIdent(f.name) + QLatin1Char(' ') + declaredType(f);
        const QString sql = QStringLiteral("CREATE TABLE main.%1 (%2)").arg(quoteIdent(def.name), cols.join(QStringLiteral(", ")));
        if (sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            raise(sqlite3_extended_errcode(m_conn), def.name, QStringLiteral("criar tabela"));
        createIndexes(m_conn, QStringLiteral("main"), def);
        TableInfo info;
        info.schema = QStringLiteral("main");
        info.def = def;
        info.version = version;
        info.sqlName = QStringLiteral("main.") + quoteIdent(def.name);
        m_tables.insert(keyOf(def.name), info);
        return;
    }
    if (tableExists(def.name))
        throw EngineError(Err::InvalidOperation, QStringLiteral("A tabela %1 já existe").arg(def.name), def.name);
    const QString dat = QDir(m_dir).filePath(def.name + QStringLiteral(".dat"));
    const QString tmp = tempPath(def.name);
    try {
        buildTableFile(tmp, def, version, true);
        writeIndexFile(QDir(m_dir).filePath(def.name + QStringLiteral(".idx")), def, version);
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
    QFile::remove(dat + QStringLiteral("-journal"));
    if (!QFile::rename(tmp, dat)) {
        QFile::remove(tmp);
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível criar o arquivo %1").arg(dat), def.name);
    }
}

void Database::ensureNotOpenHere(const QString &table)
{
    for (DataSet *ds : std::as_const(m_dataSets))
        if (ds->isActive() && ds->tableName().compare(table, Qt::CaseInsensitive) == 0)
            throw EngineError(Err::TableInUse,
                              QStringLiteral("A tabela %1 está aberta; feche-a antes desta operação").arg(table), table);
}

std::shared_ptr<FileLock> Database::exclusiveForMaintenance(const QString &table)
{
    endReadTransaction();
    ensureNotOpenHere(table);
    if (m_inTransaction)
        throw EngineError(Err::InvalidOperation,
                          QStringLiteral("Operação não permitida durante uma transação"), table);
    const QString path = tableFilePath(table, QStringLiteral(".dat"));
    if (!QFileInfo::exists(path))
        throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(table), table);
    auto lock = FileLock::forFile(path);
    if (!lock->lock(FileLock::OpenByte, true, m_session->lockRetryCount, m_session->lockWaitTime))
        throw EngineError(Err::TableInUse,
                          QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!"), table);
    return lock;
}

void Database::deleteTable(const QString &table)
{
    if (m_storage == Storage::Memory) {
        ensureNotOpenHere(table);
        TableInfo *info = findTable(table);
        if (!info)
            return;
        const QString sql = QStringLiteral("DROP TABLE %1").arg(info->sqlName);
        clearStatementCache();
        sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        m_tables.remove(keyOf(table));
        return;
    }
    open();
    auto lock = exclusiveForMaintenance(table);
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    detach(keyOf(table));
    lock.reset();
    FileLock::release(dat);
    QFile::remove(dat);
    QFile::remove(dat + QStringLiteral("-journal"));
    QFile::remove(tableFilePath(table, QStringLiteral(".idx")));
    QFile::remove(tableFilePath(table, QStringLiteral(".blb")));
}

void Database::emptyTable(const QString &table)
{
    open();
    std::shared_ptr<FileLock> lock;
    if (m_storage == Storage::Folder)
        lock = exclusiveForMaintenance(table);
    TableInfo &info = useTable(table);
    QString sql = QStringLiteral("DELETE FROM %1").arg(info.sqlName);
    int rc = sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sql = QStringLiteral("DELETE FROM %1.sqlite_sequence WHERE name = '%2'")
                  .arg(quoteIdent(info.schema), QString(info.def.name).replace(QLatin1Char('\''), QLatin1String("''")));
        sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr); // absent without autoinc
    }
    if (lock)
        lock->unlock(FileLock::OpenByte);
    if (rc != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("esvaziar tabela"));
}

TableDef Database::tableDef(const QString &table)
{
    return useTable(table).def;
}

QString Database::tableVersion(const QString &table)
{
    if (m_storage == Storage::Memory)
        return useTable(table).version;
    try {
        return useTable(table).version;
    } catch (const EngineError &e) {
        // A table that cannot be attached may still tell its version.
        TableDef def;
        QString version;
        FileConn fc;
        if (fc.open(tableFilePath(table, QStringLiteral(".dat")), SQLITE_OPEN_READONLY) == SQLITE_OK
            && readMetaFrom(fc.db, QStringLiteral("main"), def, version) == SQLITE_OK)
            return version;
        if (readIndexFile(tableFilePath(table, QStringLiteral(".idx")), def, version))
            return version;
        throw;
    }
}

void Database::rebuildIndexFile(const QString &table)
{
    TableInfo &info = useTable(table);
    writeIndexFile(tableFilePath(table, QStringLiteral(".idx")), info.def, info.version);
}

void Database::replaceTableFiles(const QString &table, const QString &newDat, const TableDef &def,
                                 const QString &version, bool keepBackup)
{
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString idx = tableFilePath(table, QStringLiteral(".idx"));
    const QString base = dat.left(dat.size() - 4);
    FileLock::release(dat);
    if (keepBackup) {
        QFile::remove(base + QStringLiteral(".dbk"));
        QFile::remove(base + QStringLiteral(".ibk"));
        QFile::rename(dat, base + QStringLiteral(".dbk"));
        if (QFileInfo::exists(idx))
            QFile::rename(idx, base + QStringLiteral(".ibk"));
    }
    // A journal left by the old file must never be played on the new one.
    QFile::remove(dat + QStringLiteral("-journal"));
    QFile::remove(dat);
    if (!QFile::rename(newDat, dat))
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível substituir o arquivo %1").arg(dat), table);
    writeIndexFile(idx, def, version);
}

namespace {

// Copies rows of `old` (attached as "old" to `fc`) into the new table, skipping
// what cannot be read; returns the number of rows copied.
qint64 copyRows(FileConn &fc, const TableDef &oldDef, const TableDef &newDef, const QString &oldTable,
                const ProgressFn &progress, const QString &step, bool tolerant)
{
    QStringList from, to;
    for (const FieldDef &nf : newDef.fields) {
        const FieldDef *of = oldDef.field(nf.name);
        if (!of)
            continue;
        to << quoteIdent(nf.name);
        from << (of->type == nf.type && of->size == nf.size ? quoteIdent(of->name) : convertExpr(quoteIdent(of->name), nf));
    }
    if (to.isEmpty())
        return 0;
    qint64 maxRowid = 0;
    {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QStringLiteral("SELECT max(rowid) FROM old.%1").arg(quoteIdent(oldTable)).toUtf8();
        if (sqlite3_prepare_v2(fc.db, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            maxRowid = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    const QByteArray ins = QStringLiteral("INSERT INTO main.%1 (rowid, %2) VALUES (?1, %3)")
                               .arg(quoteIdent(newDef.name), to.join(QStringLiteral(", ")),
                                    [&] {
                                        QStringList q;
                                        for (int i = 0; i < to.size(); ++i)
                                            q << QStringLiteral("?%1").arg(i + 2);
                                        return q.join(QStringLiteral(", "));
                                    }())
                               .toUtf8();
    const QByteArray sel = QStringLiteral("SELECT rowid, %1 FROM old.%2 WHERE rowid > ?1 ORDER BY rowid")
                               .arg(from.join(QStringLiteral(", ")), quoteIdent(oldTable))
                               .toUtf8();
    sqlite3_stmt *insSt = nullptr;
    if (sqlite3_prepare_v2(fc.db, ins.constData(), -1, &insSt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(insSt);
        throw EngineError(Err::SqlError, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
    }
    // Read everything that can be read first: an error inside a write
    // transaction could undo the rows already copied.
    std::vector<std::pair<qint64, std::vector<sqlite3_value *>>> rows;
    auto freeRows = [&rows] {
        for (auto &r : rows)
            for (sqlite3_value *v : r.second)
                sqlite3_value_free(v);
        rows.clear();
    };
    qint64 last = std::numeric_limits<qint64>::min();
    qint64 skip = 1;
    int failures = 0;
    for (;;) {
        sqlite3_stmt *selSt = nullptr;
        int rc = sqlite3_prepare_v2(fc.db, sel.constData(), -1, &selSt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(selSt);
            if (!tolerant) {
                sqlite3_finalize(insSt);
                freeRows();
                throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
            }
            break; // the old table cannot even be read
        }
        sqlite3_bind_int64(selSt, 1, last);
        while ((rc = sqlite3_step(selSt)) == SQLITE_ROW) {
            last = sqlite3_column_int64(selSt, 0);
            std::vector<sqlite3_value *> vals;
            vals.reserve(static_cast<size_t>(to.size()));
            for (int i = 0; i < to.size(); ++i)
                vals.push_back(sqlite3_value_dup(sqlite3_column_value(selSt, i + 1)));
            rows.emplace_back(last, std::move(vals));
            if (progress && maxRowid > 0 && rows.size() % 1000 == 0)
                progress(step, 10 + static_cast<int>(40 * std::min<qint64>(last, maxRowid) / maxRowid));
        }
        sqlite3_finalize(selSt);
        if (rc == SQLITE_DONE)
            break;
        if (!tolerant) {
            sqlite3_finalize(insSt);
            freeRows();
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), newDef.name);
        }
        // Damage: jump ahead over the unreadable part, further each time.
        if (++failures > 64)
            break;
        if (last == std::numeric_limits<qint64>::min())
            last = 0;
        last += skip;
        skip *= 2;
    }
    qint64 copied = 0;
    fc.exec(QStringLiteral("BEGIN"));
    for (size_t n = 0; n < rows.size(); ++n) {
        sqlite3_bind_int64(insSt, 1, rows[n].first);
        for (int i = 0; i < to.size(); ++i)
            sqlite3_bind_value(insSt, i + 2, rows[n].second[static_cast<size_t>(i)]);
        if (sqlite3_step(insSt) == SQLITE_DONE)
            ++copied;
        sqlite3_reset(insSt);
        if (progress && n % 1000 == 999)
            progress(step, 50 + static_cast<int>(40 * n / rows.size()));
    }
    sqlite3_finalize(insSt);
    freeRows();
    fc.exec(QStringLiteral("COMMIT"));
    return copied;
}

void removeDuplicateKeys(FileConn &fc, const TableDef &def)
{
    for (const IndexDef &ix : def.indexes) {
        if (!ix.isUnique() || isRowidIndex(def, ix))
            continue;
        QStringList cols;
        for (const QString &f : ix.fieldList())
            cols << quoteIdent(f) + ((ix.options & IndexDef::CaseInsensitive) ? QStringLiteral(" COLLATE PTCI") : QString());
        fc.exec(QStringLiteral("DELETE FROM main.%1 WHERE rowid NOT IN (SELECT min(rowid) FROM main.%1 GROUP BY %2)")
                    .arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))));
    }
}

} // namespace

void Database::repairTable(const QString &table, const ProgressFn &progress)
{
    if (m_storage == Storage::Memory)
        return;
    open();
    const QString stepHeaders = QStringLiteral("Repairing headers");
    const QString stepData = QStringLiteral("Repairing record, index, and BLOB data");
    const QString stepIndexes = QStringLiteral("Repairing indexes");
    if (progress)
        progress(stepHeaders, 0);
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    const QString idx = tableFilePath(table, QStringLiteral(".idx"));
    const QString name = QFileInfo(dat).completeBaseName();

    // Definitions: fields from the .dat when it can tell them, indexes from the .idx.
    TableDef datDef, idxDef;
    QString datVersion, idxVersion;
    bool datOk = false;
    {
        FileConn probe;
        // Opened read-write so that SQLite can play back a journal left by a crash;
        // writable_schema lets a file shorter than its header says still be read.
        if (probe.open(dat, SQLITE_OPEN_READWRITE) == SQLITE_OK && probe.exec(QStringLiteral("PRAGMA writable_schema = ON")) == SQLITE_OK)
            datOk = readMetaFrom(probe.db, QStringLiteral("main"), datDef, datVersion) == SQLITE_OK;
    }
    const bool idxOk = readIndexFile(idx, idxDef, idxVersion);
    if (!datOk && !idxOk) {
        lock->unlock(FileLock::OpenByte);
        throw EngineError(Err::TableDamaged,
                          QStringLiteral("Não foi possível recuperar a definição da tabela %1").arg(name), name);
    }
    TableDef def = datOk ? datDef : idxDef;
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
    const QString version = datOk ? datVersion : idxVersion;
    if (progress)
        progress(stepHeaders, 10);

    const QString tmp = tempPath(name);
    try {
        buildTableFile(tmp, def, version, false);
        if (progress)
            progress(stepData, 10);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        fc.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        fc.exec(QStringLiteral("PRAGMA writable_schema = ON"));
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old").arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) == SQLITE_OK) {
            TableDef oldDef = datOk ? datDef : def;
            const QString oldTable = datOk ? datDef.name : name;
            copyRows(fc, oldDef, def, oldTable, progress, stepData, true);
            fc.exec(QStringLiteral("DETACH DATABASE old"));
        }
        if (progress)
            progress(stepIndexes, 90);
        removeDuplicateKeys(fc, def);
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), def);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(name, tmp, def, version, true);
    if (progress)
        progress(stepIndexes, 100);
}

void Database::alterTable(const QString &table, const TableDef &newDefIn, const ProgressFn &progress)
{
    if (m_storage == Storage::Memory)
        throw EngineError(Err::InvalidOperation, QStringLiteral("Tabelas em memória não podem ser alteradas"), table);
    open();
    TableDef oldDef = tableDef(table); // validates the table
    const QString version = QLatin1String(CurrentVersion);
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    TableDef newDef = newDefIn;
    newDef.name = QFileInfo(dat).completeBaseName();
    const QString tmp = tempPath(newDef.name);
    const QString step = QStringLiteral("Restructuring");
    try {
        if (progress)
            progress(step, 0);
        buildTableFile(tmp, newDef, version, false);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        fc.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old").arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), table);
        copyRows(fc, oldDef, newDef, oldDef.name, progress, step, false);
        // Keep the auto-increment counter where it was.
        fc.exec(QStringLiteral("INSERT OR REPLACE INTO main.sqlite_sequence (name, seq) "
                               "SELECT '%1', seq FROM old.sqlite_sequence WHERE name = '%2'")
                    .arg(newDef.name, oldDef.name));
        fc.exec(QStringLiteral("DETACH DATABASE old"));
        if (progress)
            progress(step, 90);
        removeDuplicateKeys(fc, newDef);
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), newDef);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(newDef.name, tmp, newDef, version, true);
    if (progress)
        progress(step, 100);
}

void Database::upgradeTable(const QString &table, const ProgressFn &progress)
{
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
    auto lock = exclusiveForMaintenance(table);
    detach(keyOf(table));
    const QString dat = tableFilePath(table, QStringLiteral(".dat"));
    def.name = QFileInfo(dat).completeBaseName();
    const QString tmp = tempPath(def.name);
    try {
        buildTableFile(tmp, def, QLatin1String(CurrentVersion), false);
        FileConn fc;
        fc.open(tmp, SQLITE_OPEN_READWRITE);
        const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS old").arg(QString(dat).replace(QLatin1Char('\''), QLatin1String("''")));
        if (fc.exec(attachSql) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QString::fromUtf8(sqlite3_errmsg(fc.db)), table);
        copyRows(fc, def, def, def.name, progress, QStringLiteral("Upgrading"), false);
        fc.exec(QStringLiteral("DETACH DATABASE old"));
        fc.exec(QStringLiteral("BEGIN"));
        createIndexes(fc.db, QStringLiteral("main"), def);
        fc.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QFile::remove(tmp);
        lock->unlock(FileLock::OpenByte);
        throw;
    }
    lock.reset();
    replaceTableFiles(def.name, tmp, def, QLatin1String(CurrentVersion), true);
}

// ---- snapshots ----------------------------------------------------------------

void Database::saveTableToFile(const QString &table, const QString &path)
{
    TableInfo &info = useTable(table);
    const QString tmp = path + QStringLiteral(".tmp");
    buildTableFile(tmp, info.def, info.version, false);
    const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS snap").arg(QString(tmp).replace(QLatin1Char('\''), QLatin1String("''")));
    clearStatementCache();
    if (sqlite3_exec(m_conn, attachSql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        QFile::remove(tmp);
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("gravar"));
    }
    const QString cols = columnList(info.def.fields);
    const QString copy = QStringLiteral("INSERT INTO snap.%1 (%2) SELECT %2 FROM %3")
                             .arg(quoteIdent(info.def.name), cols, info.sqlName);
    const int rc = sqlite3_exec(m_conn, copy.toUtf8().constData(), nullptr, nullptr, nullptr);
    const int ext = sqlite3_extended_errcode(m_conn);
    sqlite3_exec(m_conn, "DETACH DATABASE snap", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        QFile::remove(tmp);
        raise(ext, table, QStringLiteral("gravar"));
    }
    QFile::remove(path);
    if (!QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), table);
    }
}

void Database::loadTableFromFile(const QString &table, const QString &path)
{
    open();
    TableDef def;
    QString version;
    {
        FileConn fc;
        if (!QFileInfo::exists(path))
            throw EngineError(Err::TableNotFound, QStringLiteral("O arquivo %1 não existe").arg(path), table);
        if (fc.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK
            || readMetaFrom(fc.db, QStringLiteral("main"), def, version) != SQLITE_OK)
            throw EngineError(Err::DataDamaged, QStringLiteral("O arquivo %1 está danificado").arg(path), table);
        // Reading every row proves the file is whole before the table is replaced.
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QStringLiteral("SELECT * FROM %1").arg(quoteIdent(def.name)).toUtf8();
        int rc = sqlite3_prepare_v2(fc.db, sql.constData(), -1, &st, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW)
            rc = SQLITE_OK;
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw EngineError(Err::DataDamaged, QStringLiteral("O arquivo %1 está danificado").arg(path), table);
    }
    TableInfo *existing = findTable(table);
    if (m_storage == Storage::Memory) {
        if (existing) {
            const QString sql = QStringLiteral("DELETE FROM %1").arg(existing->sqlName);
            sqlite3_exec(m_conn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        } else {
            def.name = table;
            createTable(def, version);
            existing = findTable(table);
        }
    } else {
        existing = &useTable(table);
    }
    clearStatementCache();
    const QString attachSql = QStringLiteral("ATTACH DATABASE '%1' AS snap").arg(QString(path).replace(QLatin1Char('\''), QLatin1String("''")));
    if (sqlite3_exec(m_conn, attachSql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        raise(sqlite3_extended_errcode(m_conn), table, QStringLiteral("carregar"));
    QStringList cols;
    for (const FieldDef &f : existing->def.fields)
        if (def.field(f.name))
            cols << quoteIdent(f.name);
    const QString copy = QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM snap.%3")
                             .arg(existing->sqlName, cols.join(QStringLiteral(", ")), quoteIdent(def.name));
    const int rc = sqlite3_exec(m_conn, copy.toUtf8().constData(), nullptr, nullptr, nullptr);
    const int ext = sqlite3_extended_errcode(m_conn);
    sqlite3_exec(m_conn, "DETACH DATABASE snap", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(ext, table, QStringLiteral("carregar"));
}

} // namespace stb::db
