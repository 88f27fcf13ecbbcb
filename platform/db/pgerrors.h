// Errors of the PostgreSQL server mapped to the engine's codes and messages:
// a unique violation is the key violation 9729, a lock not available 11013,
// a lost or refused connection 10225, so that the code above the binding
// reacts to them as it does with the folder database.
#pragma once

#include "platform/db/types.h"

#include <QByteArray>

struct pg_conn;
struct pg_result;

namespace stb::db {

// The engine code of an SQLSTATE (five characters); SqlError when unmapped.
int engineCodeOf(QByteArrayView sqlState);

// The error of a failed statement (or of a connection that went down, when
// `result` is null), with the engine's message for its code.
EngineError pgError(pg_conn *conn, const pg_result *result, const QString &table = {});

// The message of a lost connection, with the client library's detail.
EngineError connectionLost(const QString &detail);

} // namespace stb::db
