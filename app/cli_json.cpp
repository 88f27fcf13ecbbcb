#include "app/cli_json.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>
#include <tuple>

#include <QHash>
#include <QSet>

namespace cli::json {

namespace {

constexpr int MaxDepth = 200;

class Parser {
public:
    Parser(const QByteArray &data, ParseError *error, const ListSink *sink) : m_data(data), m_error(error), m_sink(sink)
    {
    }

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
            *m_error = ParseError {line, column, message};
        }
        return std::nullopt;
    }

    char peek() const { return m_pos < m_data.size() ? m_data[m_pos] : '\0'; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    void skipSpace()
    {
        const char *d = m_data.constData();
        const qsizetype n = m_data.size();
        qsizetype i = m_pos;
        while (i < n && (d[i] == ' ' || d[i] == '\n' || d[i] == '\t' || d[i] == '\r'))
            ++i;
        m_pos = i;
    }

    bool literal(const char *word)
    {
        const qsizetype n = static_cast<qsizetype>(qstrlen(word));
        if (m_data.size() - m_pos < n || std::memcmp(m_data.constData() + m_pos, word, static_cast<size_t>(n)) != 0) {
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
        out.boolean = false; // a reused value may have been true
        switch (peek()) {
        case '{':
            return object(out, depth);
        case '[':
            return array(out, depth);
        case '"':
            semFilhos(out);
            out.type = Value::Type::String;
            return string(out.text, &out.invalidText);
        case 't':
            semFilhos(out);
            semTexto(out);
            out.type = Value::Type::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            semFilhos(out);
            semTexto(out);
            out.type = Value::Type::Bool;
            out.boolean = false;
            return literal("false");
        case 'n':
            semFilhos(out);
            semTexto(out);
            out.type = Value::Type::Null;
            return literal("null");
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                semFilhos(out);
                out.invalidText = false;
                return number(out);
            }
            fail(QStringLiteral("valor inválido"));
            return false;
        }
    }

    // A value is read into a Value that may hold an earlier one (the streamed
    // list's element, the members of a reused object): what the new value
    // has no use for is dropped, the room of its texts and lists is kept.
    static void semFilhos(Value &v)
    {
        if (!v.members.empty())
            v.members.clear();
        if (!v.items.empty())
            v.items.clear();
    }
    static void semTexto(Value &v)
    {
        if (!v.text.isNull())
            v.text = QString();
        v.invalidText = false;
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
        // Assigned over the old text, whose room is reused.
        out.text = QLatin1String(m_data.constData() + start, m_pos - start);
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

    // A string's value; `invalid` (when given) tells whether its bytes were
    // not valid UTF-8 or an escape left a lone surrogate, so the caller can
    // refuse the text instead of using replacement characters.
    // `shared` (a key's) tells whether the text is the shared one of its
    // name, which no other name's text is.
    bool string(QString &out, bool *invalid = nullptr, bool key = false, bool *shared = nullptr)
    {
        ++m_pos; // opening quote
        // Most texts hold no escape: the whole span converts at once, and a
        // field name seen before shares the text made the first time.
        {
            const char *d = m_data.constData();
            const qsizetype n = m_data.size();
            bool high = false; // any byte above 0x7F seen
            const qsizetype i = fimTrecho(d, m_pos, n, high);
            if (i < n && d[i] == '"') {
                const QByteArrayView span(d + m_pos, i - m_pos);
                const bool ascii = !high;
                // Plain ASCII needs neither the UTF-8 check nor the decoder.
                const bool bad = !ascii && !span.isValidUtf8();
                if (key && !bad) {
                    const QString &nome = nomeCampo(span);
                    // A reused member already holding the name keeps it.
                    if (out.constData() != nome.constData() || out.size() != nome.size())
                        out = nome;
                    if (shared)
                        *shared = true;
                } else if (ascii) {
                    out = QLatin1String(span.data(), span.size()); // over the old text, reusing its room
                } else {
                    out = QString::fromUtf8(span);
                }
                if (invalid)
                    *invalid = bad;
                m_pos = i + 1;
                return true;
            }
        }
        QByteArray raw;
        QString result;
        bool bad = false;
        auto flush = [&] {
            if (!raw.isEmpty()) {
                if (!QByteArrayView(raw).isValidUtf8())
                    bad = true;
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
                if (QChar::isHighSurrogate(unit) && peek() == '\\' && m_pos + 1 < m_data.size()
                    && m_data[m_pos + 1] == 'u') {
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
        for (qsizetype i = 0; i < result.size() && !bad; ++i) {
            const QChar c = result.at(i);
            if (c.isHighSurrogate() && (i + 1 >= result.size() || !result.at(i + 1).isLowSurrogate()))
                bad = true;
            else if (c.isHighSurrogate())
                ++i;
            else if (c.isLowSurrogate())
                bad = true;
        }
        if (invalid)
            *invalid = bad;
        out = result;
        return true;
    }

    // Where the plain part of a text ends: the first '"', '\\' or control
    // byte from `i` on (`n` when none); `high` tells whether a byte above 0x7F
    // was passed. Eight bytes are tested at once while the buffer allows: a
    // byte of a word is zero after the XOR with a repeated '"' or '\\', and
    // below 0x20 when subtracting 0x20 borrows into its top bit. The lowest
    // byte so flagged is exact in each test (a false flag only ever sits above
    // a true one), so the lowest of the three is the end.
    static qsizetype fimTrecho(const char *d, qsizetype i, qsizetype n, bool &high)
    {
        if constexpr (std::endian::native == std::endian::little) {
            constexpr std::uint64_t um = 0x0101010101010101ull, topo = 0x8080808080808080ull;
            std::uint64_t passados = 0; // the bytes passed, OR-ed
            for (; i + 8 <= n; i += 8) {
                std::uint64_t w;
                std::memcpy(&w, d + i, 8);
                const std::uint64_t aspas = w ^ (um * '"'), barra = w ^ (um * '\\');
                const std::uint64_t fim
                    = (((aspas - um) & ~aspas) | ((barra - um) & ~barra) | ((w - um * 0x20) & ~w)) & topo;
                if (fim) {
                    const int k = std::countr_zero(fim) / 8;
                    passados |= k ? w & (~0ull >> (64 - 8 * k)) : 0;
                    high = high || (passados & topo);
                    return i + k;
                }
                passados |= w;
            }
            high = high || (passados & topo);
        }
        for (; i < n; ++i) {
            const auto c = static_cast<unsigned char>(d[i]);
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            high = high || c > 0x7F;
        }
        return i;
    }

    // The shared text of a field name. The names seen last sit in a small
    // table indexed by a cheap hash of the name (its length and its first and
    // last eight bytes), so the names that every line of a list repeats are
    // found without the general table.
    const QString &nomeCampo(QByteArrayView span)
    {
        const auto n = static_cast<size_t>(span.size());
        std::uint64_t inicio = 0, fim = 0;
        std::memcpy(&inicio, span.data(), std::min<size_t>(n, 8));
        if (n > 8)
            std::memcpy(&fim, span.data() + n - 8, 8);
        const std::uint64_t h = (inicio ^ (fim * 31) ^ n) * 0x9E3779B97F4A7C15ull;
        NomeRecente &r = m_recentes[h >> 57]; // the top 7 bits: 128 entries
        // Up to 16 bytes the two words hold the whole name.
        if (r.usado && r.tamanho == n && r.inicio == inicio && r.fim == fim
            && (n <= 16 || QByteArrayView(r.bytes) == span))
            return r.texto;
        const QByteArray probe = QByteArray::fromRawData(span.data(), span.size());
        auto it = m_keys.constFind(probe);
        if (it == m_keys.cend())
            it = m_keys.insert(QByteArray(span.data(), span.size()), QString::fromUtf8(span));
        r = NomeRecente {it.key(), *it, n, inicio, fim, true};
        return r.texto;
    }

    // `stream`: each element goes to the list sink instead of into `out`.
    bool array(Value &out, int depth, bool stream = false)
    {
        ++m_pos;
        semTexto(out);
        if (!out.members.empty())
            out.members.clear();
        out.type = Value::Type::Array;
        size_t n = 0; // elements read; any further ones are an earlier value's, reused in place
        const auto fim = [&] {
            out.items.erase(out.items.begin() + static_cast<std::ptrdiff_t>(n), out.items.end());
            return true;
        };
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            return fim();
        }
        while (true) {
            skipSpace();
            if (stream) {
                // One element at a time, read over the previous one.
                if (!value(m_elemento, depth + 1))
                    return false;
                m_sink->take(std::move(m_elemento));
            } else {
                if (n == out.items.size())
                    out.items.emplace_back(); // built in place: no move of the element
                if (!value(out.items[n++], depth + 1))
                    return false;
            }
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                return fim();
            }
            fail(QStringLiteral("esperado \",\" ou \"]\""));
            return false;
        }
    }

    bool object(Value &out, int depth)
    {
        ++m_pos;
        semTexto(out);
        if (!out.items.empty())
            out.items.clear();
        out.type = Value::Type::Object;
        // A line of the input has about eight members: room for them at once
        // instead of growing (and moving the values) member by member.
        out.members.reserve(8);
        size_t n = 0; // members read; any further ones are an earlier value's, reused in place
        const auto fim = [&] {
            out.members.erase(out.members.begin() + static_cast<std::ptrdiff_t>(n), out.members.end());
            return true;
        };
        QSet<QString> keys; // used once an object has many members
        std::uint32_t compartilhados = 0; // bit k: member k's name is shared text (k < 16)
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            return fim();
        }
        while (true) {
            skipSpace();
            if (peek() != '"') {
                fail(QStringLiteral("esperado o nome de um campo, entre aspas"));
                return false;
            }
            const qsizetype keyPos = m_pos;
            if (n == out.members.size())
                out.members.emplace_back();
            auto &membro = out.members[n];
            bool compartilhado = false;
            if (!string(membro.first, nullptr, true, &compartilhado))
                return false;
            const QString &key = membro.first;
            bool repetido = false;
            if (n < 16) {
                // Two shared names are the same name only as the same text.
                if (compartilhado)
                    compartilhados |= 1u << n;
                for (size_t k = 0; k < n && !repetido; ++k) {
                    const QString &outra = out.members[k].first;
                    if (outra.size() != key.size())
                        continue;
                    if (outra.constData() == key.constData())
                        repetido = true;
                    else if (!(compartilhado && (compartilhados >> k & 1u)))
                        repetido = outra == key;
                }
            } else {
                if (keys.isEmpty())
                    for (size_t k = 0; k < n; ++k)
                        keys.insert(out.members[k].first);
                repetido = keys.contains(key);
                keys.insert(key);
            }
            if (repetido) {
                m_pos = keyPos;
                fail(QStringLiteral("campo \"%1\" repetido").arg(key));
                return false;
            }
            skipSpace();
            if (peek() != ':') {
                fail(QStringLiteral("esperado \":\""));
                return false;
            }
            ++m_pos;
            skipSpace();
            // The member is added first and its value read in place.
            const bool stream = depth == 0 && m_sink && key == m_sink->key && peek() == '[';
            Value &v = membro.second;
            ++n;
            if (stream) {
                if (!array(v, depth + 1, true))
                    return false;
            } else if (!value(v, depth + 1)) {
                return false;
            }
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                return fim();
            }
            fail(QStringLiteral("esperado \",\" ou \"}\""));
            return false;
        }
    }

    const QByteArray &m_data;
    ParseError *m_error;
    const ListSink *m_sink;
    qsizetype m_pos = 0;
    QHash<QByteArray, QString> m_keys; // field names, shared
    struct NomeRecente {
        QByteArray bytes;
        QString texto;
        size_t tamanho = 0;
        std::uint64_t inicio = 0, fim = 0; // the first and the last eight bytes
        bool usado = false;
    };
    std::array<NomeRecente, 128> m_recentes;
    Value m_elemento; // the streamed list's element being read
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

std::optional<Value> parse(const QByteArray &utf8, ParseError *error, const ListSink *sink)
{
    if (error)
        *error = ParseError {};
    QByteArray data = utf8;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    Parser p(data, error, sink);
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

namespace {

// The common case read at once: "-123.45" (a sign, at most 14 whole digits,
// a point and at most four decimals, nothing else). Anything else, including
// exponents and values that need the exact checks, goes the long way.
std::optional<stb::Currency> plainAmount(const QString &text)
{
    const QChar *c = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    const bool negative = n > 0 && c[0] == QLatin1Char('-');
    if (negative)
        ++i;
    std::int64_t units = 0;
    int whole = 0;
    for (; i < n && c[i].unicode() >= '0' && c[i].unicode() <= '9'; ++i, ++whole)
        units = units * 10 + (c[i].unicode() - '0');
    if (whole == 0 || whole > 14)
        return std::nullopt;
    std::int64_t frac = 0;
    int decimals = 0;
    if (i < n) {
        if (c[i] != QLatin1Char('.'))
            return std::nullopt;
        for (++i; i < n && c[i].unicode() >= '0' && c[i].unicode() <= '9'; ++i, ++decimals)
            frac = frac * 10 + (c[i].unicode() - '0');
        if (decimals == 0 || decimals > 4 || i < n)
            return std::nullopt;
    }
    for (int k = decimals; k < 4; ++k)
        frac *= 10;
    const std::int64_t raw = units * 10000 + frac;
    return stb::Currency::fromRaw(negative ? -raw : raw);
}

} // namespace

std::optional<stb::Currency> parseAmount(const Value &v, QString *why)
{
    if (v.type != Value::Type::Number && v.type != Value::Type::String) {
        *why = QStringLiteral("esperado um valor numérico, %1").arg(encontrado(v));
        return std::nullopt;
    }
    if (const auto c = plainAmount(v.text))
        return c;
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

void appendAmount(std::string &out, stb::Currency c)
{
    char buf[24];
    char *const end = buf + sizeof buf;
    const char *p = c.writePlain4(end);
    out.append(p, static_cast<size_t>(end - p));
}

std::optional<QByteArray> readInputFile(const QString &path, QString *why)
{
    auto falha = [why](const QString &text) -> std::optional<QByteArray> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    std::error_code ec;
    const std::filesystem::path p(path.toStdString());
    const std::filesystem::file_status st = std::filesystem::status(p, ec);
    if (ec || !std::filesystem::exists(st))
        return falha(QStringLiteral("o arquivo não existe"));
    if (std::filesystem::is_directory(st))
        return falha(QStringLiteral("é uma pasta"));
    if (!std::filesystem::is_regular_file(st))
        return falha(QStringLiteral("não é um arquivo comum (dispositivo, pipe ou socket)"));
    const QFileInfo info(path);
    if (info.size() > MaxInputBytes)
        return falha(QStringLiteral("o arquivo tem mais de %1 MB").arg(MaxInputBytes / (1024 * 1024)));
    if (!info.isReadable())
        return falha(QStringLiteral("sem permissão de leitura"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return falha(QStringLiteral("o arquivo não pôde ser aberto"));
    // Never more than the limit, also when the file grows meanwhile.
    QByteArray data = f.read(info.size());
    for (QByteArray more = f.read(1); !more.isEmpty();
         more = f.read(std::min<qint64>(1 << 20, MaxInputBytes + 1 - data.size()))) {
        data += more;
        if (data.size() > MaxInputBytes)
            return falha(QStringLiteral("o arquivo tem mais de %1 MB").arg(MaxInputBytes / (1024 * 1024)));
    }
    if (f.error() != QFileDevice::NoError)
        return falha(QStringLiteral("erro de leitura"));
    return data;
}

} // namespace cli::json
