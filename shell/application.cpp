#include "shell/application.h"

#include "core/itemcalc.h"
#include "core/messages.h"
#include "platform/db/types.h"
#include "shell/crashreport.h"

namespace stb {

QString textoErroInesperado(const std::exception &e)
{
    if (const auto *engine = dynamic_cast<const db::EngineError *>(&e))
        return QStringLiteral("Erro no banco de dados (código %1):\r%2").arg(engine->code()).arg(engine->message());
    if (const auto *estouro = dynamic_cast<const EstouroValor *>(&e))
        return estouro->mensagem();
    return QStringLiteral("Ocorreu um erro inesperado:\r%1").arg(QString::fromUtf8(e.what()));
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        // The message, and a report unless the kind of error makes none.
        relatorio::trataExcecao(e);
    }
    return false;
}

} // namespace stb
