// libFuzzer target of the NF-e reader (built with -DSTB_FUZZ=ON and clang):
//   build/core/fuzz_nfe core/fuzz/corpus -dict=core/fuzz/nfe.dict
#include "core/fuzz/nfefuzz.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (!stb::fuzzNFeOnce(data, size))
        std::abort();
    return 0;
}
