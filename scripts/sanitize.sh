#!/usr/bin/env bash
# Builds the program, its launcher and the command-line tool with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and runs the
# process tests against them: a normal start and end, the launcher protocol
# and the command-line tool. Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTB_ENABLE_ASAN=ON \
      -DSTB_WERROR="${STB_WERROR:-OFF}"
cmake --build build-asan -j2 --target STBrelva STBrelvaApp pristine_data stage_folders \
      stbrelva-cli tst_shell_process tst_cli_compute
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=66"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=67"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -R '^(tst_shell_process|tst_cli_compute)$'
