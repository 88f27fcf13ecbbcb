#include "app/cli_json.h"

#include <QSet>

namespace cli::json {

namespace {

constexpr int MaxDepth = 200;

class Parser {
public:
    Parser(const QByteArray &data, ParseError *error) : m_data(data), m_error(error) {}

    std::optional<Value> document()
    {
        skipSpace();
        Value v;
        if (!value(v, 0))
            return std::nullopt;
        skipSpace();
        if (m_pos < m_data.size())
            return fail(QStringLiteral("texto após o fim do documento"));
        return v;
    }

private:
    std::nullopt_t fail(const QString &message)
    {
        if (m_error && m_error->message.isEmpty()) {
            int line = 1, column = 1;
            for (qsizetype i = 0; i < m_pos && i < m_data.size(); ++i) {
                if (m_data[i] == '\n') {
                    ++line;
                    column = 1;
                } else if ((static_cast<unsigned char>(m_data[i]) & 0xC0) != 0x80) {
                    ++column;
                }
            }
            *m_error = ParseError{line, column, message};
        }
        return std::nullopt;
    }

    char peek() const { return m_pos < m_data.size() ? m_data[m_pos] : '\0'; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_pos;
    }

    bool literal(const char *word)
    {
        const qsizetype n = static_cast<qsizetype>(qstrlen(word));
        if (m_data.mid(m_pos, n) != QByteArray(word)) {
            fail(QStringLiteral("valor inválido"));
            return false;
        }
        m_pos += n;
        return true;
    }

    bool value(Value &out, int depth)
    {
        if (depth > MaxDepth) {
            fail(QStringLiteral("listas e objetos aninhados em mais de %1 níveis").arg(MaxDepth));
            return false;
        }
        if (atEnd()) {
            fail(QStringLiteral("fim inesperado do documento"));
            return false;
        }
        switch (peek()) {
        case '{':
            return object(out, depth);
        case '[':
            return array(out, depth);
        case '"':
            out.type = Value::Type::String;
            return string(out.text);
        case 't':
            out.type = Value::Type::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.type = Value::Type::Bool;
            out.boolean = false;
            return literal("false");
        case 'n':
            out.type = Value::Type::Null;
            return literal("null");
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                return number(out);
            fail(QStringLiteral("valor inválido"));
            return false;
        }
    }

    bool digits()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++m_pos;
        return m_pos > start;
    }

    bool number(Value &out)
    {
        const qsizetype start = m_pos;
        if (peek() == '-')
            ++m_pos;
        if (peek() == '0') {
            ++m_pos;
        } else if (!digits()) {
            fail(QStringLiteral("número inválido"));
            return false;
        }
        if (peek() == '.') {
            ++m_pos;
            if (!digits()) {
                fail(QStringLiteral("número inválido"));
                return false;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_pos;
            if (peek() == '+' || peek() == '-')
                ++m_pos;
            if (!digits()) {
                fail(QStringLiteral("número inválido"));
                return false;
            }
        }
        out.type = Value::Type::Number;
        out.text = QString::fromLatin1(m_data.mid(start, m_pos - start));
        return true;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool hex4(char16_t &unit)
    {
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int d = hexDigit(peek());
            if (d < 0) {
                fail(QStringLiteral("sequência \\u inválida"));
                return false;
            }
            unit = static_cast<char16_t>(unit * 16 + d);
            ++m_pos;
        }
        return true;
    }

    bool string(QString &out)
    {
        ++m_pos; // opening quote
        QByteArray raw;
        QString result;
        auto flush = [&] {
            if (!raw.isEmpty()) {
                result += QString::fromUtf8(raw);
                raw.clear();
            }
        };
        while (true) {
            if (atEnd()) {
                fail(QStringLiteral("texto sem as aspas de fechamento"));
                return false;
            }
            const char c = peek();
            if (c == '"') {
                ++m_pos;
                break;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail(QStringLiteral("caractere de controle dentro de um texto"));
                return false;
            }
            if (c != '\\') {
                raw += c;
                ++m_pos;
                continue;
            }
            ++m_pos;
            const char e = peek();
            ++m_pos;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                raw += e;
                break;
            case 'b':
                raw += '\b';
                break;
            case 'f':
                raw += '\f';
                break;
            case 'n':
                raw += '\n';
                break;
            case 'r':
                raw += '\r';
                break;
            case 't':
                raw += '\t';
                break;
            case 'u': {
                flush();
                char16_t unit;
                if (!hex4(unit))
                    return false;
                if (QChar::isHighSurrogate(unit) && peek() == '\\' && m_pos + 1 < m_data.size() && m_data[m_pos + 1] == 'u') {
                    m_pos += 2;
                    char16_t low;
                    if (!hex4(low))
                        return false;
                    result += QChar(unit);
                    result += QChar(low);
                } else {
                    result += QChar(unit);
                }
                break;
            }
            default:
                --m_pos;
                fail(QStringLiteral("sequência de escape inválida"));
                return false;
            }
        }
        flush();
        out = result;
        return true;
    }

    bool array(Value &out, int depth)
    {
        ++m_pos;
        out.type = Value::Type::Array;
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            Value item;
            if (!value(item, depth + 1))
                return false;
            out.items.push_back(std::move(item));
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                return true;
            }
            fail(QStringLiteral("esperado \",\" ou \"]\""));
            return false;
        }
    }

    bool object(Value &out, int depth)
    {
        ++m_pos;
        out.type = Value::Type::Object;
        QSet<QString> keys;
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            if (peek() != '"') {
                fail(QStringLiteral("esperado o nome de um campo, entre aspas"));
                return false;
            }
            const qsizetype keyPos = m_pos;
            QString key;
            if (!string(key))
                return false;
            if (keys.contains(key)) {
                m_pos = keyPos;
                fail(QStringLiteral("campo \"%1\" repetido").arg(key));
                return false;
            }
            keys.insert(key);
            skipSpace();
            if (peek() != ':') {
                fail(QStringLiteral("esperado \":\""));
                return false;
            }
            ++m_pos;
            skipSpace();
            Value v;
            if (!value(v, depth + 1))
                return false;
            out.members.emplace_back(key, std::move(v));
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                return true;
            }
            fail(QStringLiteral("esperado \",\" ou \"}\""));
            return false;
        }
    }

    const QByteArray &m_data;
    ParseError *m_error;
    qsizetype m_pos = 0;
};

// A decimal split into sign, digits and the power of ten of the last digit.
struct Decimal {
    bool negative = false;
    QByteArray digits; // without leading zeros (empty for zero)
    qint64 exponent = 0;
};

std::optional<Decimal> readDecimal(const QString &text, bool allowExponent)
{
    Decimal d;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && text[i] == QLatin1Char('-')) {
        d.negative = true;
        ++i;
    }
    QByteArray digits;
    bool any = false, point = false;
    qint64 fraction = 0;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.') && !point) {
            point = true;
            continue;
        }
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            any = true;
            digits += static_cast<char>(c.unicode());
            if (point)
                ++fraction;
            continue;
        }
        break;
    }
    if (!any || (point && fraction == 0) || (point && digits.size() == fraction))
        return std::nullopt; // "5." and ".5" are not amounts
    qint64 exponent = 0;
    if (i < n) {
        if (!allowExponent || (text[i] != QLatin1Char('e') && text[i] != QLatin1Char('E')))
            return std::nullopt;
        bool ok = false;
        const QString e = text.mid(i + 1);
        if (e.isEmpty() || e.size() > 6)
            return std::nullopt;
        exponent = e.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    qsizetype lead = 0;
    while (lead < digits.size() && digits[lead] == '0')
        ++lead;
    d.digits = digits.mid(lead);
    d.exponent = exponent - fraction;
    return d;
}

} // namespace

std::optional<Value> parse(const QByteArray &utf8, ParseError *error)
{
    if (error)
        *error = ParseError{};
    QByteArray data = utf8;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    Parser p(data, error);
    return p.document();
}

QString encontrado(const Value &v)
{
    switch (v.type) {
    case Value::Type::Null:
        return QStringLiteral("encontrado null");
    case Value::Type::Bool:
        return v.boolean ? QStringLiteral("encontrado true") : QStringLiteral("encontrado false");
    case Value::Type::Number:
        return QStringLiteral("encontrado número");
    case Value::Type::String:
        return QStringLiteral("encontrado texto");
    case Value::Type::Array:
        return QStringLiteral("encontrada lista");
    case Value::Type::Object:
        return QStringLiteral("encontrado objeto");
    }
    return {};
}


std::optional<stb::Currency> parseAmount(const Value &v, QString *why)
{
    if (v.type != Value::Type::Number && v.type != Value::Type::String) {
        *why = QStringLiteral("esperado um valor numérico, %1").arg(encontrado(v));
        return std::nullopt;
    }
    const auto d = readDecimal(v.text.trimmed(), v.type == Value::Type::Number);
    if (!d) {
        *why = QStringLiteral("valor malformado \"%1\"").arg(v.text);
        if (v.text.contains(QLatin1Char(',')))
            *why += QStringLiteral(" (o separador decimal é o ponto: \"12.50\")");
        return std::nullopt;
    }
    // Scale to ten-thousandths: digits × 10^(exponent + 4), exactly.
    QByteArray digits = d->digits;
    qint64 shift = d->exponent + 4;
    if (shift < 0) {
        const qint64 drop = -shift;
        const QByteArray dropped = drop >= digits.size() ? digits : digits.right(drop);
        for (char c : dropped)
            if (c != '0') {
                *why = QStringLiteral("mais de quatro casas decimais em \"%1\"").arg(v.text);
                return std::nullopt;
            }
        digits.chop(std::min<qint64>(drop, digits.size()));
        shift = 0;
    }
    if (!digits.isEmpty() && digits.size() + shift > 19) {
        *why = QStringLiteral("valor fora do limite \"%1\"").arg(v.text);
        return std::nullopt;
    }
    std::uint64_t mag = 0;
    bool overflow = false;
    auto push = [&](unsigned digit) {
        overflow = overflow || __builtin_mul_overflow(mag, 10u, &mag) || __builtin_add_overflow(mag, digit, &mag);
    };
    for (char c : digits)
        push(static_cast<unsigned>(c - '0'));
    if (!digits.isEmpty())
        for (qint64 k = 0; k < shift; ++k)
            push(0);
    if (overflow || mag > static_cast<std::uint64_t>(INT64_MAX)) {
        *why = QStringLiteral("valor fora do limite \"%1\"").arg(v.text);
        return std::nullopt;
    }
    const auto raw = static_cast<std::int64_t>(mag);
    return stb::Currency::fromRaw(d->negative ? -raw : raw);
}

std::optional<qint64> parseInteger(const Value &v, QString *why)
{
    if (v.type != Value::Type::Number && v.type != Value::Type::String) {
        *why = QStringLiteral("esperado um número inteiro, %1").arg(encontrado(v));
        return std::nullopt;
    }
    const QString t = v.text.trimmed();
    bool ok = !t.isEmpty();
    for (qsizetype i = 0; ok && i < t.size(); ++i)
        ok = t[i].isDigit() || (i == 0 && t[i] == QLatin1Char('-') && t.size() > 1);
    const qint64 n = ok ? t.toLongLong(&ok) : 0;
    if (!ok) {
        *why = QStringLiteral("esperado um número inteiro, encontrado \"%1\"").arg(v.text);
        return std::nullopt;
    }
    return n;
}

QString quote(const QString &s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace cli::json
