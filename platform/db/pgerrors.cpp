#include "platform/db/pgerrors.h"

#include <libpq-fe.h>

namespace stb::db {

int engineCodeOf(QByteArrayView s)
{
    if (s.size() != 5)
        return Err::SqlError;
    struct Exact {
        const char *state;
        int code;
    };
    static const Exact exact[] = {
        {"23505", Err::KeyViolation}, // unique_violation
        {"23502", Err::RequiredField}, // not_null_violation
        {"55P03", Err::TableInUse}, // lock_not_available
        {"55006", Err::TableInUse}, // object_in_use
        {"57P01", Err::ConnectionLost}, // admin_shutdown
        {"57P02", Err::ConnectionLost}, // crash_shutdown
        {"57P03", Err::ConnectionLost}, // cannot_connect_now
        {"42P01", Err::TableNotFound}, // undefined_table
        {"3F000", Err::TableNotFound}, // invalid_schema_name
        {"42703", Err::FieldNotFound}, // undefined_column
        {"53100", Err::DiskFull}, // disk_full
        {"25006", Err::ReadOnly}, // read_only_sql_transaction
        {"42501", Err::ReadOnly}, // insufficient_privilege
    };
    for (const Exact &e : exact)
        if (s == QByteArrayView(e.state))
            return e.code;
    if (s.startsWith("08"))
        return Err::ConnectionLost; // connection exceptions
    if (s.startsWith("22"))
        return Err::InvalidValue; // data exceptions
    return Err::SqlError;
}

EngineError connectionLost(const QString &detail)
{
    return EngineError(
        Err::ConnectionLost, QStringLiteral("Conexão com o computador dos dados perdida: %1").arg(detail.trimmed()));
}

EngineError pgError(pg_conn *conn, const pg_result *result, const QString &table)
{
    const char *stateText = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    QString detail = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).trimmed();
    if (detail.isEmpty() && conn)
        detail = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    // The server answers every statement it receives with an SQLSTATE; an
    // error without one comes from the client library: the connection failed.
    int code = stateText ? engineCodeOf(QByteArrayView(stateText)) : Err::ConnectionLost;
    if (!conn || PQstatus(conn) == CONNECTION_BAD)
        code = Err::ConnectionLost;
    const QString where = table.isEmpty() ? QString() : QStringLiteral(" (tabela %1)").arg(table);
    switch (code) {
    case Err::KeyViolation:
        return EngineError(code, QStringLiteral("Violação de chave%1: %2").arg(where, detail), table);
    case Err::RequiredField:
        return EngineError(code, QStringLiteral("Campo obrigatório sem valor%1: %2").arg(where, detail), table);
    case Err::TableInUse:
        return EngineError(code, QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!"), table);
    case Err::ConnectionLost:
        return EngineError(code, connectionLost(detail).message(), table);
    case Err::TableNotFound:
        return EngineError(code, QStringLiteral("Tabela não encontrada%1: %2").arg(where, detail), table);
    case Err::DiskFull:
        return EngineError(code, QStringLiteral("Disco cheio%1: %2").arg(where, detail), table);
    case Err::ReadOnly:
        return EngineError(code, QStringLiteral("Tabela somente para leitura%1: %2").arg(where, detail), table);
    default:
        return EngineError(code, QStringLiteral("Erro do banco de dados%1: %2").arg(where, detail), table);
    }
}

} // namespace stb::db
