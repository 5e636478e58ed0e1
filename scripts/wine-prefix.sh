#!/usr/bin/env bash
# Creates a 64-bit Wine prefix set up for Nomaclip's tests: Japanese dialog fonts mapped to
# an installed CJK font. Safe to call from parallel jobs: the first one builds it, the
# others wait on a lock.
set -euo pipefail
prefix="$1"
[ -f "$prefix/.nomaclip-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.nomaclip-ready" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 || true
reg="$(mktemp --suffix=.reg)"
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS Shell Dlg"="Noto Sans CJK JP"
"MS Shell Dlg 2"="Noto Sans CJK JP"
"Tahoma"="Noto Sans CJK JP"
"MS UI Gothic"="Noto Sans CJK JP"
"Meiryo UI"="Noto Sans CJK JP"
"Yu Gothic UI"="Noto Sans CJK JP"
REG
wine regedit "$reg" >/dev/null 2>&1 || true
rm -f "$reg"
wineserver -w || true
touch "$prefix/.nomaclip-ready"
