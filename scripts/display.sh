# Sourced by the scripts that run Windows programs with windows: without a display, starts a
# virtual X server for the rest of the script and ends it on exit (with the given Wine
# prefix's processes, which would otherwise hold on to it).
#   ensure_display PREFIX
ensure_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local prefix="$1"
    _display=:$((60 + RANDOM % 30))
    Xvfb "$_display" -screen 0 1280x800x24 >/dev/null 2>&1 &
    _xvfb=$!
    trap 'WINEPREFIX="'"$prefix"'" wineserver -k >/dev/null 2>&1 || true; kill $_xvfb 2>/dev/null || true' EXIT
    export DISPLAY=$_display
    sleep 1
}
