#include "core/expressao.h"

#include <array>
#include <cmath>
#include <limits>

namespace stb {

namespace {

// 10^0 .. 10^27 are exact in the extended format (5^27 needs 63 bits).
constexpr int MaxExato = 27;

const std::array<Extended, MaxExato + 1> &potencias()
{
    static const std::array<Extended, MaxExato + 1> p = [] {
        std::array<Extended, MaxExato + 1> t {};
        t[0] = 1;
        for (int i = 1; i <= MaxExato; ++i)
            t[static_cast<size_t>(i)] = t[static_cast<size_t>(i - 1)] * 10;
        return t;
    }();
    return p;
}

Extended potencia10(int n)
{
    return n <= MaxExato ? potencias()[static_cast<size_t>(n)] : std::pow(Extended(10), static_cast<Extended>(n));
}

} // namespace

namespace {

using Inteiro = __int128;

// 10^n as a 128-bit integer, for n from 0 to 38.
bool potencia10Inteira(int n, Inteiro &out)
{
    if (n < 0 || n > 38)
        return false;
    Inteiro p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    out = p;
    return true;
}

// −a, false for the one value whose negation does not fit.
bool nega(Inteiro a, Inteiro &out) { return !__builtin_sub_overflow(Inteiro(0), a, &out); }

// a × 10^n, false when it does not fit.
bool escala(Inteiro a, int n, Inteiro &out)
{
    Inteiro p;
    return potencia10Inteira(n, p) && !__builtin_mul_overflow(a, p, &out);
}

} // namespace

Expr Expr::operator+(const Expr &o) const
{
    // Brought to the finer of the two scales, which is exact for amounts.
    const int e = m_e > o.m_e ? m_e : o.m_e;
    if (m_exato && o.m_exato) {
        Inteiro a, b, s, d;
        if (escala(m_i, e - m_e, a) && escala(o.m_i, e - o.m_e, b) && !__builtin_mul_overflow(a, o.m_d, &a)
            && !__builtin_mul_overflow(b, m_d, &b) && !__builtin_add_overflow(a, b, &s)
            && !__builtin_mul_overflow(m_d, o.m_d, &d)) {
            Expr r(s, e);
            r.m_d = d;
            r.m_m = m_m * potencia10(e - m_e) + o.m_m * potencia10(e - o.m_e);
            return r;
        }
    }
    return Expr(m_m * potencia10(e - m_e) + o.m_m * potencia10(e - o.m_e), e);
}

Expr Expr::operator-(const Expr &o) const
{
    Expr negativo = o;
    negativo.m_m = -o.m_m;
    if (!nega(o.m_i, negativo.m_i))
        negativo.m_exato = false;
    return *this + negativo;
}

Expr Expr::operator*(const Expr &o) const
{
    if (m_exato && o.m_exato) {
        Inteiro p, d;
        if (!__builtin_mul_overflow(m_i, o.m_i, &p) && !__builtin_mul_overflow(m_d, o.m_d, &d)) {
            Expr r(p, m_e + o.m_e);
            r.m_d = d;
            r.m_m = m_m * o.m_m;
            return r;
        }
    }
    return Expr(m_m * o.m_m, m_e + o.m_e);
}

Expr Expr::operator/(const Expr &o) const
{
    if (o.m_m == 0 || std::isnan(o.m_m) || (o.m_exato && o.m_i == 0))
        return Expr(std::numeric_limits<Extended>::quiet_NaN(), 0);
    const Expr aproximado(m_m / o.m_m, m_e - o.m_e);
    if (!(m_exato && o.m_exato))
        return aproximado;
    // (a / (da 10^ea)) / (b / (db 10^eb)) = (a db) / (da b 10^(ea - eb)).
    Inteiro n, d;
    if (__builtin_mul_overflow(m_i, o.m_d, &n) || __builtin_mul_overflow(m_d, o.m_i, &d))
        return aproximado;
    if (d < 0 && !(nega(n, n) && nega(d, d)))
        return aproximado;
    int e = m_e - o.m_e;
    if (e < 0) {
        if (!escala(n, -e, n))
            return aproximado;
        e = 0;
    }
    Expr r(n, e);
    r.m_d = d;
    r.m_m = aproximado.m_m * potencia10(e - aproximado.m_e);
    return r;
}

bool Expr::falhou() const { return std::isnan(m_m); }

Currency Expr::moeda() const
{
    if (falhou())
        return {};
    const int deslocamento = 4 - m_e;
    if (m_exato) {
        // ten-thousandths = m_i × 10^deslocamento / m_d, rounded once.
        Inteiro n = m_i, d = m_d, p;
        bool cabe = deslocamento >= 0 ? escala(n, deslocamento, n)
                                      : potencia10Inteira(-deslocamento, p) && !__builtin_mul_overflow(d, p, &d);
        Inteiro q = 0;
        if (cabe) {
            q = n / d; // toward zero
            const Inteiro r = n % d; // the sign of n
            const Inteiro resto = r < 0 ? -r : r;
            // 2 × resto against d without overflow: resto < d.
            if (resto > d - resto || (resto == d - resto && (q % 2 != 0)))
                q += n < 0 ? -1 : 1;
        }
        if (cabe && q <= INT64_MAX && q >= INT64_MIN)
            return Currency::fromRaw(static_cast<std::int64_t>(q));
        if (cabe) // beyond the range: saturate as the currency type does, raising its flag
            return Currency::fromScaled(
                q > 0 ? std::numeric_limits<Extended>::max() : -std::numeric_limits<Extended>::max());
    }
    // One operation from the mantissa to ten-thousandths: a quotient or a
    // product by an exact power of ten is correctly rounded, so a true tie
    // reaches the rounding as a tie.
    if (deslocamento == 0)
        return Currency::fromScaled(m_m);
    if (deslocamento > 0)
        return Currency::fromScaled(m_m * potencia10(deslocamento));
    return Currency::fromScaled(m_m / potencia10(-deslocamento));
}

} // namespace stb
