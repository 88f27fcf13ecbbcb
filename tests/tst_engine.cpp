// Engine binding: tables and datasets, events, master-detail, calculated and
// lookup fields, transactions, maintenance (alter, repair, version) and the
// damaged-file conditions.
#include "platform/clock.h"
#include "platform/db/dataset.h"
#include "platform/db/transaction.h"
#include "tests/support/teststorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>

using namespace stb;
using namespace stb::db;

namespace {

TableDef itensDef()
{
    TableDef d;
    d.name = QStringLiteral("Itens");
    d.fields = {{QStringLiteral("IdNota"), FieldType::Integer}, {QStringLiteral("NroItem"), FieldType::SmallInt},
        {QStringLiteral("DescricaoNF"), FieldType::String, 50}, {QStringLiteral("ValorNF"), FieldType::Currency},
        {QStringLiteral("FEM"), FieldType::Boolean}, {QStringLiteral("Emissao"), FieldType::Date},
        {QStringLiteral("Observ"), FieldType::Memo}};
    d.indexes = {{QString(), QStringLiteral("IdNota;NroItem"), IndexDef::Primary},
        {QStringLiteral("Descr"), QStringLiteral("DescricaoNF"), IndexDef::CaseInsensitive},
        {QStringLiteral("ValorDesc"), QStringLiteral("ValorNF"), IndexDef::Descending}};
    return d;
}

TableDef notasDef()
{
    TableDef d;
    d.name = QStringLiteral("Notas");
    d.fields = {{QStringLiteral("IdCalculo"), FieldType::Integer}, {QStringLiteral("IdNota"), FieldType::AutoInc},
        {QStringLiteral("NroNF"), FieldType::String, 10}, {QStringLiteral("Frete"), FieldType::Currency}};
    d.indexes = {{QString(), QStringLiteral("IdNota"), IndexDef::Primary},
        {QStringLiteral("Calc"), QStringLiteral("IdCalculo;NroNF"), 0}};
    return d;
}

void addItem(Table &t, int nota, int nro, const QString &descr, const char *valor)
{
    t.append();
    t.fieldByName(QStringLiteral("IdNota")).setAsInteger(nota);
    t.fieldByName(QStringLiteral("NroItem")).setAsInteger(nro);
    t.fieldByName(QStringLiteral("DescricaoNF")).setAsString(descr);
    t.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(*Currency::parsePlain(QString::fromLatin1(valor)));
    t.post();
}

// Stored rows of a query as "a|b;c|d" (null, amounts with four decimals).
QString rowsText(Query &q)
{
    QStringList rows;
    for (q.first(); !q.eof(); q.next()) {
        QStringList cols;
        for (int i = 0; i < q.fieldCount(); ++i) {
            const Field &f = q.field(i);
            cols << (f.isNull()                       ? QStringLiteral("null")
                    : f.type() == FieldType::Currency ? f.asCurrency().toPlainString(4)
                                                      : f.asString());
        }
        rows << cols.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
}

// "Name=text;Name=text" as stored values of the dataset's fields.
std::vector<std::pair<Field *, Value>> valuesOf(DataSet &ds, const QString &pares)
{
    std::vector<std::pair<Field *, Value>> out;
    for (const QString &item : pares.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        Field &f = ds.fieldByName(item.section(QLatin1Char('='), 0, 0));
        const QString text = item.section(QLatin1Char('='), 1);
        switch (f.type()) {
        case FieldType::Currency:
            out.emplace_back(&f, Currency::parsePlain(text)->raw());
            break;
        case FieldType::String:
            out.emplace_back(&f, text);
            break;
        default:
            out.emplace_back(&f, std::int64_t(text.toLongLong()));
        }
    }
    return out;
}

QStringList column(DataSet &ds, const QString &name)
{
    QStringList out;
    ds.first();
    while (!ds.eof()) {
        out << ds.fieldByName(name).asString();
        ds.next();
    }
    return out;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void createOpenAndTypes();
    void orderByIndexAndFieldNames();
    void editPostCancelDelete();
    void keyViolationAndRequired();
    void eventsInOrder();
    void masterDetail();
    void calculatedAndLookupFields();
    void displayUpdatesSuspended();
    void locateAndFindKey();
    void transactions();
    void alterKeepsRows();
    void versionUpgrade();
    void emptyAndDelete();
    void memTableAndSnapshot();
    void currencyTextEntry();
    void detailFollowsAfterDetach();
    void newRecordDefaults_data();
    void newRecordDefaults();
    void queryRunAgain_data();
    void queryRunAgain();
    void fieldsFoundAgainAfterReopen();
    void failedPostInsideTransaction();
    void queryColumnNames();
#ifndef STB_TEST_SERVER
    // What only a data folder has: table files, their attach limit, the file
    // engine's own settings.
    void fileNamesWithoutCase();
    void moreTablesThanAttachLimit();
    void damagedFiles_data();
    void damagedFiles();
    void lostIndexFileRepaired();
    void readBatch();
    void synchronousCommits_data();
    void synchronousCommits();
#else
    // What only a server has: a connection to lose, its snapshot, its catalogue.
    void serverStoppedMidSession();
    void serverReadBatchSnapshot();
    void serverRepairChecksTheCatalogue();
#endif

private:
    stbtest::TestStorage m_store;
    std::unique_ptr<Database> m_db;
};

void TestEngine::init()
{
    QString error;
    QVERIFY2(m_store.fresh(&error), qPrintable(error));
    m_db = std::make_unique<Database>();
    m_store.attach(*m_db);
    m_db->createTable(itensDef());
    m_db->createTable(notasDef());
}

void TestEngine::cleanup()
{
    m_db.reset();
    Clock::reset();
}

void TestEngine::createOpenAndTypes()
{
    if (!m_store.onServer) {
        QVERIFY(QFile::exists(m_store.filePath(QStringLiteral("Itens.dat"))));
        QVERIFY(QFile::exists(m_store.filePath(QStringLiteral("Itens.idx"))));
        QVERIFY(!QFile::exists(m_store.filePath(QStringLiteral("Itens.blb"))));
    }
    QCOMPARE(m_db->tableVersion(QStringLiteral("Itens")), QStringLiteral("4.00"));

    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    QVERIFY(t.isEmpty());
    QVERIFY(t.eof() && t.bof());
    t.append();
    t.fieldByName(QStringLiteral("IdNota")).setAsInteger(7);
    t.fieldByName(QStringLiteral("NroItem")).setAsInteger(1);
    t.fieldByName(QStringLiteral("DescricaoNF")).setAsString(QString(60, QLatin1Char('x'))); // truncated to 50
    t.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(Currency::fromRaw(12345678));
    t.fieldByName(QStringLiteral("FEM")).setAsBoolean(true);
    t.fieldByName(QStringLiteral("Emissao")).setAsDate(QDate(2024, 2, 29));
    t.fieldByName(QStringLiteral("Observ")).setAsString(QStringLiteral("Observação com acentuação"));
    t.post();
    t.close();

    t.open();
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.fieldByName(QStringLiteral("DescricaoNF")).asString().size(), 50);
    QCOMPARE(t.fieldByName(QStringLiteral("ValorNF")).asCurrency().raw(), 12345678);
    QCOMPARE(t.fieldByName(QStringLiteral("ValorNF")).displayText(), QStringLiteral("1.234,57"));
    QVERIFY(t.fieldByName(QStringLiteral("FEM")).asBoolean());
    QCOMPARE(t.fieldByName(QStringLiteral("Emissao")).asDate(), QDate(2024, 2, 29));
    QCOMPARE(t.fieldByName(QStringLiteral("Observ")).asString(), QStringLiteral("Observação com acentuação"));
    // Empty text is stored as null.
    t.edit();
    t.fieldByName(QStringLiteral("DescricaoNF")).setAsString(QString());
    t.post();
    QVERIFY(t.fieldByName(QStringLiteral("DescricaoNF")).isNull());
}

void TestEngine::orderByIndexAndFieldNames()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    addItem(t, 2, 1, QStringLiteral("banana"), "10");
    addItem(t, 1, 2, QStringLiteral("Ábaco"), "30");
    addItem(t, 1, 1, QStringLiteral("CAQUI"), "20");
    addItem(t, 3, 1, QStringLiteral("ameixa"), "20");
    // Primary order, and the row posted last is current at its place.
    QCOMPARE(t.fieldByName(QStringLiteral("IdNota")).asInteger(), 3);
    QCOMPARE(t.recNo(), 4);
    QCOMPARE(column(t, QStringLiteral("DescricaoNF")),
        QStringList(
            {QStringLiteral("CAQUI"), QStringLiteral("Ábaco"), QStringLiteral("banana"), QStringLiteral("ameixa")}));
    t.setIndexName(QStringLiteral("Descr")); // case-insensitive, accents as letters
    QCOMPARE(column(t, QStringLiteral("DescricaoNF")),
        QStringList(
            {QStringLiteral("ameixa"), QStringLiteral("banana"), QStringLiteral("CAQUI"), QStringLiteral("Ábaco")}));
    t.setIndexName(QStringLiteral("ValorDesc"));
    QCOMPARE(column(t, QStringLiteral("ValorNF")).first(), QStringLiteral("30"));
    t.setIndexFieldNames(QStringLiteral("ValorNF;IdNota"));
    QCOMPARE(column(t, QStringLiteral("IdNota")),
        QStringList({QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("1")}));
    // A row posted into a sorted dataset lands where a fresh fetch puts it.
    addItem(t, 0, 9, QStringLiteral("zz"), "20");
    const QStringList inMemory = column(t, QStringLiteral("NroItem"));
    t.refresh();
    QCOMPARE(column(t, QStringLiteral("NroItem")), inMemory);
}

void TestEngine::editPostCancelDelete()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    for (int i = 1; i <= 4; ++i)
        addItem(t, 1, i, QStringLiteral("item %1").arg(i), "1");
    t.first();
    t.next();
    t.edit();
    QCOMPARE(t.state(), DataSet::State::Edit);
    t.fieldByName(QStringLiteral("DescricaoNF")).setAsString(QStringLiteral("mudado"));
    t.cancel();
    QCOMPARE(t.fieldByName(QStringLiteral("DescricaoNF")).asString(), QStringLiteral("item 2"));
    QVERIFY_THROWS_EXCEPTION(
        EngineError, t.fieldByName(QStringLiteral("DescricaoNF")).setAsString(QStringLiteral("x")));

    // Deleting line 2 makes the former line 3 current; deleting the last keeps the new last.
    t.remove();
    QCOMPARE(t.fieldByName(QStringLiteral("NroItem")).asInteger(), 3);
    t.last();
    t.remove();
    QCOMPARE(t.fieldByName(QStringLiteral("NroItem")).asInteger(), 3);
    QCOMPARE(t.recordCount(), 2);

    // Another dataset on the same table sees the stored state.
    Table other(m_db.get(), QStringLiteral("Itens"));
    other.open();
    QCOMPARE(column(other, QStringLiteral("NroItem")), QStringList({QStringLiteral("1"), QStringLiteral("3")}));
    // A row deleted elsewhere cannot be edited.
    other.first();
    t.first();
    t.remove();
    QVERIFY_THROWS_EXCEPTION(EngineError, other.edit());
    QCOMPARE(other.recordCount(), 1);
}

void TestEngine::keyViolationAndRequired()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    addItem(t, 1, 1, QStringLiteral("a"), "1");
    t.append();
    t.fieldByName(QStringLiteral("IdNota")).setAsInteger(1);
    t.fieldByName(QStringLiteral("NroItem")).setAsInteger(1);
    try {
        t.post();
        QFAIL("expected a key violation");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), Err::KeyViolation);
    }
    QCOMPARE(t.state(), DataSet::State::Insert); // the row stays for the caller to cancel
    t.cancel();
    QCOMPARE(t.recordCount(), 1);

    Table n(m_db.get(), QStringLiteral("Notas"));
    n.open();
    n.append();
    n.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("10"));
    n.post();
    QCOMPARE(n.fieldByName(QStringLiteral("IdNota")).asInteger(), 1); // auto-increment
    n.append();
    n.fieldByName(QStringLiteral("IdNota")).setAsInteger(1); // explicit duplicate
    try {
        n.post();
        QFAIL("expected a key violation");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), Err::KeyViolation);
    }
    n.cancel();
    // A key given by hand moves the counter on: the next automatic one follows it.
    n.append();
    n.fieldByName(QStringLiteral("IdNota")).setAsInteger(5);
    n.post();
    n.append();
    n.post();
    QCOMPARE(n.fieldByName(QStringLiteral("IdNota")).asInteger(), 6);
    n.fieldByName(QStringLiteral("NroNF")).required = true;
    n.append();
    QVERIFY_THROWS_EXCEPTION(EngineError, n.post());
    n.cancel();
}

void TestEngine::eventsInOrder()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    QStringList log;
    auto rec = [&log](const char *name) { return [&log, name](DataSet &) { log << QString::fromLatin1(name); }; };
    t.beforeOpen = rec("BeforeOpen");
    t.afterOpen = rec("AfterOpen");
    t.afterScroll = rec("AfterScroll");
    t.beforeDelete = rec("BeforeDelete");
    t.afterDelete = rec("AfterDelete");
    t.afterPost = rec("AfterPost");
    t.onCalcFields = rec("CalcFields");
    t.addCalcField(QStringLiteral("X"), FieldType::Currency);
    t.open();
    QCOMPARE(log, QStringList({QStringLiteral("BeforeOpen"), QStringLiteral("AfterOpen")}));
    log.clear();
    addItem(t, 1, 1, QStringLiteral("a"), "1");
    QVERIFY(log.contains(QStringLiteral("AfterPost")));
    QCOMPARE(log.last(), QStringLiteral("AfterPost"));
    QVERIFY(log.indexOf(QStringLiteral("CalcFields")) < log.indexOf(QStringLiteral("AfterPost")));
    addItem(t, 1, 2, QStringLiteral("b"), "1");
    log.clear();
    t.first();
    QCOMPARE(log, QStringList({QStringLiteral("CalcFields"), QStringLiteral("AfterScroll")}));
    log.clear();
    t.remove();
    QCOMPARE(log,
        QStringList({QStringLiteral("BeforeDelete"), QStringLiteral("CalcFields"), QStringLiteral("AfterDelete"),
            QStringLiteral("AfterScroll")}));
}

void TestEngine::masterDetail()
{
    Table notas(m_db.get(), QStringLiteral("Notas"));
    notas.setIndexName(QStringLiteral("Calc"));
    notas.open();
    for (const char *nro : {"20", "10"}) {
        notas.append();
        notas.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(1);
        notas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::fromLatin1(nro));
        notas.post();
    }
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.setMasterSource(&notas, QStringLiteral("IdNota"), QStringLiteral("IdNota"));
    itens.open();
    // Notas is ordered by NroNF: "10" (id 2) comes first and is current after its post.
    QCOMPARE(notas.fieldByName(QStringLiteral("IdNota")).asInteger(), 2);
    itens.append(); // the link field comes from the master
    QCOMPARE(itens.fieldByName(QStringLiteral("IdNota")).asInteger(), 2);
    itens.fieldByName(QStringLiteral("NroItem")).setAsInteger(1);
    itens.post();
    notas.first();
    notas.next(); // id 1: no lines
    QVERIFY(itens.isEmpty());
    int scrolls = 0;
    itens.afterScroll = [&scrolls](DataSet &) { ++scrolls; };
    notas.first();
    QCOMPARE(itens.recordCount(), 1);
    QCOMPARE(scrolls, 1);
    // Refreshing the master on the same row leaves the detail where it is.
    notas.refresh();
    QCOMPARE(scrolls, 1);
    // While the master's display updates are suspended the detail waits.
    notas.disableControls();
    notas.next();
    QCOMPARE(itens.recordCount(), 1);
    notas.enableControls();
    QCOMPARE(itens.recordCount(), 0);
}

void TestEngine::calculatedAndLookupFields()
{
    Table notas(m_db.get(), QStringLiteral("Notas"));
    notas.open();
    notas.append();
    notas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("555"));
    notas.post();

    Table t(m_db.get(), QStringLiteral("Itens"));
    Field &dobro = t.addCalcField(QStringLiteral("Dobro"), FieldType::Currency);
    t.addLookupField(QStringLiteral("XNroNF"), FieldType::String, 10, &notas, QStringLiteral("IdNota"),
        QStringLiteral("NroNF"), QStringLiteral("IdNota"));
    int calcs = 0;
    t.onCalcFields = [&](DataSet &ds) {
        ++calcs;
        ds.fieldByName(QStringLiteral("Dobro"))
            .setAsCurrency(ds.fieldByName(QStringLiteral("ValorNF")).asCurrency() * Currency::fromInt(2));
    };
    t.open();
    addItem(t, 1, 1, QStringLiteral("a"), "10.5");
    addItem(t, 9, 1, QStringLiteral("b"), "1");
    t.first();
    QCOMPARE(dobro.asCurrency(), Currency::fromInt(21));
    QCOMPARE(t.fieldByName(QStringLiteral("XNroNF")).asString(), QStringLiteral("555"));
    t.next();
    QVERIFY(t.fieldByName(QStringLiteral("XNroNF")).isNull());
    // Every fetch computes again.
    const int before = calcs;
    t.first();
    t.next();
    QCOMPARE(calcs, before + 2);
    // A view row is computed without moving the cursor.
    const auto row0 = t.rowForDisplay(0);
    QCOMPARE(t.recNo(), 2);
    QCOMPARE(std::get<std::int64_t>(row0[static_cast<size_t>(dobro.index())]), Currency::fromInt(21).raw());
    // Editing recalculates at once.
    t.first();
    t.edit();
    t.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(Currency::fromInt(4));
    QCOMPARE(dobro.asCurrency(), Currency::fromInt(8));
    t.cancel();

    // A query defines its data fields while fetching, after the persistent
    // ones exist: every field still reports its own position.
    Query q(m_db.get());
    q.sql() << QStringLiteral("SELECT IdNota, ValorNF FROM Itens ORDER BY IdNota");
    Field &triplo = q.addCalcField(QStringLiteral("Triplo"), FieldType::Currency);
    q.onCalcFields = [](DataSet &ds) {
        ds.fieldByName(QStringLiteral("Triplo"))
            .setAsCurrency(ds.fieldByName(QStringLiteral("ValorNF")).asCurrency() * Currency::fromInt(3));
    };
    q.open();
    for (int reopen = 0; reopen < 2; ++reopen) {
        const auto shown = q.rowForDisplay(1);
        Field &id = q.fieldByName(QStringLiteral("IdNota"));
        QCOMPARE(q.fields().indexOf(&id), id.index());
        QCOMPARE(std::get<std::int64_t>(shown[static_cast<size_t>(id.index())]), 9);
        QCOMPARE(std::get<std::int64_t>(shown[static_cast<size_t>(triplo.index())]), Currency::fromInt(3).raw());
        QCOMPARE(q.fieldByName(QStringLiteral("ValorNF")).asCurrency(), Currency::fromDouble(10.5));
        q.close();
        q.open();
    }
}

void TestEngine::displayUpdatesSuspended()
{
    struct Recorder : DataSetObserver {
        QList<DataEvent> events;
        void dataSetEvent(DataSet &, DataEvent e, int) override { events << e; }
    } rec;
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.addObserver(&rec);
    t.open();
    rec.events.clear();
    t.disableControls();
    addItem(t, 1, 1, QStringLiteral("a"), "1");
    addItem(t, 1, 2, QStringLiteral("b"), "1");
    QVERIFY(rec.events.isEmpty());
    t.enableControls();
    QCOMPARE(rec.events, QList<DataEvent>({DataEvent::Reset}));
    rec.events.clear();
    addItem(t, 1, 3, QStringLiteral("c"), "1");
    QVERIFY(rec.events.contains(DataEvent::RowInserted));
    t.removeObserver(&rec);
}

void TestEngine::locateAndFindKey()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    addItem(t, 1, 1, QStringLiteral("Parafuso"), "1");
    addItem(t, 1, 2, QStringLiteral("porca"), "2");
    addItem(t, 2, 1, QStringLiteral("Arruela"), "3");
    QVERIFY(t.locate(QStringLiteral("DescricaoNF"), {QStringLiteral("PORCA")}, CaseInsensitive));
    QCOMPARE(t.fieldByName(QStringLiteral("NroItem")).asInteger(), 2);
    QVERIFY(!t.locate(QStringLiteral("DescricaoNF"), {QStringLiteral("PORCA")}));
    QVERIFY(t.locate(QStringLiteral("DescricaoNF"), {QStringLiteral("Par")}, PartialKey));
    QVERIFY(t.locate(QStringLiteral("IdNota;NroItem"), {2, 1}));
    QCOMPARE(t.fieldByName(QStringLiteral("DescricaoNF")).asString(), QStringLiteral("Arruela"));
    QVERIFY(t.findKey({1, 2}));
    QCOMPARE(t.fieldByName(QStringLiteral("DescricaoNF")).asString(), QStringLiteral("porca"));
    QVERIFY(!t.findKey({5, 1}));
    QCOMPARE(t.lookup(QStringLiteral("IdNota;NroItem"), {2, 1}, QStringLiteral("DescricaoNF")).toString(),
        QStringLiteral("Arruela"));
}

void TestEngine::transactions()
{
    Table notas(m_db.get(), QStringLiteral("Notas"));
    Table itens(m_db.get(), QStringLiteral("Itens"));
    notas.open();
    itens.open();
    m_db->startTransaction();
    notas.append();
    notas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("1"));
    notas.post();
    addItem(itens, 1, 1, QStringLiteral("x"), "1");
    m_db->rollback();
    QCOMPARE(notas.recordCount(), 0);
    QCOMPARE(itens.recordCount(), 0);

    m_db->startTransaction();
    notas.append();
    notas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("2"));
    notas.post();
    addItem(itens, 1, 1, QStringLiteral("y"), "1");
    m_db->commit(true);
    QVERIFY(!m_db->inTransaction());

    Database other;
    m_store.attach(other);
    Query q(&other);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM NOTAS N, ITENS I"));
    q.open();
    QCOMPARE(q.field(0).asInteger(), 1);
}

#ifndef STB_TEST_SERVER
void TestEngine::fileNamesWithoutCase()
{
    QVERIFY(
        QFile::rename(m_store.filePath(QStringLiteral("Itens.dat")), m_store.filePath(QStringLiteral("ITENS.DAT"))));
    QVERIFY(
        QFile::rename(m_store.filePath(QStringLiteral("Itens.idx")), m_store.filePath(QStringLiteral("itens.IDX"))));
    QVERIFY(m_db->tableExists(QStringLiteral("itens")));
    Table t(m_db.get(), QStringLiteral("itens"));
    t.open();
    addItem(t, 1, 1, QStringLiteral("a"), "1");
    Query q(m_db.get());
    q.setSql(QStringLiteral("SELECT NroItem FROM Itens"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::moreTablesThanAttachLimit()
{
    // Twelve tables used by one session, and one statement over eleven of them.
    QStringList parts;
    for (int i = 0; i < 12; ++i) {
        TableDef d;
        d.name = QStringLiteral("T%1").arg(i);
        d.fields = {{QStringLiteral("V"), FieldType::Integer}};
        m_db->createTable(d);
        m_db->execSql(QStringLiteral("INSERT INTO T%1 (V) VALUES (%1)").arg(i));
        if (i < 11)
            parts << QStringLiteral("SELECT V FROM T%1").arg(i);
    }
    Query q(m_db.get());
    q.setSql(parts.mid(0, 9).join(QStringLiteral(" UNION ")));
    q.open();
    QCOMPARE(q.recordCount(), 9);
    q.close();
    for (int i = 0; i < 12; ++i) {
        Table t(m_db.get(), QStringLiteral("T%1").arg(i));
        t.open();
        QCOMPARE(t.fieldByName(QStringLiteral("V")).asInteger(), i);
    }
    q.setSql(parts.join(QStringLiteral(" UNION ")));
    q.open();
    QCOMPARE(q.recordCount(), 11);
    q.close();
    // The copies of that statement never hide later changes.
    m_db->execSql(QStringLiteral("UPDATE T10 SET V = 100"));
    q.setSql(QStringLiteral("SELECT V FROM T10"));
    q.open();
    QCOMPARE(q.field(0).asInteger(), 100);
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::damagedFiles_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("code");
    QTest::newRow("truncated .dat") << "truncate" << Err::DataDamaged;
    QTest::newRow("garbage page") << "page" << Err::DataDamaged;
    QTest::newRow("garbage .idx") << "idx" << Err::IndexDamaged;
    QTest::newRow("missing .idx") << "noidx" << Err::IndexDamaged;
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::damagedFiles()
{
    QFETCH(QString, damage);
    QFETCH(int, code);
    {
        Table t(m_db.get(), QStringLiteral("Itens"));
        t.open();
        m_db->startTransaction();
        for (int i = 1; i <= 3000; ++i)
            addItem(t, i / 10, i % 10, QStringLiteral("descrição do item %1 com texto bastante longo").arg(i), "1.25");
        m_db->commit();
    }
    m_db->close();
    const QString dat = m_store.filePath(QStringLiteral("Itens.dat"));
    const QString idx = m_store.filePath(QStringLiteral("Itens.idx"));
    QFile f(damage == QLatin1String("idx") || damage == QLatin1String("noidx") ? idx : dat);
    QVERIFY(f.open(QIODevice::ReadWrite));
    if (damage == QLatin1String("truncate")) {
        f.resize(f.size() / 2);
    } else if (damage == QLatin1String("page")) {
        f.seek(8 * 4096);
        f.write(QByteArray(4096 * 4, '\xa5'));
    } else if (damage == QLatin1String("idx")) {
        f.seek(30);
        f.write("garbage");
    } else {
        f.close();
        f.remove();
    }
    f.close();

    Table t(m_db.get(), QStringLiteral("Itens"));
    try {
        t.open();
        QFAIL("a damaged table must not open");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), code);
    }
    QStringList steps;
    m_db->repairTable(QStringLiteral("Itens"), [&steps](const QString &s, int) {
        if (!steps.contains(s))
            steps << s;
    });
    QCOMPARE(steps,
        QStringList({QStringLiteral("Repairing headers"), QStringLiteral("Repairing record, index, and BLOB data"),
            QStringLiteral("Repairing indexes")}));
    t.open();
    // A lost or damaged .idx costs no row, so no backup is kept; damage to the
    // rows keeps the damaged file (the fault tests count what each damage costs).
    const bool rowsIntact = damage == QLatin1String("idx") || damage == QLatin1String("noidx");
    if (rowsIntact)
        QCOMPARE(t.recordCount(), 3000);
    else
        QVERIFY2(t.recordCount() > 0 && t.recordCount() < 3000, qPrintable(QString::number(t.recordCount())));
    QCOMPARE(QFile::exists(m_store.filePath(QStringLiteral("Itens.dbk"))), !rowsIntact);
    // The repaired table works.
    addItem(t, 9999, 1, QStringLiteral("novo"), "1");
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::lostIndexFileRepaired()
{
    // A pristine .idx of a table with other rows serves to rebuild the lost one.
    QTemporaryDir pristine;
    {
        Database p;
        p.setDirectory(pristine.path());
        p.createTable(itensDef());
    }
    {
        Table t(m_db.get(), QStringLiteral("Itens"));
        t.open();
        addItem(t, 1, 1, QStringLiteral("a"), "1");
        addItem(t, 1, 2, QStringLiteral("b"), "1");
    }
    m_db->close();
    QFile::remove(m_store.filePath(QStringLiteral("Itens.idx")));
    QVERIFY(QFile::copy(
        QDir(pristine.path()).filePath(QStringLiteral("Itens.idx")), m_store.filePath(QStringLiteral("Itens.idx"))));
    m_db->repairTable(QStringLiteral("Itens"));
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    QCOMPARE(t.recordCount(), 2);
}
#endif

void TestEngine::alterKeepsRows()
{
    {
        Table t(m_db.get(), QStringLiteral("Itens"));
        t.open();
        addItem(t, 1, 1, QStringLiteral("abcdefghij"), "12.3456");
    }
    TableDef d = itensDef();
    d.fields[2].size = 5; // narrower text
    d.fields << FieldDef {QStringLiteral("PMPF"), FieldType::Currency}; // new field
    d.indexes << IndexDef {QStringLiteral("PMPF"), QStringLiteral("PMPF"), 0};
    int lastPercent = -1;
    m_db->alterTable(QStringLiteral("Itens"), d, [&lastPercent](const QString &, int p) { lastPercent = p; });
    QCOMPARE(lastPercent, 100);
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    QCOMPARE(t.fieldByName(QStringLiteral("DescricaoNF")).asString(), QStringLiteral("abcde"));
    QCOMPARE(t.fieldByName(QStringLiteral("ValorNF")).asCurrency().raw(), 123456);
    QVERIFY(t.fieldByName(QStringLiteral("PMPF")).isNull());
    QVERIFY(m_db->tableDef(QStringLiteral("Itens")).index(QStringLiteral("PMPF")));
    // Altering needs the table closed everywhere.
    try {
        m_db->alterTable(QStringLiteral("Itens"), itensDef());
        QFAIL("alter of an open table");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), Err::TableInUse);
    }
}

void TestEngine::versionUpgrade()
{
    TableDef d;
    d.name = QStringLiteral("Velha");
    d.fields = {{QStringLiteral("A"), FieldType::Integer}};
    m_db->createTable(d, QStringLiteral("3.00"));
    m_db->execSql(QStringLiteral("INSERT INTO Velha (A) VALUES (5)"));
    QCOMPARE(m_db->tableVersion(QStringLiteral("Velha")), QStringLiteral("3.00"));
    m_db->upgradeTable(QStringLiteral("Velha"));
    QCOMPARE(m_db->tableVersion(QStringLiteral("Velha")), QStringLiteral("4.00"));
    Query q(m_db.get());
    q.setSql(QStringLiteral("SELECT A FROM Velha"));
    q.open();
    QCOMPARE(q.field(0).asInteger(), 5);
}

void TestEngine::emptyAndDelete()
{
    {
        Table n(m_db.get(), QStringLiteral("Notas"));
        n.open();
        for (int i = 0; i < 3; ++i) {
            n.append();
            n.post();
        }
    }
    m_db->emptyTable(QStringLiteral("Notas"));
    Table n(m_db.get(), QStringLiteral("Notas"));
    n.open();
    QVERIFY(n.isEmpty());
    n.close();
    m_db->deleteTable(QStringLiteral("Notas"));
    QVERIFY(!m_db->tableExists(QStringLiteral("Notas")));
    if (!m_store.onServer)
        QVERIFY(!QFile::exists(m_store.filePath(QStringLiteral("Notas.idx"))));
    try {
        n.open();
        QFAIL("opened a deleted table");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), Err::TableNotFound);
    }
}

void TestEngine::memTableAndSnapshot()
{
    MemTable m(QStringLiteral("MemTeste"));
    m.definition().fields = {{QStringLiteral("Id"), FieldType::Integer},
        {QStringLiteral("Nome"), FieldType::String, 20}, {QStringLiteral("Valor"), FieldType::Currency}};
    m.definition().indexes = {{QStringLiteral("Nome"), QStringLiteral("Nome"), 0}};
    m.setIndexName(QStringLiteral("Nome"));
    m.open();
    for (int i = 0; i < 5; ++i) {
        m.append();
        m.fieldByName(QStringLiteral("Id")).setAsInteger(i);
        m.fieldByName(QStringLiteral("Nome")).setAsString(QStringLiteral("nome %1").arg(4 - i));
        m.fieldByName(QStringLiteral("Valor")).setAsCurrency(Currency::fromRaw(12345 * i));
        m.post();
    }
    m.first();
    QCOMPARE(m.fieldByName(QStringLiteral("Id")).asInteger(), 4);
    const QString snap = m_store.filePath(QStringLiteral("Medic.Tab"));
    m.saveToFile(snap);
    m.close(); // emptied
    m.open();
    QVERIFY(m.isEmpty());
    m.loadFromFile(snap);
    QCOMPARE(m.recordCount(), 5);
    m.last();
    QCOMPARE(m.fieldByName(QStringLiteral("Valor")).asCurrency().raw(), 0);
    // SQL over the memory database.
    Query q(&memoryDatabase());
    q.setSql(QStringLiteral("SELECT SUM(Valor) FROM MemTeste WHERE UPPER(Nome) LIKE 'NOME%'"));
    q.open();
    QCOMPARE(q.field(0).asCurrency().raw(), 12345 * 10);
    q.close();
    // A damaged snapshot is refused and the rows stay.
    QFile f(snap);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.resize(f.size() / 2);
    f.close();
    QVERIFY_THROWS_EXCEPTION(EngineError, m.loadFromFile(snap));
    QCOMPARE(m.recordCount(), 5);
    m.close();
}

void TestEngine::currencyTextEntry()
{
    Table t(m_db.get(), QStringLiteral("Itens"));
    t.open();
    t.append();
    Field &v = t.fieldByName(QStringLiteral("ValorNF"));
    v.setText(QStringLiteral("1.234,5678"));
    QCOMPARE(v.asCurrency().raw(), 12345678);
    QCOMPARE(v.text(), QStringLiteral("1234,5678"));
    QVERIFY_THROWS_EXCEPTION(EngineError, v.setText(QStringLiteral("abc")));
    v.setText(QString());
    QVERIFY(v.isNull());
    t.cancel();
}

#ifndef STB_TEST_SERVER
void TestEngine::readBatch()
{
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    addItem(itens, 1, 1, QStringLiteral("a"), "1");
    Database other;
    m_store.attach(other);
    auto count = [](Database &db) {
        Query q(&db);
        q.setSql(QStringLiteral("SELECT COUNT(*) FROM Itens"));
        q.open();
        return q.field(0).asInteger();
    };
    auto readTxOpen = [this] { return sqlite3_get_autocommit(m_db->connection()) == 0; };
    {
        const ReadBatch batch(*m_db);
        QVERIFY(!readTxOpen()); // nothing read yet: no lock taken
        QCOMPARE(count(*m_db), 1);
        QVERIFY(readTxOpen());
        // A write inside the batch is committed at once, not at the batch's end.
        addItem(itens, 1, 2, QStringLiteral("b"), "2");
        QVERIFY(!readTxOpen());
        QCOMPARE(count(other), 2);
        QCOMPARE(count(*m_db), 2);
        QVERIFY(readTxOpen());
        // So does a transaction begun inside it.
        m_db->startTransaction();
        addItem(itens, 1, 3, QStringLiteral("c"), "3");
        m_db->commit(true);
        QCOMPARE(count(other), 3);
        {
            const ReadBatch inner(*m_db); // nested: the outer batch goes on
        }
        QCOMPARE(count(*m_db), 3);
        QVERIFY(readTxOpen());
    }
    QVERIFY(!readTxOpen());
    QVERIFY(!m_db->inReadBatch());
    // No shared lock is left behind: another connection writes at once.
    Table otherItens(&other, QStringLiteral("Itens"));
    otherItens.open();
    addItem(otherItens, 2, 1, QStringLiteral("d"), "4");
    QCOMPARE(count(*m_db), 4);
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::synchronousCommits_data()
{
    QTest::addColumn<int>("when"); // 0 never turned off, 1 before the tables attach, 2 after
    QTest::addColumn<int>("expected"); // PRAGMA synchronous: 2 FULL, 0 OFF
    QTest::newRow("durable by default") << 0 << 2;
    QTest::newRow("scratch, set before attaching") << 1 << 0;
    QTest::newRow("scratch, set once attached") << 2 << 0;
}
#endif

#ifndef STB_TEST_SERVER
void TestEngine::synchronousCommits()
{
    QFETCH(int, when);
    QFETCH(int, expected);
    if (when == 1)
        m_db->setSynchronous(false);
    Table itens(m_db.get(), QStringLiteral("Itens"));
    Table notas(m_db.get(), QStringLiteral("Notas"));
    itens.open();
    notas.open();
    if (when == 2)
        m_db->setSynchronous(false);
    {
        Transaction tx(*m_db);
        addItem(itens, 1, 1, QStringLiteral("A"), "1.50");
        notas.append();
        notas.fieldByName(QStringLiteral("NroNF")).setAsString(QStringLiteral("7"));
        notas.post();
        tx.commit();
    }
    // The main file (the transaction's super-journal) and every table file.
    for (const char *schema : {"main", "Itens", "Notas"}) {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QByteArray("PRAGMA \"") + schema + "\".synchronous";
        QCOMPARE(sqlite3_prepare_v2(m_db->connection(), sql.constData(), -1, &st, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        const int got = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        QVERIFY2(got == expected, schema);
    }
    // Either way the commit stored the rows for the next connection.
    itens.close();
    notas.close();
    m_db->close();
    Database again;
    m_store.attach(again);
    Table lidos(&again, QStringLiteral("Itens"));
    lidos.open();
    QCOMPARE(lidos.recordCount(), 1);
    QCOMPARE(lidos.fieldByName(QStringLiteral("ValorNF")).asCurrency().raw(), std::int64_t(15000));
}
#endif

void TestEngine::detailFollowsAfterDetach()
{
    Table notas(m_db.get(), QStringLiteral("Notas"));
    notas.setIndexName(QStringLiteral("Calc"));
    notas.open();
    for (const char *nro : {"1", "2"}) {
        notas.append();
        notas.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(1);
        notas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::fromLatin1(nro));
        notas.post();
    }
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    addItem(itens, 1, 1, QStringLiteral("A"), "1.00");
    addItem(itens, 2, 1, QStringLiteral("B"), "2.00");
    addItem(itens, 2, 2, QStringLiteral("C"), "3.00");
    itens.close();
    itens.setMasterSource(&notas, QStringLiteral("IdNota"), QStringLiteral("IdNota"));
    itens.open();
    for (int i = 0; i < 11; ++i) {
        TableDef d;
        d.name = QStringLiteral("T%1").arg(i);
        d.fields = {{QStringLiteral("V"), FieldType::Integer}};
        m_db->createTable(d);
    }
    const QStringList linhas[] = {{QStringLiteral("A")}, {QStringLiteral("B"), QStringLiteral("C")}};
    // The detail reads its rows again for every master row with the statement
    // it keeps; when its table file was let go meanwhile (more tables used
    // than stay attached) the statement is made again, never reused.
    for (int volta = 0; volta < 4; ++volta) {
        const int linha = volta % 2;
        notas.setRecNo(linha + 1);
        QCOMPARE(notas.fieldByName(QStringLiteral("NroNF")).asString(), QString::number(linha + 1));
        QCOMPARE(column(itens, QStringLiteral("DescricaoNF")), linhas[linha]);
        for (int i = 0; i < 11; ++i) {
            Table t(m_db.get(), QStringLiteral("T%1").arg(i));
            t.open();
        }
    }
}

void TestEngine::newRecordDefaults_data()
{
    QTest::addColumn<QString>("defaults");
    QTest::addColumn<QString>("sets");
    QTest::addColumn<bool>("reopen");
    QTest::addColumn<QString>("stored"); // IdNota|NroItem|DescricaoNF|ValorNF|FEM

    QTest::newRow("amount and flag start at zero") << "ValorNF=0;FEM=0"
                                                   << "IdNota=1;NroItem=1" << false << "1|1|null|0.0000|False";
    QTest::newRow("a value set wins") << "ValorNF=0;FEM=0"
                                      << "IdNota=1;NroItem=1;ValorNF=12.5;FEM=1" << false << "1|1|null|12.5000|True";
    QTest::newRow("text and key defaults") << "IdNota=7;DescricaoNF=Peça"
                                           << "NroItem=2" << false << "7|2|Peça|null|null";
    QTest::newRow("none") << ""
                          << "IdNota=1;NroItem=1" << false << "1|1|null|null|null";
    QTest::newRow("gone once closed") << "ValorNF=0;FEM=0"
                                      << "IdNota=1;NroItem=1" << true << "1|1|null|null|null";
}

void TestEngine::newRecordDefaults()
{
    QFETCH(QString, defaults);
    QFETCH(QString, sets);
    QFETCH(bool, reopen);
    QFETCH(QString, stored);
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    for (const auto &[f, v] : valuesOf(itens, defaults))
        itens.setNewRecordDefault(*f, v);
    if (reopen) {
        itens.close();
        itens.open();
    }
    // Every record of the series starts so, and each is stored as written.
    for (int serie = 0; serie < 2; ++serie) {
        itens.append();
        for (const auto &[f, v] : valuesOf(itens, sets))
            f->setRaw(v);
        if (serie)
            itens.fieldByName(QStringLiteral("NroItem")).setAsInteger(serie + 10);
        itens.post();
    }
    Query q(m_db.get());
    q.sql() << QStringLiteral("SELECT IdNota, NroItem, DescricaoNF, ValorNF, FEM FROM Itens ORDER BY NroItem");
    q.open();
    const QStringList rows = rowsText(q).split(QLatin1Char(';'));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], stored);
    QCOMPARE(rows[1].section(QLatin1Char('|'), 2), stored.section(QLatin1Char('|'), 2));
}

void TestEngine::queryRunAgain_data()
{
    // Steps on one query: "sql:<text>", "line:<n>:<text>", "param:<name>=<n>",
    // "type:<column>=<type>"; "run" opens, records the rows and the first
    // column's type, and closes.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<QStringList>("serverRuns"); // where the server differs; empty: as runs

    const QString porNota
        = QStringLiteral("sql:SELECT ValorNF, NroItem FROM Itens\nWHERE IdNota = :Nota\nORDER BY NroItem");
    QTest::newRow("a parameter's new value")
        << QStringList {porNota, "param:Nota=1", "run", "param:Nota=2", "run"}
        << QStringList {"10.0000|1;20.0000|2 currency", "5.0000|1 currency"} << QStringList {};
    QTest::newRow("a line replaced") << QStringList {porNota, "param:Nota=1", "run", "line:1:WHERE NroItem = :Nota",
        "run"} << QStringList {"10.0000|1;20.0000|2 currency", "10.0000|1;5.0000|1 currency"}
                                     << QStringList {};
    QTest::newRow("a parameter given after the first run")
        << QStringList {porNota, "run", "param:Nota=2", "run"} << QStringList {" currency", "5.0000|1 currency"}
        << QStringList {};
    QTest::newRow("a type declared after the first run")
        << QStringList {"sql:SELECT SUM(NroItem) AS S FROM Itens WHERE IdNota = :Nota", "param:Nota=1", "run",
               "type:S=currency", "run"}
        << QStringList {"3 largeint", "3.0000 currency"} << QStringList {};
    // An expression's type is judged by each run's first row.
    QTest::newRow("an expression without rows, then with")
        << QStringList {"sql:SELECT SUM(ValorNF) AS S FROM Itens WHERE IdNota = :Nota", "param:Nota=9", "run",
               "param:Nota=1", "run"}
        << QStringList {"null string", "30 float"} // The server types a sum of amounts by the column's type (numeric),
                                                   // with rows or without.
        << QStringList {"null currency", "30.0000 currency"};
}

void TestEngine::queryRunAgain()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, runs);
    QFETCH(QStringList, serverRuns);
    if (m_store.onServer && !serverRuns.isEmpty())
        runs = serverRuns;
    {
        Table itens(m_db.get(), QStringLiteral("Itens"));
        itens.open();
        addItem(itens, 1, 1, QStringLiteral("a"), "10");
        addItem(itens, 1, 2, QStringLiteral("b"), "20");
        addItem(itens, 2, 1, QStringLiteral("c"), "5");
    }
    Query q(m_db.get());
    QStringList got;
    for (const QString &step : steps) {
        const QString arg = step.section(QLatin1Char(':'), 1, -1);
        if (step.startsWith(QLatin1String("sql:"))) {
            q.setSql(arg);
        } else if (step.startsWith(QLatin1String("line:"))) {
            q.sql()[arg.section(QLatin1Char(':'), 0, 0).toInt()] = arg.section(QLatin1Char(':'), 1, -1);
        } else if (step.startsWith(QLatin1String("param:"))) {
            q.paramByName(arg.section(QLatin1Char('='), 0, 0)).setAsInteger(arg.section(QLatin1Char('='), 1).toInt());
        } else if (step.startsWith(QLatin1String("type:"))) {
            q.setFieldType(arg.section(QLatin1Char('='), 0, 0), fieldTypeFromName(arg.section(QLatin1Char('='), 1)));
        } else {
            q.open();
            got << rowsText(q) + QLatin1Char(' ') + fieldTypeName(q.field(0).type());
            q.close();
        }
    }
    QCOMPARE(got, runs);
}

void TestEngine::fieldsFoundAgainAfterReopen()
{
    // Link and lookup fields are found by name once per field set: after
    // either side is opened again they must point at the new fields.
    Table notas(m_db.get(), QStringLiteral("Notas"));
    notas.open();
    for (const char *nro : {"A", "B"}) {
        notas.append();
        notas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::fromLatin1(nro));
        notas.post();
    }
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    addItem(itens, 1, 1, QStringLiteral("um"), "1");
    addItem(itens, 2, 1, QStringLiteral("dois"), "2");
    itens.close();
    itens.setMasterSource(&notas, QStringLiteral("IdNota"), QStringLiteral("IdNota"));
    Field &nroNF = itens.addLookupField(QStringLiteral("XNroNF"), FieldType::String, 10, &notas,
        QStringLiteral("IdNota"), QStringLiteral("NroNF"), QStringLiteral("IdNota"));
    for (int volta = 0; volta < 3; ++volta) {
        if (volta == 1) {
            notas.close();
            notas.open();
        } else if (volta == 2) {
            itens.close();
        }
        itens.open();
        for (int nota = 1; nota <= 2; ++nota) {
            notas.setRecNo(nota);
            QCOMPARE(column(itens, QStringLiteral("DescricaoNF")), QStringList {nota == 1 ? "um" : "dois"});
            QCOMPARE(nroNF.asString(), QString::fromLatin1(nota == 1 ? "A" : "B"));
            itens.append(); // the new row takes the current master's id
            QCOMPARE(itens.fieldByName(QStringLiteral("IdNota")).asInteger(), nota);
            itens.cancel();
        }
    }
}

#ifdef STB_TEST_SERVER
void TestEngine::serverStoppedMidSession()
{
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    addItem(itens, 1, 1, QStringLiteral("antes"), "1");
    QVERIFY(m_db->lockSemaphore(QStringLiteral("Itens"), 3));
    QVERIFY(m_store.server().stop());
    // Every kind of operation reports the lost connection with the engine's code and message.
    auto lost = [](const std::function<void()> &op) {
        try {
            op();
        } catch (const EngineError &e) {
            return e.code() == Err::ConnectionLost
                && e.message().startsWith(QStringLiteral("Conexão com o computador dos dados perdida"));
        }
        return false;
    };
    QVERIFY(lost([&] { itens.refresh(); }));
    QVERIFY(lost([&] { addItem(itens, 1, 2, QStringLiteral("durante"), "2"); }));
    itens.cancel();
    QVERIFY(lost([&] { m_db->startTransaction(); }));
    QVERIFY(!m_db->inTransaction());
    QString error;
    QVERIFY2(m_store.server().restart(&error), qPrintable(error));
    // The next operation connects again as a new session: the table still
    // open here keeps its open, the old session's semaphore is free.
    itens.refresh();
    QCOMPARE(column(itens, QStringLiteral("DescricaoNF")), QStringList {QStringLiteral("antes")});
    addItem(itens, 1, 2, QStringLiteral("depois"), "2");
    QCOMPARE(itens.recordCount(), 2);
    Database other;
    m_store.attach(other);
    QVERIFY(other.lockSemaphore(QStringLiteral("Itens"), 3));
    other.unlockSemaphore(QStringLiteral("Itens"), 3);
    Table exclusive(&other, QStringLiteral("Itens"));
    exclusive.setExclusive(true);
    QVERIFY_THROWS_EXCEPTION(EngineError, exclusive.open());

    // A transaction the server lost with the connection cannot commit: the
    // commit fails and the datasets read the stored rows again.
    m_db->startTransaction();
    addItem(itens, 1, 3, QStringLiteral("perdido"), "3");
    QVERIFY(m_store.server().stop());
    QVERIFY2(m_store.server().restart(&error), qPrintable(error));
    QVERIFY(lost([&] { m_db->commit(); }));
    QVERIFY(!m_db->inTransaction());
    QCOMPARE(itens.recordCount(), 2);
    QCOMPARE(column(itens, QStringLiteral("DescricaoNF")),
        (QStringList {QStringLiteral("antes"), QStringLiteral("depois")}));
}
#endif

void TestEngine::failedPostInsideTransaction()
{
    // A key violation inside a transaction fails that post only: the
    // transaction goes on and commits the rest.
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    Transaction tx(*m_db);
    addItem(itens, 1, 1, QStringLiteral("a"), "1");
    QVERIFY_THROWS_EXCEPTION(EngineError, addItem(itens, 1, 1, QStringLiteral("dup"), "2"));
    itens.cancel();
    addItem(itens, 1, 2, QStringLiteral("b"), "3");
    tx.commit();
    Database other;
    m_store.attach(other);
    Table lidos(&other, QStringLiteral("Itens"));
    lidos.open();
    QCOMPARE(column(lidos, QStringLiteral("DescricaoNF")), (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
}

void TestEngine::queryColumnNames()
{
    {
        Table itens(m_db.get(), QStringLiteral("Itens"));
        itens.open();
        addItem(itens, 1, 1, QStringLiteral("a"), "1");
    }
    // A table column under its field's name, an alias as the statement
    // writes it (the server answers in lower case); "*" shows only the
    // table's fields.
    Query q(m_db.get());
    q.setSql(QStringLiteral("SELECT nroitem AS NumItem, DESCRICAONF, ValorNF * 2 AS Dobro FROM Itens"));
    q.open();
    QStringList names;
    for (int i = 0; i < q.fieldCount(); ++i)
        names << q.field(i).name();
    QCOMPARE(names, (QStringList {QStringLiteral("NumItem"), QStringLiteral("DescricaoNF"), QStringLiteral("Dobro")}));
    QCOMPARE(q.fieldByName(QStringLiteral("descricaonf")).asString(), QStringLiteral("a"));
    QCOMPARE(q.field(2).asCurrency(), Currency::fromInt(2));
    q.close();
    q.setSql(QStringLiteral("SELECT * FROM Itens"));
    q.open();
    QCOMPARE(q.fieldCount(), itensDef().fields.size());
    QCOMPARE(q.field(1).type(), FieldType::SmallInt);
    QCOMPARE(q.field(1).name(), QStringLiteral("NroItem"));
}

#ifdef STB_TEST_SERVER
void TestEngine::serverReadBatchSnapshot()
{
    Table itens(m_db.get(), QStringLiteral("Itens"));
    itens.open();
    addItem(itens, 1, 1, QStringLiteral("a"), "1");
    Database other;
    m_store.attach(other);
    Table otherItens(&other, QStringLiteral("Itens"));
    otherItens.open();
    auto count = [](Database &db) {
        Query q(&db);
        q.setSql(QStringLiteral("SELECT COUNT(*) FROM Itens"));
        q.open();
        return q.field(0).asInteger();
    };
    {
        const ReadBatch batch(*m_db);
        QCOMPARE(count(*m_db), 1);
        addItem(otherItens, 2, 1, QStringLiteral("b"), "2");
        QCOMPARE(count(*m_db), 1); // the batch reads one state of the data
        addItem(itens, 1, 2, QStringLiteral("c"), "3"); // its own write ends the snapshot
        QCOMPARE(count(*m_db), 3);
        Transaction tx(*m_db); // and so does a transaction
        addItem(itens, 1, 3, QStringLiteral("d"), "4");
        tx.commit();
        QCOMPARE(count(other), 4);
    }
    QVERIFY(!m_db->inReadBatch());
    addItem(otherItens, 2, 2, QStringLiteral("e"), "5");
    QCOMPARE(count(*m_db), 5);
}
#endif

#ifdef STB_TEST_SERVER
void TestEngine::serverRepairChecksTheCatalogue()
{
    {
        Table itens(m_db.get(), QStringLiteral("Itens"));
        itens.open();
        addItem(itens, 1, 1, QStringLiteral("a"), "1");
        addItem(itens, 1, 2, QStringLiteral("b"), "2");
    }
    const RepairResult sound = m_db->repairTable(QStringLiteral("Itens"));
    QCOMPARE(sound.rows, 2);
    QVERIFY(sound.complete);
    // An index dropped behind the program's back is reported, not ignored.
    m_db->execSql(QStringLiteral("DROP INDEX itens_descr"));
    try {
        m_db->repairTable(QStringLiteral("Itens"));
        QFAIL("repair of a table without its index");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), Err::TableDamaged);
        QVERIFY2(e.message().contains(QStringLiteral("Descr")), qPrintable(e.message()));
    }
}
#endif

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
