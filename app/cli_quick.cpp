// stbrelva-cli quick: the quick calculation without its window. The lines of
// the input go into the same in-memory lists the window fills through its
// item dialogs (CalculoRapido), under the kind the type dialog would give;
// every line's amounts and the total box are printed. Nothing is stored.
#include "app/cli.h"
#include "app/cli_entrada.h"
#include "app/cli_json.h"

#include "core/calcrapido.h"
#include "core/itemcalc.h"
#include "platform/clock.h"
#include "platform/db/field.h"

#include <algorithm>
#include <cstdio>

namespace {

namespace json = cli::json;
using json::Value;

struct Erro {
    QString path;
    QString reason;
};

[[noreturn]] void bad(const QString &path, const QString &reason) { throw Erro{path, reason}; }

int inteiro(const Value &v, const QString &path)
{
    QString why;
    const auto n = json::parseInteger(v, &why);
    if (!n)
        bad(path, why);
    return static_cast<int>(std::clamp<qint64>(*n, -1000000, 1000000));
}

// Appends one line to `lista`: the keys are the stored fields of its table,
// spelled as there; the number of the line is the program's.
void leLinha(stb::db::MemTable &lista, const Value &obj, int nro, const QString &path)
{
    if (obj.type != Value::Type::Object)
        bad(path, QStringLiteral("esperado um objeto, %1").arg(json::encontrado(obj)));
    const stb::db::TableDef &def = lista.definition();
    lista.append();
    // The amounts are worked out once the line is complete, not per field.
    lista.autoCalcFields = false;
    try {
        lista.fieldByName(QStringLiteral("IdNota")).setAsInteger(0);
        lista.fieldByName(QStringLiteral("NroItem")).setAsInteger(nro);
        for (const auto &[key, v] : obj.members) {
            const QString p = path + QLatin1Char('.') + key;
            if (key.compare(QLatin1String("IdNota"), Qt::CaseInsensitive) == 0
                || key.compare(QLatin1String("NroItem"), Qt::CaseInsensitive) == 0)
                bad(p, QStringLiteral("é atribuído pelo programa"));
            const int i = def.fieldIndex(key);
            if (i < 0)
                bad(p, QStringLiteral("campo desconhecido"));
            const stb::db::FieldDef &fd = def.fields[i];
            if (fd.name != key)
                bad(p, QStringLiteral("campo desconhecido (o nome do campo se escreve \"%1\")").arg(fd.name));
            QString why;
            const std::optional<stb::db::Value> valor = cli::valorCampo(fd, v, &why);
            if (!valor)
                bad(p, why);
            lista.fieldByName(fd.name).setRaw(*valor);
        }
        lista.autoCalcFields = true;
        lista.post();
    } catch (...) {
        lista.autoCalcFields = true;
        lista.cancel();
        throw;
    }
}

QString valor(const stb::db::DataSet &ds, const char *campo)
{
    return ds.fieldByName(QLatin1String(campo)).asCurrency().toPlainString(4);
}

// The lines of a list as JSON objects, with the fields named.
void escreveLista(stb::db::DataSet &ds, const char *nome, const std::initializer_list<const char *> &campos)
{
    std::fprintf(stdout, "\"%s\": [", nome);
    QByteArray linha;
    bool primeira = true;
    for (ds.first(); !ds.eof(); ds.next()) {
        linha = primeira ? "\n  {\"NroItem\": " : ",\n  {\"NroItem\": ";
        primeira = false;
        linha += QByteArray::number(ds.fieldByName(QStringLiteral("NroItem")).asInteger());
        for (const char *c : campos)
            linha += ", \"" + QByteArray(c) + "\": \"" + valor(ds, c).toLatin1() + '"';
        linha += '}';
        std::fwrite(linha.constData(), 1, static_cast<size_t>(linha.size()), stdout);
    }
    std::fputs("]", stdout);
}

} // namespace

int cli::runQuick(const QStringList &args)
{
    QString file;
    std::optional<QDate> today;
    if (const int rc = leTodayEArquivo(args, QStringLiteral("quick"), today, file))
        return rc;
    if (today)
        stb::Clock::setFixedDate(*today);

    QString why;
    std::optional<QByteArray> data = json::readInputFile(file, &why);
    if (!data)
        return inputError(file, QStringLiteral("não foi possível ler o arquivo: %1").arg(why));
    stb::CalculoRapido calc;
    // The lines are taken as they are parsed; the total is computed once at the end.
    calc.setTotaisSuspensos(true);
    int nroItens = 0, nroMedic = 0;
    const json::ListSink leItens{QStringLiteral("itens"), [&](Value &&v) {
                                     ++nroItens;
                                     leLinha(calc.MemItens, v, nroItens, QStringLiteral("itens[%1]").arg(nroItens - 1));
                                 }};
    try {
        json::ParseError perr;
        const auto doc = json::parse(*data, &perr, &leItens);
        if (!doc)
            return inputError(QStringLiteral("%1:%2:%3").arg(file).arg(perr.line).arg(perr.column), perr.message);
        data.reset();
        if (doc->type != Value::Type::Object)
            bad(QStringLiteral("(raiz)"), QStringLiteral("esperado um objeto, %1").arg(json::encontrado(*doc)));
        for (const auto &[key, v] : doc->members) {
            if (key == QLatin1String("grupo")) {
                const int g = v.isNull() ? -1 : inteiro(v, key);
                if (g != -1 && g != 0 && g != 6 && g != 13 && g != 113)
                    bad(key, QStringLiteral("esperado -1, 6, 13 ou 113"));
                calc.grupo = g == 0 ? -1 : g;
            } else if (key == QLatin1String("tipo")) {
                const int t = inteiro(v, key);
                if (t < 1 || t > 4)
                    bad(key, QStringLiteral("esperado um tipo de 1 a 4"));
                calc.tipoCalculo = t;
            } else if (key == QLatin1String("opInterna")) {
                if (v.type != Value::Type::Bool)
                    bad(key, QStringLiteral("esperado true ou false, %1").arg(json::encontrado(v)));
                calc.opInterna = v.boolean;
            } else if (key == QLatin1String("frete")) {
                if (!v.isNull()) {
                    const auto c = json::parseAmount(v, &why);
                    if (!c)
                        bad(key, why);
                    calc.frete = *c;
                }
            } else if (key == QLatin1String("itensMedic")) {
                if (v.isNull())
                    continue;
                if (v.type != Value::Type::Array)
                    bad(key, QStringLiteral("esperada uma lista, %1").arg(json::encontrado(v)));
                for (const Value &linha : v.items) {
                    ++nroMedic;
                    leLinha(calc.MemItensMedic, linha, nroMedic, QStringLiteral("itensMedic[%1]").arg(nroMedic - 1));
                }
            } else if (key != QLatin1String("itens")) {
                bad(key, QStringLiteral("campo desconhecido"));
            }
        }
    } catch (const Erro &e) {
        return inputError(e.path, e.reason);
    }
    calc.partilhaDIFAL = stb::PartilhaDIFAL(stb::Clock::today().year());

    std::fputs("{", stdout);
    escreveLista(calc.MemItens, "itens", {"TotalARecolher", "ValorFEM", "ValorFinal", "ValorICMS"});
    std::fputs(",\n", stdout);
    escreveLista(calc.MemItensMedic, "itensMedic", {"DebVlICMS", "TotalARecolher"});
    std::fprintf(stdout, ",\n\"total\": \"%s\"}\n", calc.Total().toPlainString(4).toLatin1().constData());
    std::fflush(stdout);
    return 0;
}
