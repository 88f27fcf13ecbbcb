// Rules an annex entry brings to a goods line, shared by the item dialog and
// the invoice import: which scopes refuse the entry, and the internal rate
// used to adjust the margin of an interstate operation.
#pragma once

#include "platform/currency.h"

#include <QString>

namespace stb {

// Why an annex entry is refused for a line of the calculation.
enum class RecusaAmbito {
    Nenhuma,
    ForaDaRevenda, // a scope that excludes resale, in an ICMS/ST calculation (type 1)
    SoCombustiveis, // the fuel dialog accepts item 6 only
    Especial, // fuels and medicines need a calculation of their own kind
};
// `grupo` is the calculation's goods group (0 for a standard one). The goods
// of the fuel and medicine items need the calculation of their group
// (GrupoEspecialDoItem); either medicine group takes the medicine item.
RecusaAmbito RegraAmbito(int tipoCalculo, int grupo, bool modoCombustivel, int item, int ambito);
// The error the user reads for a refusal (empty for Nenhuma).
QString MensagemRecusaAmbito(RecusaAmbito recusa, int item, int ambito);
// Items whose ST is usually priced by PMPF or by the maker's price (a warning, not a refusal).
bool ItemAvisoPMPF(int item);

// The internal rate an interstate margin is adjusted to: the rate of the
// code, or of its item, in "MVAAjustada.Aliq" of the reference settings;
// `aliqInterna` (the line's internal rate) when neither is configured.
Currency AliqInternaMVAAjustada(const QString &code, Currency aliqInterna);

} // namespace stb
