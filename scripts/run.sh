#!/usr/bin/env bash
# Builds the program and starts it from build/app, a folder of its own that keeps its data
# (settings.ini, history.ini, ...) beside the exe, as a user's copy would. On Windows run
# build/app/nomaclip.exe directly; elsewhere it runs under Wine.
# Without a display it runs in a virtual one, shows the tool window as a tray click would,
# saves a screenshot to build/nomaclip-window.png and ends.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" --target nomaclip e2e_probe
app="$build/app"
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
# What a left click on the notification-area icon sends: WM_APP + 1 with WM_LBUTTONUP,
# once the window exists.
for _ in $(seq 1 60); do
    probe post main 32769 1 514 >/dev/null && break
    sleep 0.5
done
sleep 2
import -display "$display" -window root "$shot"
echo "Nomaclip ran in a virtual display; the shown tool window is in $shot"
