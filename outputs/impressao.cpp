#include "outputs/impressao.h"

#include <QJsonArray>

namespace stb {

QString chaveColuna(Coluna c)
{
    static const char *const nomes[NumColunas] = {
        "Nro",       "SubItem", "Litros",   "Valor",    "IPI",        "Frete", "Soma",    "MVA",   "BC",       "Aliq",
        "ICMS",      "AliqCred", "Cred",    "Destaque", "ARecolher",  "MR",    "MRRed",   "Total", "ICMSFEM"};
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
        QJsonObject v{{QStringLiteral("texto"), cel.texto}};
        if (cel.valor)
            v.insert(QStringLiteral("valor"), cel.valor->toPlainString(4));
        o.insert(chaveColuna(static_cast<Coluna>(c)), v);
    }
    return o;
}

QJsonObject linhaJson(const Impressao &imp, const LinhaImpressa &l)
{
    QJsonObject o{{QStringLiteral("colunas"), celulasJson(imp, l.celulas)}};
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

    QJsonObject cab{{QStringLiteral("unidade"), imp.unidade},     {QStringLiteral("titulo"), imp.titulo},
                    {QStringLiteral("rotuloDIFAL"), imp.rotuloDIFAL}, {QStringLiteral("data"), imp.data},
                    {QStringLiteral("masp"), imp.masp},           {QStringLiteral("idCalculo"), imp.idCalculo}};
    o.insert(QStringLiteral("cabecalho"), cab);
    QJsonArray colunas;
    for (int c = 0; c < NumColunas; ++c) {
        const ColunaImpressa &col = imp.colunas[static_cast<size_t>(c)];
        if (col.visivel)
            colunas.append(QJsonObject{{QStringLiteral("chave"), chaveColuna(static_cast<Coluna>(c))},
                                       {QStringLiteral("titulo"), col.titulo}});
    }
    o.insert(QStringLiteral("colunas"), colunas);

    QJsonArray notas;
    for (const NotaImpressa &n : imp.notas) {
        QJsonObject jn{{QStringLiteral("IdNota"), n.idNota},
                       {QStringLiteral("NroNF"), n.nroNF},
                       {QStringLiteral("cabecalho"),
                        QJsonArray{n.textoNF, n.textoFrete, n.textoRem, n.textoDest}},
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
        resumos.insert(r.chave, QJsonObject{{QStringLiteral("impresso"), r.visivel},
                                            {QStringLiteral("linhas"), linhas},
                                            {QStringLiteral("total"), linhaJson(imp, r.total)}});
    }
    o.insert(QStringLiteral("resumos"), resumos);

    QJsonObject codigos{{QStringLiteral("impresso"), imp.mostraCodigos}};
    if (imp.mostraCodigos) {
        codigos.insert(QStringLiteral("receita"), imp.codReceita);
        codigos.insert(QStringLiteral("ocorrencia"), imp.codOcorrencia);
        codigos.insert(QStringLiteral("mercadoria"), QJsonArray::fromStringList(imp.codMercadoria));
    }
    o.insert(QStringLiteral("codigos"), codigos);
    if (imp.medicamento) {
        o.insert(QStringLiteral("base"), QJsonArray{imp.baseNegrito, imp.baseLinha});
        o.insert(QStringLiteral("avisoMultaIsolada"), imp.avisoMultaIsolada);
    }
    o.insert(QStringLiteral("rodape"), imp.rodape);
    return o;
}

} // namespace stb
