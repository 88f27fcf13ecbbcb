// One run of the .zlb reader over arbitrary bytes, shared by the libFuzzer
// target and the test that replays its corpus. Returns false when the reader
// wrote anything outside its target folder (the fuzzer then aborts).
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb {
bool fuzzZlbOnce(const std::uint8_t *data, std::size_t size);
}
