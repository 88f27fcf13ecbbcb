// The annex consultation program seen from the database maintenance: it is
// closed before the tables it reads are rebuilt.
#include "shell/dbmaint.h"

#include "core/settings.h"
#include "platform/winmsg.h"
#include "shell/dbopen.h"

namespace stb {

bool FechaConsultaBrelva()
{
    const auto h = Settings::instance().handle(QStringLiteral("Brelva.Main"));
    if (!h || !IsWindow(*h))
        return true;
    PostMessage(*h, WinMsg::WM_USER + 3, 0, 0);
    // Up to five seconds for the program to end.
    for (int i = 0; i < 50; ++i) {
        esperaProcessando(100);
        if (!IsWindow(*h))
            return true;
    }
    return false;
}

} // namespace stb
