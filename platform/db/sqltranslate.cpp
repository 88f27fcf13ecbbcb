#include "platform/db/sqltranslate.h"

#include <QHash>
#include <QSet>
#include <vector>

namespace stb::db {

namespace {

struct Tok {
    enum Kind { Ws, Comment, Ident, QIdent, Str, Num, Param, Op } kind;
    QString text;
};

bool isIdentStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

std::vector<Tok> tokenize(const QString &s)
{
    std::vector<Tok> out;
    out.reserve(static_cast<size_t>(s.size() / 4 + 8));
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        const int start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            out.push_back({Tok::Ws, s.mid(start, i - start)});
        } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const int end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            out.push_back({Tok::Comment, s.mid(start, i - start)});
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            out.push_back({Tok::Comment, s.mid(start, i - start)});
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            ++i;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close && close != QLatin1Char(']')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.push_back({c == QLatin1Char('\'') ? Tok::Str : Tok::QIdent, s.mid(start, i - start)});
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.')))
                ++i;
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit())
                        ++i;
                }
            }
            out.push_back({Tok::Num, s.mid(start, i - start)});
        } else if (isIdentStart(c)) {
            while (i < n && isIdentChar(s[i]))
                ++i;
            out.push_back({Tok::Ident, s.mid(start, i - start)});
        } else if (c == QLatin1Char(':') && i + 1 < n && isIdentChar(s[i + 1])) {
            ++i;
            while (i < n && isIdentChar(s[i]))
                ++i;
            out.push_back({Tok::Param, s.mid(start, i - start)});
        } else {
            static const char *const two[] = {"||", "<>", "<=", ">=", "!=", "==", "<<", ">>"};
            int len = 1;
            for (const char *t : two)
                if (QStringView(s).mid(i, 2) == QLatin1String(t)) {
                    len = 2;
                    break;
                }
            i += len;
            out.push_back({Tok::Op, s.mid(start, len)});
        }
    }
    return out;
}

bool isSig(const Tok &t) { return t.kind != Tok::Ws && t.kind != Tok::Comment; }
bool isOp(const Tok &t, const char *op) { return t.kind == Tok::Op && t.text == QLatin1String(op); }
bool isWord(const Tok &t, const char *w)
{
    return t.kind == Tok::Ident && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}

class Translator {
public:
    explicit Translator(std::vector<Tok> toks) : t(std::move(toks)) {}

    int nextSig(int i, int end) const
    {
        for (int j = i + 1; j < end; ++j)
            if (isSig(t[j]))
                return j;
        return -1;
    }
    int prevSig(int i) const
    {
        for (int j = i - 1; j >= 0; --j)
            if (isSig(t[j]))
                return j;
        return -1;
    }
    int matchParen(int i, int end) const
    {
        int depth = 0;
        for (int j = i; j < end; ++j) {
            if (isOp(t[j], "("))
                ++depth;
            else if (isOp(t[j], ")") && --depth == 0)
                return j;
        }
        return end; // unbalanced: let SQLite report it
    }
    int matchParenBack(int i) const
    {
        int depth = 0;
        for (int j = i; j >= 0; --j) {
            if (isOp(t[j], ")"))
                ++depth;
            else if (isOp(t[j], "(") && --depth == 0)
                return j;
        }
        return 0;
    }
    // First token of [b,e) at depth 0 that is the given keyword; -1 when none.
    int findTop(int b, int e, const char *word, bool last = false) const
    {
        int depth = 0, found = -1;
        for (int j = b; j < e; ++j) {
            if (isOp(t[j], "("))
                ++depth;
            else if (isOp(t[j], ")"))
                --depth;
            else if (depth == 0 && (word[0] == ',' ? isOp(t[j], ",") : isWord(t[j], word))) {
                found = j;
                if (!last)
                    return j;
            }
        }
        return found;
    }

    QString typeText(int b, int e) const
    {
        QString s;
        for (int j = b; j < e; ++j)
            if (isSig(t[j]))
                s += t[j].text;
        return s.toUpper();
    }

    static void castType(const QString &type, FieldType &ft, int &size)
    {
        size = 0;
        const int paren = type.indexOf(QLatin1Char('('));
        const QString base = paren < 0 ? type : type.left(paren);
        if (paren >= 0)
            size = type.mid(paren + 1, type.size() - paren - 2).toInt();
        if (base == QLatin1String("DATE"))
            ft = FieldType::Date;
        else if (base == QLatin1String("TIMESTAMP") || base == QLatin1String("DATETIME"))
            ft = FieldType::DateTime;
        else if (base == QLatin1String("VARCHAR") || base == QLatin1String("CHAR"))
            ft = FieldType::String;
        else if (base == QLatin1String("INTEGER") || base == QLatin1String("INT") || base == QLatin1String("SMALLINT")
            || base == QLatin1String("WORD") || base == QLatin1String("AUTOINC"))
            ft = FieldType::Integer;
        else if (base == QLatin1String("LARGEINT") || base == QLatin1String("BIGINT"))
            ft = FieldType::LargeInt;
        else if (base == QLatin1String("MONEY") || base == QLatin1String("CURRENCY") || base == QLatin1String("BCD"))
            ft = FieldType::Currency;
        else if (base == QLatin1String("FLOAT") || base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL")
            || base == QLatin1String("REAL") || base == QLatin1String("DOUBLE"))
            ft = FieldType::Float;
        else if (base == QLatin1String("BOOLEAN") || base == QLatin1String("BOOL"))
            ft = FieldType::Boolean;
        else if (base == QLatin1String("MEMO") || base == QLatin1String("TEXT"))
            ft = FieldType::Memo;
        else
            ft = FieldType::Unknown;
    }

    QString translate(int b, int e) const
    {
        QString out;
        for (int i = b; i < e; ++i) {
            const Tok &tok = t[i];
            if (tok.kind == Tok::Ident) {
                const QString u = tok.text.toUpper();
                const int p = nextSig(i, e);
                const bool call = p >= 0 && isOp(t[p], "(");
                if (call
                    && (u == QLatin1String("CAST") || u == QLatin1String("SUBSTRING") || u == QLatin1String("POS")
                        || u == QLatin1String("POSITION"))) {
                    const int q = matchParen(p, e);
                    out += rewriteCall(u, p + 1, q);
                    i = q;
                    continue;
                }
                if (u == QLatin1String("CURRENT_DATE")) {
                    const int op = nextSig(i, e);
                    const int num = op >= 0 ? nextSig(op, e) : -1;
                    if (op >= 0 && num >= 0 && (isOp(t[op], "-") || isOp(t[op], "+")) && t[num].kind == Tok::Num) {
                        out += QStringLiteral("date(st_today(), '%1%2 days')").arg(t[op].text, t[num].text);
                        i = num;
                    } else {
                        out += QStringLiteral("st_today()");
                    }
                    continue;
                }
                if (u == QLatin1String("CURRENT_TIMESTAMP")) {
                    out += QStringLiteral("st_now()");
                    continue;
                }
                if (u == QLatin1String("CURRENT_TIME")) {
                    out += QStringLiteral("time(st_now())");
                    continue;
                }
            }
            out += tok.text;
        }
        return out;
    }

    QString part(int b, int e) const { return translate(b, e).trimmed(); }

    QString rewriteCall(const QString &name, int b, int e) const
    {
        if (name == QLatin1String("CAST")) {
            const int as = findTop(b, e, "AS", true);
            if (as < 0)
                return QStringLiteral("CAST(") + part(b, e) + QLatin1Char(')');
            const QString expr = part(b, as);
            FieldType ft;
            int size;
            castType(typeText(as + 1, e), ft, size);
            switch (ft) {
            case FieldType::Date:
                return QStringLiteral("date(") + expr + QLatin1Char(')');
            case FieldType::DateTime:
                return QStringLiteral("(") + expr + QLatin1Char(')');
            case FieldType::String:
                if (size > 0)
                    return QStringLiteral("substr(CAST(%1 AS TEXT), 1, %2)").arg(expr).arg(size);
                return QStringLiteral("CAST(%1 AS TEXT)").arg(expr);
            case FieldType::Memo:
                return QStringLiteral("CAST(%1 AS TEXT)").arg(expr);
            case FieldType::Integer:
            case FieldType::LargeInt:
            case FieldType::Boolean:
                return QStringLiteral("CAST(%1 AS INTEGER)").arg(expr);
            case FieldType::Currency:
            case FieldType::Float:
                return QStringLiteral("CAST(%1 AS REAL)").arg(expr);
            default:
                return QStringLiteral("CAST(") + expr + QStringLiteral(" AS ") + typeText(as + 1, e) + QLatin1Char(')');
            }
        }
        if (name == QLatin1String("SUBSTRING")) {
            const int from = findTop(b, e, "FROM");
            if (from < 0)
                return QStringLiteral("substr(") + part(b, e) + QLatin1Char(')');
            const int forTok = findTop(from + 1, e, "FOR");
            QString s = QStringLiteral("substr(") + part(b, from) + QStringLiteral(", ")
                + part(from + 1, forTok < 0 ? e : forTok);
            if (forTok >= 0)
                s += QStringLiteral(", ") + part(forTok + 1, e);
            return s + QLatin1Char(')');
        }
        // POS / POSITION(a IN b) or (a, b): position of a inside b, 0 when absent.
        int sep = findTop(b, e, "IN");
        if (sep < 0)
            sep = findTop(b, e, ",");
        if (sep < 0)
            return name + QLatin1Char('(') + part(b, e) + QLatin1Char(')');
        return QStringLiteral("instr(") + part(sep + 1, e) + QStringLiteral(", ") + part(b, sep) + QLatin1Char(')');
    }

    QStringList tableNames() const
    {
        QStringList names;
        const int n = static_cast<int>(t.size());
        bool inFromList = false;
        for (int i = 0; i < n; ++i) {
            if (!isSig(t[i]))
                continue;
            const bool intro = isWord(t[i], "FROM") || isWord(t[i], "JOIN") || isWord(t[i], "INTO")
                || isWord(t[i], "UPDATE") || isWord(t[i], "TABLE");
            const bool comma = inFromList && isOp(t[i], ",");
            if (!intro && !comma) {
                if (t[i].kind == Tok::Ident && !isWord(t[i], "AS") && inFromList) {
                    // alias or a keyword that ends the list
                    static const QSet<QString> ends = {QStringLiteral("WHERE"), QStringLiteral("GROUP"),
                        QStringLiteral("ORDER"), QStringLiteral("HAVING"), QStringLiteral("UNION"),
                        QStringLiteral("LIMIT"), QStringLiteral("ON"), QStringLiteral("LEFT"), QStringLiteral("RIGHT"),
                        QStringLiteral("INNER"), QStringLiteral("OUTER"), QStringLiteral("FULL"),
                        QStringLiteral("CROSS"), QStringLiteral("SET"), QStringLiteral("VALUES")};
                    if (ends.contains(t[i].text.toUpper()))
                        inFromList = false;
                } else if (isOp(t[i], "(") || isOp(t[i], ")")) {
                    inFromList = false;
                }
                continue;
            }
            const int j = nextSig(i, n);
            if (j < 0)
                break;
            if (t[j].kind == Tok::Ident || t[j].kind == Tok::QIdent) {
                QString name = t[j].text;
                if (t[j].kind == Tok::QIdent)
                    name = name.mid(1, name.size() - 2);
                if (!names.contains(name, Qt::CaseInsensitive))
                    names << name;
                inFromList = isWord(t[i], "FROM") || comma;
                i = j;
            }
        }
        return names;
    }

    void resultCasts(QList<FieldType> &types, QList<int> &sizes) const
    {
        const int n = static_cast<int>(t.size());
        int sel = -1;
        for (int i = 0; i < n; ++i)
            if (isSig(t[i])) {
                if (isWord(t[i], "SELECT"))
                    sel = i;
                break;
            }
        if (sel < 0)
            return;
        const int from = findTop(sel + 1, n, "FROM");
        int b = sel + 1;
        const int e = from < 0 ? n : from;
        int first = nextSig(sel, e);
        if (first >= 0 && (isWord(t[first], "DISTINCT") || isWord(t[first], "ALL")))
            b = first + 1;
        for (;;) {
            const int comma = findTop(b, e, ",");
            const int itemEnd = comma < 0 ? e : comma;
            FieldType ft = FieldType::Unknown;
            int size = 0;
            const int f = nextSig(b - 1, itemEnd);
            if (f >= 0 && isWord(t[f], "CAST")) {
                const int p = nextSig(f, itemEnd);
                if (p >= 0 && isOp(t[p], "(")) {
                    const int q = matchParen(p, itemEnd);
                    const int as = findTop(p + 1, q, "AS", true);
                    if (as >= 0)
                        castType(typeText(as + 1, q), ft, size);
                }
            }
            types << ft;
            sizes << size;
            if (comma < 0)
                break;
            b = comma + 1;
        }
    }

    std::vector<Tok> t;
};

} // namespace

TranslatedSql translateSql(const QString &sql)
{
    // A query opened once per row runs the same text again and again: the
    // translations of the latest texts are kept.
    thread_local QHash<QString, TranslatedSql> cache;
    if (const auto it = cache.constFind(sql); it != cache.cend())
        return *it;
    Translator tr(tokenize(sql));
    TranslatedSql out;
    out.tables = tr.tableNames();
    tr.resultCasts(out.castTypes, out.castSizes);
    out.sql = tr.translate(0, static_cast<int>(tr.t.size()));
    if (cache.size() >= 256)
        cache.clear();
    cache.insert(sql, out);
    return out;
}

QStringList sqlParamNames(const QString &sql)
{
    QStringList names;
    for (const Tok &t : tokenize(sql))
        if (t.kind == Tok::Param) {
            const QString n = t.text.mid(1);
            if (!names.contains(n, Qt::CaseInsensitive))
                names << n;
        }
    return names;
}

} // namespace stb::db
