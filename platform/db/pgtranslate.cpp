#include "platform/db/pgtranslate.h"

#include "platform/clock.h"
#include "platform/db/pgvalue.h"

#include <vector>

namespace stb::db {

namespace {

struct Token {
    enum Kind { Space, Comment, Word, Quoted, Text, Number, Param, Symbol } kind;
    QString text;
};

bool wordStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool wordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// Splits a statement into tokens; strings, quoted names and comments stay whole.
std::vector<Token> lex(const QString &s)
{
    std::vector<Token> out;
    const int n = s.size();
    int i = 0;
    auto until = [&](int from, QChar close) {
        int j = from;
        while (j < n) {
            if (s[j] == close) {
                if (close != QLatin1Char(']') && j + 1 < n && s[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = s[i];
        const int b = i;
        Token::Kind kind;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            kind = Token::Space;
        } else if (s.mid(i, 2) == QLatin1String("/*")) {
            const int e = s.indexOf(QLatin1String("*/"), i + 2);
            i = e < 0 ? n : e + 2;
            kind = Token::Comment;
        } else if (s.mid(i, 2) == QLatin1String("--")) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            kind = Token::Comment;
        } else if (c == QLatin1Char('\'')) {
            i = until(i + 1, c);
            kind = Token::Text;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            i = until(i + 1, c == QLatin1Char('[') ? QLatin1Char(']') : c);
            kind = Token::Quoted;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.')))
                ++i;
            kind = Token::Number;
        } else if (wordStart(c)) {
            while (i < n && wordChar(s[i]))
                ++i;
            kind = Token::Word;
        } else if (c == QLatin1Char(':') && i + 1 < n && wordChar(s[i + 1])) {
            ++i;
            while (i < n && wordChar(s[i]))
                ++i;
            kind = Token::Param;
        } else {
            ++i;
            kind = Token::Symbol;
        }
        out.push_back({kind, s.mid(b, i - b)});
    }
    return out;
}

class Translator {
public:
    explicit Translator(std::vector<Token> t) : m_t(std::move(t)) {}

    QString run(PgSql &out)
    {
        m_out = &out;
        const int n = static_cast<int>(m_t.size());
        const QString sql = range(0, n);
        // The folder engine gives the rows of a UNION in order; the server
        // gives them as its hashing leaves them, unless told.
        const int lastUnion = topLevel(0, n, "UNION", true);
        if (lastUnion >= 0 && topLevel(lastUnion, n, "ORDER") < 0)
            return QStringLiteral("SELECT * FROM (%1) AS stb_uniao ORDER BY stb_uniao").arg(sql);
        return sql;
    }

private:
    bool sig(int i) const { return m_t[i].kind != Token::Space && m_t[i].kind != Token::Comment; }
    bool isSym(int i, char c) const { return m_t[i].kind == Token::Symbol && m_t[i].text == QLatin1Char(c); }
    bool isWord(int i, const char *w) const
    {
        return m_t[i].kind == Token::Word && m_t[i].text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    int nextSig(int i, int end) const
    {
        for (int j = i + 1; j < end; ++j)
            if (sig(j))
                return j;
        return -1;
    }
    int closing(int open, int end) const
    {
        int depth = 0;
        for (int j = open; j < end; ++j) {
            if (isSym(j, '('))
                ++depth;
            else if (isSym(j, ')') && --depth == 0)
                return j;
        }
        return -1;
    }
    // A keyword (or "," for word == nullptr) at parenthesis depth 0 of [b, e); -1 when none.
    int topLevel(int b, int e, const char *word, bool last = false) const
    {
        int depth = 0, found = -1;
        for (int j = b; j < e; ++j) {
            if (isSym(j, '('))
                ++depth;
            else if (isSym(j, ')'))
                --depth;
            else if (depth == 0 && (word ? isWord(j, word) : isSym(j, ','))) {
                found = j;
                if (!last)
                    return j;
            }
        }
        return found;
    }

    QString bind(const QString &name)
    {
        int k = -1;
        for (int i = 0; i < m_out->params.size(); ++i)
            if (m_out->params[i].compare(name, Qt::CaseInsensitive) == 0)
                k = i;
        if (k < 0) {
            m_out->params << name;
            k = static_cast<int>(m_out->params.size()) - 1;
        }
        return QStringLiteral("$%1").arg(k + 1);
    }

    static QString castType(const QString &engineType)
    {
        QString t = engineType.simplified().toUpper();
        const int paren = t.indexOf(QLatin1Char('('));
        const QString base = (paren < 0 ? t : t.left(paren)).trimmed();
        if (base == QLatin1String("MONEY") || base == QLatin1String("CURRENCY") || base == QLatin1String("BCD"))
            return QStringLiteral("NUMERIC(19,4)");
        if (base == QLatin1String("FLOAT") || base == QLatin1String("DOUBLE"))
            return QStringLiteral("DOUBLE PRECISION");
        if (base == QLatin1String("MEMO"))
            return QStringLiteral("TEXT");
        if (base == QLatin1String("AUTOINC") || base == QLatin1String("WORD"))
            return QStringLiteral("INTEGER");
        if (base == QLatin1String("LARGEINT"))
            return QStringLiteral("BIGINT");
        if (base == QLatin1String("DATETIME"))
            return QStringLiteral("TIMESTAMP");
        return t;
    }

    QString range(int b, int e)
    {
        QString s;
        for (int i = b; i < e; ++i) {
            const Token &tok = m_t[i];
            switch (tok.kind) {
            case Token::Param:
                s += bind(tok.text.mid(1));
                continue;
            case Token::Quoted:
                s += QLatin1Char('"')
                    + tok.text.mid(1, tok.text.size() - 2).toLower().replace(QLatin1Char('"'), QLatin1String("\"\""))
                    + QLatin1Char('"');
                continue;
            case Token::Word:
                break;
            default:
                s += tok.text;
                continue;
            }
            const QString u = tok.text.toUpper();
            if (u == QLatin1String("CURRENT_DATE")) {
                s += bind(QStringLiteral("@today")) + QStringLiteral("::date");
                continue;
            }
            if (u == QLatin1String("CURRENT_TIMESTAMP")) {
                s += bind(QStringLiteral("@now")) + QStringLiteral("::timestamp");
                continue;
            }
            if (u == QLatin1String("CURRENT_TIME")) {
                s += bind(QStringLiteral("@now")) + QStringLiteral("::timestamp::time");
                continue;
            }
            const int p = nextSig(i, e);
            const int q = p >= 0 && isSym(p, '(') ? closing(p, e) : -1;
            if (q >= 0 && u == QLatin1String("CAST")) {
                const int as = topLevel(p + 1, q, "AS", true);
                if (as >= 0) {
                    QString type;
                    for (int j = as + 1; j < q; ++j)
                        type += m_t[j].text;
                    s += QStringLiteral("CAST(") + range(p + 1, as).trimmed() + QStringLiteral(" AS ") + castType(type)
                        + QLatin1Char(')');
                    i = q;
                    continue;
                }
            }
            if (q >= 0 && u == QLatin1String("ST_LIKECI")) {
                const int c1 = topLevel(p + 1, q, nullptr);
                const int c2 = c1 < 0 ? -1 : topLevel(c1 + 1, q, nullptr);
                if (c1 >= 0) {
                    s += QStringLiteral("(UPPER(") + range(p + 1, c1).trimmed() + QStringLiteral(") LIKE UPPER(")
                        + range(c1 + 1, c2 < 0 ? q : c2).trimmed() + QLatin1Char(')');
                    if (c2 >= 0)
                        s += QStringLiteral(" ESCAPE ") + range(c2 + 1, q).trimmed();
                    s += QLatin1Char(')');
                    i = q;
                    continue;
                }
            }
            if (q >= 0 && (u == QLatin1String("POS") || u == QLatin1String("POSITION"))) {
                const int in = topLevel(p + 1, q, "IN");
                const int comma = in < 0 ? topLevel(p + 1, q, nullptr) : -1;
                if (in >= 0) {
                    s += QStringLiteral("POSITION(") + range(p + 1, in).trimmed() + QStringLiteral(" IN ")
                        + range(in + 1, q).trimmed() + QLatin1Char(')');
                    i = q;
                    continue;
                }
                if (comma >= 0) {
                    s += QStringLiteral("STRPOS(") + range(comma + 1, q).trimmed() + QStringLiteral(", ")
                        + range(p + 1, comma).trimmed() + QLatin1Char(')');
                    i = q;
                    continue;
                }
            }
            s += tok.text;
        }
        return s;
    }

    std::vector<Token> m_t;
    PgSql *m_out = nullptr;
};

} // namespace

PgSql translatePgSql(const QString &sql)
{
    PgSql out;
    Translator tr(lex(sql));
    out.sql = tr.run(out);
    return out;
}

QList<QByteArray> pgBindValues(const PgSql &sql, const QVariantMap &values)
{
    QList<QByteArray> out;
    for (const QString &name : sql.params) {
        if (name == QLatin1String("@today")) {
            out << pgTextOfVariant(Clock::today());
            continue;
        }
        if (name == QLatin1String("@now")) {
            out << pgTextOfVariant(Clock::now());
            continue;
        }
        QVariant v;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                v = it.value();
        out << pgTextOfVariant(v);
    }
    return out;
}

} // namespace stb::db
