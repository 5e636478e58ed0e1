#!/usr/bin/env bash
# Builds the program and starts it from build/app, a folder of its own that keeps its data
# (settings.ini, history.ini, ...) beside the exe, as a user's copy would. On Windows run
# build/app/nomaclip.exe directly; elsewhere it runs under Wine.
# Without a display it runs in a virtual one, shows the tool window as starting it again would,
# saves a screenshot to build/nomaclip-window.png and ends (non-zero when no window was shown).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip e2e_probe
app="${NOMACLIP_APP_DIR:-$build/app}" # the test of this command runs it in a folder of its own
mkdir -p "$app"
cp "$build/nomaclip.exe" "$app/"
rm -rf "$app/img" && cp -r "$build/img" "$app/img"
cd "$app"

if [ -n "${DISPLAY:-}" ]; then
    export NOMACLIP_WINEPREFIX="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
    exec "$root/scripts/wine-run.sh" ./nomaclip.exe
fi

shot="$build/nomaclip-window.png"
prefix="$build/run-prefix"
export NOMACLIP_WINEPREFIX="$prefix" WINEPREFIX="$prefix" WINEDEBUG=-all
display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1
# Every program of this prefix shares one virtual desktop with a taskbar, so the probe
# below sees the tool window.
"$root/scripts/wine-prefix.sh" "$prefix"
if [ ! -f "$prefix/.nomaclip-desktop" ]; then
    reg="$(mktemp --suffix=.reg)"
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="1280x800"\n' >"$reg"
    wine regedit "$reg" >/dev/null 2>&1 || true
    rm -f "$reg"
    wineserver -w
    touch "$prefix/.nomaclip-desktop"
fi
"$root/scripts/wine-run.sh" ./nomaclip.exe >/dev/null 2>&1 &
probe() { "$root/scripts/wine-run.sh" "$build/tests/e2e/probe.exe" "$@" 2>/dev/null; }
# The window's state once it answers (its message loop runs).
main_state() { probe state | python3 -c 'import json, sys; m = json.load(sys.stdin)["main"] or {}; print("visible" if m.get("visible") else "hidden" if m.get("responsive") else "")'; }
for _ in $(seq 1 120); do
    [ -n "$(main_state)" ] && break
    sleep 0.5
done
# Started again while it runs, the program shows its window, whatever it was doing: the first
# start in a folder shows it already, a later one starts hidden.
"$root/scripts/wine-run.sh" ./nomaclip.exe >/dev/null 2>&1 || true
shown=""
for _ in $(seq 1 60); do
    [ "$(main_state)" = visible ] && shown=1 && break
    sleep 0.5
done
if [ -z "$shown" ]; then
    echo "the tool window did not come up" >&2
    exit 1
fi
sleep 1 # the window's first paint
import -display "$display" -window root "$shot"
[ "$(main_state)" = visible ] || { echo "the tool window went away before the picture" >&2; exit 1; }
echo "Nomaclip ran in a virtual display; the shown tool window is in $shot"
