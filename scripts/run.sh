#!/usr/bin/env bash
# Builds the program, stages its installation folder (build/AppDir, with the
# shipped reference data) and starts it through its launcher. The data
# folder build/AppDir/Dados is filled from the reference tables on the first
# start.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target STBrelva STBrelvaApp pristine_data stage_folders

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat <<MSG
Não há tela gráfica nesta sessão (DISPLAY e WAYLAND_DISPLAY estão vazios).
O programa foi compilado em build/AppDir. Para iniciá-lo sem tela:
  xvfb-run -a build/AppDir/STBrelva                 (tela virtual; o Xvfb já foi instalado)
  QT_QPA_PLATFORM=offscreen STB_MENSAGENS=stderr build/AppDir/STBrelva
                                                    (sem janelas; mensagens na saída de erros)
MSG
    exit 1
fi
exec build/AppDir/STBrelva "$@"
