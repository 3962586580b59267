#!/usr/bin/env bash
# A survey's GeoPackage loaded into a throw-away PostGIS with ogr2ogr, and
# checked with SQL against what quorl itself reads from the collection file.
# The server runs from a temporary folder as an unprivileged user, listens
# on a socket in that folder only (no TCP), and is stopped at the end.
# Usage: PostgisRoundTrip.sh QUORL SURVEY.ssd
set -euo pipefail
quorl=$1
survey=$2

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$pgbin" ] || [ ! -x "$pgbin/initdb" ] || ! command -v ogr2ogr >/dev/null; then
  echo "PostgreSQL or ogr2ogr is not installed (scripts/setup.sh installs them): skipped"
  exit 77
fi

work=$(mktemp -d)
run=()
if [ "$(id -u)" -eq 0 ]; then
  # PostgreSQL refuses to run as root.
  chown nobody "$work"
  run=(runuser -u nobody --)
fi
stop() {
  "${run[@]}" "$pgbin/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT

"${run[@]}" "$pgbin/initdb" -D "$work/data" -U postgres --auth=trust --no-sync >"$work/initdb.log" 2>&1 ||
  { cat "$work/initdb.log"; exit 1; }
mkdir "$work/socket" && chown --reference="$work" "$work/socket"
port=54329
"${run[@]}" "$pgbin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 120 \
  -o "-c listen_addresses='' -k $work/socket -p $port -c fsync=off" start >/dev/null ||
  { cat "$work/server.log"; exit 1; }

psql() { "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$work/socket" -p $port -U postgres -d survey -At "$@"; }
"$pgbin/createdb" -h "$work/socket" -p $port -U postgres survey
psql -c "CREATE EXTENSION postgis;"

"$quorl" ssd export "$survey" --format gpkg -o "$work/survey.gpkg"
ogr2ogr -f PostgreSQL "PG:host=$work/socket port=$port user=postgres dbname=survey" "$work/survey.gpkg"

fail=0
expect() {  # what, expected, got
  if [ "$2" != "$3" ]; then echo "FAIL $1: expected '$2', got '$3'"; fail=1; else echo "ok   $1: $3"; fi
}
info=$("$quorl" ssd info "$survey")
points=$(sed -n 's/^points: //p' <<<"$info")
readings=$(sed -n 's/^access point records: //p' <<<"$info")
expect "points" "$points" "$(psql -c 'SELECT count(*) FROM survey_points')"
expect "readings" "$readings" "$(psql -c 'SELECT count(*) FROM readings')"
expect "readings joined to their points" "$readings" \
  "$(psql -c 'SELECT count(*) FROM readings r JOIN survey_points p ON r.point = p.fid')"
expect "geometry type and SRID" "POINT 4326" \
  "$(psql -c "SELECT DISTINCT GeometryType(geom) || ' ' || ST_SRID(geom) FROM survey_points")"
expect "geometries away from their latitude and longitude" "0" \
  "$(psql -c 'SELECT count(*) FROM survey_points WHERE abs(ST_X(geom) - longitude) > 1e-9 OR abs(ST_Y(geom) - latitude) > 1e-9')"
# Positions as the collection file's dump gives them, point by point.
want=$("$quorl" ssd dump "$survey" | awk -F, 'NR > 1 && !seen[$1]++ { printf "%d|%.6f|%.6f\n", $1, $6, $7 }')
got=$(psql -c "SELECT number, to_char(ST_Y(geom), 'FM990.000000'), to_char(ST_X(geom), 'FM990.000000') FROM survey_points ORDER BY number")
expect "points in the dump" "$points" "$(wc -l <<<"$want")"
expect "positions of every point" "$(md5sum <<<"$want")" "$(md5sum <<<"$got")"
expect "valid geometries" "$points" "$(psql -c 'SELECT count(*) FROM survey_points WHERE ST_IsValid(geom)')"
exit $fail
