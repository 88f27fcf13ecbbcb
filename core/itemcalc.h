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
#include "platform/db/dataset.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

namespace stb {

class TDM;

// The one fuel item whose credit is recomputed from the invoice price per litre.
inline const QString ItemCombustivelCredito = QStringLiteral("06.001.00");

// Destination share of the DIFAL (TipoCalculo 3) by year: 2017 0.60, 2018
// 0.80, 2019 to 3000 1.00, other years 0.40. The share follows the date the
// computation runs on (the computer's clock), not the invoice's date.
Currency PartilhaDIFAL(int ano);
// The share for the clock's today.
Currency PartilhaDIFAL();

// The three fine percents of section "Sistema" (whole percents).
struct ParametrosMR {
    int mrNormal = 50;
    int mrEmDobro = 100;
    int mrReducao = 20;
};
// The same read from the settings.
ParametrosMR parametrosMR();

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

// What one computation run fixes for every line it computes: the
// calculation's kind, the DIFAL share of the run's date and the fine factors.
// Built once per run (report, command-line tool) and passed to CalculaItem.
struct ContextoCalculo {
    int tipoCalculo = 0; // Calculos.TipoCalculo (null reads as 0)
    bool diferencialAliq = false; // Calculos.DiferencialAliq
    bool combustivel = false; // Calculos.Grupo is the fuel group
    Currency partilhaDIFAL; // PartilhaDIFAL of the run's year
    FatoresMR mr;
};
// The context of the calculation on the current row of `calculos` (a Calculos
// dataset; an empty or closed one gives a standard calculation), for a run
// on `hoje` with the fine factors `mr`.
ContextoCalculo contextoCalculo(const db::DataSet &calculos, const FatoresMR &mr, const QDate &hoje);

// Inputs of one line of Itens with its invoice's freight.
struct ItemEntrada {
    Currency valorNF, valorIPI, aliqICMS, mva, creditoICMS, valorCreditoICMS;
    Currency pmpf, litros, precoLitroNF;
    bool fem = false;
    QString itemBrelva;
    Currency frete; // Notas.Frete
};

// Amounts of the line; the optional ones stay empty when the rule does not set them.
struct ItemValores {
    std::optional<Currency> freteProp, soma, valorFEM, valorCreditoICMS;
    Currency valorFinal, valorICMS, icmsARecolher, valorMR, valorMRRed, totalARecolher;
};

// An amount of a line left the currency range: the computation stops rather
// than show a capped amount. The message names the field.
class EstouroValor : public std::runtime_error {
public:
    explicit EstouroValor(const QString &campo);
    const QString &campo() const { return m_campo; }
    QString mensagem() const;

private:
    QString m_campo;
};

// Computes the line under the run's context. `freteBase` gives the invoice's
// freight base; it is asked only for a line that takes a freight share.
// Throws EstouroValor when an amount leaves the currency range.
ItemValores CalculaItem(const ContextoCalculo &ctx, const ItemEntrada &e, const std::function<Currency()> &freteBase);

// A computation in progress, as a report run holds it: FCalculando on and
// the run's context in force. Rows made current while it lives compute their
// amounts; everything is restored when it ends, also by an exception.
class CalculoEmCurso {
public:
    CalculoEmCurso(TDM &dm, const ContextoCalculo &contexto);
    // The context of the data module's current calculation with the fine
    // mode `modoMR`, the fine percents of the settings and the clock's today.
    CalculoEmCurso(TDM &dm, int modoMR);
    ~CalculoEmCurso();
    CalculoEmCurso(const CalculoEmCurso &) = delete;
    CalculoEmCurso &operator=(const CalculoEmCurso &) = delete;

    const ContextoCalculo &contexto() const { return m_contexto; }

private:
    TDM &m_dm;
    db::ReadBatch m_leitura; // the run reads one state of the files
    ContextoCalculo m_contexto;
    CalculoEmCurso *m_anterior;
    bool m_calculandoAnterior;
};

} // namespace stb
