#include "platform/inifile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using stb::IniFile;

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void missingFile();
    void typedValues_data();
    void typedValues();
    void writtenText_data();
    void writtenText();
    void caseInsensitive();
    void layoutKeptOnRewrite();
    void listsAndErase();
    void windows1252();
    void garbage();
    void twoObjectsOnOnePath();
    void otherProcessWrite();
    void concurrentProcesses();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("test.ini")); }
    void writeFile(const QByteArray &bytes);
    QByteArray fileBytes() const;
    bool runChild(const QStringList &args, QProcess *process = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestIniFile::writeFile(const QByteArray &bytes)
{
    QFile f(path());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray TestIniFile::fileBytes() const
{
    QFile f(path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestIniFile::missingFile()
{
    IniFile ini(path());
    QCOMPARE(ini.readString("Sistema", "Unidade", "def"), QStringLiteral("def"));
    QCOMPARE(ini.readInteger("Sistema", "MRNormal", 50), 50);
    QCOMPARE(ini.readFloat("ListaMedic", "Positiva", 38.24), 38.24);
    QCOMPARE(ini.readBool("Sistema", "Reindex", true), true);
    QCOMPARE(ini.readDate("Medicamento", "DataTabela", QDate(2020, 1, 2)), QDate(2020, 1, 2));
    QVERIFY(!ini.sectionExists("Sistema"));
    QVERIFY(!ini.valueExists("Sistema", "Reindex"));
    QVERIFY(ini.readSections().isEmpty());
    QVERIFY(ini.eraseSection("Sistema"));
    QVERIFY(ini.deleteKey("Sistema", "Reindex"));
    QVERIFY(!QFile::exists(path())); // neither reads nor void changes create the file

    QVERIFY(ini.writeBool("Sistema", "Reindex", false));
    QCOMPARE(QString::fromUtf8(fileBytes()), QStringLiteral("[Sistema]\nReindex=0\n"));
}

// Each typed reader on a stored text: its value, or the caller's default
// (checked with two different defaults) when the text is malformed.
void TestIniFile::typedValues_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected"); // invalid: malformed

    const QVariant bad;
    QTest::newRow("int") << "int"
                         << "42" << QVariant(42);
    QTest::newRow("int blanks and sign") << "int"
                                         << "  -42  " << QVariant(-42);
    QTest::newRow("int $hex") << "int"
                              << "$1A" << QVariant(26);
    QTest::newRow("int 0x hex") << "int"
                                << "0x1a" << QVariant(26);
    QTest::newRow("int $FFFFFFFF wraps") << "int"
                                         << "$FFFFFFFF" << QVariant(-1);
    QTest::newRow("int overflow") << "int"
                                  << "2147483648" << bad;
    QTest::newRow("int letters") << "int"
                                 << "abc" << bad;
    QTest::newRow("int trailing junk") << "int"
                                       << "12x" << bad;
    QTest::newRow("int decimal") << "int"
                                 << "1,5" << bad;
    QTest::newRow("int empty") << "int"
                               << "" << bad;
    QTest::newRow("float comma") << "float"
                                 << "38,24" << QVariant(38.24);
    QTest::newRow("float point") << "float"
                                 << "38.24" << QVariant(38.24);
    QTest::newRow("float grouped") << "float"
                                   << "1.234,5" << QVariant(1234.5);
    QTest::newRow("float integer") << "float"
                                   << "12" << QVariant(12.0);
    QTest::newRow("float letters") << "float"
                                   << "abc" << bad;
    QTest::newRow("float two commas") << "float"
                                      << "1,2,3" << bad;
    QTest::newRow("float empty") << "float"
                                 << "" << bad;
    QTest::newRow("bool 1") << "bool"
                            << "1" << QVariant(true);
    QTest::newRow("bool 0") << "bool"
                            << "0" << QVariant(false);
    QTest::newRow("bool any non-zero") << "bool"
                                       << "-1" << QVariant(true);
    QTest::newRow("bool word") << "bool"
                               << "true" << bad;
    QTest::newRow("bool empty") << "bool"
                                << "" << bad;
    QTest::newRow("date") << "date"
                          << "05/03/2024" << QVariant(QDate(2024, 3, 5));
    QTest::newRow("date short") << "date"
                                << "5/3/2024" << QVariant(QDate(2024, 3, 5));
    QTest::newRow("date impossible") << "date"
                                     << "31/02/2024" << bad;
    QTest::newRow("date ISO") << "date"
                              << "2024-03-05" << bad;
    QTest::newRow("date empty") << "date"
                                << "" << bad;
    QTest::newRow("string quoted") << "string"
                                   << "\"  padded  \"" << QVariant("  padded  ");
    QTest::newRow("string single-quoted") << "string"
                                          << "'x'" << QVariant("x");
    QTest::newRow("string one quote") << "string"
                                      << "\"open" << QVariant("\"open");
    QTest::newRow("string empty") << "string"
                                  << "" << QVariant("");
}

void TestIniFile::typedValues()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    writeFile("[S]\nK = " + text.toUtf8() + "  \n");
    IniFile ini(path());
    for (int pass = 0; pass < 2; ++pass) {
        QVariant got, def;
        if (type == QLatin1String("int")) {
            def = pass ? 7 : -7;
            got = ini.readInteger("S", "K", def.toInt());
        } else if (type == QLatin1String("float")) {
            def = pass ? 7.5 : -7.5;
            got = ini.readFloat("S", "K", def.toDouble());
        } else if (type == QLatin1String("bool")) {
            def = pass == 1;
            got = ini.readBool("S", "K", def.toBool());
        } else if (type == QLatin1String("date")) {
            def = pass ? QDate(2001, 1, 1) : QDate(1999, 9, 9);
            got = ini.readDate("S", "K", def.toDate());
        } else {
            def = QStringLiteral("def");
            got = ini.readString("S", "K", def.toString());
        }
        QCOMPARE(got, expected.isValid() ? expected : def);
    }
}

// The text each typed writer puts in the file, read back by the matching reader.
void TestIniFile::writtenText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("float integral") << QVariant(12.0) << "K=12";
    QTest::newRow("float comma") << QVariant(38.24) << "K=38,24";
    QTest::newRow("float shortest round trip") << QVariant(0.1 + 0.2) << "K=0,30000000000000004";
    QTest::newRow("float negative") << QVariant(-1234.5) << "K=-1234,5";
    QTest::newRow("bool true") << QVariant(true) << "K=1";
    QTest::newRow("bool false") << QVariant(false) << "K=0";
    QTest::newRow("integer") << QVariant(-7) << "K=-7";
    QTest::newRow("date") << QVariant(QDate(2024, 3, 5)) << "K=05/03/2024";
    QTest::newRow("string plain") << QVariant("a b") << "K=a b";
    QTest::newRow("string outer blanks quoted") << QVariant("  x  ") << "K=\"  x  \"";
    QTest::newRow("string own quotes kept") << QVariant("\"q\"") << "K=\"\"q\"\"";
    QTest::newRow("string line breaks") << QVariant("a\r\nb") << "K=a  b";
}

void TestIniFile::writtenText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, line);
    IniFile ini(path());
    IniFile reader(path());
    switch (value.typeId()) {
    case QMetaType::Double:
        QVERIFY(ini.writeFloat("S", "K", value.toDouble()));
        QCOMPARE(reader.readFloat("S", "K", -1), value.toDouble());
        break;
    case QMetaType::Bool:
        QVERIFY(ini.writeBool("S", "K", value.toBool()));
        QCOMPARE(reader.readBool("S", "K", !value.toBool()), value.toBool());
        break;
    case QMetaType::Int:
        QVERIFY(ini.writeInteger("S", "K", value.toInt()));
        QCOMPARE(reader.readInteger("S", "K", 0), value.toInt());
        break;
    case QMetaType::QDate:
        QVERIFY(ini.writeDate("S", "K", value.toDate()));
        QCOMPARE(reader.readDate("S", "K"), value.toDate());
        break;
    default:
        QVERIFY(ini.writeString("S", "K", value.toString()));
        if (!value.toString().contains(QLatin1Char('\n')))
            QCOMPARE(reader.readString("S", "K"), value.toString());
    }
    QCOMPARE(QString::fromUtf8(fileBytes()), QStringLiteral("[S]\n") + line + QLatin1Char('\n'));
}

void TestIniFile::caseInsensitive()
{
    writeFile("[Sistema]\r\nReindex=0\r\n");
    IniFile ini(path());
    QCOMPARE(ini.readBool("SISTEMA", "reindex", true), false);
    QVERIFY(ini.sectionExists("sistema"));
    QVERIFY(ini.valueExists("sIsTeMa", "REINDEX"));
    QVERIFY(ini.writeBool("sistema", "REINDEX", true));
    // One key, spelled as before, and the file keeps its line ends.
    QCOMPARE(fileBytes(), QByteArray("[Sistema]\r\nReindex=1\r\n"));
}

void TestIniFile::layoutKeptOnRewrite()
{
    writeFile("; header comment\n"
              "stray line before sections\n"
              "[A]\n"
              "k1 = v1\n"
              "no equals sign\n"
              "\n"
              "; about B\n"
              "[B]\n"
              "x=1\n");
    IniFile ini(path());
    QCOMPARE(ini.readSection("A"), QStringList {"k1"}); // the line without "=" is no key
    QVERIFY(ini.writeString("A", "k2", "v2"));
    QVERIFY(ini.writeString("C", "y", "2"));
    QVERIFY(ini.writeString("A", "k1", "changed"));
    QCOMPARE(QString::fromUtf8(fileBytes()),
        QStringLiteral("; header comment\n"
                       "stray line before sections\n"
                       "[A]\n"
                       "k1=changed\n"
                       "k2=v2\n"
                       "no equals sign\n"
                       "\n"
                       "; about B\n"
                       "[B]\n"
                       "x=1\n"
                       "\n"
                       "[C]\n"
                       "y=2\n"));
}

void TestIniFile::listsAndErase()
{
    IniFile ini(path());
    for (const char *section : {"Zeta", "Alpha", "Mid"})
        for (const char *key : {"z", "a", "m"})
            QVERIFY(ini.writeString(section, key, "v"));
    QCOMPARE(ini.readSections(), (QStringList {"Zeta", "Alpha", "Mid"}));
    QCOMPARE(ini.readSection("alpha"), (QStringList {"z", "a", "m"}));

    QVERIFY(ini.deleteKey("Alpha", "A"));
    QCOMPARE(ini.readSection("Alpha"), (QStringList {"z", "m"}));
    QVERIFY(ini.valueExists("Zeta", "a")); // same key elsewhere untouched

    QVERIFY(ini.eraseSection("ZETA"));
    QCOMPARE(ini.readSections(), (QStringList {"Alpha", "Mid"}));
    QVERIFY(!ini.valueExists("Zeta", "z"));
    QCOMPARE(ini.readSection("Zeta"), QStringList());
    QCOMPARE(QString::fromUtf8(fileBytes()), QStringLiteral("[Alpha]\nz=v\nm=v\n\n[Mid]\nz=v\na=v\nm=v\n"));
}

void TestIniFile::windows1252()
{
    // "Atenção" and curly quotes as a Windows editor would save them.
    writeFile("[Mensagens]\r\nA=Aten\xE7\xE3o\r\nB=\x93x\x94\r\n");
    IniFile ini(path());
    QCOMPARE(ini.readString("Mensagens", "A"), QStringLiteral("Atenção"));
    QCOMPARE(ini.readString("Mensagens", "B"), QStringLiteral("\u201Cx\u201D"));
    QVERIFY(ini.writeString("Mensagens", "C", QStringLiteral("é")));
    // Rewritten as UTF-8, the old values intact.
    QCOMPARE(fileBytes(),
        QByteArray("[Mensagens]\r\nA=Aten\xC3\xA7\xC3\xA3o\r\nB=\xE2\x80\x9Cx\xE2\x80\x9D\r\nC=\xC3\xA9\r\n"));
    QCOMPARE(IniFile(path()).readString("Mensagens", "A"), QStringLiteral("Atenção"));
}

void TestIniFile::garbage()
{
    QByteArray junk("[Ok]\nkey=value\n");
    for (int i = 0; i < 4096; ++i)
        junk.append(static_cast<char>((i * 7919) & 0xFF));
    junk += "\n[Long]\n" + QByteArray(1 << 20, 'x') + "=long\n]=[\n=novalue\n[unclosed\n";
    junk += QByteArray("\0\0=\0\n", 5);
    junk.append(QByteArray("\n[Ok]\nafter=1\n"));
    writeFile(junk);
    IniFile ini(path());
    QCOMPARE(ini.readString("Ok", "key"), QStringLiteral("value"));
    QCOMPARE(ini.readString("Ok", "after"), QStringLiteral("1"));
    QVERIFY(ini.readSections().contains(QStringLiteral("Long")));
    QVERIFY(ini.writeInteger("Ok", "new", 5));
    QCOMPARE(IniFile(path()).readInteger("Ok", "new"), 5);
    QCOMPARE(IniFile(path()).readString("Ok", "after"), QStringLiteral("1"));
}

void TestIniFile::twoObjectsOnOnePath()
{
    IniFile a(path());
    IniFile b(path());
    // Same-size values in quick succession: only the file's identity and
    // timestamps tell the versions apart.
    for (int i = 0; i < 50; ++i) {
        QVERIFY(a.writeInteger("S", "K", i % 10));
        QCOMPARE(b.readInteger("S", "K", -1), i % 10);
        QVERIFY(b.writeInteger("S", "K", (i + 5) % 10));
        QCOMPARE(a.readInteger("S", "K", -1), (i + 5) % 10);
    }
}

bool TestIniFile::runChild(const QStringList &args, QProcess *process)
{
    QProcess local;
    QProcess *p = process ? process : &local;
    p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/tst_inifile_child"),
        QStringList {path(), QStringLiteral("S")} + args);
    if (process)
        return p->waitForStarted(10000);
    return p->waitForFinished(60000) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
}

void TestIniFile::otherProcessWrite()
{
    IniFile ini(path());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(ini.writeString("S", "K", QString::number(i)));
        QCOMPARE(ini.readInteger("S", "K", -1), i);
        QVERIFY(runChild({QStringLiteral("K=%1").arg(i + 5)}));
        QCOMPARE(ini.readInteger("S", "K", -1), i + 5);
    }
}

void TestIniFile::concurrentProcesses()
{
    constexpr int Count = 200;
    QStringList argsA, argsB;
    for (int i = 0; i < Count; ++i) {
        argsA << QStringLiteral("a%1=%1").arg(i);
        argsB << QStringLiteral("b%1=%1").arg(i);
    }
    QProcess a, b;
    QVERIFY(runChild(argsA, &a));
    QVERIFY(runChild(argsB, &b));
    QVERIFY(a.waitForFinished(300000));
    QVERIFY(b.waitForFinished(300000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    IniFile ini(path());
    QCOMPARE(ini.readSection("S").size(), 2 * Count);
    for (int i = 0; i < Count; ++i) {
        QCOMPARE(ini.readInteger("S", QStringLiteral("a%1").arg(i), -1), i);
        QCOMPARE(ini.readInteger("S", QStringLiteral("b%1").arg(i), -1), i);
    }
}

QTEST_GUILESS_MAIN(TestIniFile)

#include "tst_inifile.moc"
