#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what the build needs (Debian), then
# configure and build. With target names, builds only those (run.sh: the
# program and the emulator); without, everything (test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake g++ make qt6-base-dev qt6-serialport-dev qt6-svg-dev libgl-dev)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if (($#)); then
    cmake --build build -j"$(nproc)" --target "$@"
else
    cmake --build build -j"$(nproc)"
fi
