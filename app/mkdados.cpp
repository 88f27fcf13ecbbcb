// mkdados: build-time tool that turns the text sources of the reference data
// into the pristine tables shipped in AppDir/Sys/Dados.
//
//   mkdados DATA_DIR OUT_DIR
//
// Every table of the data folder is created in OUT_DIR with its definition;
// the working tables (calculations, invoices, registers...) stay empty, and
// each reference table is filled from DATA_DIR/<table name in lower case>.tsv
// when that file exists, in one transaction per table. OUT_DIR/ARM/ARM.dat is
// created empty. The folder is built beside OUT_DIR and swapped in only when
// complete: a failed run leaves no partial folder and no stale table behind.
//
// Source files: UTF-8, one row per line, cells separated by tabs. The first
// line names the columns (fields of the table, in any order and case); fields
// not named stay null, and so does an empty cell. Blank lines and lines
// beginning with "#" are skipped. Cell values: integers plain; booleans "0" or
// "1"; amounts with "." as decimal separator and at most four decimals; dates
// "yyyy-mm-dd"; date-times "yyyy-mm-dd hh:mm:ss"; texts as they are, within
// the field's width.
//
// Any malformed input stops the tool with "mkdados: FILE:LINE: message" on
// stderr and exit code 1.
#include "core/schema.h"
#include "platform/currency.h"
#include "platform/db/database.h"
#include "platform/db/dataset.h"
#include "platform/db/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace stb;
using namespace stb::db;

namespace {

// A fault in the input, reported with its place.
struct InputError {
    QString file;
    int line = 0; // 0: the file as a whole
    QString message;
};

[[noreturn]] void fail(const QString &file, int line, const QString &message)
{
    throw InputError {file, line, message};
}

struct Cell {
    int field = -1; // index in the table definition
    QVariant value; // null QVariant: null field
};

struct Row {
    int line = 0;
    std::vector<Cell> cells;
};

struct Source {
    TableDef def;
    QString path;
    std::vector<Row> rows;
};

// Columns whose values identify a row: the program looks rows up by them, so
// the sources must not repeat them even where no unique index enforces it.
QList<QStringList> identifyingColumns(const QString &table)
{
    static const QHash<QString, QList<QStringList>> keys = {
        {QStringLiteral("brelva"),
            {{QStringLiteral("ID")}, {QStringLiteral("ITEM"), QStringLiteral("EX"), QStringLiteral("SUBITEM")}}},
        {QStringLiteral("pmpf"), {{QStringLiteral("Vigencia")}}},
        {QStringLiteral("bebidas"), {{QStringLiteral("Internal")}}},
        {QStringLiteral("racoespet"), {{QStringLiteral("Internal")}}},
        {QStringLiteral("tec"), {{QStringLiteral("CODIGONCM")}}},
        {QStringLiteral("produtosnbm"), {{QStringLiteral("NBM"), QStringLiteral("Descricao")}}},
    };
    return keys.value(table.toLower());
}

QVariant parseCell(const FieldDef &f, const QString &text, const QString &file, int line)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d+$"));
    static const QRegularExpression amount(QStringLiteral("^[+-]?\\d+(\\.\\d{1,4})?$"));
    auto bad = [&](const QString &what) -> QVariant {
        fail(file, line, QStringLiteral("%1: \"%2\" is not %3").arg(f.name, text, what));
    };
    switch (f.type) {
    case FieldType::String:
        if (text.size() > f.size)
            fail(file, line,
                QStringLiteral("%1: text of %2 characters, the field holds %3")
                    .arg(f.name)
                    .arg(text.size())
                    .arg(f.size));
        return text;
    case FieldType::Memo:
        return text;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc: {
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (!integer.match(text).hasMatch() || !ok)
            return bad(QStringLiteral("an integer"));
        const qint64 lo = f.type == FieldType::SmallInt ? -32768
            : f.type == FieldType::LargeInt             ? INT64_MIN
                                                        : INT32_MIN;
        const qint64 hi = f.type == FieldType::SmallInt ? 32767 : f.type == FieldType::LargeInt ? INT64_MAX : INT32_MAX;
        if (v < lo || v > hi || (f.type == FieldType::AutoInc && v < 1))
            return bad(QStringLiteral("within the field's range"));
        return QVariant::fromValue(v);
    }
    case FieldType::Currency: {
        const std::optional<Currency> v = amount.match(text).hasMatch() ? Currency::parsePlain(text) : std::nullopt;
        if (!v)
            return bad(QStringLiteral("an amount (\".\" as decimal separator, at most four decimals)"));
        return QVariant::fromValue(*v);
    }
    case FieldType::Float: {
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok)
            return bad(QStringLiteral("a number"));
        return v;
    }
    case FieldType::Boolean:
        if (text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("0"))
            return false;
        return bad(QStringLiteral("a boolean (0 or 1)"));
    case FieldType::Date: {
        const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            return bad(QStringLiteral("a date (yyyy-mm-dd)"));
        return d;
    }
    case FieldType::DateTime: {
        const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            return bad(QStringLiteral("a date-time (yyyy-mm-dd hh:mm:ss)"));
        return dt;
    }
    case FieldType::Blob:
    case FieldType::Unknown:
        break;
    }
    fail(file, line, QStringLiteral("%1: fields of this type cannot be loaded from text").arg(f.name));
}

Source readSource(const TableDef &def, const QString &path)
{
    Source src {def, path, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, 0, QStringLiteral("cannot read the file (%1)").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        fail(path, 0, QStringLiteral("not valid UTF-8 text"));

    const QStringList lines = text.split(QLatin1Char('\n'));
    std::vector<int> columns; // field index of each column
    const QList<QStringList> keys = identifyingColumns(def.name);
    std::vector<QHash<QString, int>> seen(static_cast<size_t>(keys.size()));
    for (int i = 0; i < lines.size(); ++i) {
        QString l = lines[i];
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        const int lineNo = i + 1;
        if (l.trimmed().isEmpty() || l.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cells = l.split(QLatin1Char('\t'));
        if (columns.empty()) {
            for (const QString &name : cells) {
                const int fi = def.fieldIndex(name.trimmed());
                if (fi < 0)
                    fail(path, lineNo, QStringLiteral("column \"%1\" is not a field of table %2").arg(name, def.name));
                for (int c : columns)
                    if (c == fi)
                        fail(path, lineNo, QStringLiteral("column \"%1\" appears twice").arg(name));
                columns.push_back(fi);
            }
            for (const QStringList &key : keys)
                for (const QString &k : key)
                    if (std::find(columns.begin(), columns.end(), def.fieldIndex(k)) == columns.end())
                        fail(path, lineNo, QStringLiteral("column \"%1\" is missing").arg(k));
            continue;
        }
        if (cells.size() != static_cast<qsizetype>(columns.size()))
            fail(path, lineNo,
                QStringLiteral("%1 cells, the header has %2 columns").arg(cells.size()).arg(columns.size()));
        Row row;
        row.line = lineNo;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const FieldDef &f = def.fields[columns[static_cast<size_t>(c)]];
            Cell cell;
            cell.field = columns[static_cast<size_t>(c)];
            if (!cells[c].isEmpty())
                cell.value = parseCell(f, cells[c], path, lineNo);
            row.cells.push_back(cell);
        }
        for (qsizetype k = 0; k < keys.size(); ++k) {
            QStringList parts;
            for (const QString &name : keys[k])
                for (const Cell &cell : row.cells)
                    if (def.fields[cell.field].name.compare(name, Qt::CaseInsensitive) == 0)
                        parts << (cell.value.isNull() ? QStringLiteral("(empty)") : cell.value.toString());
            const QString key = parts.join(QLatin1Char('/'));
            QHash<QString, int> &firstLine = seen[static_cast<size_t>(k)];
            if (const auto it = firstLine.constFind(key); it != firstLine.constEnd())
                fail(path, lineNo,
                    QStringLiteral("%1 %2 repeats line %3").arg(keys[k].join(QLatin1Char('/')), key).arg(*it));
            firstLine.insert(key, lineNo);
        }
        src.rows.push_back(std::move(row));
    }
    if (columns.empty())
        fail(path, 0, QStringLiteral("no header line"));
    return src;
}

void setField(Field &field, const QVariant &v)
{
    switch (field.type()) {
    case FieldType::Currency:
        field.setAsCurrency(v.value<Currency>());
        break;
    case FieldType::Boolean:
        field.setAsBoolean(v.toBool());
        break;
    case FieldType::Date:
        field.setAsDate(v.toDate());
        break;
    case FieldType::DateTime:
        field.setAsDateTime(v.toDateTime());
        break;
    case FieldType::Float:
        field.setAsFloat(v.toDouble());
        break;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::AutoInc:
        field.setAsInteger(v.toLongLong());
        break;
    default:
        field.setAsString(v.toString());
        break;
    }
}

void load(Database &db, const Source &src)
{
    Table table(&db, src.def.name);
    table.open();
    int line = 0;
    try {
        Transaction tx(db); // a failed row leaves the table as it was
        for (const Row &row : src.rows) {
            line = row.line;
            table.append();
            for (const Cell &cell : row.cells)
                if (!cell.value.isNull())
                    setField(table.fieldByName(src.def.fields[cell.field].name), cell.value);
            table.post();
        }
        tx.commit();
    } catch (const EngineError &e) {
        if (table.state() != DataSet::State::Browse)
            table.cancel();
        fail(src.path, line, e.message());
    }
    table.close();
}

// Leaves only table files in a built folder (the engine's own connection file
// and any journal are not part of the pristine copy).
void keepOnlyTableFiles(const QString &dir)
{
    QDir d(dir);
    for (const QFileInfo &fi : d.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString ext = fi.suffix().toLower();
        if (ext != QLatin1String("dat") && ext != QLatin1String("idx"))
            QFile::remove(fi.absoluteFilePath());
    }
}

int run(const QString &dataDir, const QString &outDir)
{
    if (!QFileInfo(dataDir).isDir())
        fail(dataDir, 0, QStringLiteral("not a folder"));

    // Read and check every source before anything is written.
    const QList<TableDef> tables = schema::dataFolderTables();
    std::vector<Source> sources;
    QStringList known;
    for (const TableDef &def : tables) {
        const QString name = def.name.toLower() + QStringLiteral(".tsv");
        known << name;
        const QString path = QDir(dataDir).filePath(name);
        if (QFileInfo::exists(path))
            sources.push_back(readSource(def, path));
    }
    for (const QString &name : QDir(dataDir).entryList({QStringLiteral("*.tsv")}, QDir::Files))
        if (!known.contains(name.toLower()))
            fail(QDir(dataDir).filePath(name), 0, QStringLiteral("no table of the data folder has this name"));

    // Build beside the target, then swap.
    const QString target = QDir::cleanPath(QDir(outDir).absolutePath());
    const QString building = target + QStringLiteral(".new");
    const QString previous = target + QStringLiteral(".old");
    QDir(building).removeRecursively();
    QDir(previous).removeRecursively();
    if (!QDir().mkpath(building))
        fail(building, 0, QStringLiteral("cannot create the folder"));
    {
        Database db;
        db.setDirectory(building);
        for (const TableDef &def : tables)
            db.createTable(def);
        for (const Source &src : sources)
            load(db, src);
        db.close();
    }
    const QString armDir = QDir(building).filePath(QStringLiteral("ARM"));
    if (!QDir().mkpath(armDir))
        fail(armDir, 0, QStringLiteral("cannot create the folder"));
    {
        Database arm(QStringLiteral("ARM"));
        arm.setDirectory(armDir);
        arm.createTable(schema::arm());
        arm.close();
    }
    keepOnlyTableFiles(building);
    keepOnlyTableFiles(armDir);

    if (QFileInfo::exists(target) && !QDir().rename(target, previous))
        fail(target, 0, QStringLiteral("cannot replace the folder"));
    if (!QDir().rename(building, target))
        fail(target, 0, QStringLiteral("cannot move the new folder into place"));
    QDir(previous).removeRecursively();

    size_t rows = 0;
    for (const Source &src : sources)
        rows += src.rows.size();
    std::fprintf(stdout, "mkdados: %d tables, %d rows from %d sources into %s\n", static_cast<int>(tables.size()) + 1,
        static_cast<int>(rows), static_cast<int>(sources.size()), target.toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: mkdados DATA_DIR OUT_DIR\n");
        return 2;
    }
    try {
        return run(args[1], args[2]);
    } catch (const InputError &e) {
        const QString where = e.line > 0 ? QStringLiteral("%1:%2").arg(e.file).arg(e.line) : e.file;
        std::fprintf(stderr, "mkdados: %s: %s\n", where.toUtf8().constData(), e.message.toUtf8().constData());
    } catch (const EngineError &e) {
        std::fprintf(stderr, "mkdados: %s\n", e.message().toUtf8().constData());
    }
    QDir(QDir::cleanPath(QDir(args[2]).absolutePath()) + QStringLiteral(".new")).removeRecursively();
    return 1;
}
