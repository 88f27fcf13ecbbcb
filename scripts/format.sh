#!/usr/bin/env bash
# Formats with clang-format the C++ sources changed since the given revision
# (default: HEAD, so the uncommitted changes). Untouched files keep their
# layout, so formatting never produces unrelated diffs.
set -euo pipefail
cd "$(dirname "$0")/.."
base="${1:-HEAD}"
mapfile -t files < <( (git diff --name-only "$base" -- '*.cpp' '*.h'; git ls-files --others --exclude-standard -- '*.cpp' '*.h') | sort -u)
for f in "${files[@]}"; do
    [ -f "$f" ] && clang-format -i "$f"
done
echo "${#files[@]} arquivo(s) formatado(s)."
