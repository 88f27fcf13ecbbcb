// Named points inside multi-step file work (rebuilding and replacing table
// files). A fault test installs a hook that stops the process at one of them,
// to prove that whatever state a kill leaves is recovered at the next open.
// Without a hook a fault point does nothing.
#pragma once

namespace stb::db {

using FaultHook = void (*)(const char *point);

void setFaultHook(FaultHook hook);
void faultPoint(const char *point);

} // namespace stb::db
