// One run of the NF-e reader over arbitrary bytes, shared by the libFuzzer
// target and the test that replays its corpus. Returns false when the result
// breaks the reader's promises (a document accepted without a valid key or
// without lines, a refusal without a reason, the two entry points
// disagreeing); the fuzzer then aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb {
bool fuzzNFeOnce(const std::uint8_t *data, std::size_t size);
}
