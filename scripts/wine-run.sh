#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, creating the prefix
# on first use. Used as CMake's cross-compiling emulator for tests and the benchmark.
#   NOMACLIP_WINEPREFIX  prefix to use (set by the build; defaults beside this script's caller)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="${NOMACLIP_WINEPREFIX:-$PWD/wineprefix}"
"$here/wine-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
