#!/usr/bin/env bash
# Installs what building and testing on Debian needs: the mingw-w64 cross compiler,
# Wine to run the Windows programs, Xvfb and the input/clipboard tools for the
# end-to-end tests, Syncthing for the two-PC synced-folder tests, GoogleTest's sources and
# Python with its crypto package for the envelope check. Does nothing for packages that
# are already there.
set -euo pipefail

packages=(
    cmake ninja-build make
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
    wine64 wine
    googletest
    python3 python3-cryptography openssl
    xvfb xdotool xclip imagemagick fonts-noto-cjk fonts-wine inotify-tools
    librsvg2-bin
    syncthing
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
