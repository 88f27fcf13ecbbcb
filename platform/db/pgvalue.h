// Engine values in PostgreSQL's text format: the column type of each field
// type, the text a statement binds for a stored value, and the stored value
// read back from a result cell.
#pragma once

#include "platform/db/types.h"

#include <QByteArray>
#include <optional>

namespace stb::db {

// Column type on the server: currency NUMERIC(19,4), dates DATE, date-times
// TIMESTAMP(3), booleans BOOLEAN, memos TEXT, blobs BYTEA...
QString pgColumnType(const FieldDef &f);

// The text bound for a stored value; a null QByteArray stands for SQL NULL.
QByteArray pgTextOf(FieldType t, const Value &v);
// The same for a value given by a caller (parameters of a query).
QByteArray pgTextOfVariant(const QVariant &v);

// The stored value of a field type from a result cell that is not null.
// Throws EngineError (InvalidValue) when the text does not fit the type.
Value valueFromPgText(FieldType t, const char *s, int len);

// A decimal text rounded to the nearest ten-thousandth, ties to the even
// digit (the engine's rule for products and quotients); nullopt when it is
// not a number or does not fit.
std::optional<Currency> currencyFromDecimalText(QByteArrayView s);

} // namespace stb::db
