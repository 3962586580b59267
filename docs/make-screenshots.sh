#!/usr/bin/env bash
# Takes the screenshots the README shows, on a virtual display of a tablet's
# size, with the collector running against the simulated unit; then the tool
# bar once more at twice the pixel density.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -Wno-dev >/dev/null
cmake --build "$build" -j2 --target quorl-shell-screenshots
tool="$build/tests/shell/quorl-shell-screenshots"
xvfb-run -a -s "-screen 0 1024x768x24" "$tool" docs
rm -f docs/toolbar.png
hidpi=$(mktemp -d)
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2048x1536x24" "$tool" "$hidpi"
cp "$hidpi/toolbar.png" docs/toolbar-2x.png
rm -rf "$hidpi"
# A sweep in the scan view, the channel list and the point information dialog.
cmake --build "$build" -j2 --target quorl-scan-screenshots
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/shell/quorl-scan-screenshots" docs
# The channel list as a tablet set to twice the size shows it (README).
hidpi=$(mktemp -d)
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2048x1536x24" "$build/tests/shell/quorl-scan-screenshots" "$hidpi"
cp "$hidpi/channel-list.png" docs/channel-list-2x.png
rm -rf "$hidpi"
# A walking survey in progress and the whole floor fitted, on a tablet's screen.
cmake --build "$build" -j2 --target quorl-indoor-screenshots quorl_demo_site
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/e2e/quorl-indoor-screenshots" "$build/samples/demo.bmp" docs
# The floor chooser of a building, on a tablet's screen.
cmake --build "$build" -j2 --target quorl-floor-screenshots quorl_demo_site quorl_demo_survey
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/e2e/quorl-floor-screenshots" "$build/samples" docs
