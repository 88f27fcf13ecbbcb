// The calculation report: the general form (TFormRep) and the medicine form
// (TFormRepMedic), built on one skeleton.
//
// Prepara() runs the preparation of a printing: the fine factors of the
// option, the computation over the current calculation, the amounts stored
// back (each invoice's TotalARecolher, the calculation's PrintMR and
// PrintObserv), the working sets MemRemet, MemDest and MemMVA with the
// apportioned highlight, and every printed text. The result is painted on any
// paged device by the band layout, page N of M included.
#pragma once

#include "core/itemcalc.h"
#include "outputs/bandas.h"
#include "outputs/impressao.h"
#include "outputs/relatoriodados.h"

#include <QHash>
#include <memory>

class QIODevice;
class QPagedPaintDevice;

namespace stb {

namespace db {
class MemTable;
}
class IniFile;
class TDM;

// What a report reads besides the calculation.
struct ConfigRelatorio {
    bool somaMR = true; // "Total a recolher" adds the reduced MR to the ICMS
    int mrNormal = 50, mrEmDobro = 100, mrReducao = 20;
    bool contribuinte = false; // the taxpayer edition
    QString unidade; // the unit's name, at the top left of every page
    // The codes configuration (STBrelva2.ini: CodOcorrencia, CodMercadoria,
    // Mercadorias, and the list margins of MVA.Medic.15.1 for the basis line
    // of an MVA medicine report); without it every code takes its default and
    // every margin is 0.
    IniFile *codigos = nullptr;

    // The program's own: its settings and the edition it was built as.
    static ConfigRelatorio doPrograma();
};

// A section printed after the codes block, laid out through the band engine
// like the rest of the report. The report owns its sections.
class SecaoRelatorio {
public:
    virtual ~SecaoRelatorio() = default;
    // Reads what the section prints; run by Prepara after the report's own
    // preparation, with the fine factors of the printing.
    virtual void prepara(TDM &dm, const FatoresMR &fatores) = 0;
    // Appends the section's sub-reports (which it keeps owning) to `rel`,
    // whose bands are `largura` mm wide; nothing when it has nothing to print.
    virtual void monta(rep::RelatorioBandas &rel, double largura) = 0;
};

// The skeleton both report forms share.
class RelatorioCalculo {
public:
    virtual ~RelatorioCalculo();
    RelatorioCalculo(const RelatorioCalculo &) = delete;
    RelatorioCalculo &operator=(const RelatorioCalculo &) = delete;

    // Prepares a printing of the data module's current calculation with the
    // MR option (0 to 5) and the footer remark.
    void Prepara(int opcaoMR, const QString &observ);

    // Adds a section after the codes block (before Prepara).
    void adicionaSecao(std::unique_ptr<SecaoRelatorio> secao);
    const std::vector<std::unique_ptr<SecaoRelatorio>> &secoes() const { return m_secoes; }

    const Impressao &impressao() const { return m_imp; }
    const FatoresMR &fatores() const { return m_fatores; }
    rep::RelatorioBandas &bandas() { return *m_bandas; }
    // Lays the pages out (once) and returns their count.
    int paginas();
    // Paints every page; `tela` marks the screen preview.
    void imprime(QPagedPaintDevice &device, bool tela);
    // Writes the pages as a PDF file ("Memória de Cálculo" and the calculation
    // as its title). False when writing to `saida` failed.
    bool gravaPdf(QIODevice &saida);

    // Captions of the MR columns for the percentages of an option.
    static QString tituloMR(const FatoresMR &f);
    static QString tituloMRRed(const FatoresMR &f);

    // Amounts summed into a row of MemRemet, MemDest or MemMVA.
    struct Totais {
        Currency valorNF, valorIPI, frete, soma, valorFinal, valorICMS, creditoICMS, icmsARecolher, valorMR, valorMRRed,
            totalARecolher, valorFEM, destaque;
        Currency valorFEMMR, valorFEMMRRed; // set when written to a working set
        void adiciona(const Totais &o);
    };

protected:
    RelatorioCalculo(TDM &dm, const ConfigRelatorio &cfg);

    // The form's own part of the preparation: the invoices' lines, the
    // working sets and the codes, from the calculation as read.
    virtual void preparaNotas(const CalculoLido &c) = 0;
    virtual void preparaCodigos(const CalculoLido &c) = 0;
    virtual double larguraUtil() const = 0; // width of the bands, mm
    virtual double margemLateral() const = 0; // left and right margins, mm

    // ---- working sets -------------------------------------------------------
    struct Conjunto {
        struct Linha {
            QString chave, nome;
            Totais t;
        };
        std::vector<Linha> linhas;
        QHash<QString, int> pos;
        Linha &linha(const QString &chave, const QString &nome); // located, or appended with the name
    };
    // Writes the three sets into the data module's working sets, apportions
    // the highlight D over them (when D > 0, with V the invoices' amounts to
    // collect) and reads their rows back into the summaries, in the sets' order.
    void montaResumos(const Conjunto &remet, const Conjunto &dest, const Conjunto &mva, Currency d, Currency v);
    // Special-regime texts kept per document (the first one stored counts).
    void guardaRegimes(const QString &cnpj, const QString &ie, const QString &item);

    // ---- printed cells ---------------------------------------------------------
    static Celula celN(Currency v); // "%n"
    static Celula celNBranco(Currency v); // "%n", blank when 0
    static Celula cel4Branco(Currency v); // "%.4n", blank when 0
    static Celula cel1Branco(Currency v); // "%.1n", blank when 0
    static Celula celPct(Currency v); // "%g%%"
    static Celula celTexto(const QString &t);
    // The amount a printed cell shows, read back from its text (0 when it is not a number).
    static Currency lido(const Celula &c);
    // MR, reduced MR and "Total a recolher" of a line from its "ICMS/ST a
    // recolher"; without SomaMR the total is `totalSemSoma`.
    void aplicaMR(Celulas &c, Currency totalSemSoma) const;
    // The "FEM:" line for a FEM amount beside the line's "Total a recolher".
    Celulas linhaFEM(Currency fem, const Celula &totalLinha) const;
    // Total line of a summary or an invoice from the amounts it adds up.
    LinhaImpressa linhaResumo(
        const QString &rotulo, const QString &nome, const Totais &t, bool fem, bool somaNaLinha) const;

    TDM &m_dm;
    ConfigRelatorio m_cfg;
    FatoresMR m_fatores;
    Impressao m_imp;
    bool m_combustivel = false;
    bool m_diferencial = false; // the DIFAL columns are hidden
    QHash<QString, QString> m_regimes; // document -> special regimes text
    QHash<QString, QString> m_regimesLidos; // document + item -> text, looked up once
    std::vector<int> m_itensMVA; // annex item numbers of the MemMVA rows, in its order
    std::vector<std::unique_ptr<SecaoRelatorio>> m_secoes;
    std::unique_ptr<rep::RelatorioBandas> m_bandas;

private:
    void montaBandas();
    // Whether page `pagina` begins inside an added section (first pass done).
    bool paginaDeSecao(int pagina) const;
    struct Layout;
    std::unique_ptr<Layout> m_layout;
};

// The general report: every calculation but the two medicine groups.
class TFormRep : public RelatorioCalculo {
public:
    TFormRep(TDM &dm, const ConfigRelatorio &cfg);

protected:
    void preparaNotas(const CalculoLido &c) override;
    void preparaCodigos(const CalculoLido &c) override;
    double larguraUtil() const override { return 276.7; }
    double margemLateral() const override { return 10.16; }

private:
    LinhaImpressa linhaItem(const NotaLida &n, const ItemLido &it) const;
    LinhaImpressa totalNota(const NotaLida &n) const;
    bool m_arroz = false;
};

// The medicine report (groups 13 and 113), detailed or summarised.
class TFormRepMedic : public RelatorioCalculo {
public:
    TFormRepMedic(TDM &dm, const ConfigRelatorio &cfg, bool analitica);
    ~TFormRepMedic() override;

protected:
    void preparaNotas(const CalculoLido &c) override;
    void preparaCodigos(const CalculoLido &c) override;
    double larguraUtil() const override { return 256.4; }
    double margemLateral() const override { return 20.32; }

private:
    bool m_analitica;
    std::unique_ptr<db::MemTable> m_memMedic; // the printed medicine lines of a run
};

// The form for the current calculation of the data module: the medicine
// report for groups 13 and 113, the general one otherwise.
std::unique_ptr<RelatorioCalculo> CriaRelatorio(TDM &dm, const ConfigRelatorio &cfg, bool analitica);

} // namespace stb
