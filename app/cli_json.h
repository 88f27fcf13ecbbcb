// A small JSON reader and writer for the command-line tool. Numbers keep
// their text as written, so amounts can be read exactly as decimals.
#pragma once

#include "platform/currency.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli::json {

struct Value {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    QString text; // a number as written, or a string's value
    bool invalidText = false; // a string whose bytes were not valid UTF-8 (or held a lone surrogate)
    std::vector<Value> items;
    std::vector<std::pair<QString, Value>> members; // in file order, keys unique

    bool isNull() const { return type == Type::Null; }
};

struct ParseError {
    int line = 0;
    int column = 0;
    QString message;
};

// Receives, one at a time and in file order, the elements of the list held
// by the top-level member `key`, so a large input never stands whole in
// memory; the document keeps that member as an empty list. Each element is
// read over the previous one (reusing its room), so `take` moves out what it
// keeps and holds no reference into it. `take` may throw to stop the parse.
struct ListSink {
    QString key;
    std::function<void(Value &&)> take;
};

// Parses a whole document (UTF-8). Duplicate keys and nesting deeper than
// 200 levels are errors.
std::optional<Value> parse(const QByteArray &utf8, ParseError *error, const ListSink *sink = nullptr);

// What a message says was found instead of the expected value
// ("encontrado texto", "encontrada lista", "encontrado null"...).
QString encontrado(const Value &v);

// An amount: a decimal text with "." ("-12.5", "300.00") or a JSON number
// (exponents allowed). Exact: more than four decimals are accepted only when
// the extra digits are zeros. On failure returns nullopt and says why.
std::optional<stb::Currency> parseAmount(const Value &v, QString *why);
// A whole number, from a JSON number or a text of digits.
std::optional<qint64> parseInteger(const Value &v, QString *why);

// A string literal with the JSON escapes.
QString quote(const QString &s);

// Appends an amount as the tool prints it, with four decimals and "."
// ("-12.5000", the text of Currency::toPlainString(4)), without the
// intermediate texts: a large output writes hundreds of thousands of them.
void appendAmount(std::string &out, stb::Currency c);

// Largest input file the tool reads.
constexpr qint64 MaxInputBytes = 256LL * 1024 * 1024;
// Reads a whole input file. Only a regular file of at most MaxInputBytes is
// read (a device, a pipe or a folder is refused before it is opened); on
// failure returns nullopt and says why, in Portuguese.
std::optional<QByteArray> readInputFile(const QString &path, QString *why);

} // namespace cli::json
