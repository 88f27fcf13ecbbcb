#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/) and runs every test against it. Any sanitizer report fails the
# run: a leak exits 66, undefined behaviour 67.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTB_ENABLE_ASAN=ON \
      -DSTB_WERROR="${STB_WERROR:-OFF}"
cmake --build build-asan -j2
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=66"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=67"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 1200
