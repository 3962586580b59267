#!/usr/bin/env bash
# Builds and runs the collector. With --simulate, or when no survey unit is
# attached, it runs against the simulated unit; --device PATH names a serial
# port (for example the one `quorl sim` prints).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorl-collector quorl
exec build/shell/quorl-collector "$@"
