#!/bin/sh
# The longest gap between requests while the disk's syncs each take VELMAR_SYNC_DELAY_MS (3000
# unless set): the window's during journal syncs, a Record/Save and an export; the logger's during
# journal syncs and a periodic save.
# Usage: bench/slow_sync_gaps.sh [build folder]
set -eu
build=${1:-build}
export VELMAR_SYNC_DELAY_MS=${VELMAR_SYNC_DELAY_MS:-3000}
echo "each fsync/fdatasync takes ${VELMAR_SYNC_DELAY_MS} ms"
shim="$(realpath "$build/tests/libvelmar_slowsync.so")"
echo "velmar (the window):"
LD_PRELOAD="$shim" "$build/bench/slow_sync_gaps"
echo "velmar-log:"
LD_PRELOAD="$shim" "$build/bench/slow_sync_log_gaps"
