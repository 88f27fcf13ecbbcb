#include "platform/formatting.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace stb {

const FormatSettings &formatSettings()
{
    static const FormatSettings settings;
    return settings;
}

namespace {

// A decimal number held as text, so that rounding for display is done on the
// decimal value itself and never on binary noise.
// Value = 0.d1d2d3... × 10^exponent; `digits` has no leading or trailing
// zeros and is empty for zero. `exponent` is thus the count of integer digits.
struct Decimal {
    bool negative = false;
    QByteArray digits;
    int exponent = 0;

    bool isZero() const { return digits.isEmpty(); }

    void normalise()
    {
        int lead = 0;
        while (lead < digits.size() && digits[lead] == '0')
            ++lead;
        digits.remove(0, lead);
        exponent -= lead;
        while (!digits.isEmpty() && digits.back() == '0')
            digits.chop(1);
        if (digits.isEmpty())
            exponent = 0;
    }

    // Keeps `count` leading digits, rounding half away from zero on the next one.
    void keepDigits(int count)
    {
        if (count >= digits.size())
            return;
        if (count < 0) {
            digits.clear();
            normalise();
            return;
        }
        const bool up = digits[count] >= '5';
        digits.truncate(count);
        if (up) {
            int i = count - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.prepend('1');
                ++exponent;
            }
        }
        normalise();
    }

    void roundToDecimals(int decimals) { keepDigits(exponent + decimals); }

    // Integer part digits, "" for a magnitude below one.
    QByteArray integerDigits() const
    {
        if (exponent <= 0)
            return {};
        QByteArray s = digits.left(exponent);
        if (s.size() < exponent)
            s.append(exponent - s.size(), '0');
        return s;
    }

    // Exactly `count` fraction digits (the value must already be rounded).
    QByteArray fractionDigits(int count) const
    {
        QByteArray s;
        s.reserve(count);
        for (int i = 0; i < count; ++i) {
            const int idx = exponent + i;
            s.append(idx >= 0 && idx < digits.size() ? digits[idx] : '0');
        }
        return s;
    }
};

Decimal decimalFromScientific(const char *begin, const char *end)
{
    // Text of the form "[-]d[.ddd]e±x" as written by std::to_chars.
    Decimal d;
    const char *p = begin;
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    int pointDigits = 0;
    bool afterPoint = false;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        d.digits.append(*p);
        if (!afterPoint)
            ++pointDigits;
    }
    int exp10 = 0;
    if (p < end)
        std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exp10);
    d.exponent = pointDigits + exp10;
    d.normalise();
    return d;
}

// Shortest decimal text that reads back to the same value in its own precision:
// a value that is exactly a double is treated as that double, so 1.005 stays 1.005.
Decimal decimalFromExtended(Extended value)
{
    char buf[64];
    std::to_chars_result r;
    const double asDouble = static_cast<double>(value);
    if (static_cast<Extended>(asDouble) == value)
        r = std::to_chars(buf, buf + sizeof buf, asDouble, std::chars_format::scientific);
    else
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    Decimal d = decimalFromScientific(buf, r.ptr);
    if (d.isZero())
        d.negative = false;
    return d;
}

Decimal decimalFromDouble(double value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    Decimal d = decimalFromScientific(buf, r.ptr);
    if (d.isZero())
        d.negative = false;
    return d;
}

Decimal decimalFromMagnitude(bool negative, std::uint64_t magnitude, int scaleDigits)
{
    Decimal d;
    d.negative = negative && magnitude != 0;
    d.digits = QByteArray::number(static_cast<qulonglong>(magnitude));
    d.exponent = static_cast<int>(d.digits.size()) - scaleDigits;
    d.normalise();
    return d;
}

std::uint64_t magnitudeOf(std::int64_t v)
{
    return v < 0 ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
}

Decimal decimalFromCurrency(Currency value)
{
    return decimalFromMagnitude(value.raw() < 0, magnitudeOf(value.raw()), 4);
}

QString nonFiniteText(Extended value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString latin1(const QByteArray &a) { return QString::fromLatin1(a); }

// Integer digits with the thousands separator every three digits.
QString grouped(const QByteArray &intDigits)
{
    QString s;
    const int n = static_cast<int>(intDigits.size());
    for (int i = 0; i < n; ++i) {
        s += QLatin1Char(intDigits[i]);
        const int left = n - 1 - i;
        if (left > 0 && left % 3 == 0)
            s += formatSettings().thousandSeparator;
    }
    return s;
}

// Fixed notation with `decimals` decimals, optionally grouped, without sign.
QString fixedText(Decimal d, int decimals, bool thousands)
{
    d.roundToDecimals(decimals);
    QByteArray intDigits = d.integerDigits();
    if (intDigits.isEmpty())
        intDigits = "0";
    QString s = thousands ? grouped(intDigits) : latin1(intDigits);
    if (decimals > 0)
        s += formatSettings().decimalSeparator + latin1(d.fractionDigits(decimals));
    return s;
}

// General notation: at most `precision` significant digits, no trailing zeros,
// fixed unless the value is too large for the precision or below 0.00001,
// scientific as "1,5E20" / "1E-7" otherwise. Includes the sign.
QString generalText(Decimal d, int precision)
{
    d.keepDigits(precision);
    if (d.isZero())
        return QStringLiteral("0");
    const QString sign = d.negative ? QStringLiteral("-") : QString();
    const QChar point = formatSettings().decimalSeparator;
    if (d.exponent > precision || d.exponent < -4) {
        QString s = sign + QLatin1Char(d.digits[0]);
        if (d.digits.size() > 1)
            s += point + latin1(d.digits.mid(1));
        return s + QLatin1Char('E') + QString::number(d.exponent - 1);
    }
    QByteArray intDigits = d.integerDigits();
    if (intDigits.isEmpty())
        intDigits = "0";
    const int fraction = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
    QString s = sign + latin1(intDigits);
    if (fraction > 0)
        s += point + latin1(d.fractionDigits(fraction));
    return s;
}

// ---- FormatFloat ----------------------------------------------------------

QStringList splitSections(const QString &format)
{
    QStringList sections;
    QString current;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

struct Token {
    enum Kind { Zero, Hash, Point, Literal } kind;
    QString text;
};

// Formats the magnitude of `value` with one section; `shownZero` tells
// whether every digit shown is zero after rounding.
QString applySection(const QString &section, Decimal value, bool *shownZero)
{
    // Tokenise: digit placeholders, the decimal point and literal text.
    QList<Token> tokens;
    bool thousands = false;
    bool seenPoint = false;
    int intCount = 0, firstIntZero = -1, decCount = 0, lastDecZero = -1;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = section.indexOf(c, i + 1);
            const qsizetype stop = close < 0 ? section.size() : close;
            tokens.append(Token {Token::Literal, section.mid(i + 1, stop - i - 1)});
            i = stop;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            const bool zero = c == QLatin1Char('0');
            if (!seenPoint) {
                if (zero && firstIntZero < 0)
                    firstIntZero = intCount;
                ++intCount;
            } else {
                if (zero)
                    lastDecZero = decCount;
                ++decCount;
            }
            tokens.append(Token {zero ? Token::Zero : Token::Hash, {}});
        } else if (c == QLatin1Char('.')) {
            if (!seenPoint)
                tokens.append(Token {Token::Point, {}});
            seenPoint = true;
        } else if (c == QLatin1Char(',')) {
            if (!seenPoint)
                thousands = true;
        } else {
            tokens.append(Token {Token::Literal, QString(c)});
        }
    }

    value.roundToDecimals(decCount);
    *shownZero = value.isZero();
    QByteArray intDigits = value.integerDigits();
    const int minInt = firstIntZero < 0 ? 0 : intCount - firstIntZero;
    if (intDigits.size() < minInt)
        intDigits.prepend(QByteArray(minInt - intDigits.size(), '0'));
    QByteArray frac = value.fractionDigits(decCount);
    const int minDec = lastDecZero + 1;
    while (frac.size() > minDec && frac.back() == '0')
        frac.chop(1);

    const int n = static_cast<int>(intDigits.size());
    auto emitDigit = [&](QString &out, int idx) {
        out += QLatin1Char(intDigits[idx]);
        const int left = n - 1 - idx;
        if (thousands && left > 0 && left % 3 == 0)
            out += formatSettings().thousandSeparator;
    };
    auto emitAllIntegerDigits = [&](QString &out) {
        for (int k = 0; k < n; ++k)
            emitDigit(out, k);
    };

    // Integer digits align to the right of the integer placeholders; any
    // excess digits come out at the first placeholder.
    QString out;
    const int offset = n - intCount;
    int intPos = 0, decPos = 0;
    bool integerDone = intCount > 0;
    for (const Token &t : tokens) {
        switch (t.kind) {
        case Token::Literal:
            out += t.text;
            break;
        case Token::Point:
            if (!integerDone) {
                emitAllIntegerDigits(out);
                integerDone = true;
            }
            if (!frac.isEmpty())
                out += formatSettings().decimalSeparator;
            break;
        case Token::Zero:
        case Token::Hash:
            if (intPos < intCount) {
                if (intPos == 0 && offset > 0) {
                    for (int k = 0; k <= offset; ++k)
                        emitDigit(out, k);
                } else if (intPos + offset >= 0) {
                    emitDigit(out, intPos + offset);
                }
                ++intPos;
            } else {
                if (!integerDone) {
                    emitAllIntegerDigits(out);
                    integerDone = true;
                }
                if (decPos < frac.size())
                    out += QLatin1Char(frac[decPos]);
                ++decPos;
            }
            break;
        }
    }
    return out;
}

QString formatDecimal(const QString &format, Decimal value)
{
    const QStringList sections = splitSections(format);
    QString section = sections[0];
    bool prefixMinus = false;
    if (value.isZero()) {
        if (sections.size() >= 3 && !sections[2].isEmpty())
            section = sections[2];
    } else if (value.negative) {
        value.negative = false;
        if (sections.size() >= 2 && !sections[1].isEmpty())
            section = sections[1];
        else
            prefixMinus = true;
    }
    if (section.isEmpty()) {
        if (prefixMinus)
            value.negative = true;
        return generalText(value, 15);
    }
    if (value.exponent > 18) {
        // Beyond the digits a format can place: general notation, as for an empty format.
        value.negative = prefixMinus;
        return generalText(value, 15);
    }
    bool shownZero = false;
    const QString text = applySection(section, value, &shownZero);
    // No "-0,00": the sign is prefixed only when a non-zero digit is shown.
    return prefixMinus && !shownZero ? QLatin1Char('-') + text : text;
}

// ---- Format ---------------------------------------------------------------

bool isIntegerVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool isUnsignedVariant(const QVariant &v)
{
    return v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong;
}

Decimal decimalFromVariant(const QVariant &v)
{
    if (isUnsignedVariant(v))
        return decimalFromMagnitude(false, v.toULongLong(), 0);
    if (isIntegerVariant(v)) {
        const qlonglong n = v.toLongLong();
        return decimalFromMagnitude(n < 0, magnitudeOf(n), 0);
    }
    if (v.typeId() == QMetaType::QString) {
        if (const auto x = StrToFloat(v.toString()))
            return decimalFromExtended(*x);
        return {};
    }
    return decimalFromDouble(v.toDouble());
}

bool isNonFinite(const QVariant &v, QString *text)
{
    if (v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float)
        return false;
    const double x = v.toDouble();
    if (std::isfinite(x))
        return false;
    *text = nonFiniteText(x);
    return true;
}

QString stringOf(const QVariant &v)
{
    if (isIntegerVariant(v) || v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.canConvert<double>() && v.typeId() != QMetaType::QChar)
        return FloatToStr(v.toDouble());
    return v.toString();
}

} // namespace

QString FormatFloat(const QString &format, Extended value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return formatDecimal(format, decimalFromExtended(value));
}

QString FormatCurr(const QString &format, Currency value) { return formatDecimal(format, decimalFromCurrency(value)); }

QString Format(const QString &format, const QVariantList &args)
{
    QString out;
    int argIndex = 0;
    const qsizetype len = format.size();
    qsizetype i = 0;
    while (i < len) {
        const QChar c = format[i];
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        const qsizetype start = i;
        qsizetype p = i + 1;
        if (p < len && format[p] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i = p + 1;
            continue;
        }
        // %[index:][-][width][.precision]type; width and precision may be "*".
        auto readNumber = [&](int &value) -> bool {
            if (p < len && format[p] == QLatin1Char('*')) {
                ++p;
                value = argIndex < args.size() ? args[argIndex++].toInt() : 0;
                return true;
            }
            bool any = false;
            int v = 0;
            while (p < len && format[p].isDigit() && format[p].unicode() <= '9') {
                if (v < 100000)
                    v = v * 10 + (format[p].unicode() - '0');
                ++p;
                any = true;
            }
            if (any)
                value = v;
            return any;
        };
        {
            const qsizetype save = p;
            int index = 0;
            if (p < len && format[p] != QLatin1Char('*') && readNumber(index) && p < len
                && format[p] == QLatin1Char(':')) {
                argIndex = index;
                ++p;
            } else {
                p = save;
            }
        }
        bool leftAlign = false;
        if (p < len && format[p] == QLatin1Char('-')) {
            leftAlign = true;
            ++p;
        }
        int width = 0;
        readNumber(width);
        int precision = -1;
        if (p < len && format[p] == QLatin1Char('.')) {
            ++p;
            precision = 0;
            readNumber(precision);
        }
        if (p >= len || argIndex >= args.size()) {
            // Incomplete conversion or missing argument: copied as it stands.
            out += format.mid(start, p - start + (p < len ? 1 : 0));
            i = p + 1;
            continue;
        }
        const QChar type = format[p].toLower();
        const QVariant &arg = args[argIndex];
        QString text;
        bool known = true;
        if (type == QLatin1Char('d') || type == QLatin1Char('u') || type == QLatin1Char('x')) {
            const bool hex = type == QLatin1Char('x');
            bool negative = false;
            std::uint64_t mag;
            if (isUnsignedVariant(arg)) {
                mag = arg.toULongLong();
            } else {
                const qlonglong n = arg.toLongLong();
                negative = n < 0 && !hex;
                mag = hex ? static_cast<std::uint64_t>(n) : magnitudeOf(n);
            }
            QString digits = QString::number(static_cast<qulonglong>(mag), hex ? 16 : 10).toUpper();
            if (precision > digits.size())
                digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
            text = negative ? QLatin1Char('-') + digits : digits;
        } else if (type == QLatin1Char('f') || type == QLatin1Char('n') || type == QLatin1Char('m')
            || type == QLatin1Char('g')) {
            if (!isNonFinite(arg, &text)) {
                const Decimal d = decimalFromVariant(arg);
                if (type == QLatin1Char('g')) {
                    text = generalText(d, precision < 0 ? 15 : std::max(precision, 1));
                } else {
                    const int decimals = precision < 0 ? 2 : precision;
                    const QString body = fixedText(d, decimals, type != QLatin1Char('f'));
                    Decimal shown = d;
                    shown.roundToDecimals(decimals);
                    const bool negative = d.negative && !shown.isZero();
                    if (type == QLatin1Char('m'))
                        text = (negative ? QStringLiteral("-") : QString()) + formatSettings().currencyString
                            + QLatin1Char(' ') + body;
                    else
                        text = negative ? QLatin1Char('-') + body : body;
                }
            }
        } else if (type == QLatin1Char('s')) {
            text = stringOf(arg);
            if (precision >= 0 && text.size() > precision)
                text.truncate(precision);
        } else {
            known = false;
        }
        if (!known) {
            out += format.mid(start, p - start + 1);
            i = p + 1;
            continue;
        }
        ++argIndex;
        if (text.size() < width) {
            const QString pad(width - text.size(), QLatin1Char(' '));
            text = leftAlign ? text + pad : pad + text;
        }
        out += text;
        i = p + 1;
    }
    return out;
}

QString FloatToStr(Extended value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return generalText(decimalFromExtended(value), 15);
}

QString FloatToStrRoundTrip(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    // 17 significant digits are always enough for a double; the shortest
    // text already has at most that many, so nothing is rounded away.
    return generalText(decimalFromDouble(value), 17);
}

QString CurrToStr(Currency value) { return generalText(decimalFromCurrency(value), 19); }

namespace {

// Parses "[+-]digits[.ddd...][,digits][E[+-]digits]" ("." groups of exactly
// three digits, "," decimal separator). Returns nullopt on malformed text.
std::optional<Decimal> parseDecimal(const QString &text)
{
    const QString t = text.trimmed();
    const QChar point = formatSettings().decimalSeparator;
    const QChar group = formatSettings().thousandSeparator;
    const qsizetype len = t.size();
    qsizetype i = 0;
    auto isDigit = [&](qsizetype k) { return k < len && t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9'); };

    Decimal d;
    if (i < len && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        d.negative = t[i] == QLatin1Char('-');
        ++i;
    }
    QByteArray intDigits;
    while (i < len) {
        if (isDigit(i)) {
            intDigits.append(static_cast<char>(t[i].unicode()));
            ++i;
        } else if (t[i] == group && !intDigits.isEmpty()) {
            // A group separator must be followed by exactly three digits.
            if (!(isDigit(i + 1) && isDigit(i + 2) && isDigit(i + 3)) || isDigit(i + 4))
                return std::nullopt;
            ++i;
        } else {
            break;
        }
    }
    QByteArray fracDigits;
    if (i < len && t[i] == point) {
        ++i;
        while (isDigit(i))
            fracDigits.append(static_cast<char>(t[i++].unicode()));
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        return std::nullopt;
    long exp10 = 0;
    if (i < len && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool expNegative = false;
        if (i < len && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
            expNegative = t[i] == QLatin1Char('-');
            ++i;
        }
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i)) {
            if (exp10 < 1000000)
                exp10 = exp10 * 10 + (t[i].unicode() - '0');
            ++i;
        }
        if (expNegative)
            exp10 = -exp10;
    }
    if (i != len)
        return std::nullopt;
    d.digits = intDigits + fracDigits;
    d.exponent = static_cast<int>(intDigits.size() + exp10);
    d.normalise();
    if (d.isZero())
        d.negative = false;
    return d;
}

} // namespace

std::optional<Extended> StrToFloat(const QString &text)
{
    const auto d = parseDecimal(text);
    if (!d)
        return std::nullopt;
    if (d->isZero())
        return Extended(0);
    const QByteArray c = (d->negative ? "-0." : "0.") + d->digits + 'e' + QByteArray::number(d->exponent);
    Extended value = 0;
    const auto r = std::from_chars(c.constData(), c.constData() + c.size(), value);
    if (r.ec == std::errc::result_out_of_range)
        return d->exponent < 0 ? std::optional<Extended>(0) : std::nullopt; // underflow reads as zero
    if (r.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<Currency> StrToCurr(const QString &text)
{
    const auto d = parseDecimal(text);
    if (!d)
        return std::nullopt;
    // Ten-thousandths, truncated: the digits up to the fourth decimal.
    const int count = d->exponent + 4;
    if (d->isZero() || count <= 0)
        return Currency();
    if (count > 19)
        return std::nullopt;
    std::uint64_t mag = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = i < d->digits.size() ? d->digits[i] - '0' : 0;
        if (__builtin_mul_overflow(mag, 10u, &mag) || __builtin_add_overflow(mag, static_cast<unsigned>(digit), &mag))
            return std::nullopt;
    }
    constexpr std::uint64_t maxPositive = static_cast<std::uint64_t>(INT64_MAX);
    if (mag > maxPositive + (d->negative ? 1 : 0))
        return std::nullopt;
    const std::int64_t raw = d->negative ? static_cast<std::int64_t>(~mag + 1) : static_cast<std::int64_t>(mag);
    return Currency::fromRaw(raw);
}

QString DateToStr(const QDate &date)
{
    return date.isValid() ? date.toString(formatSettings().shortDateFormat) : QString();
}

QDate StrToDate(const QString &text)
{
    // "dd/mm/yyyy", also with one-digit day or month.
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return {};
    int values[3];
    for (int k = 0; k < 3; ++k) {
        const QString &p = parts[k];
        const int maxLen = k == 2 ? 4 : 2;
        const int minLen = k == 2 ? 4 : 1;
        if (p.size() < minLen || p.size() > maxLen)
            return {};
        values[k] = 0;
        for (const QChar c : p) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
            values[k] = values[k] * 10 + (c.unicode() - '0');
        }
    }
    return QDate(values[2], values[1], values[0]); // invalid when the day does not exist
}

QString DateTimeToStr(const QDateTime &dt)
{
    return dt.isValid() ? dt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) : QString();
}

} // namespace stb
