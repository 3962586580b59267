#!/usr/bin/env bash
# Renders the demo survey's coverage report and takes docs/report.png with
# headless Chromium (apt-get install chromium; needed for this picture only).
# Remove it afterwards (apt-get remove chromium chromium-common), but keep
# fonts-liberation2: the setup script installs it (Arial's metric twin, for
# the scan view) and the GUI tests pass with it and without it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build/tools/quorl report build/samples/demo.ssd --projection build/samples/demo.gpf -o "$out/report"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,1500 \
  --screenshot="$PWD/docs/report.png" "file://$out/report/index.html" 2>/dev/null
