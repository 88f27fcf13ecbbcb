#include "platform/db/tablemeta.h"

#include "platform/db/fileconn.h"
#include "platform/db/schemasql.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>
#include <sqlite3.h>
#include <zlib.h>

namespace stb::db {

namespace {

const char *const kIdxMagic = "STIDX";

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

} // namespace

QByteArray definitionJson(const TableDef &def) { return QJsonDocument(defToJson(def)).toJson(QJsonDocument::Compact); }

bool definitionFromJson(const QByteArray &json, TableDef &def) { return defFromJson(json, def); }

int readMetaFrom(sqlite3 *db, const QString &schema, TableDef &def, QString &version)
{
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = QStringLiteral("SELECT key, value FROM %1._stmeta").arg(quoteIdent(schema)).toUtf8();
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
    if (!f.open(QIODevice::ReadOnly) || f.size() > (1 << 20))
        return false;
    const QByteArray all = f.readAll();
    // Exactly three lines: anything after them is damage, not padding.
    const QList<QByteArray> lines = all.split('\n');
    if (lines.size() != 4 || !lines[3].isEmpty())
        return false;
    const QList<QByteArray> head = lines[0].split(' ');
    if (head.size() != 2 || head[0] != kIdxMagic)
        return false;
    const QByteArray &json = lines[1];
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(json.constData()), static_cast<uInt>(json.size()));
    if (lines[2] != QByteArray::number(static_cast<qulonglong>(crc), 16))
        return false;
    version = QString::fromLatin1(head[1]);
    return defFromJson(json, def);
}

void writeIndexFile(const QString &path, const TableDef &def, const QString &version)
{
    const QByteArray json = definitionJson(def);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(json.constData()), static_cast<uInt>(json.size()));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), def.name);
    f.write(QByteArray(kIdxMagic) + ' ' + version.toLatin1() + '\n' + json + '\n'
        + QByteArray::number(static_cast<qulonglong>(crc), 16) + '\n');
    if (!f.commit())
        throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível gravar o arquivo %1").arg(path), def.name);
}

void buildTableFile(const QString &path, const TableDef &def, const QString &version, bool withIndexes)
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
        throw EngineError(
            Err::InvalidOperation, QStringLiteral("A tabela %1 tem mais de um campo auto-incremento").arg(def.name));
    const QByteArray json = definitionJson(def);
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
        throw EngineError(
            Err::SqlError, QStringLiteral("Não foi possível criar a tabela %1: %2").arg(def.name, msg), def.name);
    }
    if (withIndexes)
        createIndexes(fc.db, QStringLiteral("main"), def);
    if (fc.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
        throw EngineError(Err::SqlError, QStringLiteral("Não foi possível criar a tabela %1").arg(def.name), def.name);
}

} // namespace stb::db
