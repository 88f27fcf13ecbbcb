#!/usr/bin/env bash
# Formats the C++ sources with Debian 12's clang-format (version 14, pinned:
# another version lays out some constructs differently).
#
#   scripts/format.sh            formats every tracked source in place
#   scripts/format.sh --check    lists the sources that differ and fails
set -euo pipefail
cd "$(dirname "$0")/.."

want=14
fmt=""
for c in "clang-format-$want" clang-format; do
    if command -v "$c" >/dev/null 2>&1 && "$c" --version | grep -q "version $want\."; then
        fmt="$c"
        break
    fi
done
if [ -z "$fmt" ]; then
    echo "erro: é preciso o clang-format $want (pacote clang-format-$want do Debian 12)" >&2
    exit 2
fi

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! "$fmt" --dry-run --Werror "$f" >/dev/null 2>&1; then
            echo "fora do formato: $f"
            bad=$((bad + 1))
        fi
    done
    if ((bad)); then
        echo "erro: $bad arquivo(s) fora do formato; rode scripts/format.sh" >&2
        exit 1
    fi
    echo "${#files[@]} arquivo(s) no formato."
    exit 0
fi
printf '%s\0' "${files[@]}" | xargs -0 "$fmt" -i
echo "${#files[@]} arquivo(s) formatado(s)."
