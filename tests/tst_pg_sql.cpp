// The engine's tables on a private server: every table of the data folder
// and ARM created through the mapping (types, keys, indexes, catalogue), the
// translation of the engine's SQL, and the engine's statement table run on
// the server with the same expected rows as on the folder.
#include "core/schema.h"
#include "platform/clock.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgschema.h"
#include "platform/db/pgtranslate.h"
#include "platform/db/pgvalue.h"
#include "tests/engine_sql_cases.h"
#include "tests/support/pgserver.h"

#include <QTest>
#include <memory>

using namespace stb;
using namespace stb::db;

namespace {

// Server type OIDs the rows are formatted by.
constexpr unsigned kBool = 16, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700;

// Rows as "a|b;c|d" in the form of the folder test: amounts with four
// decimals, booleans True/False, null as "null".
QString rowsText(const PgResult &r)
{
    QStringList rows;
    for (int i = 0; i < r.rows(); ++i) {
        QStringList cols;
        for (int j = 0; j < r.columns(); ++j) {
            if (r.columnName(j) == QLatin1String(PgRowIdColumn))
                continue; // the hidden row identity (a Query leaves it out of "SELECT *")
            const unsigned t = r.columnType(j);
            if (r.isNull(i, j))
                cols << QStringLiteral("null");
            else if (t == kNumeric || t == kFloat8 || t == kFloat4)
                cols << currencyFromDecimalText(r.text(i, j)).value_or(Currency::min()).toPlainString(4);
            else if (t == kBool)
                cols << (r.text(i, j) == "t" ? QStringLiteral("True") : QStringLiteral("False"));
            else
                cols << r.string(i, j);
        }
        rows << cols.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
}

PgResult run(PgConnection &c, const QString &sql, const QVariantMap &params = {})
{
    const PgSql t = translatePgSql(sql);
    return c.exec(t.sql, pgBindValues(t, params));
}

QList<TableDef> allTables() { return schema::dataFolderTables() << schema::arm(); }

} // namespace

class TestPgSql : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void catalogue();
    void columnTypes_data();
    void columnTypes();
    void keysAndIndexes_data();
    void keysAndIndexes();
    void autoIncrementAfterCopy();
    void statements_data();
    void statements();
    void deleteStatement();
    void dateTexts_data();
    void dateTexts();
    void translation_data();
    void translation();

private:
    stbtest::PgServer m_server;
    std::unique_ptr<PgConnection> m_c;
};

void TestPgSql::initTestCase()
{
    Clock::setFixedDate(QDate(2026, 12, 5));
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    const QString address = m_server.createDatabase(QStringLiteral("sqltab"), &error);
    QVERIFY2(!address.isEmpty(), qPrintable(error));
    m_c = std::make_unique<PgConnection>(address);
    pgEnsureSchema(*m_c);
    for (const TableDef &d : allTables())
        pgCreateTable(
            *m_c, d, QStringLiteral("4.00"), d.name == QLatin1String("ARM") ? QStringLiteral("ARM") : QString());
    for (const QString &sql : enginesql::fixtureInserts())
        run(*m_c, sql);
}

void TestPgSql::cleanupTestCase()
{
    m_c.reset();
    Clock::reset();
}

void TestPgSql::catalogue()
{
    const QList<PgCatalogEntry> entries = pgCatalogEntries(*m_c);
    const QList<TableDef> defs = allTables();
    QCOMPARE(entries.size(), defs.size());
    for (const TableDef &d : defs) {
        const auto it = std::find_if(
            entries.cbegin(), entries.cend(), [&](const PgCatalogEntry &e) { return e.def.name == d.name; });
        QVERIFY2(it != entries.cend(), qPrintable(d.name));
        QCOMPARE(it->def.fields, d.fields);
        QCOMPARE(it->def.indexes, d.indexes);
        QCOMPARE(it->version, QStringLiteral("4.00"));
        QCOMPARE(it->folder, d.name == QLatin1String("ARM") ? QStringLiteral("ARM") : QString());
    }
    // A second table of the same name (in any case) is refused.
    QCOMPARE(
        [&] {
            try {
                TableDef again = schema::notas();
                again.name = QStringLiteral("NOTAS");
                pgCreateTable(*m_c, again, QStringLiteral("4.00"));
            } catch (const EngineError &e) {
                return e.code();
            }
            return 0;
        }(),
        int(Err::KeyViolation));
}

void TestPgSql::columnTypes_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("type");
    QTest::newRow("currency") << "Itens"
                              << "ValorNF"
                              << "numeric(19,4)";
    QTest::newRow("currency of ARM") << "ARM"
                                     << "X4ValorTotal"
                                     << "numeric(19,4)";
    QTest::newRow("string width") << "Calculos"
                                  << "CNPJRemet"
                                  << "character varying(18)";
    QTest::newRow("date-time") << "Calculos"
                               << "DataHora"
                               << "timestamp(3) without time zone";
    QTest::newRow("date") << "Notas"
                          << "DataEmissao"
                          << "date";
    QTest::newRow("boolean") << "Itens"
                             << "FEM"
                             << "boolean";
    QTest::newRow("memo") << "Calculos"
                          << "Observ"
                          << "text";
    QTest::newRow("small integer") << "Itens"
                                   << "NroItem"
                                   << "smallint";
    QTest::newRow("auto-increment") << "Notas"
                                    << "IdNota"
                                    << "integer";
}

void TestPgSql::columnTypes()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, type);
    const PgResult r = m_c->exec(QStringLiteral("SELECT format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
                                                "WHERE a.attrelid = to_regclass($1) AND a.attname = $2"),
        QList<QByteArray> {(QStringLiteral("stbrelva.") + table.toLower()).toUtf8(), column.toLower().toUtf8()});
    QCOMPARE(r.rows(), 1);
    QCOMPARE(r.string(0, 0), type);
    // Every currency column of every table is exact.
    for (const TableDef &d : allTables())
        for (const FieldDef &f : d.fields)
            if (f.type == FieldType::Currency)
                QCOMPARE(pgColumnType(f), QStringLiteral("numeric(19,4)"));
}

void TestPgSql::keysAndIndexes_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<int>("code"); // of the last statement
    QTest::newRow("primary key") << QStringList {"INSERT INTO FISCAIS VALUES ('999.999-9', 'A')",
        "INSERT INTO FISCAIS VALUES ('999.999-9', 'B')"}
                                 << int(Err::KeyViolation);
    QTest::newRow("primary key is required")
        << QStringList {"INSERT INTO REMETENTES VALUES (NULL, 'Sem CNPJ')"} << int(Err::RequiredField);
    QTest::newRow("plain index allows repeats") << QStringList {"INSERT INTO MEDIC (Id, CodBarra) VALUES (10, '1')",
        "INSERT INTO MEDIC (Id, CodBarra) VALUES (11, '1')"}
                                                << 0;
    QTest::newRow("width of a text") << QStringList {"INSERT INTO ITENSMEDIC (IdNota, Lista) VALUES (50, 'AB')"}
                                     << int(Err::InvalidValue);
}

void TestPgSql::keysAndIndexes()
{
    QFETCH(QStringList, statements);
    QFETCH(int, code);
    PgTransaction tx(*m_c); // rolled back: the statement table's rows stay as they are
    int got = 0;
    try {
        for (const QString &s : statements)
            run(*m_c, s);
    } catch (const EngineError &e) {
        got = e.code();
    }
    QCOMPARE(got, code);
}

void TestPgSql::autoIncrementAfterCopy()
{
    PgTransaction tx(*m_c);
    run(*m_c, QStringLiteral("INSERT INTO VOCESABIA (Id, Info) VALUES (41, 'a')"));
    pgSyncAutoIncrement(*m_c, schema::voceSabia());
    const PgResult r = m_c->exec(QStringLiteral("INSERT INTO vocesabia (info) VALUES ('b') RETURNING id"));
    QCOMPARE(r.string(0, 0), QStringLiteral("42"));
}

void TestPgSql::statements_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("expected");
    for (const enginesql::SqlCase &c : enginesql::statementCases())
        QTest::newRow(c.name) << c.lines << c.params << c.expectedOn(true);
}

void TestPgSql::statements()
{
    QFETCH(QStringList, lines);
    QFETCH(QVariantMap, params);
    QFETCH(QString, expected);
    QCOMPARE(rowsText(run(*m_c, lines.join(QLatin1Char('\n')), params)), expected);
}

void TestPgSql::deleteStatement()
{
    PgTransaction tx(*m_c);
    QCOMPARE(run(*m_c, QStringLiteral("DELETE FROM PRODUTOSNBM WHERE NBM LIKE '00%'")).affected(), 1);
    QCOMPARE(rowsText(run(*m_c, QStringLiteral("SELECT NBM FROM PRODUTOSNBM"))), QStringLiteral("2207.10.00"));
}

void TestPgSql::dateTexts_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stored date-time text") << "SELECT CAST('2026-12-05 10:00:00.000' AS DATE)"
                                           << "2026-12-05";
    QTest::newRow("day first") << "SELECT CAST('05/12/2026' AS DATE)"
                               << "2026-12-05";
    QTest::newRow("column") << "SELECT CAST(DATAHORA AS DATE) FROM CALCULOS WHERE IDCALCULO = 3"
                            << "2026-11-06";
    QTest::newRow("bound date") << "SELECT CAST(:d AS DATE) - 1"
                                << "2026-12-04";
    QTest::newRow("today") << "SELECT CURRENT_DATE"
                           << "2026-12-05";
}

void TestPgSql::dateTexts()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(rowsText(run(*m_c, sql, {{QStringLiteral("d"), QDate(2026, 12, 5)}})), expected);
}

void TestPgSql::translation_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("params");
    QTest::newRow("parameters numbered by name") << "WHERE A = :p1 AND B = :P2 OR C = :p1"
                                                 << "WHERE A = $1 AND B = $2 OR C = $1" << QStringList {"p1", "P2"};
    QTest::newRow("days back") << "WHERE A > ( CURRENT_DATE - 30 )"
                               << "WHERE A > ( $1::date - 30 )" << QStringList {"@today"};
    QTest::newRow("pos with IN") << "POS('5' IN NROTRM)"
                                 << "POSITION('5' IN NROTRM)" << QStringList {};
    QTest::newRow("pos with a comma") << "POS(:a, X || 'b')"
                                      << "STRPOS(X || 'b', $1)" << QStringList {"a"};
    QTest::newRow("money cast") << "CAST( SUM(V) AS MONEY)"
                                << "CAST(SUM(V) AS NUMERIC(19,4))" << QStringList {};
    QTest::newRow("nested cast") << "CAST(SUBSTRING(A FROM 1 FOR 2) AS INTEGER)"
                                 << "CAST(SUBSTRING(A FROM 1 FOR 2) AS INTEGER)" << QStringList {};
    QTest::newRow("quoted names") << "SELECT \"IdNota\", [NroNF] FROM \"Notas\""
                                  << "SELECT \"idnota\", \"nronf\" FROM \"notas\"" << QStringList {};
    QTest::newRow("case-blind like") << "ST_LIKECI(DESCRICAO, :TEXTO, '\\')"
                                     << "(UPPER(DESCRICAO) LIKE UPPER($1) ESCAPE '\\')" << QStringList {"TEXTO"};
    QTest::newRow("case-blind like without escape") << "ST_LIKECI(A, 'x%')"
                                                    << "(UPPER(A) LIKE UPPER('x%'))" << QStringList {};
    QTest::newRow("union in order")
        << "SELECT A FROM T UNION SELECT B FROM U"
        << "SELECT * FROM (SELECT A FROM T UNION SELECT B FROM U) AS stb_uniao ORDER BY stb_uniao" << QStringList {};
    QTest::newRow("union with its own order") << "SELECT A FROM T UNION SELECT B FROM U ORDER BY 1"
                                              << "SELECT A FROM T UNION SELECT B FROM U ORDER BY 1" << QStringList {};
    QTest::newRow("strings untouched") << "'CAST(x AS MONEY) :p CURRENT_DATE'"
                                       << "'CAST(x AS MONEY) :p CURRENT_DATE'" << QStringList {};
    QTest::newRow("comment untouched") << "/* :p POS(a, b) */ 1"
                                       << "/* :p POS(a, b) */ 1" << QStringList {};
}

void TestPgSql::translation()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QFETCH(QStringList, params);
    const PgSql t = translatePgSql(sql);
    QCOMPARE(t.sql, expected);
    QCOMPARE(t.params, params);
}

QTEST_GUILESS_MAIN(TestPgSql)
#include "tst_pg_sql.moc"
