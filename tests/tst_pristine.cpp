// The pristine data the installation ships (AppDir/Sys/Dados and
// AppDir/STBrelva2.ini, built from data/ by mkdados): table definitions and
// versions, the annex headings and rows the look-ups rely on, valid document
// numbers in the special-regime register, the settings sections and their
// formats, and mkdados refusing malformed sources.
#include "core/schema.h"
#include "platform/db/database.h"
#include "platform/db/dataset.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace stb;
using namespace stb::db;

namespace {

const QString kPristineDir = QStringLiteral(STB_PRISTINE_DIR);
const QString kIniFile = QStringLiteral(STB_PRISTINE_INI);
const QString kMkdados = QStringLiteral(STB_MKDADOS);

// ---- document check digits, written from the rules, not from the program ----

// 14 digits of a CNPJ in its punctuated form "00.000.000/0000-00".
bool cnpjValid(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{2}\\.\\d{3}\\.\\d{3}/\\d{4}-\\d{2}$"));
    if (!shape.match(text).hasMatch())
        return false;
    QList<int> d;
    for (QChar c : text)
        if (c.isDigit())
            d << c.digitValue();
    int sum = 0;
    for (int v : d)
        sum += v;
    if (sum == 0)
        return false;
    const auto check = [&d](int count, int firstWeight) {
        int s = 0;
        int w = firstWeight;
        for (int i = 0; i < count; ++i) {
            s += d[i] * w;
            w = w == 2 ? 9 : w - 1;
        }
        const int r = 11 - s % 11;
        return r >= 10 ? 0 : r;
    };
    return check(12, 5) == d[12] && check(13, 6) == d[13];
}

// 13 digits of a state registration in its punctuated form "000.000.000.0000".
bool ieValid(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{3}\\.\\d{3}\\.\\d{3}\\.\\d{4}$"));
    if (!shape.match(text).hasMatch())
        return false;
    QList<int> d;
    for (QChar c : text)
        if (c.isDigit())
            d << c.digitValue();
    // First digit: the municipality's three digits are followed by an implied
    // zero, then weights alternate 1, 2 with the digits of each product added.
    const int w1[11] = {1, 2, 1, 1, 2, 1, 2, 1, 2, 1, 2};
    int s1 = 0;
    for (int i = 0; i < 11; ++i) {
        const int p = d[i] * w1[i];
        s1 += p / 10 + p % 10;
    }
    const int c1 = s1 % 10 == 0 ? 0 : 10 - s1 % 10;
    const int w2[12] = {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    int s2 = 0;
    for (int i = 0; i < 12; ++i)
        s2 += d[i] * w2[i];
    int c2 = 11 - s2 % 11;
    if (c2 >= 10)
        c2 = 0;
    return c1 == d[11] && c2 == d[12];
}

bool copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir src(from);
    for (const QFileInfo &fi : src.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(fi.fileName());
        if (fi.isDir() ? !copyFolder(fi.absoluteFilePath(), target) : !QFile::copy(fi.absoluteFilePath(), target))
            return false;
    }
    return true;
}

// The rows of a table: each row as field name (upper case) -> field.
template<typename F> void forEachRow(Database &db, const QString &table, F f)
{
    Table t(&db, table);
    t.setReadOnly(true);
    t.open();
    for (t.first(); !t.eof(); t.next())
        f(t);
    t.close();
}

QString str(Table &t, const char *field) { return t.fieldByName(QString::fromLatin1(field)).asString(); }

// "dd/mm/yyyy/" at the start of a dated value; the rest in `rest`.
bool datedValue(const QString &value, QString *rest)
{
    const QStringList parts = value.split(QLatin1Char('/'));
    if (parts.size() < 4)
        return false;
    bool okD = false, okM = false, okY = false;
    const QDate date(parts[2].toInt(&okY), parts[1].toInt(&okM), parts[0].toInt(&okD));
    if (!okD || !okM || !okY || !date.isValid())
        return false;
    *rest = parts.mid(3).join(QLatin1Char('/'));
    return true;
}

double number(const QString &text, bool *ok)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return t.toDouble(ok);
}

// "$k1$k2": the keys referred to, or empty when the value is not a reference list.
QStringList references(const QString &value)
{
    if (!value.startsWith(QLatin1Char('$')))
        return {};
    return value.mid(1).split(QLatin1Char('$'), Qt::SkipEmptyParts);
}

// Checks a rate message: "question::rate" or "text@captions@@rates"; an empty
// text when well formed, else what is wrong.
QString rateMessageFault(const QString &message)
{
    const qsizetype at = message.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        const qsizetype dbl = message.indexOf(QStringLiteral("@@"));
        if (dbl < 0 || dbl <= at)
            return QStringLiteral("no \"@@\" after the captions");
        const QString captions = message.mid(at + 1, dbl - at - 1);
        const QString rates = message.mid(dbl + 2);
        if (!captions.endsWith(QLatin1Char('|')) || !rates.endsWith(QLatin1Char('|')))
            return QStringLiteral("lists must end with \"|\"");
        const QStringList c = captions.chopped(1).split(QLatin1Char('|'));
        const QStringList r = rates.chopped(1).split(QLatin1Char('|'));
        if (c.size() != r.size() || c.size() < 2 || c.size() > 4)
            return QStringLiteral("%1 captions for %2 rates").arg(c.size()).arg(r.size());
        for (const QString &rate : r) {
            bool ok = false;
            if (number(rate, &ok) <= 0 || !ok)
                return QStringLiteral("rate \"%1\"").arg(rate);
        }
        return {};
    }
    const qsizetype colons = message.indexOf(QStringLiteral("::"));
    if (colons < 0)
        return QStringLiteral("neither \"::\" nor \"@\"");
    bool ok = false;
    if (number(message.mid(colons + 2, 5), &ok) <= 0 || !ok)
        return QStringLiteral("rate after \"::\"");
    return {};
}

} // namespace

class TestPristine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void folderHoldsOnlyTables();
    void tableDefinitions_data();
    void tableDefinitions();
    void rowCounts();
    void annexHeadings();
    void annexRows();
    void specialRegimes();
    void pmpfGrids();
    void productCodes();
    void settingsSections();
    void settingsFormats();
    void settingsReferToData();
    void mkdadosRejects_data();
    void mkdadosRejects();
    void failedRunKeepsPreviousFolder();

private:
    QTemporaryDir m_dir;
    QString m_copy;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<IniFile> m_ini;
};

void TestPristine::initTestCase()
{
    QVERIFY2(QFileInfo(kPristineDir).isDir(), qPrintable(kPristineDir));
    QVERIFY(QFileInfo::exists(kIniFile));
    // The engine writes its connection file into the folder it opens: work on a copy.
    m_copy = m_dir.filePath(QStringLiteral("Dados"));
    QVERIFY(copyFolder(kPristineDir, m_copy));
    m_db = std::make_unique<Database>();
    m_db->setDirectory(m_copy);
    m_ini = std::make_unique<IniFile>(kIniFile);
}

void TestPristine::folderHoldsOnlyTables()
{
    QStringList expected;
    for (const TableDef &def : schema::dataFolderTables())
        expected << def.name + QStringLiteral(".dat") << def.name + QStringLiteral(".idx");
    expected.sort();
    QStringList files = QDir(kPristineDir).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    QCOMPARE(files, expected);
    QCOMPARE(QDir(kPristineDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList {QStringLiteral("ARM")});
    QStringList arm = QDir(kPristineDir + QStringLiteral("/ARM")).entryList(QDir::Files | QDir::Hidden);
    arm.sort();
    QCOMPARE(arm, (QStringList {QStringLiteral("ARM.dat"), QStringLiteral("ARM.idx")}));
}

void TestPristine::tableDefinitions_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("table");
    for (const TableDef &def : schema::dataFolderTables())
        QTest::newRow(qPrintable(def.name)) << QString() << def.name;
    QTest::newRow("ARM") << QStringLiteral("ARM") << QStringLiteral("ARM");
}

void TestPristine::tableDefinitions()
{
    QFETCH(QString, folder);
    QFETCH(QString, table);
    Database armDb(QStringLiteral("ARM"));
    Database &db = folder.isEmpty() ? *m_db : armDb;
    if (!folder.isEmpty())
        armDb.setDirectory(QDir(m_copy).filePath(folder));
    QVERIFY(db.tableExists(table));
    QCOMPARE(db.tableVersion(table), QStringLiteral("4.00"));
    const TableDef want = schema::byName(table);
    const TableDef have = db.tableDef(table);
    QCOMPARE(have.name, want.name);
    QCOMPARE(have.fields.size(), want.fields.size());
    for (qsizetype i = 0; i < want.fields.size(); ++i)
        QVERIFY2(have.fields[i] == want.fields[i], qPrintable(want.fields[i].name));
    QCOMPARE(have.indexes.size(), want.indexes.size());
    for (qsizetype i = 0; i < want.indexes.size(); ++i)
        QVERIFY2(have.indexes[i] == want.indexes[i], qPrintable(want.indexes[i].fields));
}

void TestPristine::rowCounts()
{
    const QStringList filled = {QStringLiteral("Brelva"), QStringLiteral("PMPF"), QStringLiteral("Bebidas"),
        QStringLiteral("RacoesPET"), QStringLiteral("RegimeEspecial"), QStringLiteral("ProdutosNBM"),
        QStringLiteral("CodMerc"), QStringLiteral("TEC"), QStringLiteral("VoceSabia")};
    for (const TableDef &def : schema::dataFolderTables()) {
        int rows = 0;
        forEachRow(*m_db, def.name, [&rows](Table &) { ++rows; });
        if (filled.contains(def.name))
            QVERIFY2(rows > 0, qPrintable(def.name + QStringLiteral(" is empty")));
        else
            QVERIFY2(rows == 0, qPrintable(def.name + QStringLiteral(" must ship empty")));
    }
}

void TestPristine::annexHeadings()
{
    Query q(m_db.get());
    q.setSql(QStringLiteral("SELECT ITEM, DESCRICAO FROM BRELVA WHERE AMBITO = 0 AND ITEM < 99"));
    q.open();
    QSet<int> items;
    for (q.first(); !q.eof(); q.next()) {
        const int item = q.field(0).asInteger();
        const QString text = q.field(1).asString();
        QVERIFY2(!items.contains(item), qPrintable(QString::number(item)));
        items.insert(item);
        // The group look-up keeps 100 characters of the heading.
        QVERIFY2(!text.isEmpty() && text.size() <= 100, qPrintable(text));
    }
    QCOMPARE(q.recordCount(), 28);
    for (int item = 1; item <= 28; ++item)
        QVERIFY(items.contains(item));
}

void TestPristine::annexRows()
{
    static const QRegularExpression cestShape(QStringLiteral("^\\d{2}\\.\\d{3}\\.\\d{2}$"));
    static const QRegularExpression ncmShape(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}$"));
    // Scope codes other than 1 (everywhere) exist for the refusals of the item
    // dialog, each on its own annex item.
    const QHash<int, int> scopeItem = {{2, 6}, {3, 15}, {4, 17}, {5, 10}};
    QSet<int> ids;
    QSet<QString> codes;
    QSet<int> scopes;
    forEachRow(*m_db, QStringLiteral("Brelva"), [&](Table &t) {
        const int item = t.fieldByName(QStringLiteral("ITEM")).asInteger();
        const int ex = t.fieldByName(QStringLiteral("EX")).asInteger();
        const int sub = t.fieldByName(QStringLiteral("SUBITEM")).asInteger();
        const int id = t.fieldByName(QStringLiteral("ID")).asInteger();
        const int scope = t.fieldByName(QStringLiteral("AMBITO")).asInteger();
        const QString where = QStringLiteral("ID %1").arg(id);
        QVERIFY2(id > 0 && !ids.contains(id), qPrintable(where + QStringLiteral(": duplicate or missing ID")));
        ids.insert(id);
        const QString code = QStringLiteral("%1.%2.%3").arg(item).arg(ex).arg(sub);
        QVERIFY2(!codes.contains(code), qPrintable(where + QStringLiteral(": item/extension/sub-item repeated")));
        codes.insert(code);
        QVERIFY2(!str(t, "DESCRICAO").isEmpty(), qPrintable(where));
        if (scope == 0) {
            QVERIFY2(ex == 0 && sub == 0, qPrintable(where + QStringLiteral(": heading with a sub-item")));
            return;
        }
        scopes.insert(scope);
        // Rows are looked up locally only with a sub-item or an extension.
        QVERIFY2(ex != 0 || sub != 0, qPrintable(where));
        QVERIFY2(scope == 1 || scopeItem.value(scope) == item,
            qPrintable(where + QStringLiteral(": scope %1 on item %2").arg(scope).arg(item)));
        const QString cest = str(t, "CEST");
        if (!cest.isEmpty()) {
            QVERIFY2(cestShape.match(cest).hasMatch(), qPrintable(where + QStringLiteral(": CEST ") + cest));
            QVERIFY2(cest.left(2).toInt() == item, qPrintable(where + QStringLiteral(": CEST ") + cest));
            // The code is item, extension and sub-item.
            QVERIFY2(cest.mid(3, 3).toInt() == ex && cest.mid(7, 2).toInt() == sub,
                qPrintable(where + QStringLiteral(": CEST ") + cest));
        }
        // A second margin is what opens the choice; a third without a second is never offered.
        const Currency mva2 = t.fieldByName(QStringLiteral("MVA2")).asCurrency();
        const Currency mva3 = t.fieldByName(QStringLiteral("MVA3")).asCurrency();
        QVERIFY2(!(mva2.isZero() && !mva3.isZero()), qPrintable(where + QStringLiteral(": MVA3 without MVA2")));
        if (!mva2.isZero())
            QVERIFY2(!str(t, "INFOMVA1").isEmpty() && !str(t, "INFOMVA2").isEmpty(), qPrintable(where));
        if (!mva3.isZero())
            QVERIFY2(!str(t, "INFOMVA3").isEmpty(), qPrintable(where));
        for (int i = 1; i <= 15; ++i) {
            const QString ncm = t.fieldByName(QStringLiteral("CODIGONBM%1").arg(i)).asString();
            QVERIFY2(ncm.isEmpty() || ncmShape.match(ncm).hasMatch(), qPrintable(where + QStringLiteral(": ") + ncm));
        }
    });
    // Codes the program names: the fuel item with its own credit and the codes of the credit limit.
    for (const char *code : {"6.1.0", "17.28.0", "17.28.1", "17.65.0", "17.66.0", "17.68.0", "17.69.0", "17.70.0",
             "17.71.0", "17.72.0", "17.73.0", "17.74.0", "17.75.0"})
        QVERIFY2(codes.contains(QString::fromLatin1(code)), code);
    QCOMPARE(scopes, (QSet<int> {1, 2, 3, 4, 5}));
}

void TestPristine::specialRegimes()
{
    bool cnpjOnly = false, ieOnly = false, both = false;
    forEachRow(*m_db, QStringLiteral("RegimeEspecial"), [&](Table &t) {
        const QString cnpj = str(t, "CNPJ");
        const QString ie = str(t, "IE");
        const QString where = str(t, "NOME") + QStringLiteral(" ") + cnpj + QStringLiteral(" ") + ie;
        QVERIFY2(!str(t, "NOME").isEmpty() && !str(t, "PP").isEmpty(), qPrintable(where));
        QVERIFY2(!cnpj.isEmpty() || !ie.isEmpty(), qPrintable(where));
        QVERIFY2(cnpj.isEmpty() || cnpjValid(cnpj), qPrintable(QStringLiteral("CNPJ ") + where));
        QVERIFY2(ie.isEmpty() || ieValid(ie), qPrintable(QStringLiteral("IE ") + where));
        const int regime = t.fieldByName(QStringLiteral("REGIME")).asInteger();
        QVERIFY2(regime >= 1 && regime <= 99, qPrintable(where));
        cnpjOnly |= !cnpj.isEmpty() && ie.isEmpty();
        ieOnly |= cnpj.isEmpty() && !ie.isEmpty();
        both |= !cnpj.isEmpty() && !ie.isEmpty();
    });
    QVERIFY(cnpjOnly && ieOnly && both);
    // The validators themselves: one right and one wrong number of each kind.
    QVERIFY(cnpjValid(QStringLiteral("11.222.333/0001-81")));
    QVERIFY(!cnpjValid(QStringLiteral("11.222.333/0001-82")));
    QVERIFY(!cnpjValid(QStringLiteral("00.000.000/0000-00")));
    QVERIFY(ieValid(QStringLiteral("062.307.904.0081")));
    QVERIFY(!ieValid(QStringLiteral("062.307.904.0091")));
}

void TestPristine::pmpfGrids()
{
    QSet<QString> bebidas;
    QList<QString> bebidasProducts;
    forEachRow(*m_db, QStringLiteral("Bebidas"), [&](Table &t) {
        const QString internal = str(t, "Internal");
        QVERIFY2(internal.size() >= 3 && internal.size() % 2 == 1, qPrintable(internal));
        bebidas.insert(internal);
        if (!t.fieldByName(QStringLiteral("PMPF")).asCurrency().isZero()) {
            QVERIFY2(!str(t, "Embalagem").isEmpty(), qPrintable(internal));
            bebidasProducts << internal;
        }
    });
    // A search shows each product under its headings (the code shortened by 2, 4, 6).
    for (const QString &p : bebidasProducts)
        for (qsizetype n = p.size() - 2; n >= 3; n -= 2)
            QVERIFY2(bebidas.contains(p.left(n)), qPrintable(p));

    QSet<QString> racoes;
    QList<QString> racoesProducts;
    forEachRow(*m_db, QStringLiteral("RacoesPET"), [&](Table &t) {
        const QString internal = str(t, "Internal");
        racoes.insert(internal);
        if (!t.fieldByName(QStringLiteral("PMPF_kg")).asCurrency().isZero()) {
            QVERIFY2(internal.size() > 2, qPrintable(internal));
            QVERIFY2(!str(t, "Embalagem").isEmpty(), qPrintable(internal));
            racoesProducts << internal;
        }
    });
    for (const QString &p : racoesProducts)
        QVERIFY2(racoes.contains(p.left(2)), qPrintable(p));

    int acts = 0;
    forEachRow(*m_db, QStringLiteral("PMPF"), [&](Table &t) {
        ++acts;
        QVERIFY(t.fieldByName(QStringLiteral("Vigencia")).asDate().isValid());
        QVERIFY(!str(t, "AtoCotepe").isEmpty());
        for (const char *f : {"PMPFAlcool", "PMPFGasolina", "PMPFDiesel", "PMPFGlp", "PMPFQav"})
            QVERIFY2(t.fieldByName(QString::fromLatin1(f)).asCurrency() > Currency(), f);
    });
    QVERIFY(acts > 1);
}

void TestPristine::productCodes()
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}$"));
    forEachRow(*m_db, QStringLiteral("ProdutosNBM"), [&](Table &t) {
        const QString nbm = str(t, "NBM");
        // Codes beginning with "00" are removed by a structure upgrade: none ship.
        QVERIFY2(shape.match(nbm).hasMatch() && !nbm.startsWith(QLatin1String("00")), qPrintable(nbm));
        QVERIFY(!str(t, "Descricao").isEmpty());
    });
}

void TestPristine::settingsSections()
{
    const QStringList sections = m_ini->readSections();
    for (const char *s :
        {"AliqICMS", "Prazo.AliqICMS", "MensAliqICMS", "Prazo.MensAliqICMS", "Mensagens", "Prazo.Mensagens",
            "MVAAjustada.Mensagem", "MVAAjustada.MensAliq", "MVAAjustada.Aliq", "MVA.Medic.15.1", "CodMercadoria",
            "Mercadorias", "CodOcorrencia", "RE.Atacadistas", "Sistema", "Medicamento", "Links", "PMPF.PORT"})
        QVERIFY2(sections.contains(QString::fromLatin1(s), Qt::CaseInsensitive), s);
    for (const QString &s : sections)
        QVERIFY2(!m_ini->readSection(s).isEmpty(), qPrintable(s));
    QVERIFY(!m_ini->readString(QStringLiteral("CodOcorrencia"), QStringLiteral("Ocorrencias")).isEmpty());
    QVERIFY(!m_ini->readString(QStringLiteral("Sistema"), QStringLiteral("Portaria.Bebidas")).isEmpty());
    QVERIFY(!m_ini->readString(QStringLiteral("Sistema"), QStringLiteral("Portaria.RacoesPET")).isEmpty());
    static const QRegularExpression month(QStringLiteral(
        "^(JANEIRO|FEVEREIRO|MARÇO|ABRIL|MAIO|JUNHO|JULHO|AGOSTO|SETEMBRO|OUTUBRO|NOVEMBRO|DEZEMBRO)/\\d{4}$"));
    const QString tab = m_ini->readString(QStringLiteral("Medicamento"), QStringLiteral("TabMedic.txt"));
    QVERIFY2(month.match(tab).hasMatch(), qPrintable(tab));
}

void TestPristine::settingsFormats()
{
    const QString aliq = QStringLiteral("AliqICMS");
    for (int item = 1; item <= 28; ++item)
        QVERIFY2(m_ini->valueExists(aliq, QStringLiteral("%1").arg(item, 2, 10, QLatin1Char('0'))),
            qPrintable(QString::number(item)));
    for (const QString &section : {aliq, QStringLiteral("MVAAjustada.Aliq"), QStringLiteral("MVA.Medic.15.1")})
        for (const QString &key : m_ini->readSection(section)) {
            bool ok = false;
            const double v = number(m_ini->readString(section, key), &ok);
            QVERIFY2(ok && v > 0 && v < 1000, qPrintable(section + QStringLiteral("/") + key));
        }
    for (const char *list : {"stPos", "stNeg", "stNeu"})
        for (const char *uf : {"QZ", "UF"})
            for (const char *rate : {"18", "12"}) {
                const QString key = QString::fromLatin1(list) + QString::fromLatin1(uf) + QString::fromLatin1(rate);
                QVERIFY2(m_ini->valueExists(QStringLiteral("MVA.Medic.15.1"), key), qPrintable(key));
            }

    // Dated values: a date that can be built, then a rate or a text.
    for (const char *s : {"Prazo.AliqICMS", "Prazo.MensAliqICMS", "Prazo.Mensagens"}) {
        const QString section = QString::fromLatin1(s);
        for (const QString &key : m_ini->readSection(section)) {
            const QString value = m_ini->readString(section, key);
            const QString where = section + QStringLiteral("/") + key;
            if (section != QLatin1String("Prazo.AliqICMS") && value.startsWith(QLatin1Char('$')))
                continue;
            QString rest;
            QVERIFY2(datedValue(value, &rest), qPrintable(where));
            QVERIFY2(!rest.isEmpty(), qPrintable(where));
            if (section == QLatin1String("Prazo.AliqICMS")) {
                bool ok = false;
                QVERIFY2(number(rest, &ok) > 0 && ok, qPrintable(where));
            } else if (section == QLatin1String("Prazo.MensAliqICMS")) {
                QVERIFY2(rateMessageFault(rest).isEmpty(),
                    qPrintable(where + QStringLiteral(": ") + rateMessageFault(rest)));
            }
        }
    }
    // Rate messages: a question with "::" or a choice with "@".
    for (const char *s : {"MensAliqICMS", "MVAAjustada.MensAliq"}) {
        const QString section = QString::fromLatin1(s);
        for (const QString &key : m_ini->readSection(section)) {
            const QString value = m_ini->readString(section, key);
            if (value.startsWith(QLatin1Char('$')))
                continue;
            QVERIFY2(rateMessageFault(value).isEmpty(),
                qPrintable(section + QStringLiteral("/") + key + QStringLiteral(": ") + rateMessageFault(value)));
        }
    }
    // The parser of the choice itself: two options with trailing "|", not four.
    QVERIFY(rateMessageFault(QStringLiteral("t@a|b|@@7|12|")).isEmpty());
    QVERIFY(!rateMessageFault(QStringLiteral("t@a|b|@@7|12")).isEmpty());
}

void TestPristine::settingsReferToData()
{
    // "$" references name keys that exist.
    const auto checkRefs = [this](const QString &section, const QStringList &lookIn) {
        for (const QString &key : m_ini->readSection(section)) {
            for (const QString &ref : references(m_ini->readString(section, key))) {
                bool found = false;
                for (const QString &s : lookIn)
                    found |= m_ini->valueExists(s, ref);
                QVERIFY2(found, qPrintable(section + QStringLiteral("/") + key + QStringLiteral(" -> ") + ref));
            }
        }
    };
    checkRefs(QStringLiteral("Mensagens"), {QStringLiteral("Prazo.Mensagens"), QStringLiteral("Mensagens")});
    checkRefs(QStringLiteral("Prazo.Mensagens"), {QStringLiteral("Prazo.Mensagens"), QStringLiteral("Mensagens")});
    checkRefs(QStringLiteral("MensAliqICMS"), {QStringLiteral("Prazo.MensAliqICMS"), QStringLiteral("MensAliqICMS")});
    checkRefs(
        QStringLiteral("Prazo.MensAliqICMS"), {QStringLiteral("Prazo.MensAliqICMS"), QStringLiteral("MensAliqICMS")});
    checkRefs(QStringLiteral("MVAAjustada.Mensagem"), {QStringLiteral("MVAAjustada.Mensagem")});

    // Controlled goods: every code of an item has a name, and is in the CodMerc table.
    QSet<int> codMerc;
    forEachRow(*m_db, QStringLiteral("CodMerc"),
        [&codMerc](Table &t) { codMerc.insert(t.fieldByName(QStringLiteral("Codigo")).asInteger()); });
    for (const QString &item : m_ini->readSection(QStringLiteral("CodMercadoria")))
        for (const QString &code : m_ini->readString(QStringLiteral("CodMercadoria"), item).split(QLatin1Char(','))) {
            QVERIFY2(m_ini->valueExists(QStringLiteral("Mercadorias"), code.trimmed()),
                qPrintable(item + QStringLiteral(": ") + code));
            QVERIFY2(codMerc.contains(code.trimmed().toInt()), qPrintable(item + QStringLiteral(": ") + code));
        }

    // Links: addresses, one separator, and "$PMPF$" links that expand.
    const QStringList links = m_ini->readSection(QStringLiteral("Links"));
    QVERIFY(links.contains(QStringLiteral("-")));
    QVERIFY(!m_ini->readString(QStringLiteral("PMPF.PORT"), QStringLiteral("HTTP")).isEmpty());
    int pmpfLinks = 0;
    for (const QString &key : links) {
        if (key == QLatin1String("-"))
            continue;
        QVERIFY2(!key.contains(QLatin1Char('&')), qPrintable(key));
        const QString value = m_ini->readString(QStringLiteral("Links"), key);
        if (value.startsWith(QLatin1String("$PMPF$"))) {
            ++pmpfLinks;
            const QString target = m_ini->readString(QStringLiteral("PMPF.PORT"), value.mid(6, 64));
            QVERIFY2(target.startsWith(QLatin1String("http")), qPrintable(key));
        } else {
            QVERIFY2(value.startsWith(QLatin1String("http")), qPrintable(key));
        }
    }
    QVERIFY(pmpfLinks > 0);
}

void TestPristine::mkdadosRejects_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("where");
    QTest::newRow("amount with comma") << "pmpf.tsv"
                                       << "Vigencia\tAtoCotepe\tPMPFAlcool\n2026-11-16\t44/2026\t4,6120\n"
                                       << "pmpf.tsv:2:";
    QTest::newRow("five decimals") << "pmpf.tsv"
                                   << "Vigencia\tPMPFAlcool\n2026-11-16\t4.61205\n"
                                   << "pmpf.tsv:2:";
    QTest::newRow("impossible date") << "pmpf.tsv"
                                     << "Vigencia\tAtoCotepe\n2026-02-30\t1/2026\n"
                                     << "pmpf.tsv:2:";
    QTest::newRow("missing cell") << "codmerc.tsv"
                                  << "Codigo\tDescricao\n1\tA\n2\n"
                                  << "codmerc.tsv:3:";
    QTest::newRow("unknown column") << "codmerc.tsv"
                                    << "Codigo\tNome\n1\tA\n"
                                    << "codmerc.tsv:1:";
    QTest::newRow("text too long") << "codmerc.tsv"
                                   << QString(QStringLiteral("Codigo\tDescricao\n1\t") + QString(107, QLatin1Char('X'))
                                          + QStringLiteral("\n"))
                                   << "codmerc.tsv:2:";
    QTest::newRow("not a number") << "codmerc.tsv"
                                  << "# codes\nCodigo\tDescricao\n1x\tA\n"
                                  << "codmerc.tsv:3:";
    QTest::newRow("key violation") << "codmerc.tsv"
                                   << "Codigo\tDescricao\n1\tA\n1\tB\n"
                                   << "codmerc.tsv:3:";
    QTest::newRow("repeated annex id") << "brelva.tsv"
                                       << "ITEM\tEX\tSUBITEM\tID\tDESCRICAO\n1\t0\t0\t1\tA\n1\t0\t1\t1\tB\n"
                                       << "brelva.tsv:3:";
    QTest::newRow("bad boolean") << "brelva.tsv"
                                 << "ITEM\tEX\tSUBITEM\tID\tFEM\n1\t0\t1\t1\tS\n"
                                 << "brelva.tsv:2:";
    QTest::newRow("unknown table") << "brelvas.tsv"
                                   << "ITEM\n1\n"
                                   << "brelvas.tsv";
}

void TestPristine::mkdadosRejects()
{
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, where);
    QTemporaryDir tmp;
    const QString data = tmp.filePath(QStringLiteral("data"));
    const QString out = tmp.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(data));
    QFile f(QDir(data).filePath(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content.toUtf8());
    f.close();

    QProcess p;
    p.start(kMkdados, {data, out});
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() != 0, qPrintable(err));
    QVERIFY2(err.startsWith(QStringLiteral("mkdados: ")) && err.contains(where), qPrintable(err));
    QVERIFY(!QFileInfo::exists(out));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral(".new")));
}

void TestPristine::failedRunKeepsPreviousFolder()
{
    QTemporaryDir tmp;
    const QString data = tmp.filePath(QStringLiteral("data"));
    const QString out = tmp.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(data));
    const auto write = [&data](const char *content) {
        QFile f(QDir(data).filePath(QStringLiteral("codmerc.tsv")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    };
    const auto mkdados = [&]() {
        QProcess p;
        p.start(kMkdados, {data, out});
        p.waitForFinished(120000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    write("Codigo\tDescricao\n7\tSETE\n");
    QCOMPARE(mkdados(), 0);
    write("Codigo\tDescricao\n8\tOITO\n8\tOITO\n");
    QVERIFY(mkdados() != 0);

    Database db;
    db.setDirectory(out);
    QStringList names;
    forEachRow(db, QStringLiteral("CodMerc"), [&names](Table &t) { names << str(t, "Descricao"); });
    QCOMPARE(names, QStringList {QStringLiteral("SETE")});
    QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("ARM/ARM.dat"))));
}

QTEST_GUILESS_MAIN(TestPristine)
#include "tst_pristine.moc"
