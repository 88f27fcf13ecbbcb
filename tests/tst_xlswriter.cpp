// The .xls writer read back by an independent reader: sheet names, text with
// its font, numbers with their kinds (plain, currency, percent), accented and
// non-Latin text, limits, and a workbook large enough to need extra FAT
// bookkeeping sectors.
#include "platform/xlswriter.h"
#include "tests/xlsread.h"

#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using stbtest::readXls;
using stbtest::xlsCell;

class TestXlsWriter : public QObject {
    Q_OBJECT

private slots:
    void cells_data();
    void cells();
    void sheetNames_data();
    void sheetNames();
    void largeWorkbook();
    void limitsAndErrors();

private:
    QTemporaryDir m_tmp;
};

void TestXlsWriter::cells_data()
{
    QTest::addColumn<QString>("kind"); // how the cell is written
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QString>("readKind");
    QTest::addColumn<QVariant>("readValue");
    QTest::addColumn<QString>("formatHas");
    QTest::newRow("text") << "text" << QVariant(QStringLiteral("DIPIRONA")) << "text"
                          << QVariant(QStringLiteral("DIPIRONA")) << "General";
    QTest::newRow("accented text") << "text" << QVariant(QStringLiteral("DESCRIÇÃO ÁGUA")) << "text"
                                   << QVariant(QStringLiteral("DESCRIÇÃO ÁGUA")) << "General";
    QTest::newRow("text beyond Latin-1") << "text" << QVariant(QStringLiteral("Ω µg €")) << "text"
                                         << QVariant(QStringLiteral("Ω µg €")) << "General";
    QTest::newRow("text cut at 255") << "text" << QVariant(QString(300, QLatin1Char('x'))) << "text"
                                     << QVariant(QString(255, QLatin1Char('x'))) << "General";
    QTest::newRow("empty text") << "text" << QVariant(QString()) << "text" << QVariant(QString()) << "General";
    QTest::newRow("number") << "number" << QVariant(1234.5) << "number" << QVariant(1234.5) << "General";
    QTest::newRow("currency") << "currency" << QVariant(19.99) << "number" << QVariant(19.99) << "R$";
    QTest::newRow("negative currency") << "currency" << QVariant(-0.01) << "number" << QVariant(-0.01) << "#,##0.00";
    QTest::newRow("percent 18") << "percent" << QVariant(18.0) << "number" << QVariant(0.18) << "0.00%";
    QTest::newRow("percent 12") << "percent" << QVariant(12.0) << "number" << QVariant(0.12) << "%";
}

void TestXlsWriter::cells()
{
    QFETCH(QString, kind);
    QFETCH(QVariant, input);
    QFETCH(QString, readKind);
    QFETCH(QVariant, readValue);
    QFETCH(QString, formatHas);
    XlsWorkbook book;
    const int bold = book.addFont({QStringLiteral("Arial"), 10, true});
    const int s = book.addSheet(QStringLiteral("Folha"));
    QVERIFY(book.setText(s, 0, 0, QStringLiteral("CABEÇALHO"), bold));
    bool ok = false;
    if (kind == QLatin1String("text"))
        ok = book.setText(s, 3, 2, input.toString());
    else if (kind == QLatin1String("number"))
        ok = book.setNumber(s, 3, 2, input.toDouble());
    else if (kind == QLatin1String("currency"))
        ok = book.setCurrency(s, 3, 2, input.toDouble());
    else
        ok = book.setPercent(s, 3, 2, input.toDouble());
    QVERIFY(ok);
    const QString path = m_tmp.filePath(QStringLiteral("c.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    QString error;
    const QJsonArray sheets = readXls(path, &error);
    QVERIFY2(!sheets.isEmpty(), qPrintable(error));
    const QJsonObject sheet = sheets.at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("name")).toString(), QStringLiteral("Folha"));
    const QJsonObject head = xlsCell(sheet, 0, 0);
    QCOMPARE(head.value(QStringLiteral("value")).toString(), QStringLiteral("CABEÇALHO"));
    QCOMPARE(head.value(QStringLiteral("font")).toString(), QStringLiteral("Arial"));
    QVERIFY(head.value(QStringLiteral("bold")).toBool());
    const QJsonObject c = xlsCell(sheet, 3, 2);
    QCOMPARE(c.value(QStringLiteral("kind")).toString(), readKind);
    if (readKind == QLatin1String("text"))
        QCOMPARE(c.value(QStringLiteral("value")).toString(), readValue.toString());
    else
        QCOMPARE(c.value(QStringLiteral("value")).toDouble(), readValue.toDouble());
    QVERIFY2(c.value(QStringLiteral("format")).toString().contains(formatHas),
        qPrintable(c.value(QStringLiteral("format")).toString()));
    QCOMPARE(c.value(QStringLiteral("font")).toString(), QStringLiteral("Arial"));
    QVERIFY(!c.value(QStringLiteral("bold")).toBool());
}

void TestXlsWriter::sheetNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("accepted");
    QTest::newRow("one") << QStringList {"ABC Farma"} << QStringList {"ABC Farma"};
    QTest::newRow("two with accents") << QStringList {"CEST", "Código NBM"} << QStringList {"CEST", "Código NBM"};
    QTest::newRow("repeated and bad names dropped")
        << QStringList {"A", "a", "x/y", "", QString(32, QLatin1Char('n')), "B"} << QStringList {"A", "B"};
}

void TestXlsWriter::sheetNames()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, accepted);
    XlsWorkbook book;
    for (const QString &n : names)
        if (book.addSheet(n) >= 0)
            book.setText(book.sheetCount() - 1, 0, 0, n);
    const QString path = m_tmp.filePath(QStringLiteral("n.xls"));
    QVERIFY(book.save(path));
    QString error;
    const QJsonArray sheets = readXls(path, &error);
    QVERIFY2(!sheets.isEmpty(), qPrintable(error));
    QStringList read;
    for (const QJsonValue &v : sheets) {
        read << v.toObject().value(QStringLiteral("name")).toString();
        QCOMPARE(xlsCell(v.toObject(), 0, 0).value(QStringLiteral("value")).toString(), read.last());
    }
    QCOMPARE(read, accepted);
}

void TestXlsWriter::largeWorkbook()
{
    // Over 7 MB of cells: the FAT needs more sectors than the header lists.
    XlsWorkbook book;
    const int s = book.addSheet(QStringLiteral("Grande"));
    for (int r = 0; r < 40000; ++r) {
        book.setText(s, r, 0, QStringLiteral("Ω descrição longa do medicamento número %1 com texto").arg(r));
        book.setText(s, r, 1, QStringLiteral("LABORATÓRIO Ω %1").arg(r % 97));
        book.setCurrency(s, r, 2, r / 100.0);
        book.setPercent(s, r, 3, 18);
    }
    const QString path = m_tmp.filePath(QStringLiteral("g.xls"));
    QVERIFY(book.save(path));
    QVERIFY(QFileInfo(path).size() > 7 * 1024 * 1024);
    QString error;
    const QJsonArray sheets = readXls(path, &error);
    QVERIFY2(!sheets.isEmpty(), qPrintable(error));
    const QJsonObject sheet = sheets.at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("rows")).toInt(), 40000);
    QCOMPARE(xlsCell(sheet, 39999, 2).value(QStringLiteral("value")).toDouble(), 399.99);
    QCOMPARE(xlsCell(sheet, 39999, 1).value(QStringLiteral("value")).toString(), QStringLiteral("LABORATÓRIO Ω 35"));
}

void TestXlsWriter::limitsAndErrors()
{
    XlsWorkbook book;
    QVERIFY(!book.save(m_tmp.filePath(QStringLiteral("vazio.xls"))));
    const int s = book.addSheet(QStringLiteral("S"));
    QVERIFY(!book.setText(s, XlsWorkbook::MaxRows, 0, QStringLiteral("x")));
    QVERIFY(!book.setNumber(s, 0, XlsWorkbook::MaxColumns, 1));
    QVERIFY(!book.setCurrency(s + 1, 0, 0, 1));
    QVERIFY(book.setText(s, XlsWorkbook::MaxRows - 1, XlsWorkbook::MaxColumns - 1, QStringLiteral("canto")));
    QVERIFY(!book.save(m_tmp.filePath(QStringLiteral("nao/existe/x.xls"))));
    QVERIFY(!book.errorString().isEmpty());
    const QString path = m_tmp.filePath(QStringLiteral("canto.xls"));
    QVERIFY(book.save(path));
    QString error;
    const QJsonArray sheets = readXls(path, &error);
    QVERIFY2(!sheets.isEmpty(), qPrintable(error));
    QCOMPARE(xlsCell(sheets.at(0).toObject(), 65535, 255).value(QStringLiteral("value")).toString(),
        QStringLiteral("canto"));
}

QTEST_GUILESS_MAIN(TestXlsWriter)
#include "tst_xlswriter.moc"
