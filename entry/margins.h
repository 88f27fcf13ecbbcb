// Margin and rate arithmetic of the MVA and rate choice dialogs: the adjusted
// MVA and its inverse, the options of a configured rate message, and the
// credit rate given as an amount. All percentages are currency values.
#pragma once

#include "platform/currency.h"

#include <QString>
#include <QStringList>

namespace stb {

// Rounds to two decimals, halves away from zero, after bringing the value to
// the currency's ten-thousandth.
Currency round2(Extended value);

// Adjusted MVA for an interstate operation:
// round2(((1 + MVA/100) × (1 − interstate/100) / (1 − internal/100) − 1) × 100);
// 0 when the MVA or the internal rate is 0.
Currency CalculaMVAAjustada(Currency mva, Currency interestadual, Currency interna);
// The unadjusted MVA behind an adjusted one:
// round2(((1 + adjusted/100) × (1 − internal/100) / (1 − interstate/100) − 1) × 100);
// 0 when the adjusted MVA, the interstate or the internal rate is 0.
Currency CalculaMVAOriginal(Currency ajustada, Currency interestadual, Currency interna);

// What the adjusted-MVA dialog gives back once closed.
struct ResultadoMVAAjustada {
    bool aceita = false; // closed with OK and an adjusted MVA above 0
    Currency mva; // the adjusted MVA
    bool credito4 = false; // the interstate rate is 4: use 4 % as credit rate
};
ResultadoMVAAjustada ResultadoDialogoMVAAjustada(bool ok, Currency ajustada, Currency interestadual);

// The first part of a "|" list (what precedes the first "|") and its rest
// (what follows it); a list without "|" is both its own first part and rest.
QString PrimeiraParte(const QString &list);
QString RestoLista(const QString &list);

// A rate message: text, "@", option captions, "@@", option rates.
struct OpcoesAliquota {
    QString memo; // the text before the first "@", "^p" turned into "\n"
    QString captions[4]; // RadioButton1..RadioButton4
    Currency rates[4]; // r1..r4
    bool visible[4] = {true, true, false, false}; // options 3 and 4 show when their rate is above 0
    int visibleCount() const { return int(visible[0]) + visible[1] + visible[2] + visible[3]; }
};
OpcoesAliquota InterpretaMensagemAliquota(const QString &message);
// The rate chosen: r1 unless OK was pressed with option 2, 3 or 4 (1-based)
// chosen; Escape or no choice gives r1.
Currency AliquotaEscolhida(const OpcoesAliquota &opcoes, bool ok, int opcao);

// The credit rate of a credit given as an amount: amount ÷ product value ×
// 100; the configured credit rate when the product value is 0.
Currency AliqCreditoPorValor(Currency valorCredito, Currency valorProduto, Currency aliqConfigurada);

} // namespace stb
