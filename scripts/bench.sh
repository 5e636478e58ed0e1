#!/usr/bin/env bash
# Builds and runs the benchmark under Wine: one line per case, "<case> <ours-ms>
# <baseline-ms> <ratio>"; exits non-zero when a case is over its budget. Windows need a
# display: without one, a virtual X server is started for the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip_bench
export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + RANDOM % 9))
    Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true' EXIT
    export DISPLAY=$display
    sleep 1
fi
cd "$build/bench"
"$root/scripts/wine-run.sh" ./nomaclip_bench.exe
