// A post that fails inside a transaction: the transaction's guard rolls back
// and the datasets read their rows again while the failure unwinds. The
// failure must reach the caller as the engine's error (never end the
// program), the detail being inserted keeps its buffer until the caller
// cancels it, and nothing of the transaction stays stored.
#include "platform/db/dataset.h"
#include "platform/db/transaction.h"
#include "tests/support/teststorage.h"

#include <QTemporaryDir>
#include <QTest>

using namespace stb::db;

namespace {

TableDef calcDef()
{
    TableDef d;
    d.name = QStringLiteral("Calculos");
    d.fields
        = {{QStringLiteral("IdCalc"), FieldType::Integer, 0, true}, {QStringLiteral("Nome"), FieldType::String, 20}};
    d.indexes = {{QString(), QStringLiteral("IdCalc"), IndexDef::Primary}};
    return d;
}

TableDef notasDef()
{
    TableDef d;
    d.name = QStringLiteral("Notas");
    d.fields = {{QStringLiteral("IdNota"), FieldType::Integer, 0, true}, {QStringLiteral("IdCalc"), FieldType::Integer},
        {QStringLiteral("NroNF"), FieldType::String, 10}};
    d.indexes = {{QString(), QStringLiteral("IdNota"), IndexDef::Primary},
        {QStringLiteral("Calc"), QStringLiteral("IdCalc;IdNota"), 0}};
    return d;
}

} // namespace

class TestEngineRollback : public QObject {
    Q_OBJECT
private slots:
    void failedPostInsideTransaction_data();
    void failedPostInsideTransaction();
};

void TestEngineRollback::failedPostInsideTransaction_data()
{
    // newMaster: the master row is posted in the same transaction, so the
    // rollback takes it away and moves the master (the link changes).
    QTest::addColumn<bool>("newMaster");
    QTest::newRow("master unchanged") << false;
    QTest::newRow("master row undone") << true;
}

void TestEngineRollback::failedPostInsideTransaction()
{
    QFETCH(bool, newMaster);
    stbtest::TestStorage store;
    QString error;
    QVERIFY2(store.fresh(&error), qPrintable(error));
    Database db;
    store.attach(db);
    db.createTable(calcDef());
    db.createTable(notasDef());
    Table calc(&db, QStringLiteral("Calculos"));
    Table notas(&db, QStringLiteral("Notas"));
    calc.open();
    calc.append();
    calc.fieldByName(QStringLiteral("IdCalc")).setAsInteger(1);
    calc.post();
    notas.setIndexName(QStringLiteral("Calc"));
    notas.setMasterSource(&calc, QStringLiteral("IdCalc"), QStringLiteral("IdCalc"));
    notas.open();
    notas.append();
    notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(7);
    notas.post();

    int code = 0;
    try {
        Transaction tx(db);
        if (newMaster) {
            calc.append();
            calc.fieldByName(QStringLiteral("IdCalc")).setAsInteger(2);
            calc.post();
        }
        notas.append();
        notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(7); // taken
        notas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("4510"));
        notas.post();
        tx.commit();
    } catch (const EngineError &e) {
        code = e.code();
    }
    QCOMPARE(code, Err::KeyViolation);
    QCOMPARE(notas.state(), DataSet::State::Insert);
    QCOMPARE(notas.fieldByName(QStringLiteral("NroNF")).asString(), QStringLiteral("4510"));
    notas.cancel();

    // Nothing of the transaction is stored, and the tables go on working.
    calc.refresh();
    QCOMPARE(calc.recordCount(), 1);
    QVERIFY(calc.locate(QStringLiteral("IdCalc"), {1}));
    QCOMPARE(notas.recordCount(), 1);
    notas.append();
    notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(8);
    notas.post();
    QCOMPARE(notas.recordCount(), 2);
}

QTEST_GUILESS_MAIN(TestEngineRollback)
#include "tst_engine_rollback.moc"
