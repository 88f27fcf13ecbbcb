// The engine's currency type: a signed 64-bit count of ten-thousandths.
//
// Sums and differences are exact (and saturate instead of wrapping; a
// CurrencyOverflowWatch tells when that happened).
// Products and quotients are evaluated in extended precision on the scaled
// values and brought back to the nearest ten-thousandth, ties to even, which
// is how the tax arithmetic of the system is defined.
#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>

namespace stb {

// Extended precision used for every intermediate product and quotient
// (the x87 80-bit format on x86).
using Extended = long double;
// The results are defined with a 64-bit mantissa: GCC and Clang on x86-64
// (Linux, and MinGW on Windows) give long double that precision. A compiler
// whose long double is a plain double (MSVC, ARM64) would round differently.
static_assert(std::numeric_limits<long double>::digits >= 64,
    "Currency arithmetic needs the 64-bit mantissa of x87 extended precision");

class Currency {
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;

    // From a raw count of ten-thousandths.
    static constexpr Currency fromRaw(std::int64_t raw)
    {
        Currency c;
        c.m_raw = raw;
        return c;
    }
    // From whole units (exact).
    static constexpr Currency fromInt(std::int64_t units) { return fromRaw(units * Scale); }
    // From an extended value in currency units: nearest ten-thousandth, ties to even;
    // values beyond the range saturate to max()/min(), NaN gives 0.
    static Currency fromExtended(Extended units);
    static Currency fromDouble(double units) { return fromExtended(static_cast<Extended>(units)); }
    // From an extended count of ten-thousandths (a value already scaled):
    // nearest integer, ties to even, saturating as fromExtended.
    static Currency fromScaled(Extended tenThousandths);

    static constexpr Currency max() { return fromRaw(INT64_MAX); }
    static constexpr Currency min() { return fromRaw(INT64_MIN); }

    constexpr std::int64_t raw() const { return m_raw; }
    Extended toExtended() const { return static_cast<Extended>(m_raw) / static_cast<Extended>(Scale); }
    double toDouble() const { return static_cast<double>(toExtended()); }
    constexpr bool isZero() const { return m_raw == 0; }

    // Exact, saturating.
    Currency operator+(Currency o) const;
    Currency operator-(Currency o) const;
    Currency operator-() const;
    Currency &operator+=(Currency o) { return *this = *this + o; }
    Currency &operator-=(Currency o) { return *this = *this - o; }

    // Extended-precision product / quotient, rounded to the ten-thousandth (ties to even).
    Currency operator*(Currency o) const;
    Currency operator/(Currency o) const; // division by zero gives 0
    Currency operator*(Extended f) const; // this × f
    Currency operator/(Extended d) const; // this / d (division by zero gives 0)

    constexpr auto operator<=>(const Currency &) const = default;

    // Plain text with "." and exactly `decimals` decimals (0..4), no grouping: "1234.5000".
    // Used for SQL text and machine-readable output.
    QString toPlainString(int decimals = 4) const;
    // The same text with four decimals, written backwards so that it ends just
    // before `end` (24 bytes of room are enough); returns where it begins.
    // For output written in bulk without a QString per amount.
    char *writePlain4(char *end) const;
    // Parses "-1234.56", "1234", "+0.5" with "." as decimal separator; at most 4 decimals
    // are kept (truncated). Returns nullopt on malformed text or overflow.
    static std::optional<Currency> parsePlain(const QString &text);

private:
    std::int64_t m_raw = 0;
};

// Round to two decimals, half away from zero (the R2 step of the tax arithmetic).
Currency ArredondaValor(Currency value);

// Every operation above that saturates instead of giving its exact result
// raises a flag of the running thread. A computation that must never show a
// capped amount watches it: the watch clears the flag on construction, tells
// whether anything saturated since, and on destruction merges its own state
// back into any enclosing watch.
class CurrencyOverflowWatch {
public:
    CurrencyOverflowWatch();
    ~CurrencyOverflowWatch();
    CurrencyOverflowWatch(const CurrencyOverflowWatch &) = delete;
    CurrencyOverflowWatch &operator=(const CurrencyOverflowWatch &) = delete;

    bool overflowed() const;
    void reset();

private:
    bool m_before;
};

} // namespace stb
