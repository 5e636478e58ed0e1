#!/usr/bin/env bash
# Builds and runs the benchmark under Wine: one line per case, "<case> <ours-ms>
# <baseline-ms> <ratio>"; exits non-zero when a case is over its budget.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip_bench
export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
cd "$build/bench"
exec "$root/scripts/wine-run.sh" ./nomaclip_bench.exe
