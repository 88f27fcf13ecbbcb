// Number and date text in the process's conventions: "," decimal separator,
// "." thousands separator, "dd/mm/yyyy" short dates, "R$" currency string.
// The program forces these at start so that every workstation formats alike.
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

namespace stb {

struct FormatSettings {
    QChar decimalSeparator = QLatin1Char(',');
    QChar thousandSeparator = QLatin1Char('.');
    QString currencyString = QStringLiteral("R$");
    QString shortDateFormat = QStringLiteral("dd/MM/yyyy"); // Qt pattern of "dd/mm/yyyy"
};

// The process-wide settings (forced at start; tests may read them).
const FormatSettings &formatSettings();

// Formats a value with a numeric display format of up to three sections
// "positive;negative;zero": "0" digit, "#" optional digit, "." decimal point,
// "," anywhere before it turns thousands grouping on, quoted text and any other
// character are literal. A negative value shown through the negative section
// loses its sign (the section supplies it); an empty zero section falls back
// to the first one; a zero section of one blank shows a blank.
// Examples: FormatFloat(",0.00", 1234.5) = "1.234,50";
//           FormatFloat(",0.00;-,0.00; ", 0) = " ".
QString FormatFloat(const QString &format, Extended value);
QString FormatCurr(const QString &format, Currency value);

// printf-like formatting of one value with the conversions the system uses:
// "%n" (number with thousands separators, default 2 decimals; "%.4n"),
// "%g" (general, shortest form), "%m" (money: "R$ 1.234,56", "-R$ 1.234,56"),
// "%f", "%d", "%s", "%%" and widths/precisions as in "%.2f" or "%0.3d".
// Extra literal text around the conversions is copied.
QString Format(const QString &format, const QVariantList &args);

// Plain number text with "," as decimal separator and no grouping ("12,5", "0").
// FloatToStr shows at most 15 significant digits; FloatToStrRoundTrip the
// shortest text that reads back to the same double ("38,24", "0,30000000000000004").
// Both switch to "1,5E20" / "1E-7" notation for very large or small values.
QString FloatToStr(Extended value);
QString FloatToStrRoundTrip(double value);
QString CurrToStr(Currency value);

// Parses "1.234,56", "-12,5", "12" with the process separators ("." groups are
// accepted and ignored). Returns nullopt on malformed text.
std::optional<Extended> StrToFloat(const QString &text);
std::optional<Currency> StrToCurr(const QString &text);

// Dates in the short date format "dd/mm/yyyy"; invalid text gives an invalid date.
QString DateToStr(const QDate &date);
QDate StrToDate(const QString &text);
QString DateTimeToStr(const QDateTime &dt); // "dd/mm/yyyy hh:mm:ss"

} // namespace stb
