// One expression of the tax rules, evaluated before it becomes an amount.
//
// The rules are written as expressions over amounts and percentages
// ("(ValorNF + ValorIPI) × (1 + MVA / 100) × AliqICMS / 100"). Inside one
// expression nothing is brought to the ten-thousandth: products, quotients
// and sums stay in extended precision, and the value is converted once, when
// it becomes an amount the rules name (a field, a base, a debit, a share...)
// or where a rule states a conversion or a rounding. Expr carries such an
// intermediate value; moeda() is that one conversion.
//
// The value is kept as a mantissa over a power of ten (the amounts' own
// ten-thousandths, a percentage's extra hundredth), exactly as a fraction of
// 128-bit integers while it fits, so that a value that ends in exactly half a
// ten-thousandth rounds to the even digit, as the currency type does; beyond
// that it is carried in extended precision and rounded once.
#pragma once

#include "platform/currency.h"

#include <cstdint>

namespace stb {

class Expr {
public:
    // An amount or a percentage, exactly as stored.
    Expr(Currency c) // NOLINT: amounts enter as they are
        : m_m(static_cast<Extended>(c.raw())),
          m_i(c.raw()),
          m_e(4),
          m_exato(true)
    {
    }
    // A whole number, exactly.
    static Expr inteiro(std::int64_t n) { return Expr(static_cast<Inteiro>(n), 0); }

    Expr operator+(const Expr &o) const;
    Expr operator-(const Expr &o) const;
    Expr operator*(const Expr &o) const;
    // A division by zero fails: the expression has no value (falhou()), and
    // converts to 0.
    Expr operator/(const Expr &o) const;
    // This value divided by 100 (a percentage taken as a fraction), exactly.
    Expr porCento() const
    {
        Expr r = *this;
        r.m_e += 2;
        return r;
    }

    bool falhou() const;
    // The conversion: the nearest ten-thousandth, ties to the even digit.
    // Beyond the currency's range it saturates and raises the overflow flag
    // that a CurrencyOverflowWatch reads; a failed expression gives 0.
    Currency moeda() const;

private:
    using Inteiro = __int128;
    Expr(Extended m, int e) : m_m(m), m_e(e) {}
    Expr(Inteiro i, int e) : m_m(static_cast<Extended>(i)), m_i(i), m_e(e), m_exato(true) {}
    // The exact value of an expression of amounts is kept as a fraction
    // m_i / (m_d × 10^m_e) of 128-bit integers while they fit; past that the
    // expression goes on in the extended format alone (m_m, computed beside
    // it all along).
    Extended m_m; // the value is m_m / 10^m_e
    Inteiro m_i = 0; // the exact numerator, while m_exato
    Inteiro m_d = 1; // the exact denominator besides the power of ten, positive
    int m_e;
    bool m_exato = false;
};

// The margin factor 1 + MVA / 100, inside an expression.
inline Expr fatorMVA(Currency mva) { return Expr::inteiro(1) + Expr(mva).porCento(); }
// value × rate / 100, converted: the ICMS of an amount at a rate.
inline Currency percentual(Currency valor, Currency aliq) { return (Expr(valor) * Expr(aliq)).porCento().moeda(); }
// The amount, or 0 when it is negative.
inline Currency positivo(Currency c) { return c > Currency() ? c : Currency(); }

} // namespace stb
