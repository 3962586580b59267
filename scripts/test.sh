#!/usr/bin/env bash
# Every test: installs what is missing, builds, runs all CTest suites, then the
# core suites again under AddressSanitizer + UndefinedBehaviorSanitizer and the
# threaded suites under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
run_suite() {
  local dir=$1 label=$2; shift 2
  cmake -S . -B "$dir" -Wno-dev -DQUORL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  if [ -n "$label" ]; then
    ctest --test-dir "$dir" -L "$label" --output-on-failure -j"$jobs"
  else
    ctest --test-dir "$dir" --output-on-failure -j"$jobs"
  fi
}

echo "== all suites"
run_suite build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== core suites under AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan core -DCMAKE_BUILD_TYPE=Debug -DQUORL_WITH_GUI=OFF -DQUORL_WITH_BENCH=OFF \
  -DQUORL_SANITIZE=address,undefined

echo "== threaded suites under ThreadSanitizer"
# Some kernels randomise more address bits than ThreadSanitizer supports;
# setarch -R turns randomisation off for the run.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  setarch "$(uname -m)" -R bash -c "$(declare -f run_suite); jobs=$jobs; run_suite build-tsan threaded \
  -DCMAKE_BUILD_TYPE=Debug -DQUORL_WITH_GUI=OFF -DQUORL_WITH_BENCH=OFF -DQUORL_SANITIZE=thread"
