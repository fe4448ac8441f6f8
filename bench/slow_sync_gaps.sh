#!/bin/sh
# The longest gap between the window's requests while the disk's syncs each take
# VELMAR_SYNC_DELAY_MS (3000 unless set): during journal syncs, a Record/Save and an export.
# Usage: bench/slow_sync_gaps.sh [build folder]
set -eu
build=${1:-build}
export VELMAR_SYNC_DELAY_MS=${VELMAR_SYNC_DELAY_MS:-3000}
echo "each fsync/fdatasync takes ${VELMAR_SYNC_DELAY_MS} ms"
LD_PRELOAD="$(realpath "$build/bench/libvelmar_slowsync.so")" "$build/bench/slow_sync_gaps"
