// Every SQL text the program runs, in one table (engine_sql_cases.h), against
// a small database: each must run as written and return the expected rows.
#include "core/schema.h"
#include "platform/clock.h"
#include "platform/db/dataset.h"
#include "platform/db/sqltranslate.h"
#include "tests/engine_sql_cases.h"
#include "tests/support/teststorage.h"

#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using namespace stb::db;

namespace {

// Rows as "a|b;c|d"; amounts with four decimals so float noise cannot hide.
QString rowsText(Query &q)
{
    QStringList rows;
    for (q.first(); !q.eof(); q.next()) {
        QStringList cols;
        for (int i = 0; i < q.fieldCount(); ++i) {
            const Field &f = q.field(i);
            if (f.isNull())
                cols << QStringLiteral("null");
            else if (f.type() == FieldType::Float || f.type() == FieldType::Currency)
                cols << f.asCurrency().toPlainString(4);
            else if (f.type() == FieldType::Date)
                cols << f.asDate().toString(Qt::ISODate);
            else
                cols << f.asString();
        }
        rows << cols.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
}

} // namespace

class TestEngineSql : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void statements_data();
    void statements();
    void deleteStatement();
    void translation_data();
    void translation();

private:
    stbtest::TestStorage m_store;
    Database m_db;
};

void TestEngineSql::initTestCase()
{
    Clock::setFixedDate(QDate(2026, 12, 5));
    QString error;
    QVERIFY2(m_store.fresh(&error), qPrintable(error));
    m_store.attach(m_db);
    for (const TableDef &d : schema::dataFolderTables())
        m_db.createTable(d);
    {
        // ARM lives in its own folder in the program; here it shares the fixture.
        m_db.createTable(schema::arm());
    }
    for (const QString &sql : enginesql::fixtureInserts())
        m_db.execSql(sql);
}

void TestEngineSql::cleanupTestCase()
{
    m_db.close();
    Clock::reset();
}

void TestEngineSql::statements_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("expected");
    for (const enginesql::SqlCase &c : enginesql::statementCases())
        QTest::newRow(c.name) << c.lines << c.params << c.expectedOn(m_store.onServer);
}

void TestEngineSql::statements()
{
    QFETCH(QStringList, lines);
    QFETCH(QVariantMap, params);
    QFETCH(QString, expected);
    Query q(&m_db);
    q.sql() = lines;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.paramByName(it.key()).value = it.value();
    q.open();
    QCOMPARE(rowsText(q), expected);
}

void TestEngineSql::deleteStatement()
{
    Query q(&m_db);
    q.setSql(QStringLiteral("DELETE FROM PRODUTOSNBM WHERE NBM LIKE '00%'"));
    QCOMPARE(q.execSql(), 1);
    q.setSql(QStringLiteral("SELECT NBM FROM PRODUTOSNBM"));
    q.open();
    QCOMPARE(rowsText(q), QStringLiteral("2207.10.00"));
}

void TestEngineSql::translation_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("date cast") << "SELECT CAST( X AS DATE) D"
                               << "SELECT date(X) D";
    QTest::newRow("days back") << "WHERE A > ( CURRENT_DATE - 30 )"
                               << "WHERE A > ( date(st_today(), '-30 days') )";
    QTest::newRow("substring") << "SUBSTRING(NROTRM FROM 9 FOR 5)"
                               << "substr(NROTRM, 9, 5)";
    QTest::newRow("nested") << "CAST(SUBSTRING(A FROM 1 FOR 2) AS INTEGER)"
                            << "CAST(substr(A, 1, 2) AS INTEGER)";
    QTest::newRow("varchar") << "CAST(D AS VARCHAR(255))"
                             << "substr(CAST(D AS TEXT), 1, 255)";
    QTest::newRow("strings untouched") << "'CAST(x AS DATE) || CURRENT_DATE'"
                                       << "'CAST(x AS DATE) || CURRENT_DATE'";
    QTest::newRow("comment untouched") << "/* SUBSTRING(a FROM 1) */ 1"
                                       << "/* SUBSTRING(a FROM 1) */ 1";
}

void TestEngineSql::translation()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(translateSql(sql).sql, expected);
}

QTEST_GUILESS_MAIN(TestEngineSql)
#include "tst_engine_sql.moc"
