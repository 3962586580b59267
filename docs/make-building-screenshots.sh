#!/usr/bin/env bash
# Takes the README's pictures of a building: docs/building-report.png (the
# report of a three-floor site made from the demo office, one floor not
# surveyed) and docs/gis-plan-survey.png (a walk of plan taps exported to a
# GeoPackage in the plan's own system, drawn by GDAL over the decoded plan,
# which GDAL places by its world file). Needs a built tree (build/), Debian's
# python3-gdal (installed by the setup script) and, for the report only,
# headless Chromium (apt-get install chromium).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
quorl=$repo/build/tools/quorl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

g++ -std=c++20 -I"$repo" "$repo/docs/tools/MakePlanWalk.cpp" \
  "$repo/build/survey/libquorl_survey.a" "$repo/build/common/libquorl_common.a" -o make-plan-walk
./make-plan-walk walk.ssd

# The ground floor: the demo plan with a scale of 50 m across.
mkdir -p site/plans
cp "$repo/build/samples/demo.lpf" site/plans/ground.lpf
"$quorl" proj scale site/plans/ground.lpf --points "0,0;800,0" --metres 50
cp site/plans/ground.lpf site/plans/basement.lpf
cp site/plans/ground.lpf.scale site/plans/basement.lpf.scale
cp "$repo/build/samples/demo.gpf" site/plans/first.gpf
cp walk.ssd site/ground-walk.ssd
cp "$repo/build/samples/demo.ssd" site/first-walk.ssd

# The GIS view of the ground floor's walk.
"$quorl" proj decode site/plans/ground.lpf floor.bmp
"$quorl" ssd export walk.ssd --format gpkg --projection site/plans/ground.lpf -o walk.gpkg
/usr/bin/python3 "$repo/docs/tools/gis_view.py" floor.bmp walk.gpkg "$repo/docs/gis-plan-survey.png"
rm -f "$repo/docs/gis-plan-survey.png.aux.xml"  # GDAL's note beside a PNG it wrote

# The building report.
cd site
"$quorl" site new hq.qsite --name "Head office"
"$quorl" site add-floor hq.qsite --name Ground --projection plans/ground.lpf --level 0
"$quorl" site add-floor hq.qsite --name First --projection plans/first.gpf --level 1
"$quorl" site add-floor hq.qsite --name Basement --projection plans/basement.lpf --level -1
"$quorl" site add-survey hq.qsite --floor Ground ground-walk.ssd
"$quorl" site add-survey hq.qsite --floor First first-walk.ssd
"$quorl" report hq.qsite --profile data -o report
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,1400 \
  --screenshot="$repo/docs/building-report.png" "file://$PWD/report/index.html" 2>/dev/null
