#!/usr/bin/env bash
# Runs the connected window for 60 main-frame cycles beside the simulated meter, twice: once as
# it is, for the context switches a second and the CPU share, and once under callgrind, for the
# instructions the whole process executes over the same cycles (all threads).
# Usage: bench/window_cycles.sh [BUILD_DIR] [CYCLES]. The window goes to $DISPLAY when set,
# otherwise to the offscreen platform. SIM_ARGS are handed to the simulated meter, e.g.
# SIM_ARGS="--drift 50" for a reading that moves the dial's needle at every cycle.
set -euo pipefail
build=$(realpath "${1:-build}")
cycles=${2:-60}
harness=$build/bench/window_cycles
sim=$build/bin/velmar-sim
work=$(mktemp -d)
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck disable=SC2086 # SIM_ARGS is a list of words
"$sim" --link "$work/com1" ${SIM_ARGS:-} >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done
[ -e "$work/com1" ] || { echo "The simulated meter did not start." >&2; exit 1; }
export VELMAR_COM1=$work/com1

echo "== as it runs"
"$harness" --cycles "$cycles"

echo "== under callgrind"
valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$harness" --cycles "$cycles" \
  2>"$work/valgrind.log" || { cat "$work/valgrind.log" >&2; exit 1; }
dump=$(grep -l '^desc: Trigger: Client Request: cycles' "$work"/cg.out* | head -n1)
[ -n "$dump" ] || { echo "callgrind wrote no dump of the cycles" >&2; exit 1; }
total=$(awk '/^(summary|totals):/ {print $2; exit}' "$dump")
echo "instructions over $cycles cycles: $total"
echo "instructions a cycle: $((total / cycles))"
if [ -n "${KEEP_CALLGRIND:-}" ]; then cp "$dump" "$KEEP_CALLGRIND"; echo "dump kept in $KEEP_CALLGRIND"; fi
