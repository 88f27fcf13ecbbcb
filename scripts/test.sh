#!/usr/bin/env bash
# Builds everything and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTB_WERROR="${STB_WERROR:-OFF}"
cmake --build build -j2
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 900
