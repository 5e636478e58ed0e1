#!/usr/bin/env bash
# Builds the program and starts it: directly on Windows, under Wine elsewhere.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip
export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
cd "$build"
exec "$root/scripts/wine-run.sh" ./nomaclip.exe
