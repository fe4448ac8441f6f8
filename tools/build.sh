#!/usr/bin/env bash
# Configures (once) and builds the project in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
extra=()
[ -n "${CI:-}" ] && extra+=(-DVELMAR_WERROR=ON)
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}"
fi
cmake --build build -j "$(nproc)"
