// The quick calculation: a few lines priced in memory, never stored. Two
// in-memory datasets with the fields of Itens and ItensMedic hold the lines;
// their calculated fields follow the quick rules (no two-decimal rounding,
// the PMPF rule in every group, the credit from its rate), and the total
// applies the one freight (or medicine credit) box of the window.
//
// The window (TFormCalcRapido) and the command-line tool share this class;
// it needs QtCore and the engine's memory database only.
#pragma once

#include "platform/currency.h"
#include "platform/db/memtable.h"

#include <QObject>
#include <QString>
#include <vector>

namespace stb {

// Inputs of a general or fuel line.
struct LinhaRapida {
    Currency valorNF, valorIPI, mva, creditoICMS, aliqICMS, pmpf, litros, precoLitroNF, valorCreditoICMS;
    bool fem = false;
};
// What the quick rules give for it; valorFinal and valorICMS only in the
// difference-of-rates types, valorFEM only when a rule sets it.
struct ValoresRapidos {
    Currency totalARecolher;
    std::optional<Currency> valorFEM, valorFinal, valorICMS;
};
// `partilha` is the DIFAL share of type 3 (PartilhaDIFAL). Every function
// here throws EstouroValor, naming the amount, when one leaves the currency
// range: a capped amount is never shown.
ValoresRapidos CalculaLinhaRapida(int tipoCalculo, const LinhaRapida &l, Currency partilha);

// Inputs of a medicine line.
struct LinhaMedicRapida {
    Currency debVlMerc, debAliqICMS, mva, creditoICMS;
};
struct ValoresMedicRapidos {
    Currency totalARecolher;
    std::optional<Currency> debVlICMS; // not set in group 113
};
// The value before the margin: DebVlMerc / (1 + MVA/100), DebVlMerc itself
// when the division fails.
Currency V0Medic(const LinhaMedicRapida &l);
ValoresMedicRapidos CalculaMedicRapida(int grupo, const LinhaMedicRapida &l);

// The total box from the lines' inputs in their order: the group and type of
// the window, its freight box ("Crédito:" in group 13) and the DIFAL share.
// The window and the command-line tool both come here.
Currency TotalRapido(int grupo, int tipoCalculo, Currency frete, Currency partilha,
    const std::vector<LinhaRapida> &itens, const std::vector<LinhaMedicRapida> &medic);

class CalculoRapido : public QObject {
    Q_OBJECT

public:
    // `brelva` (the annex table) feeds the description lookup of the lines;
    // without it the lines show only their code.
    explicit CalculoRapido(db::DataSet *brelva = nullptr, QObject *parent = nullptr);
    ~CalculoRapido() override;

    // The stored fields of the two lists: those of Itens, and those of
    // ItensMedic plus the FEM amount of a medicine line.
    static db::TableDef definicaoItens();
    static db::TableDef definicaoMedic();

    db::MemTable MemItens; // general goods and fuels
    db::MemTable MemItensMedic; // medicines

    // ---- window state ------------------------------------------------------
    QString textoGrupo = QStringLiteral("Padrão");
    int grupo = -1; // -1 standard, 6 fuels, 13 medicines by table, 113 by MVA
    int tipoCalculo = 1; // 1 ICMS/ST, 2 DIFAL taxpayer, 3 DIFAL non-taxpayer, 4 FEM
    bool opInterna = true;
    Currency frete; // the freight box ("Crédito:" in group 13)
    Currency partilhaDIFAL; // the DIFAL share of the day (type 3)

    static bool grupoMedicamento(int g) { return g == 13 || g == 113; }
    // The list the group's lines go to.
    db::MemTable &lista() { return grupoMedicamento(grupo) ? MemItensMedic : MemItens; }

    // Empties both lists (open, with no rows) and the freight box.
    void limpa();
    // Deletes the current line of `tabela`; the following lines are numbered
    // down by one and the total is computed once.
    void excluiLinha(db::Table &tabela);
    // While suspended, posts and deletes do not compute the total (a list
    // filled at once computes it when complete).
    void setTotaisSuspensos(bool suspensos) { m_totaisSuspensos = suspensos; }
    // The total of the lists under the current state (the total box).
    // Throws EstouroValor when an amount leaves the currency range.
    Currency Total();
    // Works the total out and tells it: totalChanged, or totalForaDoLimite
    // with the message naming the amount that left the range.
    void calculaTotal();

    // Calculated fields of the lists.
    void MemItensCalcFields(db::DataSet &ds);
    void MemItensMedicCalcFields(db::DataSet &ds);

    // Captions: "[ICMS/ST]"..., "[Op. Interna]" / "[Op. Interestadual]".
    static QString textoTipo(int tipo);
    static QString textoOperacao(bool interna);

signals:
    // A line was posted or deleted, or the freight changed: the new total.
    void totalChanged(stb::Currency total);
    // An amount left the currency range: there is no total to show.
    void totalForaDoLimite(const QString &mensagem);

private:
    // Points the cached data fields at the lists' fields; a memory table builds
    // its data fields anew each time it opens, so this follows every open.
    void ligaCampos();
    void aposPost();
    LinhaRapida linhaAtual() const;
    LinhaMedicRapida linhaMedicAtual() const;
    bool m_renumerando = false;
    bool m_totaisSuspensos = false;

    struct CamposItens {
        db::Field *valorNF, *valorIPI, *mva, *creditoICMS, *aliqICMS, *pmpf, *litros, *precoLitroNF, *valorCreditoICMS,
            *fem, *itemBrelva, *descricaoNF;
        db::Field *xDescricao, *xDescrBrelva, *valorFinal, *valorICMS, *totalARecolher, *valorFEMCalc;
    };
    struct CamposMedic {
        db::Field *debVlMerc, *debAliqICMS, *mva, *creditoICMS;
        db::Field *debVlICMS, *totalARecolher;
    };
    CamposItens m_ci {};
    CamposMedic m_cm {};
    bool m_temLookup = false;
};

} // namespace stb
