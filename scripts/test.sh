#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"
# Every Wine program of the shared test prefix gets one display: a desktop process started
# without one would leave later window tests without a window driver.
. "$root/scripts/display.sh"
ensure_display "$build/wineprefix"
cd "$build"
ctest --output-on-failure -j2
