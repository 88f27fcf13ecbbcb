// The server backend on PostgreSQL: a unit's tables in the schema "stbrelva"
// (see pgschema.h), rows reached by a hidden row identity column, the
// engine's SQL translated (see pgtranslate.h), semaphores and opens as
// session advisory locks (see pgconn.h).
#pragma once

#include "platform/db/serverbackend.h"

#include <QString>
#include <memory>

namespace stb::db {

struct Session;

// A backend for the server at `address` holding the tables of `folder` (""
// for the data folder's tables, "ARM" for its ARM sub-folder's). It connects
// on first use.
std::unique_ptr<ServerBackend> makePgBackend(
    const QString &address, const QString &folder = {}, Session *session = nullptr);

} // namespace stb::db
