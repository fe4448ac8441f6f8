#!/usr/bin/env bash
# velmar-log --model fs9721 beside Debian's sigrok-cli with its driver for an FS9721 meter
# (tekpower-tp4000ZC), both at once, each reading its own simulated FS9721 meter that sends the
# same frames at the meter's rate (a frame every PERIOD_MS, default 500). Over SECONDS (default
# 60) after a warm-up of WARMUP seconds (default 3): the CPU time (the scheduler's count) and the
# voluntary wake-ups of every thread, from /proc; then, in a second run of both under callgrind,
# the instructions of the whole run, start-up included. sigrok-cli's serial library refuses a
# pseudo-terminal; pty_serial_shim (LD_PRELOAD, built beside the benchmarks) lets it open one.
# Usage: bench/fs9721_peer.sh [BUILD_DIR] [SECONDS] [PERIOD_MS]; tools/deps.sh bench installs
# sigrok-cli.
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-60}
period=${3:-500}
warmup=${WARMUP:-3}
sim=$build/bin/velmar-sim
logger=$build/bin/velmar-log
shim=$build/bench/libpty_serial_shim.so
command -v sigrok-cli >/dev/null || { echo "sigrok-cli is missing: tools/deps.sh bench" >&2; exit 1; }
# The table and its journal lie in memory (/dev/shm) unless TABLE_DIR names a folder: the peer
# keeps nothing, so the comparison is of reading the meter, not of the disk's syncs.
work=$(mktemp -d)
tables=$(mktemp -d -p "${TABLE_DIR:-/dev/shm}")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work" "$tables"
}
trap cleanup EXIT

# A fresh simulated meter behind $work/$1; its device path in $device.
start_meter() {
  "$sim" --model fs9721 --period-ms "$period" --link "$work/$1" >/dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$work/$1" ] && break; sleep 0.1; done
  [ -e "$work/$1" ] || { echo "The simulated meter did not start." >&2; exit 1; }
  device=$(readlink "$work/$1")
}

# Asks a run to end (SIGINT, as a user at the terminal would; SIGTERM after 3 s, which the peer
# needs while it acquires) and waits for it, at most 10 s more.
stop() {
  kill -INT "$1" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# The nanoseconds on a CPU (the scheduler's own count, finer than the clock ticks of
# /proc/PID/stat) and the voluntary context switches of a process's threads.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}'; }
wakeups() {
  cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'
}

# Starts velmar-log and the peer, each on its own meter, the peer through env (LD_PRELOAD), with
# PREFIX before each (a tool to run them under, or nothing); their process ids in $logger_pid and
# $peer_pid.
start_both() {
  local prefix=("$@")
  start_meter "a$round"
  "${prefix[@]}" "$logger" --model fs9721 --port "$work/a$round" --table "$tables/a$round.DB" \
    --repeat keep >/dev/null 2>"$work/log$round.err" &
  logger_pid=$!
  pids+=("$logger_pid")
  start_meter "b$round"
  "${prefix[@]}" env LD_PRELOAD="$shim" sigrok-cli -d "tekpower-tp4000ZC:conn=$device" \
    --samples 100000000 >/dev/null 2>"$work/peer$round.err" &
  peer_pid=$!
  pids+=("$peer_pid")
}

# Both at once, so that a machine shared with other work weighs on both alike: CPU time and
# voluntary wake-ups over the window after the warm-up.
round=1
start_both
sleep "$warmup"
t0=$(cpu_ns "$logger_pid"); w0=$(wakeups "$logger_pid")
p0=$(cpu_ns "$peer_pid"); q0=$(wakeups "$peer_pid")
sleep "$seconds"
t1=$(cpu_ns "$logger_pid"); w1=$(wakeups "$logger_pid")
p1=$(cpu_ns "$peer_pid"); q1=$(wakeups "$peer_pid")
stop "$logger_pid"
stop "$peer_pid"
echo "velmar-log: CPU $(( (t1 - t0) / 1000000 )) ms, $(( w1 - w0 )) wake-ups over ${seconds} s"
echo "sigrok-cli: CPU $(( (p1 - p0) / 1000000 )) ms, $(( q1 - q0 )) wake-ups over ${seconds} s"
echo "CPU ratio velmar-log/sigrok-cli: $(awk -v a=$(( t1 - t0 )) -v b=$(( p1 - p0 )) 'BEGIN {printf "%.2f", a / b}')"

# Again under callgrind (every thread; the peer followed through env's exec), for the
# instructions of the whole run, start-up included.
round=2
start_both valgrind --tool=callgrind --trace-children=yes --callgrind-out-file="$work/cg.%p"
sleep $(( warmup + seconds ))
stop "$logger_pid"
stop "$peer_pid"
for who in "velmar-log $logger_pid" "sigrok-cli $peer_pid"; do
  set -- $who
  total=$(awk '/^(summary|totals):/ {print $2; exit}' "$work/cg.$2")
  echo "$1: $total instructions over $(( warmup + seconds )) s, start-up included"
done
