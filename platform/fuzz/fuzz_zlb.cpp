// libFuzzer target of the .zlb reader (built with -DSTB_FUZZ=ON and clang):
//   build/platform/fuzz_zlb platform/fuzz/corpus -dict=platform/fuzz/zlb.dict
#include "platform/fuzz/zlbfuzz.h"

#include <QCoreApplication>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_zlb";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    if (!stb::fuzzZlbOnce(data, size))
        std::abort();
    return 0;
}
