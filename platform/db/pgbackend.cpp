#include "platform/db/pgbackend.h"

#include "platform/db/database.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgerrors.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgtranslate.h"
#include "platform/db/pgvalue.h"
#include "platform/db/tablemeta.h"

#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <libpq-fe.h>
#include <utility>

namespace stb::db {

namespace {

Q_LOGGING_CATEGORY(lcPg, "stb.db.server")

// The hidden row identity column of every server table (see pgschema.cpp).
const QString kRowId = QString::fromLatin1(PgRowIdColumn);

// Server type OIDs of the result columns of statements.
enum : unsigned {
    OidBool = 16,
    OidBytea = 17,
    OidInt8 = 20,
    OidInt2 = 21,
    OidInt4 = 23,
    OidText = 25,
    OidFloat4 = 700,
    OidFloat8 = 701,
    OidBpchar = 1042,
    OidVarchar = 1043,
    OidDate = 1082,
    OidTimestamp = 1114,
    OidTimestampTz = 1184,
    OidNumeric = 1700,
};

// The engine's type of an expression column, from the server's type.
ServerBackend::Column columnOfOid(unsigned oid, int typmod)
{
    switch (oid) {
    case OidBool:
        return {{}, FieldType::Boolean, 0};
    case OidBytea:
        return {{}, FieldType::Blob, 0};
    case OidInt8:
        return {{}, FieldType::LargeInt, 0};
    case OidInt2:
        return {{}, FieldType::SmallInt, 0};
    case OidInt4:
        return {{}, FieldType::Integer, 0};
    case OidFloat4:
    case OidFloat8:
        return {{}, FieldType::Float, 0};
    case OidNumeric:
        return {{}, FieldType::Currency, 0};
    case OidDate:
        return {{}, FieldType::Date, 0};
    case OidTimestamp:
    case OidTimestampTz:
        return {{}, FieldType::DateTime, 0};
    case OidVarchar:
    case OidBpchar:
        return {{}, FieldType::String, typmod > 4 ? typmod - 4 : 0};
    case OidText:
    default:
        return {{}, FieldType::String, 0};
    }
}

// The names as the statement writes them, by lower case: the server gives
// result columns in lower case.
QHash<QString, QString> namesAsWritten(const QString &sql)
{
    static const QRegularExpression word(QStringLiteral(R"re("([^"]+)"|\[([^\]]+)\]|([A-Za-z_][A-Za-z0-9_]*))re"));
    QHash<QString, QString> out;
    for (auto it = word.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString name = m.captured(1);
        if (name.isEmpty())
            name = m.captured(2);
        if (name.isEmpty())
            name = m.captured(3);
        const QString key = name.toLower();
        if (!out.contains(key))
            out.insert(key, name);
    }
    return out;
}

bool isReadStatement(const QString &pgSql)
{
    const QString head = pgSql.trimmed().left(8).toUpper();
    return head.startsWith(QLatin1String("SELECT")) || head.startsWith(QLatin1String("WITH"))
        || head.startsWith(QLatin1Char('('));
}

class PgBackend final : public ServerBackend {
public:
    PgBackend(const QString &address, const QString &folder, Session *session)
        : m_address(address),
          m_folder(folder),
          m_session(session)
    {
        PgConnection::checkAddress(address);
    }

    QString address() const override { return m_address; }
    QString folder() const override { return m_folder; }

    void connect() override
    {
        guarded({}, [&] { conn(); });
    }

    void disconnect() override
    {
        m_conn.reset();
        m_wasConnected = false;
        m_txLost = false;
        m_opens.clear();
        m_catalog.clear();
        m_origins.clear();
        m_snapshotOpen = m_batch = m_userTx = false;
    }

    bool isConnected() const override { return m_conn && m_conn->isConnected(); }

    // ---- tables ---------------------------------------------------------

    bool tableExists(const QString &table) override
    {
        return guarded(table, [&] {
            const PgCatalogEntry *e = entry(table);
            return e && e->folder.compare(m_folder, Qt::CaseInsensitive) == 0;
        });
    }

    QStringList tableNames() override
    {
        return guarded({}, [&] {
            loadCatalog();
            QStringList out;
            for (const PgCatalogEntry &e : std::as_const(m_catalog))
                if (e.folder.compare(m_folder, Qt::CaseInsensitive) == 0)
                    out << e.def.name;
            out.sort(Qt::CaseInsensitive);
            return out;
        });
    }

    void createTable(const TableDef &def, const QString &version) override
    {
        guarded(def.name, [&] {
            writing();
            inTransaction([&] {
                pgEnsureSchema(c());
                pgCreateTable(c(), def, version, m_folder);
            });
            m_catalog.clear();
        });
    }

    void deleteTable(const QString &table) override
    {
        guarded(table, [&] {
            if (!entry(table))
                return;
            writing();
            ExclusiveHold hold(c(), entry(table)->def.name);
            inTransaction([&] {
                c().exec(
                    QStringLiteral("DROP TABLE IF EXISTS %1").arg(pgTableName(table)), QList<QByteArray> {}, table);
                c().exec(QStringLiteral("DELETE FROM %1 WHERE lower(tabela) = lower($1)")
                             .arg(pgTableName(QString::fromLatin1(PgCatalog))),
                    QList<QByteArray> {table.toUtf8()}, table);
            });
            forget(table);
        });
    }

    void emptyTable(const QString &table) override
    {
        guarded(table, [&] {
            const TableDef def = requireDef(table);
            writing();
            ExclusiveHold hold(c(), def.name);
            // The auto-increment and row identity counters start again, as
            // with an emptied folder table.
            savepointed([&] {
                c().exec(QStringLiteral("TRUNCATE %1 RESTART IDENTITY").arg(pgTableName(def.name)),
                    QList<QByteArray> {}, def.name);
            });
        });
    }

    TableDef tableDef(const QString &table) override
    {
        return guarded(table, [&] { return requireDef(table); });
    }

    QString tableVersion(const QString &table) override
    {
        return guarded(table, [&] {
            requireDef(table);
            return entry(table)->version;
        });
    }

    void upgradeTable(const QString &table, const QString &version, const ProgressFn &progress) override
    {
        guarded(table, [&] {
            requireDef(table);
            if (entry(table)->version == version)
                return;
            // The server's columns have no format of their own: only the catalogue changes.
            writing();
            if (progress)
                progress(QStringLiteral("Upgrading"), 0);
            c().exec(QStringLiteral("UPDATE %1 SET versao = $2 WHERE lower(tabela) = lower($1)")
                         .arg(pgTableName(QString::fromLatin1(PgCatalog))),
                QList<QByteArray> {table.toUtf8(), version.toUtf8()}, table);
            forget(table);
            if (progress)
                progress(QStringLiteral("Upgrading"), 100);
        });
    }

    void alterTable(const QString &table, const TableDef &newDefIn, const ProgressFn &progress) override
    {
        guarded(table, [&] {
            const TableDef oldDef = requireDef(table);
            TableDef newDef = newDefIn;
            newDef.name = oldDef.name;
            writing();
            ExclusiveHold hold(c(), oldDef.name);
            const QString step = QStringLiteral("Restructuring");
            if (progress)
                progress(step, 0);
            // Rows move through a temporary copy, fields matched by name and
            // converted by the server; the row identities stay.
            QStringList target {pgIdent(kRowId)}, source {pgIdent(kRowId)};
            for (const FieldDef &f : newDef.fields) {
                const FieldDef *old = oldDef.field(f.name);
                if (!old)
                    continue;
                target << pgIdent(f.name);
                source << (old->type == f.type && old->size == f.size
                        ? pgIdent(f.name)
                        : QStringLiteral("CAST(%1 AS %2)")
                              .arg(pgIdent(f.name),
                                  pgColumnType(FieldDef {f.name,
                                      f.type == FieldType::AutoInc ? FieldType::Integer : f.type, f.size, false})));
            }
            inTransaction([&] {
                c().exec(
                    QStringLiteral("CREATE TEMP TABLE stb_alter AS SELECT * FROM %1").arg(pgTableName(oldDef.name)),
                    QList<QByteArray> {}, table);
                c().exec(QStringLiteral("DROP TABLE %1").arg(pgTableName(oldDef.name)), QList<QByteArray> {}, table);
                for (const QString &sql : pgCreateTableSql(newDef))
                    c().exec(sql, QList<QByteArray> {}, table);
                c().exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM stb_alter ORDER BY %4")
                             .arg(pgTableName(newDef.name), target.join(QStringLiteral(", ")),
                                 source.join(QStringLiteral(", ")), pgIdent(kRowId)),
                    QList<QByteArray> {}, table);
                syncSequences(newDef);
                c().exec(QStringLiteral("DROP TABLE stb_alter"), QList<QByteArray> {}, table);
                c().exec(QStringLiteral("UPDATE %1 SET definicao = $2, versao = $3 WHERE lower(tabela) = lower($1)")
                             .arg(pgTableName(QString::fromLatin1(PgCatalog))),
                    QList<QByteArray> {table.toUtf8(), definitionJson(newDef), QByteArray(Database::CurrentVersion)},
                    table);
            });
            forget(table);
            if (progress)
                progress(step, 100);
        });
    }

    RepairResult repairTable(const QString &table, const ProgressFn &progress) override
    {
        return guarded(table, [&] {
            const TableDef def = requireDef(table);
            writing();
            ExclusiveHold hold(c(), def.name);
            if (progress)
                progress(QStringLiteral("Reindexing"), 0);
            c().exec(QStringLiteral("REINDEX TABLE %1").arg(pgTableName(def.name)), QList<QByteArray> {}, def.name);
            checkAgainstServer(def);
            RepairResult r;
            r.rows = c().exec(QStringLiteral("SELECT count(*) FROM %1").arg(pgTableName(def.name)),
                            QList<QByteArray> {}, def.name)
                         .string(0, 0)
                         .toLongLong();
            r.complete = true;
            if (progress)
                progress(QStringLiteral("Reindexing"), 100);
            return r;
        });
    }

    // ---- semaphores and opens ---------------------------------------------

    bool lockSemaphore(const QString &table, int slot) override
    {
        return guarded(table, [&] {
            requireDef(table);
            return c().lockSemaphore(table, slot);
        });
    }

    void unlockSemaphore(const QString &table, int slot) override
    {
        if (isConnected())
            guarded(table, [&] { c().unlockSemaphore(table, slot); });
    }

    void acquireOpen(const QString &table, OpenMode mode) override
    {
        guarded(table, [&] {
            const QString name = requireDef(table).name;
            c().acquireOpen(name, mode);
            Opens &o = m_opens[name.toLower()];
            o.name = name;
            ++(mode == OpenMode::Exclusive ? o.exclusive : o.shared);
        });
    }

    void releaseOpen(const QString &table, OpenMode mode) override
    {
        const auto it = m_opens.find(table.toLower());
        if (it == m_opens.end())
            return;
        int &n = mode == OpenMode::Exclusive ? it->exclusive : it->shared;
        if (n > 0)
            --n;
        const QString name = it->name;
        if (it->exclusive == 0 && it->shared == 0)
            m_opens.erase(it);
        if (isConnected())
            guarded(table, [&] { c().releaseOpen(name, mode); });
    }

    // ---- transactions -------------------------------------------------------

    void startTransaction() override
    {
        m_txLost = false;
        guarded({}, [&] {
            writing();
            c().startTransaction();
            m_userTx = true;
            lockWriters();
        });
    }

    void commit() override
    {
        if (!m_userTx) {
            if (std::exchange(m_txLost, false))
                throw connectionLost(QStringLiteral("a transação foi desfeita pelo servidor ao perder a conexão"));
            return;
        }
        m_userTx = false;
        guarded({}, [&] { c().commit(); });
    }

    void rollback() override
    {
        m_txLost = false;
        if (!m_userTx)
            return;
        m_userTx = false;
        if (m_conn)
            m_conn->rollback();
    }

    bool inTransaction() const override { return m_userTx; }

    void beginSnapshot() override { m_batch = true; }

    void endSnapshot() override
    {
        m_batch = false;
        if (m_snapshotOpen && m_conn) {
            m_snapshotOpen = false;
            try {
                m_conn->commit();
            } catch (const EngineError &) {
                // A read-only snapshot has nothing to lose.
            }
        }
    }

    // ---- rows ----------------------------------------------------------------

    std::vector<Row> readRows(const QString &table, const QList<FieldDef> &columns, const QList<OrderColumn> &order,
        const QList<Filter> &filters) override
    {
        return guarded(table, [&] {
            reading();
            QString sql
                = QStringLiteral("SELECT ") + selectList(columns) + QStringLiteral(" FROM ") + pgTableName(table);
            QList<QByteArray> params;
            if (!filters.isEmpty()) {
                QStringList conds;
                for (const Filter &f : filters) {
                    params << pgTextOf(f.type, f.value);
                    conds << QStringLiteral("%1 = $%2").arg(pgIdent(f.field)).arg(params.size());
                }
                sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
            }
            QStringList by;
            for (const OrderColumn &o : order) {
                FieldType t = FieldType::Unknown;
                for (const FieldDef &f : columns)
                    if (f.name.compare(o.field, Qt::CaseInsensitive) == 0)
                        t = f.type;
                by << pgOrderTerm(o.field, t, o.caseInsensitive, o.descending);
            }
            by << pgIdent(kRowId);
            sql += QStringLiteral(" ORDER BY ") + by.join(QStringLiteral(", "));
            const PgResult r = c().exec(sql, params, table);
            std::vector<Row> rows(static_cast<size_t>(r.rows()));
            for (int i = 0; i < r.rows(); ++i)
                readRow(r, i, columns, rows[static_cast<size_t>(i)]);
            return rows;
        });
    }

    void insertRow(const QString &table, const QList<FieldDef> &columns, Row &row, int autoinc) override
    {
        guarded(table, [&] {
            writing();
            const bool autoNull = autoinc >= 0 && isNull(row.values[static_cast<size_t>(autoinc)]);
            QStringList names, placeholders;
            QList<QByteArray> params;
            for (int i = 0; i < columns.size(); ++i) {
                if (autoNull && i == autoinc)
                    continue;
                names << pgIdent(columns[i].name);
                params << pgTextOf(columns[i].type, row.values[static_cast<size_t>(i)]);
                placeholders << QStringLiteral("$%1").arg(params.size());
            }
            QString returning = pgIdent(kRowId);
            if (autoNull)
                returning += QStringLiteral(", ") + pgIdent(columns[autoinc].name);
            // A row whose key is taken is refused without an error, so that
            // the refusal does not end the caller's transaction (a failed
            // post leaves the transaction going, as on the folder) and needs
            // no savepoint of its own.
            const QString sql = names.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES ON CONFLICT DO NOTHING RETURNING %2")
                      .arg(pgTableName(table), returning)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT DO NOTHING RETURNING %4")
                      .arg(pgTableName(table), names.join(QStringLiteral(", ")),
                          placeholders.join(QStringLiteral(", ")), returning);
            auto refused = [&] {
                return EngineError(Err::KeyViolation,
                    QStringLiteral("Violação de chave (tabela %1): já existe um registro com esta chave").arg(table),
                    table);
            };
            // A key given by hand: the server's next one follows it, in the
            // same savepoint as the row.
            if (autoinc >= 0 && !autoNull) {
                savepointed([&] {
                    const PgResult r = c().execPrepared(sql, params, table);
                    if (r.rows() == 0)
                        throw refused();
                    row.rowid = r.string(0, 0).toLongLong();
                    raiseSequence(table, columns[autoinc].name, row.values[static_cast<size_t>(autoinc)]);
                });
                return;
            }
            const PgResult r = c().execPrepared(sql, params, table);
            if (r.rows() == 0)
                throw refused();
            row.rowid = r.string(0, 0).toLongLong();
            if (autoNull)
                row.values[static_cast<size_t>(autoinc)] = std::int64_t(r.string(0, 1).toLongLong());
        });
    }

    bool updateRow(const QString &table, const QList<FieldDef> &columns, const Row &row) override
    {
        return guarded(table, [&] {
            writing();
            QStringList sets;
            QList<QByteArray> params;
            int autoinc = -1;
            for (int i = 0; i < columns.size(); ++i) {
                params << pgTextOf(columns[i].type, row.values[static_cast<size_t>(i)]);
                sets << QStringLiteral("%1 = $%2").arg(pgIdent(columns[i].name)).arg(params.size());
                if (columns[i].type == FieldType::AutoInc)
                    autoinc = i;
            }
            params << QByteArray::number(row.rowid);
            const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4")
                                    .arg(pgTableName(table), sets.join(QStringLiteral(", ")), pgIdent(kRowId))
                                    .arg(params.size());
            bool found = false;
            if (autoinc < 0)
                return statement(sql, params, table).affected() > 0;
            savepointed([&] {
                found = c().exec(sql, params, table).affected() > 0;
                if (found)
                    raiseSequence(table, columns[autoinc].name, row.values[static_cast<size_t>(autoinc)]);
            });
            return found;
        });
    }

    void deleteRow(const QString &table, std::int64_t rowid) override
    {
        guarded(table, [&] {
            writing();
            // Nothing but a lost connection makes a delete by identity fail:
            // no savepoint needed.
            c().execPrepared(QStringLiteral("DELETE FROM %1 WHERE %2 = $1").arg(pgTableName(table), pgIdent(kRowId)),
                QList<QByteArray> {QByteArray::number(rowid)}, table);
        });
    }

    bool rereadRow(const QString &table, const QList<FieldDef> &columns, Row &row) override
    {
        return guarded(table, [&] {
            reading();
            const PgResult r = c().exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1")
                                            .arg(selectList(columns), pgTableName(table), pgIdent(kRowId)),
                QList<QByteArray> {QByteArray::number(row.rowid)}, table);
            if (r.rows() == 0)
                return false;
            readRow(r, 0, columns, row);
            return true;
        });
    }

    // ---- statements ------------------------------------------------------------

    Result runSql(const QString &sql, const QVariantMap &params,
        const QHash<QString, std::pair<FieldType, int>> &declared) override
    {
        return guarded({}, [&] {
            const PgSql tr = translatePgSql(sql);
            const bool read = isReadStatement(tr.sql);
            if (read)
                reading();
            else
                writing();
            const QList<QByteArray> values = pgBindValues(tr, params);
            PgResult r;
            if (read)
                r = c().exec(tr.sql, values);
            else
                savepointed([&] { r = c().exec(tr.sql, values); });
            Result out;
            if (PQresultStatus(r.handle()) != PGRES_TUPLES_OK) {
                out.affected = r.affected();
                // Tables made or dropped by the statement: the catalogue is read again.
                if (!tr.sql.trimmed().startsWith(QLatin1String("INSERT"), Qt::CaseInsensitive)
                    && !tr.sql.trimmed().startsWith(QLatin1String("UPDATE"), Qt::CaseInsensitive)
                    && !tr.sql.trimmed().startsWith(QLatin1String("DELETE"), Qt::CaseInsensitive))
                    m_catalog.clear();
                return out;
            }
            const QHash<QString, QString> written = namesAsWritten(sql);
            std::vector<int> kept;
            std::vector<FieldType> readTypes;
            for (int col = 0; col < r.columns(); ++col) {
                const QString serverName = r.columnName(col);
                if (serverName == kRowId)
                    continue; // the hidden identity of "SELECT *"
                Column column = columnOf(r, col);
                // A table column keeps its field's name; an alias or an
                // expression the name the statement writes.
                if (column.name.compare(serverName, Qt::CaseInsensitive) != 0)
                    column.name = written.value(serverName.toLower(), serverName);
                const auto decl = declared.constFind(column.name.toLower());
                if (decl != declared.cend()) {
                    column.type = decl->first;
                    column.size = decl->second;
                }
                kept.push_back(col);
                readTypes.push_back(column.type == FieldType::AutoInc ? FieldType::Integer : column.type);
                out.columns.push_back(column);
            }
            out.rows.resize(static_cast<size_t>(r.rows()));
            for (int i = 0; i < r.rows(); ++i) {
                Row &row = out.rows[static_cast<size_t>(i)];
                row.rowid = i + 1;
                row.values.reserve(kept.size());
                for (size_t k = 0; k < kept.size(); ++k)
                    row.values.push_back(r.value(i, kept[k], readTypes[k]));
            }
            return out;
        });
    }

private:
    // An exclusive open held for the length of a maintenance operation.
    class ExclusiveHold {
    public:
        ExclusiveHold(PgConnection &c, const QString &table) : m_c(c), m_table(table)
        {
            m_c.acquireOpen(table, OpenMode::Exclusive);
        }
        ~ExclusiveHold()
        {
            try {
                if (m_c.isConnected())
                    m_c.releaseOpen(m_table, OpenMode::Exclusive);
            } catch (const EngineError &) {
                // the session is gone, and the lock with it
            }
        }
        ExclusiveHold(const ExclusiveHold &) = delete;
        ExclusiveHold &operator=(const ExclusiveHold &) = delete;

    private:
        PgConnection &m_c;
        QString m_table;
    };

    struct Opens {
        QString name;
        int shared = 0;
        int exclusive = 0;
    };

    PgConnection &c() { return conn(); }

    // The connection, made again after it was lost: a new session, which
    // takes again the opens of the tables still open here (semaphores and
    // the transaction went with the old one).
    PgConnection &conn()
    {
        if (m_conn && m_conn->isConnected())
            return *m_conn;
        const bool again = m_wasConnected;
        m_conn.reset();
        m_catalog.clear();
        m_origins.clear();
        m_snapshotOpen = false;
        m_txLost = m_txLost || m_userTx;
        m_userTx = false;
        try {
            m_conn = std::make_unique<PgConnection>(m_address, m_session);
        } catch (const EngineError &e) {
            // Once connected, a server out of reach is a lost connection.
            if (again && e.code() == Err::ConnectionLost)
                throw connectionLost(e.message());
            throw;
        }
        m_wasConnected = true;
        if (again) {
            qCWarning(lcPg).noquote() << QStringLiteral(
                "Nova sessão com o servidor %1: os semáforos da sessão anterior "
                "foram liberados; retomando as aberturas de %2 tabela(s)")
                                             .arg(m_address)
                                             .arg(m_opens.size());
            const QHash<QString, Opens> opens = m_opens;
            for (const Opens &o : opens) {
                try {
                    for (int i = 0; i < o.exclusive; ++i)
                        m_conn->acquireOpen(o.name, OpenMode::Exclusive);
                    for (int i = 0; i < o.shared; ++i)
                        m_conn->acquireOpen(o.name, OpenMode::Shared);
                } catch (const EngineError &e) {
                    qCWarning(lcPg).noquote() << e.message();
                }
            }
        }
        return *m_conn;
    }

    // Runs an operation; a lost connection is reported with what it took along.
    template<class F> auto guarded(const QString &table, F &&f) -> decltype(f())
    {
        try {
            return f();
        } catch (const EngineError &e) {
            if (e.code() != Err::ConnectionLost)
                throw;
            m_snapshotOpen = false;
            m_txLost = m_txLost || m_userTx;
            m_userTx = false;
            qCWarning(lcPg).noquote() << e.message();
            throw EngineError(Err::ConnectionLost,
                e.message()
                    + QStringLiteral("\nA sessão com o servidor terminou: a transação em andamento foi desfeita e os "
                                     "bloqueios da sessão foram liberados."),
                table.isEmpty() ? e.table() : table);
        }
    }

    // Reads inside a read batch share one REPEATABLE READ snapshot.
    void reading()
    {
        if (m_batch && !m_snapshotOpen && !m_userTx) {
            c().startTransaction(true);
            m_snapshotOpen = true;
        }
    }

    // A write ends the read batch's snapshot first; the next read starts another.
    void writing()
    {
        if (m_snapshotOpen) {
            m_snapshotOpen = false;
            c().commit();
        }
    }

    // One transaction at a time over the tables of this backend, as the
    // folder's transaction lock: two workstations never read the same next
    // number (ProximoIdNota) before one of them has stored it. The server
    // queues the waiters and frees the lock when the transaction ends, also
    // when the session dies with a killed process.
    void lockWriters()
    {
        const Session &s = c().session();
        const int waitMs = qMax(1, qMax(1, s.lockRetryCount) * 4 * qMax(1, s.lockWaitTime));
        try {
            c().exec(QStringLiteral("SET LOCAL lock_timeout = %1").arg(waitMs));
            c().exec(QStringLiteral("SELECT pg_advisory_xact_lock($1::bigint)"),
                QList<QByteArray> {QByteArray::number(writersKey())});
        } catch (const EngineError &e) {
            if (e.code() == Err::ConnectionLost)
                throw;
            m_userTx = false;
            c().rollback();
            throw EngineError(
                Err::LockFailed, QStringLiteral("Não foi possível iniciar a transação: banco de dados bloqueado"));
        }
    }

    // The key of the writers' lock: one per table group ("" or "ARM"), in the
    // one-number space of advisory locks (the semaphores and opens use pairs).
    qint64 writersKey() const
    {
        quint64 h = 14695981039346656037ull;
        for (const char ch : (QStringLiteral("stb_transacao:") + m_folder.toLower()).toUtf8()) {
            h ^= static_cast<unsigned char>(ch);
            h *= 1099511628211ull;
        }
        return static_cast<qint64>(h >> 1);
    }

    // A single write: inside a transaction in a savepoint of its own, in one
    // round trip (see PgConnection::execInSavepoint).
    PgResult statement(const QString &sql, const QList<QByteArray> &params, const QString &table)
    {
        return m_userTx ? c().execInSavepoint(sql, params, table) : c().exec(sql, params, table);
    }

    // One failed statement inside a transaction must not spoil the others
    // (the folder keeps the transaction going): it runs in a savepoint.
    template<class F> void savepointed(F &&f)
    {
        if (!m_userTx) {
            f();
            return;
        }
        c().exec(QStringLiteral("SAVEPOINT stb_stmt"));
        try {
            f();
        } catch (const EngineError &e) {
            if (e.code() != Err::ConnectionLost)
                c().exec(QStringLiteral("ROLLBACK TO SAVEPOINT stb_stmt"));
            throw;
        }
        c().exec(QStringLiteral("RELEASE SAVEPOINT stb_stmt"));
    }

    // Runs `f` in a transaction of its own unless the caller's is open.
    template<class F> void inTransaction(F &&f)
    {
        if (m_userTx) {
            savepointed(f);
            return;
        }
        PgTransaction tx(c());
        f();
        tx.commit();
    }

    void loadCatalog()
    {
        if (!m_catalog.isEmpty())
            return;
        for (const PgCatalogEntry &e : pgCatalogEntries(c()))
            m_catalog.insert(e.def.name.toLower(), e);
    }

    const PgCatalogEntry *entry(const QString &table)
    {
        loadCatalog();
        QString name = table;
        if (name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
            name.chop(4);
        const auto it = m_catalog.constFind(name.toLower());
        return it == m_catalog.cend() ? nullptr : &*it;
    }

    const TableDef &requireDef(const QString &table)
    {
        const PgCatalogEntry *e = entry(table);
        if (!e || e->folder.compare(m_folder, Qt::CaseInsensitive) != 0)
            throw EngineError(Err::TableNotFound, QStringLiteral("A tabela %1 não existe").arg(table), table);
        return e->def;
    }

    void forget(const QString &table)
    {
        m_catalog.clear();
        m_origins.clear();
        Q_UNUSED(table);
    }

    void syncSequences(const TableDef &def)
    {
        pgSyncAutoIncrement(c(), def);
        c().exec(
            QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), COALESCE(MAX(%1), 0) + 1, false) FROM %2")
                .arg(pgIdent(kRowId), pgTableName(def.name)),
            QList<QByteArray> {
                (QString::fromLatin1(PgSchema) + QLatin1Char('.') + def.name.toLower()).toUtf8(), kRowId.toUtf8()},
            def.name);
    }

    // After a key written by hand the server's next key follows it, never
    // going back (as the folder's counter, which only grows).
    void raiseSequence(const QString &table, const QString &column, const Value &value)
    {
        const auto *v = std::get_if<std::int64_t>(&value);
        if (!v)
            return;
        c().exec(QStringLiteral("SELECT setval(s, $3) FROM (SELECT pg_get_serial_sequence($1, $2)::regclass AS s) q "
                                "WHERE COALESCE(pg_sequence_last_value(s), 0) < $3"),
            QList<QByteArray> {(QString::fromLatin1(PgSchema) + QLatin1Char('.') + table.toLower()).toUtf8(),
                column.toLower().toUtf8(), QByteArray::number(*v)},
            table);
    }

    // The catalogue's definition against the server's own columns and indexes.
    void checkAgainstServer(const TableDef &def)
    {
        const PgResult cols = c().exec(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                                      "WHERE table_schema = $1 AND table_name = $2"),
            QList<QByteArray> {QByteArray(PgSchema), def.name.toLower().toUtf8()}, def.name);
        QSet<QString> have;
        for (int i = 0; i < cols.rows(); ++i)
            have.insert(cols.string(i, 0));
        QStringList problems;
        for (const FieldDef &f : def.fields)
            if (!have.remove(f.name.toLower()))
                problems << QStringLiteral("falta a coluna %1").arg(f.name);
        have.remove(kRowId);
        for (const QString &extra : std::as_const(have))
            problems << QStringLiteral("coluna %1 fora da definição").arg(extra);
        const PgResult idx
            = c().exec(QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = $1 AND tablename = $2"),
                QList<QByteArray> {QByteArray(PgSchema), def.name.toLower().toUtf8()}, def.name);
        QSet<QString> indexes;
        for (int i = 0; i < idx.rows(); ++i)
            indexes.insert(idx.string(i, 0));
        for (const IndexDef &ix : def.indexes)
            if (!indexes.contains(pgIndexName(def, ix)))
                problems << QStringLiteral("falta o índice %1")
                                .arg(ix.name.isEmpty() ? QStringLiteral("primário") : ix.name);
        if (!problems.isEmpty())
            throw EngineError(Err::TableDamaged,
                QStringLiteral("A tabela %1 no servidor não confere com o catálogo: %2")
                    .arg(def.name, problems.join(QStringLiteral("; "))),
                def.name);
    }

    static QString selectList(const QList<FieldDef> &columns)
    {
        QStringList cols {pgIdent(kRowId)};
        for (const FieldDef &f : columns)
            cols << pgIdent(f.name);
        return cols.join(QStringLiteral(", "));
    }

    // A result row of selectList into a stored row.
    static void readRow(const PgResult &r, int i, const QList<FieldDef> &columns, Row &row)
    {
        row.rowid = r.string(i, 0).toLongLong();
        row.values.resize(static_cast<size_t>(columns.size()));
        for (int k = 0; k < columns.size(); ++k)
            row.values[static_cast<size_t>(k)] = r.value(i, k + 1, columns[k].type);
    }

    // A result column's type (and field name): the table column it comes
    // from, else the type of the expression (without a name).
    Column columnOf(const PgResult &r, int col)
    {
        const unsigned rel = PQftable(r.handle(), col);
        const int attnum = PQftablecol(r.handle(), col);
        if (rel != 0 && attnum > 0) {
            if (!m_origins.contains(rel)) {
                Origin o;
                const PgResult a = c().exec(QStringLiteral("SELECT c.relname, a.attnum, a.attname FROM pg_attribute a "
                                                           "JOIN pg_class c ON c.oid = a.attrelid "
                                                           "WHERE a.attrelid = $1 AND a.attnum > 0"),
                    QList<QByteArray> {QByteArray::number(rel)});
                for (int i = 0; i < a.rows(); ++i) {
                    o.table = a.string(i, 0);
                    o.columns.insert(a.string(i, 1).toInt(), a.string(i, 2));
                }
                m_origins.insert(rel, o);
            }
            const Origin o = m_origins.value(rel);
            if (const PgCatalogEntry *e = entry(o.table))
                if (const FieldDef *fd = e->def.field(o.columns.value(attnum)))
                    return {fd->name, fd->type == FieldType::AutoInc ? FieldType::Integer : fd->type, fd->size};
        }
        return columnOfOid(r.columnType(col), PQfmod(r.handle(), col));
    }

    QString m_address;
    QString m_folder;
    Session *m_session;
    std::unique_ptr<PgConnection> m_conn;
    QHash<QString, PgCatalogEntry> m_catalog; // by lower-case name
    QHash<QString, Opens> m_opens; // opens of this process's datasets, by lower-case name
    struct Origin {
        QString table;
        QHash<int, QString> columns;
    };
    QHash<unsigned, Origin> m_origins; // the tables result columns come from, by OID
    bool m_wasConnected = false; // a failure to connect again is a lost connection
    bool m_userTx = false;
    bool m_txLost = false; // the connection went with the transaction: its commit must fail
    bool m_batch = false; // a read batch is open
    bool m_snapshotOpen = false; // its snapshot transaction is in force
};

} // namespace

std::unique_ptr<ServerBackend> makePgBackend(const QString &address, const QString &folder, Session *session)
{
    return std::make_unique<PgBackend>(address, folder, session);
}

} // namespace stb::db
