#include "shell/quickcommands.h"

#include "core/messages.h"
#include "outputs/formcalcrapido.h"
#include "platform/db/database.h"
#include "shell/mainwindow.h"

#include <QToolButton>

namespace stb {

QuickCommands::QuickCommands(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("QuickCommands"));
    connect(m_main->SBCalcRapido, &QToolButton::clicked, this, &QuickCommands::SBCalcRapidoClick);
}

void QuickCommands::SBCalcRapidoClick()
{
    try {
        CalculoRapidoClick(m_main);
    } catch (const db::EngineError &e) {
        MsgErro(e.message());
    }
}

} // namespace stb
