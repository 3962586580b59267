#!/usr/bin/env bash
# Peak memory (maximum resident set) and CPU time of `quorl ssd export` into
# SQLite and GeoPackage for a survey of about 200 MB: 200,000 GPS points of
# 20 access points each, made here with Python. Target: at most 64 MiB.
# usage: bench/export-peak-memory.sh path/to/quorl [survey.ssd]   (needs GNU time, package time)
set -euo pipefail
quorl=${1:?usage: $0 path/to/quorl [survey.ssd]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
survey=${2:-$work/survey.ssd}
if [ -z "${2:-}" ]; then
  python3 - "$survey" <<'PY'
import struct, sys
out = open(sys.argv[1], 'wb')
out.write(struct.pack('<I4sHHBqI', 25, b' DSS', 1, 0, 0, 1700000000, 25) + struct.pack('<II', 36, 46))
for i in range(200000):
    point = struct.pack('<BiiHH6BIIHHHBH', 0, 170557560 + i % 1000, 30749040 + i % 777, 0, 0,
                        6, 11, 44, 9, 5, i % 60, 0, 0, 0, 0, 0, 2, 20)
    aps = b''.join(struct.pack('<IhH6s32s', 1 + k % 11, -(40 + (i + k) % 50) * 16, 0,
                               bytes([0, 0x1A, 0x2B, 0x3C, k, i // 50 % 20]), ('office-net-%d' % k).encode())
                   for k in range(20))
    out.write(point + aps)
PY
fi
echo "survey: $(stat -c %s "$survey") bytes"
for format in sqlite gpkg; do
  /usr/bin/time -f "$format: peak %M KiB, CPU %U s user + %S s system, %e s wall" \
    "$quorl" ssd export "$survey" --format "$format" -o "$work/out.$format"
done
