#!/usr/bin/env bash
# Builds and runs the benchmark under Wine: one line per case, "<case> <ours-ms>
# <baseline-ms> <ratio>"; exits non-zero when a case is over its budget. Windows need a
# display: without one, a virtual X server is started for the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip_bench
export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
. "$root/scripts/display.sh"
ensure_display "$NOMACLIP_WINEPREFIX"
cd "$build/bench"
"$root/scripts/wine-run.sh" ./nomaclip_bench.exe "$@"
