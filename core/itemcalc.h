// Tax amounts of one invoice line, the revalidation-fine factors of a
// computation, and the DIFAL share by year.
//
// Every product or quotient goes through the currency operators (extended
// precision, back to the nearest ten-thousandth, ties to even); R2 is
// ArredondaValor (two decimals, half away from zero). The order of those
// conversions is part of the result and is kept step by step below.
#pragma once

#include "platform/currency.h"
#include "platform/db/database.h"

#include <QString>
#include <functional>
#include <optional>

namespace stb {

class TDM;

// The one fuel item whose credit is recomputed from the invoice price per litre.
inline const QString ItemCombustivelCredito = QStringLiteral("06.001.00");

// Destination share of the DIFAL (TipoCalculo 3) by the year of the
// computer's date: 2017 0.60, 2018 0.80, 2019 to 3000 1.00, other years 0.40.
Currency PartilhaDIFAL();
Currency PartilhaDIFAL(int ano);

// The revalidation-fine mode chosen for printing (Calculos.PrintMR) and what it gives.
struct FatoresMR {
    int percentualMR = 0;       // fine percent
    int percentualReducao = 0;  // reduction percent
    Currency PercentualMR;      // fine percent / 100
    Currency FatorReducaoMR;    // reduction percent / 100, or exactly 1 when it is 0
};
// Modes 0 to 5; any other mode counts as 0 (no fine).
FatoresMR fatoresMR(int modo, int mrNormal, int mrEmDobro, int mrReducao);
// The same with the three percents of section "Sistema" of the settings.
FatoresMR fatoresMR(int modo);

// Inputs of one line of Itens with its invoice and calculation.
struct ItemEntrada {
    Currency valorNF, valorIPI, aliqICMS, mva, creditoICMS, valorCreditoICMS;
    Currency pmpf, litros, precoLitroNF;
    bool fem = false;
    QString itemBrelva;
    Currency frete;               // Notas.Frete
    bool diferencialAliq = false; // Calculos.DiferencialAliq
    int tipoCalculo = 0;          // Calculos.TipoCalculo (null reads as 0)
    bool combustivel = false;     // FCombustivel of the running computation
    Currency percentualMR, fatorReducaoMR;
};

// Amounts of the line; the optional ones stay empty when the rule does not set them.
struct ItemValores {
    std::optional<Currency> freteProp, soma, valorFEM, valorCreditoICMS;
    Currency valorFinal, valorICMS, icmsARecolher, valorMR, valorMRRed, totalARecolher;
};

// Computes the line. `freteBase` gives the invoice's freight base; it is
// asked only for a line that takes a freight share.
ItemValores CalculaItem(const ItemEntrada &e, const std::function<Currency()> &freteBase);

// A computation in progress, as a report run holds it: FCalculando on,
// FCombustivel from the calculation's group, the fine factors of the mode.
// Rows made current while it lives compute their amounts; everything is
// restored when it ends, also when it ends by an exception.
class CalculoEmCurso {
public:
    // Fine percents from the settings.
    CalculoEmCurso(TDM &dm, int modoMR);
    CalculoEmCurso(TDM &dm, const FatoresMR &fatores);
    ~CalculoEmCurso();
    CalculoEmCurso(const CalculoEmCurso &) = delete;
    CalculoEmCurso &operator=(const CalculoEmCurso &) = delete;

    const FatoresMR &fatores() const { return m_fatores; }

private:
    TDM &m_dm;
    db::ReadBatch m_leitura; // the run reads one state of the files
    FatoresMR m_fatores;
    CalculoEmCurso *m_anterior;
    bool m_calculandoAnterior;
    bool m_combustivelAnterior;
};

} // namespace stb
