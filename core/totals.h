// Invoice totals: the ICMS/ST still to collect for an invoice
// (Notas.ValorARecolher), computed by SQL sums over its lines whenever an
// invoice row is fetched. The handlers live in TDM (core/totals.cpp); this
// header holds the statement texts and the number format they use.
#pragma once

#include "platform/currency.h"

#include <QString>
#include <QStringList>

namespace stb::totals {

// Lines of QryICMSARecolher; lines 2 and 6 are replaced before each run.
QStringList textoICMSARecolher();
constexpr int LinhaFreteICMSARecolher = 2;
constexpr int LinhaIdNotaICMSARecolher = 6;

// Lines of QryMedicICMSARecolher; line 3 is replaced before each run.
QStringList textoMedicICMSARecolher();
constexpr int LinhaIdNotaMedicICMSARecolher = 3;

// Lines of QryBase (freight base of an invoice, parameter :IdNota).
QStringList textoBase();

// A currency value as SQL text: four decimals, "." separator, no grouping ("1234.5000").
QString sqlMoeda(Currency valor);

// The message shown when the total cannot be computed (the total is then 0).
QString mensagemErroTotal();

} // namespace stb::totals
