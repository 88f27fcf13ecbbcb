// stbrelva-cli compute: stores a calculation given as JSON in a temporary
// database through the data module, runs the computation as a report run does,
// and prints every line's amounts and every invoice's amount to collect.
#include "app/cli.h"
#include "app/cli_entrada.h"
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
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

using cli::json::Value;
using stb::Currency;
using stb::db::FieldType;

// Bad input: the field path and the reason.
struct InputError {
    QString path;
    QString reason;
};

// What the input may give for the rows of one table: its definition, its
// fields by name, the fields the program assigns and the keys that hold
// nested lists.
struct Layout {
    stb::db::TableDef def;
    QHash<QString, int> porNome; // exact spelling
    QStringList atribuidos;
    QStringList aninhados;
    std::vector<bool> atribuido; // by field index

    Layout(stb::db::TableDef d, QStringList assigned, QStringList nested)
        : def(std::move(d)),
          atribuidos(std::move(assigned)),
          aninhados(std::move(nested))
    {
        atribuido.resize(static_cast<size_t>(def.fields.size()));
        for (int i = 0; i < def.fields.size(); ++i) {
            porNome.insert(def.fields[i].name, i);
            atribuido[static_cast<size_t>(i)] = atribuidos.contains(def.fields[i].name, Qt::CaseInsensitive);
        }
    }
    int indice(const QString &name) const { return porNome.value(name, -1); }

    // Field index of an object's key at a position (-1 unknown, -2 a nested
    // list). The rows of a list give their keys in the same order as a rule:
    // the key last seen at the same position is tried before the hash.
    int indiceChave(const QString &key, size_t pos) const
    {
        if (pos < ultimas.size() && ultimas[pos].first == key)
            return ultimas[pos].second;
        const int i = aninhados.contains(key) ? -2 : indice(key);
        if (pos >= ultimas.size())
            ultimas.resize(pos + 1);
        ultimas[pos] = {key, i};
        return i;
    }

private:
    mutable std::vector<std::pair<QString, int>> ultimas;
};

// One stored row: field index in its layout and value, as the engine keeps it.
struct Row {
    std::vector<std::pair<int, stb::db::Value>> fields;
};

struct Nota {
    Row row;
    QString nroNF;
    bool nroNFNull = true;
    std::vector<Row> itens, itensMedic; // the lines are released once stored
    size_t linhas = 0; // lines of both lists, counted when stored
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

[[noreturn]] void bad(const QString &path, const QString &reason) { throw InputError {path, reason}; }

// A path built only when an error needs it (the input may hold 100,000 lines).
using Caminho = std::function<QString()>;
[[noreturn]] void bad(const Caminho &path, const QString &reason) { throw InputError {path(), reason}; }

const Value &expectObject(const Value &v, const QString &path)
{
    if (v.type != Value::Type::Object)
        bad(path, QStringLiteral("esperado um objeto, %1").arg(encontrado(v)));
    return v;
}

// Reads one value for a stored field of the given type.
stb::db::Value readField(const stb::db::FieldDef &def, const Value &v, const Caminho &path)
{
    if (v.isNull())
        return {};
    QString why;
    switch (def.type) {
    case FieldType::Currency: {
        // Negative amounts are accepted, as the program's currency fields do.
        const auto c = cli::json::parseAmount(v, &why);
        if (!c)
            bad(path, why);
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
        if (v.invalidText)
            bad(path, QStringLiteral("texto com codificação UTF-8 inválida"));
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
        // A date alone, or a date and a time of day; nothing else may follow.
        static const QRegularExpression re(
            QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3}))?)?)?$"));
        const QRegularExpressionMatch m = v.type == Value::Type::String ? re.match(v.text) : QRegularExpressionMatch();
        if (!m.hasMatch())
            bad(path, QStringLiteral("esperada uma data e hora AAAA-MM-DDTHH:MM:SS"));
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!d.isValid())
            bad(path, QStringLiteral("data inexistente \"%1\"").arg(v.text));
        QTime t(0, 0);
        if (m.hasCaptured(4)) {
            const QString ms = m.captured(7);
            t = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.hasCaptured(6) ? m.captured(6).toInt() : 0,
                ms.isEmpty() ? 0 : ms.leftJustified(3, QLatin1Char('0')).toInt());
            if (!t.isValid())
                bad(path, QStringLiteral("hora inexistente \"%1\"").arg(v.text));
        }
        return stb::db::encodeDateTime(QDateTime(d, t));
    }
    default:
        bad(path, QStringLiteral("não pode ser informado"));
    }
}

// Reads an object into a row of the layout. Keys are the table's field names
// as spelled there; nested keys are left to the caller; keys the program
// assigns are refused.
Row readRow(const Value &obj, const Layout &layout, const Caminho &path)
{
    if (obj.type != Value::Type::Object)
        bad(path, QStringLiteral("esperado um objeto, %1").arg(encontrado(obj)));
    Row row;
    const auto &fields = layout.def.fields;
    row.fields.reserve(obj.members.size());
    size_t pos = 0;
    for (const auto &[key, v] : obj.members) {
        const int i = layout.indiceChave(key, pos++);
        if (i == -2)
            continue;
        const Caminho p = [&path, &key] { return child(path(), key); };
        if (i < 0) {
            if (layout.atribuidos.contains(key, Qt::CaseInsensitive))
                bad(p, QStringLiteral("é atribuído pelo programa"));
            if (const stb::db::FieldDef *fd = layout.def.field(key))
                bad(p, QStringLiteral("campo desconhecido (o nome do campo se escreve \"%1\")").arg(fd->name));
            bad(p, QStringLiteral("campo desconhecido"));
        }
        if (layout.atribuido[static_cast<size_t>(i)])
            bad(p, QStringLiteral("é atribuído pelo programa"));
        row.fields.emplace_back(i, readField(fields[i], v, p));
    }
    // Missing amounts and flags are filled in when the row is stored.
    return row;
}

const stb::db::Value *fieldOf(const Row &row, const Layout &layout, const QString &name)
{
    const int i = layout.indice(name);
    for (const auto &[n, v] : row.fields)
        if (n == i)
            return &v;
    return nullptr;
}

// The layouts of the four tables the input fills.
const Layout &layoutCalculos()
{
    static const Layout l(stb::schema::calculos(), {QStringLiteral("IdCalculo")}, {});
    return l;
}
const Layout &layoutNotas()
{
    static const Layout l(stb::schema::notas(), {QStringLiteral("IdCalculo"), QStringLiteral("IdNota")},
        {QStringLiteral("itens"), QStringLiteral("itensMedic")});
    return l;
}
const Layout &layoutItens()
{
    static const Layout l(stb::schema::itens(), {QStringLiteral("IdNota"), QStringLiteral("NroItem")}, {});
    return l;
}
const Layout &layoutItensMedic()
{
    static const Layout l(stb::schema::itensMedic(), {QStringLiteral("IdNota"), QStringLiteral("NroItem")}, {});
    return l;
}

const Value *member(const Value &obj, const QString &key)
{
    for (const auto &[k, v] : obj.members)
        if (k == key)
            return &v;
    return nullptr;
}

const std::vector<Value> &arrayOf(const Value *v, const Caminho &path)
{
    static const std::vector<Value> empty;
    if (!v || v->isNull())
        return empty;
    if (v->type != Value::Type::Array)
        bad(path, QStringLiteral("esperada uma lista, %1").arg(encontrado(*v)));
    return v->items;
}

// One invoice of the "notas" list, with its lines.
Nota leNota(const Value &obj, size_t i)
{
    const Caminho p = [i] { return itemPath(QStringLiteral("notas"), i); };
    Nota n;
    n.row = readRow(obj, layoutNotas(), p);
    if (const stb::db::Value *nro = fieldOf(n.row, layoutNotas(), QStringLiteral("NroNF"));
        nro && !stb::db::isNull(*nro)) {
        n.nroNF = std::get<QString>(*nro);
        n.nroNFNull = false;
    }
    for (const auto &[chave, lista, layout] : {std::tuple {QStringLiteral("itens"), &n.itens, &layoutItens()},
             std::tuple {QStringLiteral("itensMedic"), &n.itensMedic, &layoutItensMedic()}}) {
        const Caminho pl = [&p, &chave] { return child(p(), chave); };
        const std::vector<Value> &itens = arrayOf(member(obj, chave), pl);
        lista->reserve(itens.size());
        for (size_t k = 0; k < itens.size(); ++k)
            lista->push_back(readRow(itens[k], *layout, [&pl, k] { return itemPath(pl(), k); }));
    }
    return n;
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
            if (key != QLatin1String("MRNormal") && key != QLatin1String("MREmDobro")
                && key != QLatin1String("MRReducao"))
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
    Value emptyObject;
    emptyObject.type = Value::Type::Object;
    in.calculo = readRow(
        calc && !calc->isNull() ? *calc : emptyObject, layoutCalculos(), [] { return QStringLiteral("calculo"); });
    if (const stb::db::Value *mode = fieldOf(in.calculo, layoutCalculos(), QStringLiteral("PrintMR"));
        mode && !stb::db::isNull(*mode)) {
        const auto m = std::get<std::int64_t>(*mode);
        if (m > 5)
            bad(QStringLiteral("calculo.PrintMR"), QStringLiteral("deve ser um modo de multa de 0 a 5"));
        in.printMR = static_cast<int>(m);
    }

    // The invoices were read while the document was parsed (leNota); here
    // only a "notas" that is not a list is left to refuse.
    if (const Value *notas = member(doc, QStringLiteral("notas")))
        arrayOf(notas, [] { return QStringLiteral("notas"); });
    return in;
}

// The dataset's fields in the order of a layout's definition, found once.
std::vector<stb::db::Field *> camposDe(stb::db::DataSet &ds, const Layout &layout)
{
    std::vector<stb::db::Field *> campos;
    for (const stb::db::FieldDef &fd : layout.def.fields)
        campos.push_back(&ds.fieldByName(fd.name));
    return campos;
}

// Missing amounts read as 0 and missing flags as false (the fields the
// program assigns are left alone): every new row of the dataset starts so
// while the scope lives. The rest stays null.
class Ausentes {
public:
    Ausentes(stb::db::DataSet &ds, const std::vector<stb::db::Field *> &campos, const Layout &layout) : m_ds(ds)
    {
        const auto &fields = layout.def.fields;
        for (int i = 0; i < fields.size(); ++i)
            if ((fields[i].type == FieldType::Currency || fields[i].type == FieldType::Boolean)
                && !layout.atribuido[static_cast<size_t>(i)])
                ds.setNewRecordDefault(*campos[static_cast<size_t>(i)], std::int64_t(0));
    }
    ~Ausentes() { m_ds.clearNewRecordDefaults(); }
    Ausentes(const Ausentes &) = delete;
    Ausentes &operator=(const Ausentes &) = delete;

private:
    stb::db::DataSet &m_ds;
};

// Stores the values a row gives.
void setRow(const std::vector<stb::db::Field *> &campos, const Row &row)
{
    for (const auto &[i, v] : row.fields)
        campos[static_cast<size_t>(i)]->setRaw(v);
}

// Without a medicine line in the input, the medicine lines of every invoice
// are known to be none: their dataset stops following the invoices (it shows
// no rows, as it would after reading them) while the scope lives.
class SemItensMedic {
public:
    SemItensMedic(stb::db::DataSet &medic, const Entrada &in) : m_medic(medic)
    {
        const bool algum
            = std::any_of(in.notas.cbegin(), in.notas.cend(), [](const Nota &n) { return !n.itensMedic.empty(); });
        m_suspenso = !algum && m_medic.masterLinkActive();
        if (m_suspenso)
            m_medic.setMasterLinkActive(false);
    }
    ~SemItensMedic()
    {
        if (m_suspenso)
            m_medic.setMasterLinkActive(true);
    }
    SemItensMedic(const SemItensMedic &) = delete;
    SemItensMedic &operator=(const SemItensMedic &) = delete;

private:
    stb::db::DataSet &m_medic;
    bool m_suspenso = false;
};

// Core messages go to stderr; an error message makes the run fail.
class CliSink : public stb::MessageSink {
public:
    int errors = 0;
    QString lastError;
    void show(stb::MsgKind kind, const QString &text) override
    {
        if (kind == stb::MsgKind::Erro) {
            ++errors;
            lastError = QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '));
        }
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

// Appends a field's amount with four decimals straight into the UTF-8 output.
void poeValor(std::string &out, const stb::db::Field &f) { cli::json::appendAmount(out, f.asCurrency()); }

// Stores the calculation through the data module, in one transaction; fills
// the invoices' ids.
void store(stb::TDM &dm, Entrada &in)
{
    stb::db::Transaction tx(dm.BaseDados);
    {
        const std::vector<stb::db::Field *> campos = camposDe(dm.TabCalc, layoutCalculos());
        const Ausentes ausentes(dm.TabCalc, campos, layoutCalculos());
        dm.TabCalc.append();
        setRow(campos, in.calculo);
    }
    if (!fieldOf(in.calculo, layoutCalculos(), QStringLiteral("DataHora")))
        dm.TabCalc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(stb::Clock::now());
    dm.TabCalc.post();
    // While the rows are stored nothing reads the amounts: the invoice totals
    // and the per-line refresh of the invoices are switched off and the
    // refresh runs once at the end (as after a renumbering).
    struct Eventos {
        stb::TDM &dm;
        stb::db::DataSet::Event aposPostItens = dm.TabItens.afterPost;
        stb::db::DataSet::Event aposPostMedic = dm.TabItensMedic.afterPost;
        stb::db::DataSet::Event calcNotas = dm.TabNotas.onCalcFields;
        stb::db::DataSet::Event calcItens = dm.TabItens.onCalcFields;
        stb::db::DataSet::Event calcMedic = dm.TabItensMedic.onCalcFields;
        explicit Eventos(stb::TDM &d) : dm(d)
        {
            dm.TabItens.afterPost = nullptr;
            dm.TabItensMedic.afterPost = nullptr;
            dm.TabNotas.onCalcFields = nullptr;
            dm.TabItens.onCalcFields = nullptr;
            dm.TabItensMedic.onCalcFields = nullptr;
            // Nor are the calculated and lookup fields worked out again for
            // every value set.
            for (stb::db::DataSet *ds : {&dm.TabNotas, &dm.TabItens, &dm.TabItensMedic})
                ds->autoCalcFields = false;
        }
        ~Eventos()
        {
            dm.TabItens.afterPost = aposPostItens;
            dm.TabItensMedic.afterPost = aposPostMedic;
            dm.TabNotas.onCalcFields = calcNotas;
            dm.TabItens.onCalcFields = calcItens;
            dm.TabItensMedic.onCalcFields = calcMedic;
            for (stb::db::DataSet *ds : {&dm.TabNotas, &dm.TabItens, &dm.TabItensMedic})
                ds->autoCalcFields = true;
        }
    };
    {
        const Eventos eventos(dm);
        const SemItensMedic semMedic(dm.TabItensMedic, in);
        const std::vector<stb::db::Field *> campoNota = camposDe(dm.TabNotas, layoutNotas());
        const std::vector<stb::db::Field *> campoItem = camposDe(dm.TabItens, layoutItens());
        const std::vector<stb::db::Field *> campoMedic = camposDe(dm.TabItensMedic, layoutItensMedic());
        const Ausentes ausentesNota(dm.TabNotas, campoNota, layoutNotas());
        const Ausentes ausentesItem(dm.TabItens, campoItem, layoutItens());
        const Ausentes ausentesMedic(dm.TabItensMedic, campoMedic, layoutItensMedic());
        stb::db::Field &idNota = dm.TabNotas.fieldByName(QStringLiteral("IdNota"));
        stb::db::Field &nroItem = dm.TabItens.fieldByName(QStringLiteral("NroItem"));
        stb::db::Field &nroItemMedic = dm.TabItensMedic.fieldByName(QStringLiteral("NroItem"));
        // Nothing else writes to this database: the next id and line number
        // are asked once and then counted on.
        int proximoId = dm.ProximoIdNota();
        for (Nota &n : in.notas) {
            dm.TabNotas.append();
            setRow(campoNota, n.row);
            n.idNota = proximoId++;
            idNota.setAsInteger(n.idNota);
            dm.TabNotas.post();
            int nro = 1; // a new invoice has no lines yet (ProximoNroItem gives 1)
            n.linhas = n.itens.size() + n.itensMedic.size();
            for (const Row &item : n.itens) {
                dm.TabItens.append();
                setRow(campoItem, item);
                nroItem.setAsInteger(nro++);
                dm.TabItens.post();
            }
            nro = 1;
            for (const Row &item : n.itensMedic) {
                dm.TabItensMedic.append();
                setRow(campoMedic, item);
                nroItemMedic.setAsInteger(nro++);
                dm.TabItensMedic.post();
            }
            // The general lines are no longer needed: their memory serves
            // what follows (the medicine list stays, it tells whether any exists).
            std::vector<Row>().swap(n.itens);
        }
    }
    tx.commit();
}

// The output of every invoice (UTF-8, in the input's order).
std::vector<std::string> compute(stb::TDM &dm, const Entrada &in, const CliSink &sink)
{
    QHash<int, size_t> porId;
    for (size_t i = 0; i < in.notas.size(); ++i)
        porId.insert(in.notas[i].idNota, i);
    std::vector<std::string> saida(in.notas.size());

    const stb::ParametrosMR mr {in.settings.value(QStringLiteral("MRNormal"), 50),
        in.settings.value(QStringLiteral("MREmDobro"), 100), in.settings.value(QStringLiteral("MRReducao"), 20)};
    const stb::CalculoEmCurso calculo(
        dm, stb::contextoCalculo(dm.TabCalc, stb::fatoresMR(in.printMR, mr), stb::Clock::today()));
    const SemItensMedic semMedic(dm.TabItensMedic, in);
    stb::db::Table &notas = dm.TabNotas;
    stb::db::Table &itens = dm.TabItens;
    stb::db::Table &medic = dm.TabItensMedic;
    const stb::db::Field &idNota = notas.fieldByName(QStringLiteral("IdNota"));
    const stb::db::Field &valorARecolher = notas.fieldByName(QStringLiteral("ValorARecolher"));
    const char *const nomes[] = {"FreteProp", "Soma", "ValorFinal", "ValorICMS", "ValorFEM", "ValorCreditoICMS",
        "ICMSaRecolher", "ValorMR", "ValorMRRed", "TotalARecolher"};
    std::vector<const stb::db::Field *> campos;
    for (const char *n : nomes)
        campos.push_back(&itens.fieldByName(QString::fromLatin1(n)));
    const stb::db::Field &nroItem = itens.fieldByName(QStringLiteral("NroItem"));
    const stb::db::Field &nroItemMedic = medic.fieldByName(QStringLiteral("NroItem"));
    const stb::db::Field &debVlICMS = medic.fieldByName(QStringLiteral("DebVlICMS"));

    // The invoice total is computed when its row is fetched; an error there
    // (shown through the message sink) fails the run, naming the invoice.
    int erros = sink.errors;
    for (notas.first(); !notas.eof(); erros = sink.errors, notas.next()) {
        const auto it = porId.constFind(idNota.asInteger());
        if (it == porId.cend())
            continue;
        const size_t indice = *it;
        const auto caminho = [indice] { return itemPath(QStringLiteral("notas"), indice); };
        if (sink.errors != erros)
            bad(child(caminho(), QStringLiteral("ValorARecolher")), sink.lastError);
        const Nota &n = in.notas[*it];
        std::string s;
        s.reserve(64 + 320 * n.linhas);
        s += "{\"NroNF\": ";
        s += n.nroNFNull ? std::string("null") : cli::json::quote(n.nroNF).toStdString();
        s += ", \"ValorARecolher\": \"";
        poeValor(s, valorARecolher);
        s += "\",\n   \"itens\": [";
        bool primeiro = true;
        size_t linha = 0;
        try {
            for (itens.first(); !itens.eof(); itens.next(), ++linha) {
                s += primeiro ? "\n    " : ",\n    ";
                primeiro = false;
                s += "{\"NroItem\": ";
                s += std::to_string(nroItem.asInteger());
                for (size_t k = 0; k < campos.size(); ++k) {
                    s += ", \"";
                    s += nomes[k];
                    s += "\": \"";
                    poeValor(s, *campos[k]);
                    s += '"';
                }
                s += '}';
            }
        } catch (const stb::EstouroValor &e) {
            // Lines are numbered in the input's order, which is the stored order.
            bad(child(itemPath(child(caminho(), QStringLiteral("itens")), linha), e.campo()), e.mensagem());
        }
        s += "],\n   \"itensMedic\": [";
        primeiro = true;
        for (medic.first(); !medic.eof(); medic.next()) {
            s += primeiro ? "\n    " : ",\n    ";
            primeiro = false;
            s += "{\"NroItem\": ";
            s += std::to_string(nroItemMedic.asInteger());
            s += ", \"DebVlICMS\": \"";
            poeValor(s, debVlICMS);
            s += "\"}";
        }
        s += "]}";
        saida[*it] = std::move(s);
    }
    return saida;
}

// Writes the document, releasing each invoice's text once written.
void escreve(std::vector<std::string> &saida)
{
    std::fputs("{\"notas\": [", stdout);
    for (size_t i = 0; i < saida.size(); ++i) {
        std::fputs(i ? ",\n  " : "\n  ", stdout);
        std::fwrite(saida[i].data(), 1, saida[i].size(), stdout);
        saida[i] = std::string();
    }
    std::fputs("]}\n", stdout);
    std::fflush(stdout);
}

// Reads, stores and hands the calculation to `acao`.
using Acao = std::function<int(stb::TDM &, const Entrada &, const CliSink &)>;
int executa(const QString &file, const std::optional<QDate> &today, const Acao &acao);

} // namespace

int cli::inputError(const QString &path, const QString &reason)
{
    std::fprintf(stderr, "erro: %s: %s\n", path.toUtf8().constData(), reason.toUtf8().constData());
    return 2;
}

std::optional<stb::db::Value> cli::valorCampo(const stb::db::FieldDef &def, const json::Value &v, QString *motivo)
{
    try {
        return readField(def, v, [] { return QString(); });
    } catch (const InputError &e) {
        if (motivo)
            *motivo = e.reason;
        return std::nullopt;
    }
}

int cli::leOpcaoToday(const QStringList &args, int &i, std::optional<QDate> &today)
{
    if (i + 1 >= args.size())
        return inputError(QStringLiteral("--today"), QStringLiteral("falta a data AAAA-MM-DD"));
    static const QRegularExpression re(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QString t = args[++i];
    if (!re.match(t).hasMatch())
        return inputError(
            QStringLiteral("--today"), QStringLiteral("esperada uma data AAAA-MM-DD, encontrado \"%1\"").arg(t));
    const QDate d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid())
        return inputError(QStringLiteral("--today"), QStringLiteral("data inexistente \"%1\"").arg(t));
    today = d;
    return 0;
}

int cli::comCalculoArmazenado(
    const QString &file, const std::optional<QDate> &today, const std::function<int(stb::TDM &, int)> &acao)
{
    return executa(
        file, today, [&acao](stb::TDM &dm, const Entrada &in, const CliSink &) { return acao(dm, in.printMR); });
}

int cli::leTodayEArquivo(const QStringList &args, const QString &subcomando, std::optional<QDate> &today, QString &file)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--today")) {
            if (const int rc = leOpcaoToday(args, i, today))
                return rc;
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
            QStringLiteral("falta o arquivo de entrada (%1 [--today AAAA-MM-DD] ARQUIVO.json)").arg(subcomando));
    return 0;
}

int cli::runCompute(const QStringList &args)
{
    QString file;
    std::optional<QDate> today;
    if (const int rc = leTodayEArquivo(args, QStringLiteral("compute"), today, file))
        return rc;

    return executa(file, today, [](stb::TDM &dm, const Entrada &in, const CliSink &sink) {
        std::vector<std::string> saida = compute(dm, in, sink);
        escreve(saida);
        return 0;
    });
}

namespace {

int executa(const QString &file, const std::optional<QDate> &today, const Acao &acao)
{
    using cli::inputError;
    namespace json = cli::json;
    // The file and its document are released once the input is read.
    Entrada in;
    {
        QString why;
        std::optional<QByteArray> data = json::readInputFile(file, &why);
        if (!data)
            return inputError(file, QStringLiteral("não foi possível ler o arquivo: %1").arg(why));
        // Each invoice is read as soon as it is parsed; the document keeps
        // only the rest.
        std::vector<Nota> notas;
        const json::ListSink leNotas {
            QStringLiteral("notas"), [&notas](Value &&v) { notas.push_back(leNota(v, notas.size())); }};
        json::ParseError perr;
        try {
            const auto doc = json::parse(*data, &perr, &leNotas);
            if (!doc)
                return inputError(QStringLiteral("%1:%2:%3").arg(file).arg(perr.line).arg(perr.column), perr.message);
            data.reset();
            in = readEntrada(*doc);
        } catch (const InputError &e) {
            return inputError(e.path, e.reason);
        }
        in.notas = std::move(notas);
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
        // Opening a table creates its files in the empty folder.
        stb::TDM dm(dataDir);
        // The temporary folder goes away with the run: its commits need not
        // wait for the disk (the program's data folder keeps them durable).
        dm.BaseDados.setSynchronous(false);
        for (stb::db::Table *t :
            {&dm.TabFisc, &dm.TabRemet, &dm.TabDest, &dm.TabCalc, &dm.TabNotas, &dm.TabItens, &dm.TabItensMedic})
            t->open();
        store(dm, in);
        rc = acao(dm, in, sink);
        if (rc == 0 && sink.errors)
            rc = 1;
    } catch (const InputError &e) {
        rc = inputError(e.path, e.reason);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "erro: %s\n", e.what());
        rc = 1;
    }
    stb::setMessageSink(anterior);
    return rc;
}

} // namespace
