#!/usr/bin/env bash
# Draws docs/pass-fail-map.png: the demo survey checked against a
# second access point at -60 dBm, within 6 m of a survey point.
set -euo pipefail
cd "$(dirname "$0")/.."
build/tools/quorl check build/samples/demo.ssd --projection build/samples/demo.gpf \
  --require 'secondary>=-60' --radius 6m -o docs/pass-fail-map.png || [ $? -eq 1 ]
