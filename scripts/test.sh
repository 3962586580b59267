#!/usr/bin/env bash
# Every test: installs what is missing, builds, runs all CTest suites, then the
# core suites again under AddressSanitizer + UndefinedBehaviorSanitizer and the
# threaded suites under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
# ccache makes the three trees and the package share what they compile alike.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
run_suite() {
  local dir=$1 label=$2; shift 2
  cmake -S . -B "$dir" -Wno-dev -DQUORL_WERROR=ON "${launcher[@]}" "$@" >/dev/null
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
  setarch "$(uname -m)" -R bash -c "$(declare -f run_suite); jobs=$jobs; launcher=(${launcher[*]}); run_suite build-tsan threaded \
  -DCMAKE_BUILD_TYPE=Debug -DQUORL_WITH_GUI=OFF -DQUORL_WITH_BENCH=OFF -DQUORL_SANITIZE=thread"

echo "== Debian package (Release): build, contents, install into a temporary root"
# Only what the package holds: no tests, no benchmarks.
cmake -S . -B build-package -Wno-dev -DCMAKE_BUILD_TYPE=Release -DQUORL_WITH_TESTS=OFF -DQUORL_WITH_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build build-package -j"$jobs"
rm -f build-package/quorl-collector_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/quorl-collector_*.deb)
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
# Debian's package checks: any error fails the run; the warnings left are
# explained in the README's Install section.
lintian --fail-on error --display-info "$deb"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install build-package --prefix /usr >/dev/null
# The package holds what the install rules put in place, and all of it.
diff <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort) \
     <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)
for f in usr/bin/quorl usr/bin/quorl-collector usr/share/applications/quorl-collector.desktop \
         usr/share/man/man1/quorl.1.gz usr/share/man/man1/quorl-collector.1.gz \
         usr/lib/udev/rules.d/60-quorl-unit.rules usr/share/icons/hicolor/48x48/apps/quorl-collector.png \
         usr/share/bash-completion/completions/quorl \
         usr/share/quorl-collector/demo/demo.gpf usr/share/quorl-collector/demo/demo.lpf \
         usr/share/quorl-collector/demo/demo.ssd; do
  test -s "$root/$f" || { echo "missing from the package: $f" >&2; exit 1; }
done
"$root/usr/bin/quorl" --version
"$root/usr/bin/quorl-collector" --version
desktop-file-validate "$root/usr/share/applications/quorl-collector.desktop"
# The installed companion exports the installed demo survey.
demo="$root/usr/share/quorl-collector/demo"
"$root/usr/bin/quorl" ssd export "$demo/demo.ssd" --format sqlite -o "$root/demo.db"
"$root/usr/bin/quorl" ssd export "$demo/demo.ssd" --format geojson --projection "$demo/demo.gpf" -o "$root/demo.geojson"
python3 -c 'import json, sqlite3, sys
assert sqlite3.connect(sys.argv[1]).execute("SELECT count(*) FROM readings").fetchone()[0] > 0
assert len(json.load(open(sys.argv[2]))["features"]) > 0' "$root/demo.db" "$root/demo.geojson"
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6
echo "package: $deb"
