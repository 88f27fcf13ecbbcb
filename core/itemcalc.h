// Tax amounts of one invoice line, the revalidation-fine factors of a
// computation, and the DIFAL share by year.
//
// Each step is one expression of the rules, converted once to an amount
// (core/expressao.h); R2 is ArredondaValor (two decimals, half away from
// zero). Where those conversions and roundings fall is part of the result
// and is kept step by step below.
#pragma once

#include "core/regras.h"
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

// The three fine percents of the settings.
ParametrosMR parametrosMR();

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
