#!/usr/bin/env bash
# velmar-log --model fs9721 beside Debian's sigrok-cli with its driver for an FS9721 meter
# (tekpower-tp4000ZC), each reading its own simulated FS9721 meter that sends the same frames at
# the meter's rate. For each program, over SECONDS of steady running (after a start-up of
# WARMUP seconds): the CPU time and the voluntary wake-ups from /proc, then, in a second run
# under callgrind, the instructions of the whole run (start-up included).
# sigrok-cli's serial library refuses a pseudo-terminal; pty_serial_shim (LD_PRELOAD) lets it
# open one. Usage: bench/fs9721_peer.sh [BUILD_DIR] [SECONDS] [PERIOD_MS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-60}
period=${3:-500}
warmup=${WARMUP:-3}
sim=$build/bin/velmar-sim
logger=$build/bin/velmar-log
shim=$build/bench/libpty_serial_shim.so
command -v sigrok-cli >/dev/null || { echo "sigrok-cli is missing: tools/deps.sh bench" >&2; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh simulated meter behind $work/$1; prints its device path.
start_meter() {
  "$sim" --model fs9721 --period-ms "$period" --link "$work/$1" >/dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$work/$1" ] && break; sleep 0.1; done
  [ -e "$work/$1" ] || { echo "The simulated meter did not start." >&2; exit 1; }
  readlink "$work/$1"
}

# The CPU ticks (user + system) and voluntary context switches of a process.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wakeups() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/status"; }

# Runs the command (its output thrown away) and prints "name cpu-ms wakeups" over the window.
measure() {
  local name=$1; shift
  "$@" >/dev/null 2>"$work/$name.err" &
  local pid=$!
  pids+=("$pid")
  sleep "$warmup"
  local t0 w0 t1 w1
  t0=$(ticks "$pid"); w0=$(wakeups "$pid")
  sleep "$seconds"
  t1=$(ticks "$pid"); w1=$(wakeups "$pid")
  kill -INT "$pid"; wait "$pid" 2>/dev/null || true
  local hz
  hz=$(getconf CLK_TCK)
  echo "$name cpu_ms $(( (t1 - t0) * 1000 / hz )) wakeups $(( w1 - w0 )) seconds $seconds"
}

# The same run under callgrind for warmup + seconds; prints the instructions of every thread.
instructions() {
  local name=$1; shift
  valgrind --tool=callgrind --callgrind-out-file="$work/$name.cg" "$@" >/dev/null \
    2>"$work/$name.vg" &
  local pid=$!
  pids+=("$pid")
  sleep $(( warmup + seconds ))
  kill -INT "$pid"; wait "$pid" 2>/dev/null || true
  local total
  total=$(cat "$work/$name".cg* | awk '/^(summary|totals):/ {s += $2} END {print s + 0}')
  echo "$name instructions $total"
}

logger_run() { echo "$logger" --model fs9721 --port "$1" --table "$work/log-$2.DB" --repeat keep; }
peer_run() { echo env LD_PRELOAD="$shim" sigrok-cli -d "tekpower-tp4000ZC:conn=$1" --continuous; }

# shellcheck disable=SC2046 # the runs are lists of words without spaces
{
  measure velmar-log $(logger_run "$(start_meter a)" a)
  measure sigrok-cli $(peer_run "$(start_meter b)")
  instructions velmar-log $(logger_run "$(start_meter c)" c)
  instructions sigrok-cli $(peer_run "$(start_meter d)")
}
