#!/usr/bin/env bash
# Installs what is missing, builds the program and packs the release zip:
# build/nomaclip-<version>-win64.zip (or under $NOMACLIP_BUILD_DIR), one folder
# nomaclip-<version>/ with nomaclip.exe, img/, README.md and LICENSE.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target release
ls "$build"/nomaclip-*-win64.zip
