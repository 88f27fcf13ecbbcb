// The tax rules that more than one computation applies, each written once:
// the FEM rate, the DIFAL gross-up and share, the ICMS of a line priced by
// PMPF, the freight share, the ST debit, the revalidation fine, the share of
// an invoice's highlighted ICMS/ST, and the amounts of a medicine line.
//
// The line computation (CalculaItem), the invoice totals, the quick
// calculation, the report, the NF-e import and comparison and the command-line
// tool all come here. The conversion rule of core/expressao.h holds
// throughout: a value becomes an amount once, where the rules name it.
#pragma once

#include "core/expressao.h"
#include "platform/currency.h"

#include <QString>
#include <stdexcept>

namespace stb {

// An amount left the currency range: the computation stops rather than show
// a capped amount. The message names the field.
class EstouroValor : public std::runtime_error {
public:
    explicit EstouroValor(const QString &campo);
    const QString &campo() const { return m_campo; }
    QString mensagem() const;

private:
    QString m_campo;
};

// Stops a computation at the first amount that left the currency range since
// it was created: confere("ValorFinal") throws EstouroValor naming the field.
class ConfereEstouro {
public:
    void operator()(const char *campo) const;

private:
    CurrencyOverflowWatch m_watch;
};

// ---- FEM -----------------------------------------------------------------------

// The poverty-fund surcharge, percent: added to the internal rate in the
// DIFAL gross-up and applied to the base.
inline constexpr int AliqFEMPorCento = 2;
inline Currency AliqFEM() { return Currency::fromInt(AliqFEMPorCento); }
// The FEM of a base: base × 2 / 100, converted (no two-decimal rounding).
Currency ValorFEM(Currency base);

// ---- DIFAL ---------------------------------------------------------------------

// Destination share of the DIFAL (TipoCalculo 3) by year: 2017 0.60, 2018
// 0.80, 2019 to 3000 1.00, other years 0.40. A computation takes it from the
// year of its run (ContextoCalculo), never from the clock of the moment.
Currency PartilhaDIFAL(int ano);

// The gross-up of a value net of its credit by the internal rate:
// X / (1 − (AliqICMS + 2 with FEM) / 100), converted. A zero divisor (a rate
// of 100, or 98 with FEM) gives 0.
Currency BaseDIFAL(Currency x, Currency aliqICMS, bool fem);
// The destination's part of the difference of rates:
// (base × (AliqICMS − CreditoICMS) / 100, converted) × share, converted; 0
// when the internal rate is not above the credit rate.
Currency DIFALPartilhado(Currency base, Currency aliqICMS, Currency creditoICMS, Currency partilha);

// ---- ST --------------------------------------------------------------------------

// A line priced by PMPF: the debit Litros × PMPF × AliqICMS / 100 at the
// reference price and the credit Litros × PrecoLitroNF × CreditoICMS / 100 at
// the invoice's price, still inside their expression (the invoice total
// converts each, the quick line their difference).
struct ICMSPMPF {
    Expr debito, credito;
};
ICMSPMPF ICMSLinhaPMPF(Currency litros, Currency pmpf, Currency precoLitroNF, Currency aliqICMS, Currency creditoICMS);

// A line's part of a freight: frete × (valor / base), the ratio kept whole.
// The caller skips a zero base.
Expr ParteFrete(Currency frete, Currency valor, Currency base);

// The ST debit of a base: base × (1 + MVA / 100) × AliqICMS / 100.
Expr DebitoST(Currency base, Currency mva, Currency aliqICMS);

// The rate at which a value gives a credit amount: credit × 100 / value,
// converted (the rate a dialog shows for a typed credit). The caller skips a
// zero value.
Currency AliqDoCredito(Currency credito, Currency valor);

// The credit rate of a line whose credit amount is known (an imported
// invoice's own ICMS): the line takes the amount as its credit, the invoice
// total takes rate × value. The declared rate when both give the same cents;
// otherwise (a reduced base, a base beyond the line's value) the effective
// rate credit ÷ value × 100, so that both rules credit the same amount.
Currency AliqCreditoEfetiva(Currency valor, Currency aliqDeclarada, Currency credito);

// ---- revalidation fine -------------------------------------------------------------

// The three fine percents of section "Sistema" (whole percents).
struct ParametrosMR {
    int mrNormal = 50;
    int mrEmDobro = 100;
    int mrReducao = 20;
};

// The revalidation-fine mode chosen for printing (Calculos.PrintMR) and what it gives.
struct FatoresMR {
    int multaPorCento = 0; // the fine as a whole percent (MRNormal or MREmDobro)
    int reducaoPorCento = 0; // the reduction as a whole percent (MRReducao), 0 without one
    Currency PercentualMR; // the fine as a fraction: multaPorCento / 100 (0.5000 for 50 %)
    Currency FatorReducaoMR; // reducaoPorCento / 100, or exactly 1 when there is no reduction
};
// Modes 0 to 5; any other mode counts as 0 (no fine).
FatoresMR fatoresMR(int modo, const ParametrosMR &p);
inline FatoresMR fatoresMR(int modo, int mrNormal, int mrEmDobro, int mrReducao)
{
    return fatoresMR(modo, ParametrosMR {mrNormal, mrEmDobro, mrReducao});
}

// The fine of an amount to collect (× PercentualMR) and the fine after its
// reduction (fine × FatorReducaoMR), each converted.
Currency MultaMR(Currency aRecolher, const FatoresMR &f);
Currency MultaReduzida(Currency multa, const FatoresMR &f);

// ---- highlighted ICMS/ST -------------------------------------------------------------

// A part A of an invoice's (or a calculation's) amount to collect takes its
// share of the highlighted ICMS/ST D: A × D / (D + V), with V the amount to
// collect of the whole; 0 when nothing is highlighted (or D + V is 0).
Currency ParteDestaque(Currency a, Currency destaque, Currency valorARecolher);

// What an invoice's lines leave to collect once its highlight D is deducted:
// their sum less D, never below 0 (the invoice's own total clamps the same
// way, so the total line never shows less than its lines).
Currency AposDestaque(Currency somaLinhas, Currency destaque);

// A summary row after the highlight is apportioned (the report's working
// sets): the share rounded to cents, what is left to collect, its fine
// (× the fine percent / 100) and reduced fine (× both factors), each rounded
// to cents, and the total.
struct RateioDestaque {
    Currency parte, aRecolher, valorMR, valorMRRed, totalARecolher;
};
RateioDestaque RateiaDestaque(Currency a, Currency destaque, Currency valorARecolher, const FatoresMR &f);

// ---- medicines -------------------------------------------------------------------------

// The value of a medicine line: quantity × unit price × (1 + MVA / 100), the
// factor 1 when the MVA is 0 (the price table's price, in group 13).
Currency ValorItemMedic(Currency quantidade, Currency vlUnit, Currency mva);

// The amounts a medicine line is printed and compared with. `credito` is the
// line's credit, `aRecolher` its ICMS less the credit; the fine rounded as
// the report rounds it.
struct ValoresLinhaMedic {
    Currency icms, credito, aRecolher, valorMR, valorMRRed, totalARecolher;
};
// A line of the detailed listing: ICMS = DebVlMerc × DebAliqICMS / 100; the
// invoice's credit (CreditoICMSMedic) shared by value over S, the sum of the
// invoice's DebVlMerc, rounded to cents; to collect, fine and total rounded
// to cents.
ValoresLinhaMedic LinhaMedicAnalitica(
    Currency debVlMerc, Currency debAliqICMS, Currency creditoNota, Currency somaNota, const FatoresMR &f);
// The one line of an invoice in the summarised listing, from the sums of its
// lines' DebVlICMS (each rounded to cents) and the invoice's credit.
ValoresLinhaMedic LinhaMedicSintetica(Currency icms, Currency creditoNota, const FatoresMR &f);

} // namespace stb
