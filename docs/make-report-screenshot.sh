#!/usr/bin/env bash
# Renders the demo survey's coverage report and takes docs/report.png with
# headless Chromium (apt-get install chromium; needed for this picture only).
# Chromium pulls in fonts-liberation2, which changes the fonts Qt picks and
# with them the layout some GUI tests measure: remove both afterwards
# (apt-get remove fonts-liberation2 chromium chromium-common).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build/tools/quorl report build/samples/demo.ssd --projection build/samples/demo.gpf -o "$out/report"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,1500 \
  --screenshot="$PWD/docs/report.png" "file://$out/report/index.html" 2>/dev/null
