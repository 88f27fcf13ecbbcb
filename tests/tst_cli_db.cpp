// "stbrelva-cli db migrate" between data folders and a private server: round
// trips of the pristine tables and of a folder of 2,000 calculations give
// back every row, the printed comparison shows equal counts and sums, and a
// failure midway (the server stopped, a table in the way) or a refused
// target leaves the target as it was.
#include "core/schema.h"
#include "platform/db/dataset.h"
#include "platform/db/pgconn.h"
#include "platform/db/pgmigrate.h"
#include "platform/db/pgschema.h"
#include "platform/db/tablemeta.h"
#include "platform/db/transaction.h"
#include "tests/support/pgserver.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace stb;
using namespace stb::db;

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(STB_CLI_PATH), QStringList {QStringLiteral("db")} + args);
    CliRun r;
    if (!p.waitForFinished(100000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(fi.filePath());
        if (fi.isDir())
            QDir().mkpath(target);
        else
            QFile::copy(fi.filePath(), target);
    }
}

QString valueText(const Value &v)
{
    if (isNull(v))
        return QStringLiteral("null");
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 17);
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    return QString::fromLatin1(std::get<QByteArray>(v).toHex());
}

// Every table of a folder and of its ARM sub-folder: definition, version and
// rows (sorted), by lower-case name.
QMap<QString, QStringList> dump(const QString &folder)
{
    QMap<QString, QStringList> out;
    for (const QString &dir : QStringList {folder, folder + QStringLiteral("/ARM")}) {
        if (!QFileInfo(dir).isDir())
            continue;
        Database db;
        db.setDirectory(dir);
        for (const QString &name : db.tableNames()) {
            const TableDef def = db.tableDef(name);
            QStringList rows;
            Table t(&db, name);
            t.setReadOnly(true);
            t.open();
            for (t.first(); !t.eof(); t.next()) {
                QStringList cols;
                for (const FieldDef &f : def.fields)
                    cols << valueText(t.fieldByName(f.name).raw());
                rows << cols.join(QLatin1Char('|'));
            }
            rows.sort();
            rows.prepend(QString::fromUtf8(definitionJson(def)) + QLatin1Char(' ') + db.tableVersion(name));
            out.insert(name.toLower(), rows);
        }
    }
    return out;
}

int tablesOnServer(const QString &address)
{
    PgConnection c(address);
    return c.exec(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'stbrelva'")).string(0, 0).toInt();
}

int engineCode(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const EngineError &e) {
        return e.code();
    }
    return 0;
}

} // namespace

class TestCliDb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pristineRoundTrip();
    void generatedRoundTrip();
    void refusals_data();
    void refusals();
    void tableInTheWay();
    void serverStoppedWritingToServer();
    void serverStoppedWritingToFolder();

private:
    // The round trip of a folder through a new database; returns the CLI's
    // output of the first leg.
    QString roundTrip(const QString &folder, const QString &database);

    stbtest::PgServer m_server;
    QTemporaryDir m_tmp;
    QString m_pristine; // a copy of the pristine tables
    QString m_pristineDb; // the server database they were moved into
};

void TestCliDb::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    QVERIFY(QFileInfo::exists(QStringLiteral(STB_PRISTINE_DIR "/Brelva.dat")));
    m_pristine = m_tmp.filePath(QStringLiteral("Pristine"));
    copyFolder(QStringLiteral(STB_PRISTINE_DIR), m_pristine);
}

QString TestCliDb::roundTrip(const QString &folder, const QString &database)
{
    QString error;
    const QString address = m_server.createDatabase(database, &error);
    if (address.isEmpty())
        return QStringLiteral("createdb: ") + error;
    const CliRun there = cli({QStringLiteral("migrate"), folder, address});
    if (there.code != 0)
        return QStringLiteral("to server: ") + there.err;
    const QString back = folder + QStringLiteral(".volta");
    const CliRun again = cli({QStringLiteral("migrate"), address, back});
    if (again.code != 0)
        return QStringLiteral("to folder: ") + again.err;
    if (!again.out.contains(QStringLiteral("Migração concluída")) || again.out.contains(QStringLiteral("DIFERENTES")))
        return QStringLiteral("second comparison: ") + again.out;
    const auto a = dump(folder), b = dump(back);
    if (a.keys() != b.keys())
        return QStringLiteral("tables differ: %1 / %2").arg(a.keys().join(u','), b.keys().join(u','));
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        if (it.value() != b.value(it.key()))
            return QStringLiteral("rows of %1 differ").arg(it.key());
    return there.out;
}

void TestCliDb::pristineRoundTrip()
{
    const QString out = roundTrip(m_pristine, QStringLiteral("pristine"));
    QVERIFY2(out.contains(QStringLiteral("Migração concluída")), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("DIFERENTES")), qPrintable(out));
    // Each table of the folder and of ARM is compared, with its currency sums.
    for (const QString &table : dump(m_pristine).keys())
        QVERIFY2(out.contains(QLatin1Char('\n') + table, Qt::CaseInsensitive)
                || out.contains(QStringLiteral("ARM/") + table, Qt::CaseInsensitive),
            qPrintable(table));
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("\nBrelva: linhas (\\d+) = \\1; MVA1 ([\\d.]+) = \\2;"))),
        qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("ARM/ARM: linhas 0 = 0")), qPrintable(out));
    m_pristineDb = m_server.address(QStringLiteral("pristine"));
}

void TestCliDb::generatedRoundTrip()
{
    const QString folder = m_tmp.filePath(QStringLiteral("Gerada"));
    QDir().mkpath(folder);
    {
        Database db;
        db.setDirectory(folder);
        for (const TableDef &d : schema::dataFolderTables())
            db.createTable(d);
        QRandomGenerator rnd(18);
        auto money = [&rnd] { return Currency::fromRaw(rnd.bounded(-10000, 100000000)); };
        Transaction tx(db);
        Table calc(&db, QStringLiteral("Calculos")), notas(&db, QStringLiteral("Notas")),
            itens(&db, QStringLiteral("Itens")), medic(&db, QStringLiteral("ItensMedic"));
        for (Table *t : {&calc, &notas, &itens, &medic})
            t->open();
        int idNota = 0;
        for (int c = 1; c <= 2000; ++c) {
            calc.append();
            calc.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(c);
            calc.fieldByName(QStringLiteral("DataHora"))
                .setAsDateTime(QDateTime(QDate(2026, 1, 1).addDays(c % 365), QTime(c % 24, c % 60, 7, c % 1000)));
            calc.fieldByName(QStringLiteral("CNPJRemet"))
                .setAsString(QStringLiteral("11.222.333/0001-%1").arg(c % 100, 2, 10, QLatin1Char('0')));
            calc.fieldByName(QStringLiteral("Observ"))
                .setAsString(QStringLiteral("Cálculo %1 de D'Água\nsegunda linha").arg(c));
            calc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(c % 3 == 0);
            calc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(1 + c % 4);
            calc.post();
            for (int n = 0; n < 2; ++n) {
                notas.append();
                notas.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(c);
                notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(++idNota);
                notas.fieldByName(QStringLiteral("NroNF")).setAsString(QString::number(idNota));
                notas.fieldByName(QStringLiteral("Frete")).setAsCurrency(money());
                notas.fieldByName(QStringLiteral("DataEmissao")).setAsDate(QDate(2025, 12, 31).addDays(idNota % 400));
                notas.post();
                for (int i = 1; i <= 3; ++i) {
                    itens.append();
                    itens.fieldByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                    itens.fieldByName(QStringLiteral("NroItem")).setAsInteger(i);
                    itens.fieldByName(QStringLiteral("ItemBrelva")).setAsString(QStringLiteral("01.001.00"));
                    for (const char *f : {"ValorNF", "ValorIPI", "MVA", "PMPF"})
                        itens.fieldByName(QString::fromLatin1(f)).setAsCurrency(money());
                    itens.fieldByName(QStringLiteral("AliqICMS")).setAsCurrency(Currency::fromInt(18));
                    itens.post();
                }
                medic.append();
                medic.fieldByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                medic.fieldByName(QStringLiteral("NroItem")).setAsInteger(1);
                medic.fieldByName(QStringLiteral("DebVlMerc")).setAsCurrency(money());
                medic.fieldByName(QStringLiteral("FEM")).setAsBoolean(idNota % 2);
                medic.post();
            }
        }
        tx.commit();
    }
    const QString out = roundTrip(folder, QStringLiteral("gerada"));
    QVERIFY2(out.contains(QStringLiteral("Calculos: linhas 2000 = 2000")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("\nItens: linhas 12000 = 12000; ValorNF ")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("\nItensMedic: linhas 4000 = 4000;")), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("DIFERENTES")), qPrintable(out));
    // The server gives the next invoice id after the copied ones.
    PgConnection c(m_server.address(QStringLiteral("gerada")));
    QCOMPARE(c.exec(QStringLiteral("INSERT INTO notas (idcalculo) VALUES (1) RETURNING idnota")).string(0, 0),
        QStringLiteral("4001"));
}

void TestCliDb::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString busy = m_tmp.filePath(QStringLiteral("Ocupada"));
    QDir().mkpath(busy);
    QFile f(busy + QStringLiteral("/nota.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("conteúdo");
    f.close();
    const QString host = QString::fromLatin1(QUrl::toPercentEncoding(m_server.folder()));
    QTest::newRow("server already holding tables")
        << QStringList {"migrate", m_pristine, m_pristineDb} << "já contém tabelas do sistema";
    QTest::newRow("folder not empty") << QStringList {"migrate", m_pristineDb, busy} << "não está vazia";
    QTest::newRow("empty server") << QStringList {"migrate", m_server.address(QStringLiteral("postgres")),
        m_tmp.filePath(QStringLiteral("Nova"))}
                                  << "não contém tabelas do sistema";
    QTest::newRow("two folders") << QStringList {"migrate", m_pristine, busy} << "uso: db migrate";
    QTest::newRow("password in the address")
        << QStringList {"migrate", m_pristine, QStringLiteral("postgresql://stb:x@%1/pristine").arg(host)}
        << "A senha não pode constar";
    QTest::newRow("missing folder") << QStringList {"migrate", m_tmp.filePath(QStringLiteral("Nenhuma")), m_pristineDb}
                                    << "não existe";
}

void TestCliDb::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const QString busy = m_tmp.filePath(QStringLiteral("Ocupada"));
    const auto serverBefore = tablesOnServer(m_pristineDb);
    const CliRun r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("erro: ")) && r.err.contains(message), qPrintable(r.err));
    QCOMPARE(QDir(busy).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList {QStringLiteral("nota.txt")});
    QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("Nova"))));
    QCOMPARE(tablesOnServer(m_pristineDb), serverBefore);
}

void TestCliDb::tableInTheWay()
{
    // A table of the same name already on the server (not the program's):
    // the copy fails at it after the tables before it were written.
    const QString address = m_server.createDatabase(QStringLiteral("ocupado"));
    {
        PgConnection c(address);
        c.exec(QStringLiteral("CREATE SCHEMA stbrelva"));
        c.exec(QStringLiteral("CREATE TABLE stbrelva.notas (x integer)"));
        c.exec(QStringLiteral("INSERT INTO stbrelva.notas VALUES (7)"));
    }
    const CliRun r = cli({QStringLiteral("migrate"), m_pristine, address});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.out.contains(QStringLiteral("Copiada Calculos")), qPrintable(r.out)); // tables before it went in...
    QVERIFY2(r.err.contains(QStringLiteral("O destino ficou como estava")), qPrintable(r.err));
    // ...and are gone again; the table in the way is untouched.
    PgConnection c(address);
    QCOMPARE(c.exec(QStringLiteral("SELECT string_agg(tablename, ',') FROM pg_tables WHERE schemaname = 'stbrelva'"))
                 .string(0, 0),
        QStringLiteral("notas"));
    QCOMPARE(c.exec(QStringLiteral("SELECT x FROM stbrelva.notas")).string(0, 0), QStringLiteral("7"));
}

void TestCliDb::serverStoppedWritingToServer()
{
    const QString address = m_server.createDatabase(QStringLiteral("parada"));
    int tables = 0;
    const int code = engineCode([&] {
        migrateFolderToServer(m_pristine, address, [&](const QString &, qint64) {
            if (++tables == 3)
                m_server.stop();
        });
    });
    QString error;
    QVERIFY2(m_server.restart(&error), qPrintable(error));
    QCOMPARE(code, int(Err::ConnectionLost));
    QCOMPARE(tablesOnServer(address), 0);
    PgConnection c(address);
    QVERIFY(pgCatalogEntries(c).isEmpty());
    QCOMPARE(c.exec(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = 'stbrelva'")).string(0, 0),
        QStringLiteral("0"));
}

void TestCliDb::serverStoppedWritingToFolder()
{
    const QString target = m_tmp.filePath(QStringLiteral("Interrompida"));
    int tables = 0;
    const int code = engineCode([&] {
        migrateServerToFolder(m_pristineDb, target, [&](const QString &, qint64) {
            if (++tables == 2)
                m_server.stop();
        });
    });
    QString error;
    QVERIFY2(m_server.restart(&error), qPrintable(error));
    QCOMPARE(code, int(Err::ConnectionLost));
    QVERIFY(!QFileInfo::exists(target));
    // Nothing of the half-built folder is left beside it.
    QCOMPARE(QDir(m_tmp.path()).entryList({QStringLiteral("Interrompida*")}, QDir::AllEntries), QStringList {});
}

QTEST_GUILESS_MAIN(TestCliDb)
#include "tst_cli_db.moc"
