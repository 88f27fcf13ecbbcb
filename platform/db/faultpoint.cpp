#include "platform/db/faultpoint.h"

#include <atomic>

namespace stb::db {

namespace {
std::atomic<FaultHook> g_hook {nullptr};
}

void setFaultHook(FaultHook hook) { g_hook.store(hook); }

void faultPoint(const char *point)
{
    if (FaultHook hook = g_hook.load())
        hook(point);
}

} // namespace stb::db
