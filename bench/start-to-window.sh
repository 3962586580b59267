#!/usr/bin/env bash
# Start-to-window: milliseconds from starting quorl-collector until its main
# window is mapped on the display, as the user sees it appear; the median
# and the spread of RUNS starts. It runs on a display of its own (Xvfb) with
# the simulated unit, so the link start-up and its two waits happen as they
# do with a real unit. Needs xev (Debian x11-utils).
#   bench/start-to-window.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-7}
collector=$build/shell/quorl-collector
[ -x "$collector" ] || { echo "no $collector: build the quorl-collector target first" >&2; exit 2; }
command -v xev >/dev/null || { echo "needs xev (Debian package x11-utils)" >&2; exit 2; }
script=$(mktemp)
trap 'rm -f "$script"' EXIT
cat > "$script" <<'PY'
import os, select, signal, statistics, subprocess, sys, time

collector, runs = sys.argv[1], int(sys.argv[2])

def first_map(xev, deadline):
    """Time at which xev reported the first window mapped that is no pop-up."""
    pending = None
    buffered = ""
    while time.monotonic() < deadline:
        ready, _, _ = select.select([xev.stdout], [], [], 0.05)
        if not ready:
            continue
        now = time.monotonic()
        chunk = os.read(xev.stdout.fileno(), 65536).decode(errors="replace")
        if not chunk:
            return None
        buffered += chunk
        *lines, buffered = buffered.split("\n")
        for line in lines:
            if line.startswith("MapNotify"):
                pending = now
            elif pending is not None and "override" in line:
                if "override NO" in line:
                    return pending
                pending = None
    return None

times = []
for _ in range(runs):
    xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    time.sleep(0.5)  # xev listens before the collector starts
    start = time.monotonic()
    app = subprocess.Popen([collector, "--simulate"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = first_map(xev, start + 30)
    app.send_signal(signal.SIGTERM)
    app.wait()
    xev.kill()
    xev.wait()
    if mapped is None:
        sys.exit("the window was not mapped within 30 s")
    times.append((mapped - start) * 1000)
    time.sleep(0.5)
times.sort()
print("start-to-window over %d starts: median %.0f ms (min %.0f, max %.0f)"
      % (runs, statistics.median(times), times[0], times[-1]))
PY
xvfb-run -a -s "-screen 0 1280x800x24" python3 "$script" "$collector" "$runs"
