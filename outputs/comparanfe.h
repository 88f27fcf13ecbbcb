// The comparison of the ST declared in imported NF-e with the ST this program
// computes, as a section at the end of the calculation report and as a
// spreadsheet.
//
// The section is printed only when the calculation has imported invoices
// that declare ST (vST or a line's vICMSST); any other calculation prints
// exactly as before. It is laid out with the band engine's ordinary bands, so
// it follows the report to every device it is painted on.
#pragma once

#include "entry/nfeimporta.h"
#include "outputs/formrep.h"

#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace stb {

class XlsWorkbook;

// The columns of the comparison, left to right.
enum ColunaComparacao {
    CmpNF,
    CmpItem,
    CmpSubItem,
    CmpDescricao,
    CmpBCDeclarada,
    CmpBCCalculada,
    CmpBCDiferenca,
    CmpMVADeclarada,
    CmpMVACalculada,
    CmpMVADiferenca,
    CmpSTDeclarado,
    CmpSTCalculado,
    CmpSTDiferenca,
    NumColunasComparacao
};

// Head captions of the columns.
QString tituloColunaComparacao(int coluna);

// One printed row: an invoice, one of its lines, or the closing total.
struct LinhaComparacaoImpressa {
    enum class Tipo { Nota, Item, Total };
    Tipo tipo = Tipo::Item;
    std::array<QString, NumColunasComparacao> textos;
    std::array<std::optional<Currency>, NumColunasComparacao> valores; // the amounts, for the spreadsheet
    std::array<bool, NumColunasComparacao> destaque {}; // differences above one cent
};

// The rows of the comparison, in printing order: each invoice followed by its
// lines, then the total of every invoice. Empty when no invoice declares ST.
std::vector<LinhaComparacaoImpressa> LinhasComparacao(const QList<ComparacaoNota> &notas);

// Whether an imported invoice declares any ST.
bool DeclaraST(const ComparacaoNota &n);

// The report section. Prepara reads the imported invoices of the report's
// calculation; monta appends the section's bands after the codes block.
class SecaoComparacaoNFe : public SecaoRelatorio {
public:
    SecaoComparacaoNFe();
    ~SecaoComparacaoNFe() override;
    void prepara(TDM &dm, const FatoresMR &fatores) override;
    void monta(rep::RelatorioBandas &rel, double largura) override;

    const std::vector<LinhaComparacaoImpressa> &linhas() const { return m_linhas; }

private:
    std::vector<LinhaComparacaoImpressa> m_linhas;
    struct Bandas;
    std::unique_ptr<Bandas> m_bandas;
};

// The comparison as a workbook of one sheet, "Comparação NF-e": the heads,
// then the rows as printed, amounts as numbers in currency or percent format.
XlsWorkbook PlanilhaComparacaoNFe(const QList<ComparacaoNota> &notas);
// Writes it; false with the reason in `erro` when the file cannot be written.
bool GravaPlanilhaComparacaoNFe(const QList<ComparacaoNota> &notas, const QString &arquivo, QString *erro);

} // namespace stb
