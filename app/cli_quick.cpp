// stbrelva-cli quick: the quick calculation without its window. The lines of
// the input are checked against the fields of the window's lists and priced
// by the same rules (CalculaLinhaRapida, CalculaMedicRapida, TotalRapido),
// under the kind the type dialog would give; every line's amounts and the
// total box are printed. Nothing is stored.
#include "app/cli.h"
#include "app/cli_entrada.h"
#include "app/cli_json.h"

#include "core/calcrapido.h"
#include "core/itemcalc.h"
#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

namespace json = cli::json;
using json::Value;

struct Erro {
    QString path;
    QString reason;
};

[[noreturn]] void bad(const QString &path, const QString &reason) { throw Erro {path, reason}; }

int inteiro(const Value &v, const QString &path)
{
    QString why;
    const auto n = json::parseInteger(v, &why);
    if (!n)
        bad(path, why);
    return static_cast<int>(std::clamp<qint64>(*n, -1000000, 1000000));
}

// Where each input key of a line goes: the stored fields of its list, spelled
// as there; only the amounts and the FEM flag enter the quick rules, the
// other fields are checked and dropped.
template<typename Linha> struct Destinos {
    explicit Destinos(stb::db::TableDef d) : def(std::move(d)), moeda(def.fields.size(), nullptr) {}
    void moedaEm(const char *campo, stb::Currency Linha::*membro)
    {
        moeda[static_cast<size_t>(def.fieldIndex(QLatin1String(campo)))] = membro;
    }
    // What a key as written stands for: its field, whether the program
    // assigns it, whether it is the field's exact spelling.
    struct Chave {
        QString nome;
        int indice;
        bool atribuida;
        bool grafiaExata;
    };
    // Every line repeats the same few keys, and the reader shares the text of
    // a repeated key, so a key is mostly found by its text's address; the
    // list grows by at most one entry per distinct key.
    const Chave &chave(const QString &key) const
    {
        for (const Chave &c : chaves)
            if (c.nome.constData() == key.constData() && c.nome.size() == key.size())
                return c;
        for (const Chave &c : chaves)
            if (c.nome == key)
                return c;
        const int i = def.fieldIndex(key);
        return chaves.emplace_back(Chave {key, i,
            key.compare(QLatin1String("IdNota"), Qt::CaseInsensitive) == 0
                || key.compare(QLatin1String("NroItem"), Qt::CaseInsensitive) == 0,
            i >= 0 && def.fields[i].name == key});
    }
    stb::db::TableDef def;
    std::vector<stb::Currency Linha::*> moeda;
    int fem = -1; // the FEM flag's field, when the line has one
    mutable std::vector<Chave> chaves;
};

// Reads one line: the number of the line is the program's, so IdNota and
// NroItem are refused; every other key must be a field of the list.
template<typename Linha>
Linha leLinha(const Destinos<Linha> &destinos, const Value &obj, const char *lista, size_t indice)
{
    // The path of the line is spelled out only for an error.
    const auto path = [&] { return QStringLiteral("%1[%2]").arg(QLatin1String(lista)).arg(indice); };
    if (obj.type != Value::Type::Object)
        bad(path(), QStringLiteral("esperado um objeto, %1").arg(json::encontrado(obj)));
    Linha linha {};
    for (const auto &[key, v] : obj.members) {
        const auto &chave = destinos.chave(key);
        if (chave.atribuida)
            bad(path() + QLatin1Char('.') + key, QStringLiteral("é atribuído pelo programa"));
        const int i = chave.indice;
        if (i < 0)
            bad(path() + QLatin1Char('.') + key, QStringLiteral("campo desconhecido"));
        const stb::db::FieldDef &fd = destinos.def.fields[i];
        if (!chave.grafiaExata)
            bad(path() + QLatin1Char('.') + key,
                QStringLiteral("campo desconhecido (o nome do campo se escreve \"%1\")").arg(fd.name));
        QString why;
        if (stb::Currency Linha::*m = destinos.moeda[static_cast<size_t>(i)]) {
            // The amounts, most of what a line holds, read straight (null reads as 0).
            if (!v.isNull()) {
                const std::optional<stb::Currency> c = json::parseAmount(v, &why);
                if (!c)
                    bad(path() + QLatin1Char('.') + key, why);
                linha.*m = *c;
            }
            continue;
        }
        // Every other field is checked as the field's type asks.
        const std::optional<stb::db::Value> valor = cli::valorCampo(fd, v, &why);
        if (!valor)
            bad(path() + QLatin1Char('.') + key, why);
        // A flag arrives as an integer (0 or 1); null reads as false.
        if constexpr (std::is_same_v<Linha, stb::LinhaRapida>)
            if (i == destinos.fem) {
                const auto *n = std::get_if<std::int64_t>(&*valor);
                linha.fem = n && *n != 0;
            }
    }
    return linha;
}

// Writes out what has been made so far; the output goes out in pieces of
// about this size, so a long list never stands whole in memory.
constexpr size_t kPedacoSaida = 64 * 1024;
void descarrega(std::string &out)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear(); // keeps its room for the next piece
}

// The lines of a list as JSON objects, with the fields named.
template<typename Linha, typename Campos>
void escreveLista(std::string &out, const char *nome, const std::vector<Linha> &linhas, const Campos &campos)
{
    out += '"';
    out += nome;
    out += "\": [";
    int nro = 0;
    for (const Linha &l : linhas) {
        out += nro ? ",\n  {\"NroItem\": " : "\n  {\"NroItem\": ";
        out += std::to_string(++nro);
        for (const auto &[campo, valor] : campos(l)) {
            out += ", \"";
            out += campo;
            out += "\": \"";
            json::appendAmount(out, valor);
            out += '"';
        }
        out += '}';
        if (out.size() >= kPedacoSaida)
            descarrega(out);
    }
    out += ']';
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
    // The window's state and lines, without the window's lists: the same
    // rules run on the lines as read, and nothing is stored anywhere.
    int grupo = -1, tipo = 1;
    stb::Currency frete;
    Destinos<stb::LinhaRapida> destItens(stb::CalculoRapido::definicaoItens());
    for (const auto &[campo, membro] :
        {std::pair {"ValorNF", &stb::LinhaRapida::valorNF}, {"ValorIPI", &stb::LinhaRapida::valorIPI},
            {"MVA", &stb::LinhaRapida::mva}, {"CreditoICMS", &stb::LinhaRapida::creditoICMS},
            {"AliqICMS", &stb::LinhaRapida::aliqICMS}, {"PMPF", &stb::LinhaRapida::pmpf},
            {"Litros", &stb::LinhaRapida::litros}, {"PrecoLitroNF", &stb::LinhaRapida::precoLitroNF},
            {"ValorCreditoICMS", &stb::LinhaRapida::valorCreditoICMS}})
        destItens.moedaEm(campo, membro);
    destItens.fem = destItens.def.fieldIndex(QStringLiteral("FEM"));
    Destinos<stb::LinhaMedicRapida> destMedic(stb::CalculoRapido::definicaoMedic());
    for (const auto &[campo, membro] : {std::pair {"DebVlMerc", &stb::LinhaMedicRapida::debVlMerc},
             {"DebAliqICMS", &stb::LinhaMedicRapida::debAliqICMS}, {"MVA", &stb::LinhaMedicRapida::mva},
             {"CreditoICMS", &stb::LinhaMedicRapida::creditoICMS}})
        destMedic.moedaEm(campo, membro);
    std::vector<stb::LinhaRapida> itens;
    std::vector<stb::LinhaMedicRapida> medic;
    const json::ListSink leItens {
        QStringLiteral("itens"), [&](Value &&v) { itens.push_back(leLinha(destItens, v, "itens", itens.size())); }};
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
                grupo = g == 0 ? -1 : g;
            } else if (key == QLatin1String("tipo")) {
                const int t = inteiro(v, key);
                if (t < 1 || t > 4)
                    bad(key, QStringLiteral("esperado um tipo de 1 a 4"));
                tipo = t;
            } else if (key == QLatin1String("opInterna")) {
                // Shown by the window's caption only; no rule depends on it.
                if (v.type != Value::Type::Bool)
                    bad(key, QStringLiteral("esperado true ou false, %1").arg(json::encontrado(v)));
            } else if (key == QLatin1String("frete")) {
                if (!v.isNull()) {
                    const auto c = json::parseAmount(v, &why);
                    if (!c)
                        bad(key, why);
                    frete = *c;
                }
            } else if (key == QLatin1String("itensMedic")) {
                if (v.isNull())
                    continue;
                if (v.type != Value::Type::Array)
                    bad(key, QStringLiteral("esperada uma lista, %1").arg(json::encontrado(v)));
                for (const Value &linha : v.items)
                    medic.push_back(leLinha(destMedic, linha, "itensMedic", medic.size()));
            } else if (key != QLatin1String("itens")) {
                bad(key, QStringLiteral("campo desconhecido"));
            }
        }
    } catch (const Erro &e) {
        return inputError(e.path, e.reason);
    }
    const stb::Currency partilha = stb::PartilhaDIFAL(stb::Clock::today().year());

    // An amount beyond the currency range refuses the input, naming the line
    // and the amount, before anything is written (as compute refuses it).
    {
        QString onde;
        try {
            for (size_t i = 0; i < itens.size(); ++i) {
                onde = QStringLiteral("itens[%1]").arg(i);
                stb::CalculaLinhaRapida(tipo, itens[i], partilha);
            }
            for (size_t i = 0; i < medic.size(); ++i) {
                onde = QStringLiteral("itensMedic[%1]").arg(i);
                stb::CalculaMedicRapida(grupo, medic[i]);
            }
            onde.clear();
            stb::TotalRapido(grupo, tipo, frete, partilha, itens, medic);
        } catch (const stb::EstouroValor &e) {
            return inputError(onde.isEmpty() ? e.campo().toLower() : onde + QLatin1Char('.') + e.campo(), e.mensagem());
        }
    }

    std::string out = "{";
    out.reserve(kPedacoSaida + 256);
    escreveLista(out, "itens", itens, [&](const stb::LinhaRapida &l) {
        const stb::ValoresRapidos r = stb::CalculaLinhaRapida(tipo, l, partilha);
        const stb::Currency zero;
        return std::array {std::pair {"TotalARecolher", r.totalARecolher},
            std::pair {"ValorFEM", r.valorFEM.value_or(zero)}, std::pair {"ValorFinal", r.valorFinal.value_or(zero)},
            std::pair {"ValorICMS", r.valorICMS.value_or(zero)}};
    });
    out += ",\n";
    escreveLista(out, "itensMedic", medic, [&](const stb::LinhaMedicRapida &l) {
        const stb::ValoresMedicRapidos r = stb::CalculaMedicRapida(grupo, l);
        return std::array {std::pair {"DebVlICMS", r.debVlICMS.value_or(stb::Currency())},
            std::pair {"TotalARecolher", r.totalARecolher}};
    });
    out += ",\n\"total\": \"";
    json::appendAmount(out, stb::TotalRapido(grupo, tipo, frete, partilha, itens, medic));
    out += "\"}\n";
    descarrega(out);
    std::fflush(stdout);
    return 0;
}
