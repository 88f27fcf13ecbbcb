// stbrelva-cli compute: stores a calculation given as JSON in a temporary
// database through the data module, runs the computation as a report run does,
// and prints every line's amounts and every invoice's amount to collect.
#include "app/cli.h"
#include "app/cli_json.h"

#include "core/datamodule.h"
#include "core/itemcalc.h"
#include "core/messages.h"
#include "core/schema.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/db/transaction.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <stdexcept>

namespace {

using cli::json::Value;
using stb::Currency;
using stb::db::FieldType;

// Bad input: the field path and the reason.
struct InputError {
    QString path;
    QString reason;
};

// One stored row: field name and value, as the engine keeps it.
struct Row {
    std::vector<std::pair<QString, stb::db::Value>> fields;
};

struct Nota {
    Row row;
    QString nroNF;
    bool nroNFNull = true;
    std::vector<Row> itens, itensMedic;
    int idNota = 0;
};

struct Entrada {
    QHash<QString, int> settings; // MRNormal, MREmDobro, MRReducao
    Row calculo;
    int printMR = 0;
    std::vector<Nota> notas;
};

QString child(const QString &path, const QString &key) { return path.isEmpty() ? key : path + QLatin1Char('.') + key; }
QString itemPath(const QString &path, size_t i) { return path + QStringLiteral("[%1]").arg(i); }

[[noreturn]] void bad(const QString &path, const QString &reason) { throw InputError{path, reason}; }

const Value &expectObject(const Value &v, const QString &path)
{
    if (v.type != Value::Type::Object)
        bad(path, QStringLiteral("esperado um objeto, %1").arg(encontrado(v)));
    return v;
}

// Reads one value for a stored field of the given type.
stb::db::Value readField(const stb::db::FieldDef &def, const Value &v, const QString &path)
{
    if (v.isNull())
        return {};
    QString why;
    switch (def.type) {
    case FieldType::Currency: {
        const auto c = cli::json::parseAmount(v, &why);
        if (!c)
            bad(path, why);
        if (*c < Currency())
            bad(path, QStringLiteral("não pode ser negativo"));
        return c->raw();
    }
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::LargeInt: {
        const auto n = cli::json::parseInteger(v, &why);
        if (!n)
            bad(path, why);
        if (*n < 0)
            bad(path, QStringLiteral("não pode ser negativo"));
        const qint64 limit = def.type == FieldType::SmallInt ? 32767 : 2147483647;
        if (*n > limit)
            bad(path, QStringLiteral("fora do limite (máximo %1)").arg(limit));
        return std::int64_t(*n);
    }
    case FieldType::Boolean:
        if (v.type != Value::Type::Bool)
            bad(path, QStringLiteral("esperado true ou false, %1").arg(encontrado(v)));
        return std::int64_t(v.boolean ? 1 : 0);
    case FieldType::String:
    case FieldType::Memo:
        if (v.type != Value::Type::String)
            bad(path, QStringLiteral("esperado um texto, %1").arg(encontrado(v)));
        if (def.type == FieldType::String && v.text.size() > def.size)
            bad(path, QStringLiteral("texto com mais de %1 caracteres").arg(def.size));
        if (v.text.isEmpty())
            return {};
        return v.text;
    case FieldType::Date: {
        static const QRegularExpression re(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        const QDate d = v.type == Value::Type::String && re.match(v.text).hasMatch()
            ? QDate::fromString(v.text, Qt::ISODate)
            : QDate();
        if (!d.isValid())
            bad(path, QStringLiteral("esperada uma data AAAA-MM-DD"));
        return stb::db::encodeDate(d);
    }
    case FieldType::DateTime: {
        QDateTime dt = v.type == Value::Type::String ? QDateTime::fromString(v.text, Qt::ISODate) : QDateTime();
        if (!dt.isValid() && v.type == Value::Type::String)
            if (const QDate d = QDate::fromString(v.text, Qt::ISODate); d.isValid())
                dt = d.startOfDay();
        if (!dt.isValid())
            bad(path, QStringLiteral("esperada uma data e hora AAAA-MM-DDTHH:MM:SS"));
        return stb::db::encodeDateTime(dt);
    }
    default:
        bad(path, QStringLiteral("não pode ser informado"));
    }
}

// Reads an object into a row of `def`. Keys are the table's field names as
// spelled there; `nested` keys are left to the caller; keys the program
// assigns are refused.
Row readRow(const Value &obj, const stb::db::TableDef &def, const QString &path, const QStringList &assigned,
            const QStringList &nested)
{
    expectObject(obj, path);
    Row row;
    QSet<QString> given;
    for (const auto &[key, v] : obj.members) {
        if (nested.contains(key))
            continue;
        const QString p = child(path, key);
        if (assigned.contains(key, Qt::CaseInsensitive))
            bad(p, QStringLiteral("é atribuído pelo programa"));
        const stb::db::FieldDef *fd = def.field(key);
        if (!fd)
            bad(p, QStringLiteral("campo desconhecido"));
        if (fd->name != key)
            bad(p, QStringLiteral("campo desconhecido (o nome do campo se escreve \"%1\")").arg(fd->name));
        given.insert(fd->name);
        row.fields.emplace_back(fd->name, readField(*fd, v, p));
    }
    // Missing amounts read as 0 and missing flags as false; the rest stays null.
    for (const stb::db::FieldDef &fd : def.fields) {
        if (given.contains(fd.name) || assigned.contains(fd.name, Qt::CaseInsensitive))
            continue;
        if (fd.type == FieldType::Currency)
            row.fields.emplace_back(fd.name, std::int64_t(0));
        else if (fd.type == FieldType::Boolean)
            row.fields.emplace_back(fd.name, std::int64_t(0));
    }
    return row;
}

const stb::db::Value *fieldOf(const Row &row, const QString &name)
{
    for (const auto &[n, v] : row.fields)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

const Value *member(const Value &obj, const QString &key)
{
    for (const auto &[k, v] : obj.members)
        if (k == key)
            return &v;
    return nullptr;
}

const std::vector<Value> &arrayOf(const Value *v, const QString &path)
{
    static const std::vector<Value> empty;
    if (!v || v->isNull())
        return empty;
    if (v->type != Value::Type::Array)
        bad(path, QStringLiteral("esperada uma lista, %1").arg(encontrado(*v)));
    return v->items;
}

Entrada readEntrada(const Value &doc)
{
    expectObject(doc, QStringLiteral("(documento)"));
    Entrada in;
    for (const auto &[key, v] : doc.members) {
        if (key != QLatin1String("settings") && key != QLatin1String("calculo") && key != QLatin1String("notas"))
            bad(key, QStringLiteral("campo desconhecido"));
    }
    if (const Value *s = member(doc, QStringLiteral("settings")); s && !s->isNull()) {
        expectObject(*s, QStringLiteral("settings"));
        for (const auto &[key, v] : s->members) {
            const QString p = child(QStringLiteral("settings"), key);
            if (key != QLatin1String("MRNormal") && key != QLatin1String("MREmDobro") && key != QLatin1String("MRReducao"))
                bad(p, QStringLiteral("configuração desconhecida"));
            if (v.isNull())
                continue;
            QString why;
            const auto n = cli::json::parseInteger(v, &why);
            if (!n)
                bad(p, why);
            if (*n < 0 || *n > 1000)
                bad(p, QStringLiteral("deve ser um percentual de 0 a 1000"));
            in.settings.insert(key, static_cast<int>(*n));
        }
    }
    const Value *calc = member(doc, QStringLiteral("calculo"));
    const Value emptyObject{Value::Type::Object, false, {}, {}, {}};
    in.calculo = readRow(calc && !calc->isNull() ? *calc : emptyObject, stb::schema::calculos(), QStringLiteral("calculo"),
                         {QStringLiteral("IdCalculo")}, {});
    if (const stb::db::Value *mode = fieldOf(in.calculo, QStringLiteral("PrintMR")); mode && !stb::db::isNull(*mode)) {
        const auto m = std::get<std::int64_t>(*mode);
        if (m > 5)
            bad(QStringLiteral("calculo.PrintMR"), QStringLiteral("deve ser um modo de multa de 0 a 5"));
        in.printMR = static_cast<int>(m);
    }

    const QString notasPath = QStringLiteral("notas");
    const std::vector<Value> &notas = arrayOf(member(doc, notasPath), notasPath);
    in.notas.reserve(notas.size());
    for (size_t i = 0; i < notas.size(); ++i) {
        const QString p = itemPath(notasPath, i);
        Nota n;
        n.row = readRow(notas[i], stb::schema::notas(), p, {QStringLiteral("IdCalculo"), QStringLiteral("IdNota")},
                        {QStringLiteral("itens"), QStringLiteral("itensMedic")});
        if (const stb::db::Value *nro = fieldOf(n.row, QStringLiteral("NroNF")); nro && !stb::db::isNull(*nro)) {
            n.nroNF = std::get<QString>(*nro);
            n.nroNFNull = false;
        }
        const QString pi = child(p, QStringLiteral("itens"));
        for (const Value &item : arrayOf(member(notas[i], QStringLiteral("itens")), pi))
            n.itens.push_back(readRow(item, stb::schema::itens(), itemPath(pi, n.itens.size()),
                                      {QStringLiteral("IdNota"), QStringLiteral("NroItem")}, {}));
        const QString pm = child(p, QStringLiteral("itensMedic"));
        for (const Value &item : arrayOf(member(notas[i], QStringLiteral("itensMedic")), pm))
            n.itensMedic.push_back(readRow(item, stb::schema::itensMedic(), itemPath(pm, n.itensMedic.size()),
                                           {QStringLiteral("IdNota"), QStringLiteral("NroItem")}, {}));
        in.notas.push_back(std::move(n));
    }
    return in;
}

void setRow(stb::db::DataSet &ds, const Row &row)
{
    for (const auto &[name, v] : row.fields)
        ds.fieldByName(name).setRaw(v);
}

// Core messages go to stderr; an error message makes the run fail.
class CliSink : public stb::MessageSink {
public:
    int errors = 0;
    void show(stb::MsgKind kind, const QString &text) override
    {
        if (kind == stb::MsgKind::Erro)
            ++errors;
        std::fprintf(stderr, "mensagem: %s\n", qPrintable(QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '))));
    }
    bool ask(const QString &text, bool defaultYes) override
    {
        show(stb::MsgKind::Pergunta, text);
        return defaultYes;
    }
    QString askText(const QString &text) override
    {
        show(stb::MsgKind::Pergunta, text);
        return {};
    }
};

QString amount(const stb::db::Field &f) { return f.asCurrency().toPlainString(4); }

// Stores the calculation through the data module; returns nothing, fills the ids.
void store(stb::TDM &dm, Entrada &in)
{
    stb::db::Transaction tx(dm.BaseDados); // rolled back if anything below throws
    {
        dm.TabCalc.append();
        setRow(dm.TabCalc, in.calculo);
        if (!fieldOf(in.calculo, QStringLiteral("DataHora")))
            dm.TabCalc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(stb::Clock::now());
        dm.TabCalc.post();
        // Lines are posted without the per-line refresh of the invoices, which
        // runs once at the end (as after a renumbering).
        const stb::db::DataSet::Event aposPostItens = dm.TabItens.afterPost;
        const stb::db::DataSet::Event aposPostMedic = dm.TabItensMedic.afterPost;
        dm.TabItens.afterPost = nullptr;
        dm.TabItensMedic.afterPost = nullptr;
        auto restaura = [&] {
            dm.TabItens.afterPost = aposPostItens;
            dm.TabItensMedic.afterPost = aposPostMedic;
        };
        try {
            stb::db::Field &nroItem = dm.TabItens.fieldByName(QStringLiteral("NroItem"));
            stb::db::Field &nroItemMedic = dm.TabItensMedic.fieldByName(QStringLiteral("NroItem"));
            for (Nota &n : in.notas) {
                dm.TabNotas.append();
                setRow(dm.TabNotas, n.row);
                n.idNota = dm.ProximoIdNota();
                dm.TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
                dm.TabNotas.post();
                for (const Row &item : n.itens) {
                    dm.TabItens.append();
                    setRow(dm.TabItens, item);
                    nroItem.setAsInteger(dm.ProximoNroItem());
                    dm.TabItens.post();
                }
                for (const Row &item : n.itensMedic) {
                    dm.TabItensMedic.append();
                    setRow(dm.TabItensMedic, item);
                    nroItemMedic.setAsInteger(dm.ProximoNroItem(QStringLiteral("MEDIC")));
                    dm.TabItensMedic.post();
                }
            }
        } catch (...) {
            restaura();
            throw;
        }
        restaura();
        if (aposPostItens)
            aposPostItens(dm.TabItens);
        tx.commit();
    }
}

QString compute(stb::TDM &dm, const Entrada &in)
{
    QHash<int, size_t> porId;
    for (size_t i = 0; i < in.notas.size(); ++i)
        porId.insert(in.notas[i].idNota, i);
    std::vector<QString> saida(in.notas.size());

    const stb::CalculoEmCurso calculo(dm, in.printMR);
    stb::db::Table &notas = dm.TabNotas;
    stb::db::Table &itens = dm.TabItens;
    stb::db::Table &medic = dm.TabItensMedic;
    const stb::db::Field &idNota = notas.fieldByName(QStringLiteral("IdNota"));
    const stb::db::Field &valorARecolher = notas.fieldByName(QStringLiteral("ValorARecolher"));
    const char *const nomes[] = {"FreteProp",        "Soma",          "ValorFinal", "ValorICMS",  "ValorFEM",
                                 "ValorCreditoICMS", "ICMSaRecolher", "ValorMR",    "ValorMRRed", "TotalARecolher"};
    std::vector<const stb::db::Field *> campos;
    for (const char *n : nomes)
        campos.push_back(&itens.fieldByName(QString::fromLatin1(n)));
    const stb::db::Field &nroItem = itens.fieldByName(QStringLiteral("NroItem"));
    const stb::db::Field &nroItemMedic = medic.fieldByName(QStringLiteral("NroItem"));
    const stb::db::Field &debVlICMS = medic.fieldByName(QStringLiteral("DebVlICMS"));

    for (notas.first(); !notas.eof(); notas.next()) {
        const auto it = porId.constFind(idNota.asInteger());
        if (it == porId.cend())
            continue;
        const Nota &n = in.notas[*it];
        QString s = QStringLiteral("{\"NroNF\": ") + (n.nroNFNull ? QStringLiteral("null") : cli::json::quote(n.nroNF))
            + QStringLiteral(", \"ValorARecolher\": \"") + amount(valorARecolher) + QStringLiteral("\",\n   \"itens\": [");
        bool primeiro = true;
        for (itens.first(); !itens.eof(); itens.next()) {
            s += primeiro ? QStringLiteral("\n    ") : QStringLiteral(",\n    ");
            primeiro = false;
            s += QStringLiteral("{\"NroItem\": ") + QString::number(nroItem.asInteger());
            for (size_t k = 0; k < campos.size(); ++k)
                s += QStringLiteral(", \"") + QLatin1String(nomes[k]) + QStringLiteral("\": \"") + amount(*campos[k])
                    + QLatin1Char('"');
            s += QLatin1Char('}');
        }
        s += QStringLiteral("],\n   \"itensMedic\": [");
        primeiro = true;
        for (medic.first(); !medic.eof(); medic.next()) {
            s += primeiro ? QStringLiteral("\n    ") : QStringLiteral(",\n    ");
            primeiro = false;
            s += QStringLiteral("{\"NroItem\": ") + QString::number(nroItemMedic.asInteger())
                + QStringLiteral(", \"DebVlICMS\": \"") + amount(debVlICMS) + QStringLiteral("\"}");
        }
        s += QStringLiteral("]}");
        saida[*it] = s;
    }
    QString out = QStringLiteral("{\"notas\": [");
    for (size_t i = 0; i < saida.size(); ++i)
        out += (i ? QStringLiteral(",\n  ") : QStringLiteral("\n  ")) + saida[i];
    out += QStringLiteral("]}\n");
    return out;
}

// Opens the input file; on failure says why, in Portuguese (QFile::errorString() is English).
QString cannotRead(QFile &f)
{
    const QFileInfo info(f.fileName());
    if (!info.exists())
        return QStringLiteral("o arquivo não existe");
    if (info.isDir())
        return QStringLiteral("é uma pasta");
    if (!info.isReadable())
        return QStringLiteral("sem permissão de leitura");
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("o arquivo não pôde ser aberto");
    return {};
}

int inputError(const QString &path, const QString &reason)
{
    std::fprintf(stderr, "erro: %s: %s\n", path.toUtf8().constData(), reason.toUtf8().constData());
    return 2;
}

} // namespace

int cli::runCompute(const QStringList &args)
{
    QString file;
    std::optional<QDate> today;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--today")) {
            if (i + 1 >= args.size())
                return inputError(QStringLiteral("--today"), QStringLiteral("falta a data AAAA-MM-DD"));
            static const QRegularExpression re(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
            const QString t = args[++i];
            if (!re.match(t).hasMatch())
                return inputError(QStringLiteral("--today"), QStringLiteral("esperada uma data AAAA-MM-DD, encontrado \"%1\"").arg(t));
            const QDate d = QDate::fromString(t, Qt::ISODate);
            if (!d.isValid())
                return inputError(QStringLiteral("--today"), QStringLiteral("data inexistente \"%1\"").arg(t));
            today = d;
        } else if (a.startsWith(QLatin1String("--"))) {
            return inputError(a, QStringLiteral("opção desconhecida"));
        } else if (file.isEmpty()) {
            file = a;
        } else {
            return inputError(a, QStringLiteral("só um arquivo de entrada pode ser informado"));
        }
    }
    if (file.isEmpty())
        return inputError(QStringLiteral("ARQUIVO.json"),
                          QStringLiteral("falta o arquivo de entrada (compute [--today AAAA-MM-DD] ARQUIVO.json)"));

    QFile f(file);
    if (const QString why = cannotRead(f); !why.isEmpty())
        return inputError(file, QStringLiteral("não foi possível ler o arquivo: %1").arg(why));
    const QByteArray data = f.readAll();
    json::ParseError perr;
    const auto doc = json::parse(data, &perr);
    if (!doc)
        return inputError(QStringLiteral("%1:%2:%3").arg(file).arg(perr.line).arg(perr.column), perr.message);

    Entrada in;
    try {
        in = readEntrada(*doc);
    } catch (const InputError &e) {
        return inputError(e.path, e.reason);
    }

    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        std::fprintf(stderr, "erro: não foi possível criar uma pasta temporária\n");
        return 1;
    }
    const QString appDir = tmp.filePath(QStringLiteral("app"));
    const QString dataDir = tmp.filePath(QStringLiteral("dados"));
    QDir().mkpath(appDir);
    QDir().mkpath(dataDir);
    {
        stb::IniFile ini(QDir(appDir).filePath(QStringLiteral("STBrelva.ini")));
        for (auto it = in.settings.cbegin(); it != in.settings.cend(); ++it)
            ini.writeInteger(QStringLiteral("Sistema"), it.key(), it.value());
    }
    stb::Settings::instance().open(appDir, dataDir);
    if (today)
        stb::Clock::setFixedDate(*today);

    CliSink sink;
    stb::MessageSink *anterior = stb::setMessageSink(&sink);
    int rc = 0;
    try {
        stb::TDM dm(dataDir);
        dm.CriaTabelas();
        for (stb::db::Table *t : {&dm.TabFisc, &dm.TabRemet, &dm.TabDest, &dm.TabCalc, &dm.TabNotas, &dm.TabItens,
                                  &dm.TabItensMedic})
            t->open();
        store(dm, in);
        const QString out = compute(dm, in);
        const QByteArray utf8 = out.toUtf8();
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
        std::fflush(stdout);
        rc = sink.errors ? 1 : 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "erro: %s\n", e.what());
        rc = 1;
    }
    stb::setMessageSink(anterior);
    return rc;
}
