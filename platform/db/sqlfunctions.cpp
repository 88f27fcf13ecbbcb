#include "platform/db/sqlfunctions.h"

#include "platform/clock.h"
#include "platform/db/sqlvalue.h"
#include "platform/db/types.h"

#include <sqlite3.h>

#include <cstring>
#include <vector>

namespace stb::db {

namespace {

void sqlUpper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s
        = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QByteArray u = upperText(s).toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlLower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s
        = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QByteArray u = s.toLower().toUtf8();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

void sqlToday(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateText(Clock::today().toJulianDay()).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

void sqlNow(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray b = dateTimeText(encodeDateTime(Clock::now())).toLatin1();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

// st_likeci(text, pattern [, escape]): the engine's LIKE (case-sensitive, "%"
// any run, "_" one character, the escape character making the next one
// literal) applied to the upper case of both sides, so that it answers
// exactly as UPPER(text) LIKE UPPER(pattern) but without building the upper
// case of every row: ASCII text is folded while it is compared, Latin-1 text
// character by character, and only text with other characters goes through
// the Unicode upper case.
constexpr char32_t kAnyRun = 0xFFFFFFFFu;
constexpr char32_t kAnyOne = 0xFFFFFFFEu;
constexpr char32_t kNoEscape = 0xFFFFFFFDu;

// A pattern read once per statement: its literals upper-cased, its wildcards
// as the two marks above.
struct LikePattern {
    QByteArray escapeSource;
    char32_t escape = kNoEscape;
    std::vector<char32_t> tokens;
    bool never = false; // ends with a lone escape character: matches nothing
    // The searches' usual shapes, "%WORD%" and "WORD%" with an ASCII word,
    // matched on ASCII text without the general loop.
    enum class Shape { General, Contains, Prefix } shape = Shape::General;
    QByteArray word;
};

char32_t foldAscii(char32_t c) { return c - 'a' < 26u ? c - ('a' - 'A') : c; }

void classify(LikePattern &p)
{
    const auto &t = p.tokens;
    const bool lead = !t.empty() && t.front() == kAnyRun;
    if (t.size() < 2u + lead || t.back() != kAnyRun)
        return;
    for (auto it = t.begin() + lead; it != t.end() - 1; ++it) {
        if (*it >= 0x80)
            return;
        p.word += static_cast<char>(*it);
    }
    p.shape = lead ? LikePattern::Shape::Contains : LikePattern::Shape::Prefix;
}

// The upper case of a character below U+0100 (Portuguese accented letters
// among them), or 0 for the one that becomes two letters (ß -> SS).
char32_t foldLatin1(char32_t c)
{
    if (c < 0x80)
        return foldAscii(c);
    if (c == 0xB5)
        return 0x39C;
    if (c == 0xDF)
        return 0;
    if (c == 0xFF)
        return 0x178;
    return c >= 0xE0 && c != 0xF7 ? c - 0x20 : c;
}

// Text of ASCII and Latin-1 letters upper-cased into `out`; false when it has
// any other character or does not fit.
template<qsizetype N> bool foldLatin1Text(const unsigned char *s, qsizetype n, char32_t (&out)[N], qsizetype &len)
{
    len = 0;
    for (qsizetype k = 0; k < n; ++len) {
        if (len == N)
            return false;
        char32_t c = s[k];
        if (c >= 0x80) {
            if ((c != 0xC2 && c != 0xC3) || k + 1 == n || (s[k + 1] & 0xC0) != 0x80)
                return false;
            c = ((c & 0x1F) << 6) | (s[k + 1] & 0x3F);
            ++k;
        }
        ++k;
        out[len] = foldLatin1(c);
        if (out[len] == 0)
            return false;
    }
    return true;
}

bool startsWithAscii(const unsigned char *s, const QByteArray &word)
{
    for (qsizetype k = 0; k < word.size(); ++k)
        if (foldAscii(s[k]) != static_cast<unsigned char>(word[k]))
            return false;
    return true;
}

void appendUpper(std::vector<char32_t> &tokens, QString &run)
{
    if (run.isEmpty())
        return;
    for (const char32_t c : upperText(run).toUcs4())
        tokens.push_back(c);
    run.clear();
}

LikePattern *parsePattern(const QByteArray &source, char32_t escape)
{
    auto *p = new LikePattern;
    p->escape = escape;
    const QList<uint> chars = QString::fromUtf8(source).toUcs4();
    QString run;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (c == escape) {
            if (++i == chars.size()) {
                p->never = true;
                break;
            }
            const char32_t literal = chars[i];
            run += QString::fromUcs4(&literal, 1);
        } else if (c == '%' || c == '_') {
            appendUpper(p->tokens, run);
            p->tokens.push_back(c == '%' ? kAnyRun : kAnyOne);
        } else {
            run += QString::fromUcs4(&c, 1);
        }
    }
    appendUpper(p->tokens, run);
    classify(*p);
    return p;
}

// Wildcard match with one backtracking point (the last "%" seen), which is
// enough: a later "%" can always absorb what an earlier one would have.
template<typename At> bool matchTokens(const std::vector<char32_t> &p, qsizetype n, At at)
{
    const qsizetype np = static_cast<qsizetype>(p.size());
    qsizetype i = 0, j = 0, starP = -1, starS = 0;
    while (j < n) {
        if (i < np && (p[i] == kAnyOne || p[i] == at(j))) {
            ++i;
            ++j;
        } else if (i < np && p[i] == kAnyRun) {
            starP = i++;
            starS = j;
        } else if (starP >= 0) {
            i = starP + 1;
            j = ++starS;
        } else {
            return false;
        }
    }
    while (i < np && p[i] == kAnyRun)
        ++i;
    return i == np;
}

bool likeUpper(const LikePattern &p, const unsigned char *s, qsizetype n)
{
    if (p.never)
        return false;
    qsizetype k = 0;
    while (k < n && s[k] < 0x80)
        ++k;
    if (k == n) {
        const qsizetype m = p.word.size();
        switch (p.shape) {
        case LikePattern::Shape::Prefix:
            return n >= m && startsWithAscii(s, p.word);
        case LikePattern::Shape::Contains:
            for (qsizetype j = 0; j + m <= n; ++j)
                if (startsWithAscii(s + j, p.word))
                    return true;
            return false;
        case LikePattern::Shape::General:
            break;
        }
        return matchTokens(p.tokens, n, [s](qsizetype j) { return foldAscii(s[j]); });
    }
    char32_t folded[256];
    qsizetype len = 0;
    if (foldLatin1Text(s, n, folded, len))
        return matchTokens(p.tokens, len, [&folded](qsizetype j) { return folded[j]; });
    const QList<uint> u = upperText(QString::fromUtf8(reinterpret_cast<const char *>(s), n)).toUcs4();
    return matchTokens(p.tokens, u.size(), [&u](qsizetype j) { return char32_t(u[j]); });
}

void sqlLikeCi(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL
        || (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto raw = [](sqlite3_value *v) {
        return QByteArray::fromRawData(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    };
    const QByteArray source = raw(argv[1]);
    const QByteArray escape = argc == 3 ? raw(argv[2]) : QByteArray();
    // The pattern and the escape are usually constants of the statement: read
    // once, kept for every row (the engine drops the kept pattern when the
    // argument changes).
    auto *p = static_cast<LikePattern *>(sqlite3_get_auxdata(ctx, 1));
    if (!p || p->escapeSource.size() != escape.size()
        || std::memcmp(p->escapeSource.constData(), escape.constData(), escape.size()) != 0) {
        char32_t esc = kNoEscape;
        if (argc == 3) {
            const QList<uint> e = QString::fromUtf8(escape).toUcs4();
            if (e.size() != 1) {
                sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
                return;
            }
            esc = e[0];
        }
        p = parsePattern(source, esc);
        p->escapeSource = QByteArray(escape.constData(), escape.size());
        sqlite3_set_auxdata(ctx, 1, p, [](void *d) { delete static_cast<LikePattern *>(d); });
        p = static_cast<LikePattern *>(sqlite3_get_auxdata(ctx, 1));
        if (!p) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    const auto *s = sqlite3_value_text(argv[0]);
    sqlite3_result_int(ctx, likeUpper(*p, s, sqlite3_value_bytes(argv[0])) ? 1 : 0);
}

int collateNoCase(void *, int la, const void *a, int lb, const void *b)
{
    // Index maintenance calls this for every key it passes, so ASCII text is
    // compared in place; the first non-ASCII byte of either side sends the
    // whole comparison through the Unicode path, whose order it keeps (on
    // ASCII letters toUpper is A-Z, and an equal ASCII prefix decides nothing).
    const auto *pa = static_cast<const unsigned char *>(a);
    const auto *pb = static_cast<const unsigned char *>(b);
    const int n = la < lb ? la : lb;
    int i = 0;
    for (; i < n; ++i) {
        unsigned ca = pa[i], cb = pb[i];
        if ((ca | cb) & 0x80)
            break;
        if (ca - 'a' < 26u)
            ca -= 'a' - 'A';
        if (cb - 'a' < 26u)
            cb -= 'a' - 'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i == n)
        return la == lb ? 0 : (la < lb ? -1 : 1);
    return compareTextNoCase(
        QString::fromUtf8(static_cast<const char *>(a), la), QString::fromUtf8(static_cast<const char *>(b), lb));
}

} // namespace

void registerExtensions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "upper", 1, flags, nullptr, sqlUpper, nullptr, nullptr);
    sqlite3_create_function(db, "lower", 1, flags, nullptr, sqlLower, nullptr, nullptr);
    sqlite3_create_function(db, "st_likeci", 2, flags, nullptr, sqlLikeCi, nullptr, nullptr);
    sqlite3_create_function(db, "st_likeci", 3, flags, nullptr, sqlLikeCi, nullptr, nullptr);
    sqlite3_create_function(db, "st_today", 0, SQLITE_UTF8, nullptr, sqlToday, nullptr, nullptr);
    sqlite3_create_function(db, "st_now", 0, SQLITE_UTF8, nullptr, sqlNow, nullptr, nullptr);
    sqlite3_create_collation(db, "PTCI", SQLITE_UTF8, nullptr, collateNoCase);
    // The engine's LIKE tells case apart; UPPER() on both sides makes it blind.
    sqlite3_exec(db, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
}

} // namespace stb::db
