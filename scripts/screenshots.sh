#!/usr/bin/env bash
# Pictures of the windows of a whole calculation typed by keys (the header,
# two invoices, three lines and the dialogs met on the way), at their
# default size, under the offscreen platform: for a person to look at them.
# Not run by CI. Usage: scripts/screenshots.sh [folder] (default build/telas).
set -euo pipefail
cd "$(dirname "$0")/.."
pasta="${1:-build/telas}"
/work/bin/stb-build --target tst_keyboard_day 2>/dev/null || cmake --build build --target tst_keyboard_day
mkdir -p "$pasta"
rm -f "$pasta"/*.png
STB_TELAS="$(realpath "$pasta")" QT_QPA_PLATFORM=offscreen build/tests/tst_keyboard_day -maxwarnings 0 >/dev/null
ls "$pasta"
