#!/usr/bin/env bash
# Installs, with apt-get, what a fresh Debian machine lacks to build, test and
# run the program. Does nothing when everything is already there.
set -euo pipefail

pkgs=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-translations-l10n
    libsqlite3-dev zlib1g-dev
    fonts-dejavu-core
    poppler-utils qpdf fonts-urw-base35 xvfb xauth
    python3-xlrd catdoc unrtf
    postgresql libpq-dev
    clang-format
)

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Instalando: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
