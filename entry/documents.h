// Document numbers: the check digits of the CNPJ (company registry, 14
// digits) and of the state registration (IE, 13 digits), and their display
// masks. Pure functions: no state, no messages, no tables.
#pragma once

#include <QList>
#include <QString>

namespace stb {

// The text without every character of `set`; decimal digits are always kept.
QString RemoveCaracteres(const QString &text, const QString &set);

// Extracts the digits of a document number expected to hold n + 1 digits:
// fails on a space anywhere, an empty text, a text that (without spaces, "-",
// "." and "/") is not a whole number or is zero, or one of another length.
bool ExtraiDigitos(const QString &text, int n, QList<qint8> &digits);

// A CNPJ of 14 characters, or of 18 (punctuated "00.000.000/0000-00", judged
// by the characters in the digit positions whatever the separators hold),
// whose two check digits are right; all zeros is invalid.
bool CNPJValido(const QString &text);

// A 13-digit state registration whose two check digits are right.
bool InscricaoValida(const QString &text);

// A bare digit string laid out for display by its length: 14 as a CNPJ, 13
// as an IE, 11 as a CPF; empty for any other length.
QString FormataDocumento(const QString &s);

// Lays out `text` in the literal positions of an edit mask (the part before
// ";"): "0" and "9" take the next character, any other mask character is
// copied.
QString FormataMascara(const QString &mask, const QString &text);

} // namespace stb
