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

Expr Expr::operator+(const Expr &o) const
{
    if (m_e == o.m_e)
        return Expr(m_m + o.m_m, m_e);
    // Brought to the finer of the two scales, which is exact for amounts.
    if (m_e < o.m_e)
        return Expr(m_m * potencia10(o.m_e - m_e) + o.m_m, o.m_e);
    return Expr(m_m + o.m_m * potencia10(m_e - o.m_e), m_e);
}

Expr Expr::operator-(const Expr &o) const { return *this + Expr(-o.m_m, o.m_e); }

Expr Expr::operator/(const Expr &o) const
{
    if (o.m_m == 0 || std::isnan(o.m_m))
        return Expr(std::numeric_limits<Extended>::quiet_NaN(), 0);
    return Expr(m_m / o.m_m, m_e - o.m_e);
}

bool Expr::falhou() const { return std::isnan(m_m); }

Currency Expr::moeda() const
{
    if (falhou())
        return {};
    // One operation from the mantissa to ten-thousandths: a quotient or a
    // product by an exact power of ten is correctly rounded, so a true tie
    // reaches the rounding as a tie.
    const int deslocamento = 4 - m_e;
    if (deslocamento == 0)
        return Currency::fromScaled(m_m);
    if (deslocamento > 0)
        return Currency::fromScaled(m_m * potencia10(deslocamento));
    return Currency::fromScaled(m_m / potencia10(-deslocamento));
}

} // namespace stb
