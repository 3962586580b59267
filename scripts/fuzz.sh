#!/usr/bin/env bash
# Builds one libFuzzer harness and runs it:
#   scripts/fuzz.sh stream|projection|collection|export [SECONDS]   (default 600)
# Installs clang and its fuzzer runtime when missing, builds in build-fuzz/
# (clang, -fsanitize=fuzzer,address,undefined), runs one worker on a working
# copy of fuzz/corpus/NAME and minimises every input that made it fail into
# fuzz/regressions/NAME/, where the replay tests pick it up.
# Extra libFuzzer flags can be passed in FUZZ_FLAGS.
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:-}
seconds=${2:-600}
case "$name" in
  stream|projection|collection|export) ;;
  *) echo "usage: scripts/fuzz.sh stream|projection|collection|export [SECONDS]" >&2; exit 2 ;;
esac

# The project's own packages first (GoogleTest is needed to configure).
bash scripts/setup.sh

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
# Debian 12: clang-14's libFuzzer runtime is in libclang-rt-14-dev, which
# clang only recommends, so it is asked for by name when linking a
# fuzzer fails.
fuzzer_links() {
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /dev/null >/dev/null 2>&1
}
if ! command -v clang++ >/dev/null || ! fuzzer_links; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq clang libclang-rt-14-dev
  fuzzer_links || { echo "fuzz.sh: clang cannot link a libFuzzer program" >&2; exit 1; }
fi

dir=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    "${launcher[@]}" -DQUORL_WITH_GUI=OFF -DQUORL_WITH_BENCH=OFF \
    -DQUORL_SANITIZE=address,undefined -DQUORL_FUZZ=ON >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target "quorl_fuzz_$name"

# The fuzzer grows its working corpus in build-fuzz/; the seeds in the tree stay small.
work="$dir/corpus-$name"
findings="$dir/findings-$name"
mkdir -p "$work" "$findings" "fuzz/regressions/$name"
rm -f "$findings"/*  # only this run's findings are minimised below
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
"$dir/fuzz/quorl_fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_FLAGS:-} \
  "$work" "fuzz/corpus/$name" "fuzz/regressions/$name" || status=$?

# Every failing input, minimised, becomes a regression input.
for crash in "$findings"/crash-* "$findings"/timeout-* "$findings"/oom-* "$findings"/leak-*; do
  [ -e "$crash" ] || continue
  base=$(basename "$crash")
  out="fuzz/regressions/$name/$base"
  [ -e "$out" ] && continue
  "$dir/fuzz/quorl_fuzz_$name" -minimize_crash=1 -max_total_time=60 -exact_artifact_path="$out" "$crash" \
    >/dev/null 2>&1 || true
  [ -s "$out" ] || cp "$crash" "$out"
  echo "finding: $out"
done
exit $status
