#include "shell/appglobals.h"

namespace stb {

AppGlobals &App()
{
    static AppGlobals g;
    return g;
}

} // namespace stb
