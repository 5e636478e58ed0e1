#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, creating the prefix
# on first use. Used as CMake's cross-compiling emulator for tests and the benchmark.
#   NOMACLIP_WINEPREFIX  prefix to use (set by the build; defaults beside this script's caller)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="${NOMACLIP_WINEPREFIX:-$PWD/wineprefix}"
"$here/wine-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Bring the prefix's server and its service processes up detached from our output: started
# by the program itself they inherit the caller's pipes and hold them for seconds after the
# program ends, and CTest waits for that. Once up they stay a little while for the next run.
wineserver -p20 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
exec wine "$@"
