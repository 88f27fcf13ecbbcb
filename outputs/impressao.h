// The calculation report as printed: every text and amount of every line,
// before it is laid out on pages. The report forms fill it; the band layout
// paints it and the command-line tool writes it as JSON, so both show the
// same texts.
#pragma once

#include "platform/currency.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace stb {

// The columns of the item, total and summary lines, left to right.
enum Coluna {
    ColNro, // "#"
    ColSubItem, // "SubItem\r\nBrelva" (medicines: the batch)
    ColLitros, // fuel calculations only
    ColValor, // "Valor Prod" (fuel: "$ Lt/NF"; medicines: the description)
    ColIPI, // "Valor IPI" (fuel: "Valor NF")
    ColFrete, // "Frete" (fuel: "Frete+IPI")
    ColSoma, // "Soma" (medicines: the unit price)
    ColMVA, // "MVA" (fuel: "PMPF ou MVA"; medicines: the quantity)
    ColBC, // "BC/ST"
    ColAliq, // "Aliq"
    ColICMS, // "ICMSTotal"
    ColAliqCred, // "Aliq" of the credit
    ColCred, // "Créd ICMS"
    ColDestaque, // "Destaque ICMS/ST"
    ColARecolher, // "ICMS/ST a recolher"
    ColMR, // the MR column
    ColMRRed, // the reduced-MR column
    ColTotal, // "Total a recolher"
    ColICMSFEM, // "ICMS + FEM"
    NumColunas
};

// The key naming a column in the JSON output.
QString chaveColuna(Coluna c);

// A printed cell: its text, and the amount it shows (none for texts).
struct Celula {
    QString texto;
    std::optional<Currency> valor;
};
using Celulas = std::array<Celula, NumColunas>;

// One printed line with amounts (an item, a "Total da Nota", a summary row).
struct LinhaImpressa {
    QString rotulo; // bold label at the left: "Total da Nota", "Tt Dest", "Brv"
    QString nome; // summary rows: the party, or the annex item
    Celulas celulas;
    std::optional<Celulas> fem; // the "FEM:" line under it
    QString regimes; // summary rows: the special regimes of the party
};

struct NotaImpressa {
    int idNota = 0;
    QString nroNF;
    QString textoNF, textoFrete, textoRem, textoDest; // the group header; Rem/Dest empty when not printed
    Currency valorARecolher; // stored as the invoice's TotalARecolher
    std::vector<LinhaImpressa> itens;
    std::optional<LinhaImpressa> total; // printed for more than one line
};

struct ResumoImpresso {
    QString chave; // "itens", "destinatarios", "remetentes"
    bool visivel = false;
    std::vector<LinhaImpressa> linhas;
    LinhaImpressa total;
};

struct ColunaImpressa {
    QString titulo;
    bool visivel = true;
    bool negrito = false;
};

struct Impressao {
    bool medicamento = false;
    bool analitica = false; // medicines: the detailed listing
    int opcaoMR = 0;

    // Page header.
    QString unidade;
    QString titulo;
    QString rotuloDIFAL; // empty when not shown
    QString data, masp, idCalculo;
    QString rotuloAlterna; // medicines: the screen-only toggle label
    std::array<ColunaImpressa, NumColunas> colunas;

    std::vector<NotaImpressa> notas;
    std::vector<ResumoImpresso> resumos; // in printing order

    // Codes block.
    bool mostraCodigos = true;
    QString codReceita;
    QString codOcorrencia;
    QStringList codMercadoria;
    // Medicines: the basis lines and the isolated-fine warning.
    QString baseNegrito, baseLinha;
    bool avisoMultaIsolada = false;

    QString rodape; // the remark of the page footer
};

// The texts of the report's amounts, the same as Format gives for the
// amount as a number, made straight from its four decimals (the report
// formats hundreds of thousands of them): `casas` decimals rounded half away
// from zero, with thousands separators ("%n", "%.4n", "%.1n"), and the
// shortest text ("%g").
QString textoNumero(Currency v, int casas = 2);
QString textoGeral(Currency v);

// The report as JSON: texts as printed, amounts as "1234.5678".
QJsonObject impressaoParaJson(const Impressao &imp, int paginas);

} // namespace stb
