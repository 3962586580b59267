#!/usr/bin/env bash
# Idle cost: the collector on the site view with the demo GPS plan shown and
# no sweep, for SECONDS (60 unless given), on a display of its own (Xvfb),
# with the simulated unit on a pseudo-terminal (`quorl sim`, another
# process, so its own work is not counted). Prints the share of one core the
# collector's process used, from its CPU time in /proc (bench_gui_idle).
# Pass "none" as UNIT to measure without a unit.
#   bench/idle-cpu.sh [BUILD_DIR] [SECONDS] [UNIT]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
unit=${3:-sim}
for f in "$build/bench/bench_gui_idle" "$build/tools/quorl"; do
  [ -x "$f" ] || { echo "no $f: build bench_gui_idle and quorl first" >&2; exit 2; }
done
log=$(mktemp)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  rm -f "$log"
}
trap cleanup EXIT
if [ "$unit" = sim ]; then
  "$build/tools/quorl" sim 2>"$log" &
  sim_pid=$!
  for _ in $(seq 50); do grep -q 'simulated unit on' "$log" && break; sleep 0.1; done
  QUORL_BENCH_DEVICE=$(sed -n 's/.*simulated unit on \([^;]*\);.*/\1/p' "$log")
  [ -n "$QUORL_BENCH_DEVICE" ] || { echo "quorl sim did not start: $(cat "$log")" >&2; exit 1; }
  export QUORL_BENCH_DEVICE
fi
QUORL_BENCH_SECONDS=$seconds xvfb-run -a -s "-screen 0 1280x800x24" "$build/bench/bench_gui_idle" 2>&1 |
  grep -v '^\*\*\*'
