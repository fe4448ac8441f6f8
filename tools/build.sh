#!/usr/bin/env bash
# Configures (once) and builds the project in build/. Under CI every run configures with
# warnings as errors, so a cache left by an earlier run without them cannot let warnings through.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${CI:-}" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMAR_WERROR=ON
elif [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j "$(nproc)"
