#include "platform/currency.h"

#include <cmath>

namespace stb {

namespace {

thread_local bool t_overflow = false;

std::int64_t saturated(bool positive)
{
    t_overflow = true;
    return positive ? INT64_MAX : INT64_MIN;
}

// Nearest integer of a scaled extended value, ties to even, saturating.
// Done by hand: truncation plus the exact fractional part is much faster
// than the library's rounding, which saves and restores the FPU state.
std::int64_t roundScaled(Extended scaled)
{
    if (std::isnan(scaled))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr Extended limit = 9223372036854775808.0L;
    if (scaled >= limit)
        return saturated(true);
    if (scaled <= -limit)
        return saturated(false);
    std::int64_t i = static_cast<std::int64_t>(scaled); // toward zero
    const Extended frac = scaled - static_cast<Extended>(i); // exact
    if (frac > 0.5L || (frac == 0.5L && (i & 1))) {
        if (i != INT64_MAX)
            ++i;
    } else if (frac < -0.5L || (frac == -0.5L && (i & 1))) {
        if (i != INT64_MIN)
            --i;
    }
    return i;
}

} // namespace

Currency Currency::fromExtended(Extended units) { return fromRaw(roundScaled(units * static_cast<Extended>(Scale))); }

Currency Currency::fromScaled(Extended tenThousandths) { return fromRaw(roundScaled(tenThousandths)); }

Currency Currency::operator+(Currency o) const
{
    std::int64_t r;
    if (__builtin_add_overflow(m_raw, o.m_raw, &r))
        return fromRaw(saturated(o.m_raw > 0));
    return fromRaw(r);
}

Currency Currency::operator-(Currency o) const
{
    std::int64_t r;
    if (__builtin_sub_overflow(m_raw, o.m_raw, &r))
        return fromRaw(saturated(o.m_raw < 0));
    return fromRaw(r);
}

Currency Currency::operator-() const { return m_raw == INT64_MIN ? fromRaw(saturated(true)) : fromRaw(-m_raw); }

Currency Currency::operator*(Currency o) const
{
    const Extended p = static_cast<Extended>(m_raw) * static_cast<Extended>(o.m_raw);
    return fromRaw(roundScaled(p / static_cast<Extended>(Scale)));
}

Currency Currency::operator/(Currency o) const
{
    if (o.m_raw == 0)
        return {};
    const Extended q = static_cast<Extended>(m_raw) / static_cast<Extended>(o.m_raw);
    return fromExtended(q);
}

Currency Currency::operator*(Extended f) const { return fromRaw(roundScaled(static_cast<Extended>(m_raw) * f)); }

Currency Currency::operator/(Extended d) const
{
    if (d == 0)
        return {};
    return fromRaw(roundScaled(static_cast<Extended>(m_raw) / d));
}

QString Currency::toPlainString(int decimals) const
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 4)
        decimals = 4;
    // Work on the magnitude as unsigned so INT64_MIN prints correctly.
    const bool negative = m_raw < 0;
    std::uint64_t mag = negative ? (~static_cast<std::uint64_t>(m_raw) + 1) : static_cast<std::uint64_t>(m_raw);
    std::uint64_t div = 1;
    for (int i = decimals; i < 4; ++i)
        div *= 10;
    // Drop the extra decimals rounding half away from zero.
    std::uint64_t q = mag / div;
    if (div > 1 && (mag % div) * 2 >= div)
        ++q;
    // Digits from the right: the decimals, the point, then the units.
    char buf[32];
    char *end = buf + sizeof buf;
    char *p = end;
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char>('0' + q % 10);
        q /= 10;
    }
    if (decimals > 0)
        *--p = '.';
    do {
        *--p = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q != 0);
    bool allZero = true;
    for (const char *c = p; c < end; ++c)
        allZero = allZero && (*c == '0' || *c == '.');
    if (negative && !allZero)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

char *Currency::writePlain4(char *end) const
{
    static const char pares[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                "8081828384858687888990919293949596979899";
    std::uint64_t mag = m_raw < 0 ? ~static_cast<std::uint64_t>(m_raw) + 1 : static_cast<std::uint64_t>(m_raw);
    char *p = end;
    const auto poePar = [&p](std::uint64_t dois) {
        p -= 2;
        p[0] = pares[2 * dois];
        p[1] = pares[2 * dois + 1];
    };
    const std::uint64_t decimais = mag % 10000;
    mag /= 10000;
    poePar(decimais % 100);
    poePar(decimais / 100);
    *--p = '.';
    while (mag >= 100) {
        poePar(mag % 100);
        mag /= 100;
    }
    if (mag >= 10)
        poePar(mag);
    else
        *--p = static_cast<char>('0' + mag);
    // Four decimals: a negative amount is never all zeros, so it keeps its sign.
    if (m_raw < 0)
        *--p = '-';
    return p;
}

std::optional<Currency> Currency::parsePlain(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    int i = 0;
    bool negative = false;
    if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
        negative = t[0] == QLatin1Char('-');
        ++i;
    }
    // The magnitude is built unsigned so that INT64_MIN (one more than INT64_MAX) reads back.
    std::uint64_t units = 0;
    std::uint64_t frac = 0;
    int fracDigits = 0;
    bool anyDigit = false;
    bool inFrac = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == QLatin1Char('.') && !inFrac) {
            inFrac = true;
            continue;
        }
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
        anyDigit = true;
        const unsigned d = c.unicode() - '0';
        if (inFrac) {
            if (fracDigits < 4) {
                frac = frac * 10 + d;
                ++fracDigits;
            }
        } else {
            if (__builtin_mul_overflow(units, 10u, &units) || __builtin_add_overflow(units, d, &units))
                return std::nullopt;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    while (fracDigits < 4) {
        frac *= 10;
        ++fracDigits;
    }
    std::uint64_t mag;
    if (__builtin_mul_overflow(units, static_cast<std::uint64_t>(Scale), &mag)
        || __builtin_add_overflow(mag, frac, &mag))
        return std::nullopt;
    const std::uint64_t limit
        = negative ? (static_cast<std::uint64_t>(INT64_MAX) + 1) : static_cast<std::uint64_t>(INT64_MAX);
    if (mag > limit)
        return std::nullopt;
    if (negative)
        return fromRaw(mag == limit ? INT64_MIN : -static_cast<std::int64_t>(mag));
    return fromRaw(static_cast<std::int64_t>(mag));
}

Currency ArredondaValor(Currency value)
{
    // Integer form of trunc(100·x ± 0.5) / 100 on the scaled value: exact, no binary noise.
    const std::int64_t raw = value.raw();
    std::int64_t q = raw / 100;
    const std::int64_t r = raw % 100;
    if (raw > 0 && r >= 50)
        ++q;
    else if (raw <= 0 && r <= -50)
        --q;
    std::int64_t out;
    if (__builtin_mul_overflow(q, 100, &out))
        return Currency::fromRaw(saturated(raw > 0));
    return Currency::fromRaw(out);
}

CurrencyOverflowWatch::CurrencyOverflowWatch() : m_before(t_overflow) { t_overflow = false; }

CurrencyOverflowWatch::~CurrencyOverflowWatch() { t_overflow = t_overflow || m_before; }

bool CurrencyOverflowWatch::overflowed() const { return t_overflow; }

void CurrencyOverflowWatch::reset() { t_overflow = false; }

} // namespace stb
