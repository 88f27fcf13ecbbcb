#include "outputs/impressao.h"

#include "platform/formatting.h"

#include <QJsonArray>
#include <cstdint>

namespace stb {

namespace {

// Up to 15 digits, the text of the amount as a double is its own decimals
// exactly; beyond that the number formatting decides.
constexpr std::uint64_t kLimiteExato = 1000000000000000ULL;

std::uint64_t magnitude(Currency v)
{
    const std::int64_t r = v.raw();
    return r < 0 ? ~static_cast<std::uint64_t>(r) + 1 : static_cast<std::uint64_t>(r);
}

// Digits of n, at least `minimo` of them, into the end of `buf`; returns the start.
char16_t *digitos(char16_t *fim, std::uint64_t n, int minimo)
{
    char16_t *p = fim;
    do {
        *--p = static_cast<char16_t>(u'0' + n % 10);
        n /= 10;
    } while (n || fim - p < minimo);
    return p;
}

} // namespace

QString textoNumero(Currency v, int casas)
{
    const std::uint64_t mag = magnitude(v);
    if (mag >= kLimiteExato || casas < 0 || casas > 4)
        return Format(QStringLiteral("%.*n"), {casas, v.toDouble()});
    static constexpr std::uint64_t pot[] = {1, 10, 100, 1000, 10000};
    const std::uint64_t div = pot[4 - casas];
    std::uint64_t q = mag / div;
    if ((mag % div) * 2 >= div)
        ++q;
    const FormatSettings &fs = formatSettings();
    char16_t buf[48];
    char16_t *fim = buf + 48;
    char16_t *p = fim;
    if (casas > 0) {
        p = digitos(p, q % pot[casas], casas);
        *--p = fs.decimalSeparator.unicode();
    }
    std::uint64_t inteiro = q / pot[casas];
    int n = 0;
    do {
        if (n && n % 3 == 0)
            *--p = fs.thousandSeparator.unicode();
        *--p = static_cast<char16_t>(u'0' + inteiro % 10);
        inteiro /= 10;
        ++n;
    } while (inteiro);
    if (v.raw() < 0 && q != 0)
        *--p = u'-';
    return QString(reinterpret_cast<const QChar *>(p), fim - p);
}

QString textoGeral(Currency v)
{
    const std::uint64_t mag = magnitude(v);
    if (mag >= kLimiteExato)
        return Format(QStringLiteral("%g"), {v.toDouble()});
    char16_t buf[48];
    char16_t *fim = buf + 48;
    char16_t *p = fim;
    std::uint64_t frac = mag % 10000;
    if (frac) {
        int casas = 4;
        while (frac % 10 == 0) {
            frac /= 10;
            --casas;
        }
        p = digitos(p, frac, casas);
        *--p = formatSettings().decimalSeparator.unicode();
    }
    p = digitos(p, mag / 10000, 1);
    if (v.raw() < 0)
        *--p = u'-';
    return QString(reinterpret_cast<const QChar *>(p), fim - p);
}

QString chaveColuna(Coluna c)
{
    static const char *const nomes[NumColunas] = {"Nro", "SubItem", "Litros", "Valor", "IPI", "Frete", "Soma", "MVA",
        "BC", "Aliq", "ICMS", "AliqCred", "Cred", "Destaque", "ARecolher", "MR", "MRRed", "Total", "ICMSFEM"};
    return QString::fromLatin1(nomes[c]);
}

namespace {

QJsonObject celulasJson(const Impressao &imp, const Celulas &cs)
{
    QJsonObject o;
    for (int c = 0; c < NumColunas; ++c) {
        if (!imp.colunas[static_cast<size_t>(c)].visivel)
            continue;
        const Celula &cel = cs[static_cast<size_t>(c)];
        if (cel.texto.isEmpty() && !cel.valor)
            continue;
        QJsonObject v {{QStringLiteral("texto"), cel.texto}};
        if (cel.valor)
            v.insert(QStringLiteral("valor"), cel.valor->toPlainString(4));
        o.insert(chaveColuna(static_cast<Coluna>(c)), v);
    }
    return o;
}

QJsonObject linhaJson(const Impressao &imp, const LinhaImpressa &l)
{
    QJsonObject o {{QStringLiteral("colunas"), celulasJson(imp, l.celulas)}};
    if (!l.rotulo.isEmpty())
        o.insert(QStringLiteral("rotulo"), l.rotulo);
    if (!l.nome.isEmpty())
        o.insert(QStringLiteral("nome"), l.nome);
    if (l.fem)
        o.insert(QStringLiteral("fem"), celulasJson(imp, *l.fem));
    if (!l.regimes.isEmpty())
        o.insert(QStringLiteral("regimes"), l.regimes);
    return o;
}

} // namespace

QJsonObject impressaoParaJson(const Impressao &imp, int paginas)
{
    QJsonObject o;
    o.insert(QStringLiteral("relatorio"), imp.medicamento ? QStringLiteral("medicamentos") : QStringLiteral("geral"));
    if (imp.medicamento)
        o.insert(QStringLiteral("listagem"), imp.analitica ? QStringLiteral("analitica") : QStringLiteral("sintetica"));
    o.insert(QStringLiteral("opcaoMR"), imp.opcaoMR);
    o.insert(QStringLiteral("paginas"), paginas);

    QJsonObject cab {{QStringLiteral("unidade"), imp.unidade}, {QStringLiteral("titulo"), imp.titulo},
        {QStringLiteral("rotuloDIFAL"), imp.rotuloDIFAL}, {QStringLiteral("data"), imp.data},
        {QStringLiteral("masp"), imp.masp}, {QStringLiteral("idCalculo"), imp.idCalculo}};
    o.insert(QStringLiteral("cabecalho"), cab);
    QJsonArray colunas;
    for (int c = 0; c < NumColunas; ++c) {
        const ColunaImpressa &col = imp.colunas[static_cast<size_t>(c)];
        if (col.visivel)
            colunas.append(QJsonObject {{QStringLiteral("chave"), chaveColuna(static_cast<Coluna>(c))},
                {QStringLiteral("titulo"), col.titulo}});
    }
    o.insert(QStringLiteral("colunas"), colunas);

    QJsonArray notas;
    for (const NotaImpressa &n : imp.notas) {
        QJsonObject jn {{QStringLiteral("IdNota"), n.idNota}, {QStringLiteral("NroNF"), n.nroNF},
            {QStringLiteral("cabecalho"), QJsonArray {n.textoNF, n.textoFrete, n.textoRem, n.textoDest}},
            {QStringLiteral("TotalARecolher"), n.valorARecolher.toPlainString(4)}};
        QJsonArray itens;
        for (const LinhaImpressa &l : n.itens)
            itens.append(linhaJson(imp, l));
        jn.insert(QStringLiteral("itens"), itens);
        jn.insert(QStringLiteral("totalDaNota"), n.total ? QJsonValue(linhaJson(imp, *n.total)) : QJsonValue());
        notas.append(jn);
    }
    o.insert(QStringLiteral("notas"), notas);

    QJsonObject resumos;
    for (const ResumoImpresso &r : imp.resumos) {
        QJsonArray linhas;
        for (const LinhaImpressa &l : r.linhas)
            linhas.append(linhaJson(imp, l));
        resumos.insert(r.chave,
            QJsonObject {{QStringLiteral("impresso"), r.visivel}, {QStringLiteral("linhas"), linhas},
                {QStringLiteral("total"), linhaJson(imp, r.total)}});
    }
    o.insert(QStringLiteral("resumos"), resumos);

    QJsonObject codigos {{QStringLiteral("impresso"), imp.mostraCodigos}};
    if (imp.mostraCodigos) {
        codigos.insert(QStringLiteral("receita"), imp.codReceita);
        codigos.insert(QStringLiteral("ocorrencia"), imp.codOcorrencia);
        codigos.insert(QStringLiteral("mercadoria"), QJsonArray::fromStringList(imp.codMercadoria));
    }
    o.insert(QStringLiteral("codigos"), codigos);
    if (imp.medicamento) {
        o.insert(QStringLiteral("base"), QJsonArray {imp.baseNegrito, imp.baseLinha});
        o.insert(QStringLiteral("avisoMultaIsolada"), imp.avisoMultaIsolada);
    }
    o.insert(QStringLiteral("rodape"), imp.rodape);
    return o;
}

} // namespace stb
