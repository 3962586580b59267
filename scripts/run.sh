#!/usr/bin/env bash
# Builds and runs the collector. With --simulate, or when no survey unit is
# attached and no --device is given, it runs against the simulated unit;
# --device PATH names a serial port (for example the one `quorl sim` prints).
# The collector starts in the folder of the demo projections, so its file
# dialogs open there.
set -euo pipefail
caller=$PWD
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
cmake -S . -B build -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorl-collector quorl quorl_demo_site

# Paths given relative to where the command was started stay valid after the
# change of folder below.
args=()
expect_path=0
chosen=0
for a in "$@"; do
  if [ "$expect_path" = 1 ]; then
    case "$a" in /*) ;; *) a="$caller/$a" ;; esac
    expect_path=0
  fi
  case "$a" in
    --device) expect_path=1; chosen=1 ;;
    --device=*) p=${a#--device=}; case "$p" in /*) ;; *) a="--device=$caller/$p" ;; esac; chosen=1 ;;
    --simulate) chosen=1 ;;
    --simulate=*) p=${a#--simulate=}; case "$p" in /*) ;; *) a="--simulate=$caller/$p" ;; esac; chosen=1 ;;
  esac
  args+=("$a")
done
if [ "$chosen" = 0 ] && [ ! -e /dev/quorl-unit ] && ! ls /dev/serial/by-id/ 2>/dev/null | grep -q .; then
  echo "No survey unit attached: using the simulated unit." >&2
  args=(--simulate "${args[@]}")
fi

cd "$top/build/samples"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on a virtual one (xvfb-run)." >&2
  exec xvfb-run -a "$top/build/shell/quorl-collector" "${args[@]}"
fi
exec "$top/build/shell/quorl-collector" "${args[@]}"
