#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"
# Every Wine program of the shared test prefix gets one display: a desktop process started
# without one would leave later window tests without a window driver.
if [ -z "${DISPLAY:-}" ]; then
    display=:$((60 + RANDOM % 9))
    Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
    export DISPLAY=$display
    sleep 1
fi
cd "$build"
ctest --output-on-failure -j2
