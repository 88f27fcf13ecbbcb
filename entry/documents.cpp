#include "entry/documents.h"

namespace stb {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

int valor(QChar c) { return c.unicode() - u'0'; }

// Check digit of modulus 11: 11 - (S mod 11), with 10 and 11 becoming 0.
int digitoModulo11(int soma)
{
    const int d = 11 - soma % 11;
    return d >= 10 ? 0 : d;
}

} // namespace

QString RemoveCaracteres(const QString &text, const QString &set)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (isDigit(c) || !set.contains(c))
            out += c;
    return out.size() == text.size() ? text : out;
}

bool ExtraiDigitos(const QString &text, int n, QList<qint8> &digits)
{
    if (text.contains(QLatin1Char(' ')) || text.isEmpty())
        return false;
    QString t = text;
    t.remove(QLatin1Char('-')).remove(QLatin1Char('.')).remove(QLatin1Char('/'));
    // A whole number (64 bits), and not zero.
    for (const QChar c : t)
        if (!isDigit(c))
            return false;
    bool ok = false;
    if (t.toLongLong(&ok) == 0 || !ok)
        return false;
    if (t.size() != n + 1)
        return false;
    digits.clear();
    for (const QChar c : t)
        digits << static_cast<qint8>(valor(c));
    return true;
}

bool CNPJValido(const QString &text)
{
    static const int kPontuado[14] = {0, 1, 3, 4, 5, 7, 8, 9, 11, 12, 13, 14, 16, 17};
    int d[14];
    if (text.size() == 14) {
        for (int i = 0; i < 14; ++i)
            d[i] = valor(text[i]);
    } else if (text.size() == 18) {
        for (int i = 0; i < 14; ++i)
            d[i] = valor(text[kPontuado[i]]);
    } else {
        return false;
    }
    int soma = 0;
    for (int v : d)
        soma += v;
    if (soma == 0)
        return false;
    // Positions 13 and 14 (1-based): weights from k - 8 down to 2, then from 9.
    for (int k = 13; k <= 14; ++k) {
        int s = 0;
        int peso = k - 8;
        for (int i = 0; i < k - 1; ++i) {
            s += d[i] * peso;
            peso = peso == 2 ? 9 : peso - 1;
        }
        if (digitoModulo11(s) != d[k - 1])
            return false;
    }
    return true;
}

bool InscricaoValida(const QString &text)
{
    QList<qint8> d;
    if (!ExtraiDigitos(text, 12, d))
        return false;
    // Weights 1, 2 alternate with an implied zero after the municipality code,
    // so d2 and d3 both weigh one; a doubled digit counts by its digit sum.
    const auto g = [](int x) { return x <= 4 ? 2 * x : 2 * x - 9; };
    const int s1 = d[0] + g(d[1]) + d[2] + d[3] + g(d[4]) + d[5] + g(d[6]) + d[7] + g(d[8]) + d[9] + g(d[10]);
    const int dv1 = s1 % 10 == 0 ? 0 : 10 - s1 % 10;
    if (dv1 != d[11])
        return false;
    static const int kPesos[12] = {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    int s2 = 0;
    for (int i = 0; i < 12; ++i)
        s2 += kPesos[i] * d[i];
    return digitoModulo11(s2) == d[12];
}

QString FormataMascara(const QString &mask, const QString &text)
{
    const QString layout = mask.section(QLatin1Char(';'), 0, 0);
    QString out;
    qsizetype k = 0;
    for (const QChar m : layout) {
        if (m == QLatin1Char('0') || m == QLatin1Char('9')) {
            if (k < text.size())
                out += text[k++];
        } else {
            out += m;
        }
    }
    return out;
}

QString FormataDocumento(const QString &s)
{
    switch (s.size()) {
    case 14:
        return FormataMascara(QStringLiteral("00.000.000/0000-00;0"), s);
    case 13:
        return FormataMascara(QStringLiteral("000.000.000.0000;0"), s);
    case 11:
        return FormataMascara(QStringLiteral("000.000.000-00;0"), s);
    default:
        return {};
    }
}

} // namespace stb
