#!/usr/bin/env bash
# Checks the program's pictures and resource script:
#   1. the committed icons and lock pictures are what render-images.sh makes of the SVG sources,
#      every SVG source is one of them, and the program and the probe list the same toolbar icons;
#   2. a probe linked with resources/nomaclip.rc, run under Wine beside a copy of img/, loads every
#      toolbar icon with LoadImageW at 16, 24, 32, 48 and 64 px as 32-bit images with alpha and
#      draws them through a 32-bit image list onto the toolbar colour; for icon 201 at 16, 20, 24,
#      32, 40, 48, 64 and 256 px it checks that Windows takes a 32-bit frame of exactly that size
#      and loads it with alpha, draws it with DrawIconEx on a light and a dark taskbar strip and
#      measures that it stands out from both (body and outline); it loads the lock pictures with
#      GDI+, reads the three dialog templates back (styles, geometry, ids, Japanese texts) and
#      creates them, and reads the version information and the manifest's effects;
#   3. every icon image Windows loaded is pixel for pixel the image of that size in the file;
#   4. the probe's picture of the program icon on the two taskbars becomes
#      docs/screenshots/tray-icon.png (rewritten only when it changed and every check passed).
#   check-images.sh [--sheet OUT.png]   also writes a contact sheet of the icons as Wine drew them
# Needs the mingw-w64 cross compiler, Wine, Xvfb, rsvg-convert and ImageMagick
# (scripts/install-deps.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${NOMACLIP_BUILD_DIR:-$root/build}"
work="$build/image-check"
prefix="${NOMACLIP_WINEPREFIX:-$build/wineprefix}"
sheet=""
if [ "${1:-}" = "--sheet" ]; then
    sheet="$(realpath -m "$2")"
fi

toolbar=(top_on top_off pin_on pin_off pause_on pause_off move_top_on move_top_off
         clearall template settings autopaste_on autopaste_off queue_on queue_off)
failed=0
fail() {
    echo "FAIL $*"
    failed=1
}

rm -rf "$work"
mkdir -p "$work/rendered" "$work/run/dump"

# 1. Rendered files up to date.
"$root/scripts/render-images.sh" "$work/rendered" >/dev/null
for f in "${toolbar[@]/#/img/}" img/lock-1 img/lock-2 resources/nomaclip; do
    case "$f" in img/lock-*) f="$f.png" ;; *) f="$f.ico" ;; esac
    if cmp -s "$root/$f" "$work/rendered/$f"; then
        echo "ok   $f matches its source"
    else
        fail "$f differs from a fresh rendering: run scripts/render-images.sh"
    fi
done
for svg in "$root"/resources/img-src/*.svg; do
    name="$(basename "$svg" .svg)"
    case " ${toolbar[*]} lock-1 lock-2 " in
    *" $name "*) ;;
    *) fail "resources/img-src/$name.svg is in no list of pictures" ;;
    esac
done
# The program and the probe load the toolbar icons of this list, in its order.
icon_list() { # source file, array name -> the icon names it lists, one a line
    awk -v array="$2" 'index($0, array) { on = 1 } on { print } on && /};/ { exit }' "$1" |
        grep -o 'L"[a-z_]*' | cut -c3-
}
for list in "app/Toolbar.cpp kToolbarIconFiles" "resources/check/ResourceProbe.cpp kToolbarIcons"; do
    read -r file array <<<"$list"
    if [ "$(icon_list "$root/$file" "$array")" = "$(printf '%s\n' "${toolbar[@]}")" ]; then
        echo "ok   $file lists the toolbar icons in order"
    else
        fail "$file: $array is not the toolbar list of scripts/check-images.sh"
    fi
done

# 2. The probe under Wine.
x86_64-w64-mingw32-windres "$root/resources/nomaclip.rc" -O coff -o "$work/nomaclip.res.o"
x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -municode -DUNICODE -D_UNICODE \
    -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -I "$root/resources" \
    "$root/resources/check/ResourceProbe.cpp" "$root/resources/check/ProbeSupport.cpp" \
    "$root/resources/check/ProgramIconProbe.cpp" "$work/nomaclip.res.o" -o "$work/run/resource_probe.exe" \
    -static -lgdiplus -lcomctl32 -lversion -lgdi32 -luser32
cp -r "$root/img" "$work/run/img"

# The prefix's desktop process lives on the display it was started with; use that one when
# there is one, so the dialogs are created where the desktop is.
if [ -n "${DISPLAY:-}" ]; then
    display="$DISPLAY"
else
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    display=":$(head -n1 "$work/display")"
    exec 3>&-
fi

cd "$work/run"
set +e
DISPLAY="$display" NOMACLIP_WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" resource_probe.exe dump \
    >probe.txt 2>/dev/null
probe=$?
set -e
tr -d '\r' <probe.txt
[ "$probe" -eq 0 ] || fail "the probe reported $probe failure(s)"

# 3. What Windows loaded is what the files hold: the image of that very size, not a scaled one.
frame_of() { # icon file, size -> index of the file's image of that size, or nothing
    identify -format '%w %h\n' "$1" | awk -v s="$2" '$1 == s && $2 == s { print NR - 1; exit }'
}
compared=0
for name in "${toolbar[@]}" app; do
    if [ "$name" = app ]; then
        file="$root/resources/nomaclip.ico"
        sizes=(16 20 24 32 40 48 64 256)
    else
        file="$root/img/$name.ico"
        sizes=(16 24 32 48 64)
    fi
    for size in "${sizes[@]}"; do
        index="$(frame_of "$file" "$size")"
        if [ -z "$index" ]; then
            fail "${file#"$root"/} has no $size px image"
            continue
        fi
        convert "$file[$index]" -depth 8 "bgra:$work/expected.bgra"
        if cmp -s "$work/expected.bgra" "dump/$name-$size.bgra"; then
            compared=$((compared + 1))
        else
            fail "$name at $size px: the loaded pixels differ from the file's $size px image"
        fi
    done
done
echo "ok   $compared loaded icon images equal the images in their files"

# 4. The program icon on the light and the dark taskbar, as Wine drew it; without time stamps, so
# the same drawing gives the same file. The README's copy changes only when everything passed.
if [ -s dump/tray-icon.bmp ]; then
    convert dump/tray-icon.bmp -define png:exclude-chunks=date,time "png24:$work/tray-icon.png"
    picture="$root/docs/screenshots/tray-icon.png"
    if cmp -s "$work/tray-icon.png" "$picture"; then
        echo "ok   docs/screenshots/tray-icon.png is the icon as drawn"
    elif [ "$failed" -eq 0 ]; then
        cp "$work/tray-icon.png" "$picture"
        echo "ok   docs/screenshots/tray-icon.png written anew: look at it and commit it"
    else
        echo "     the icon as drawn: $work/tray-icon.png (docs/screenshots/ left as it was)"
    fi
else
    fail "the probe drew no picture of the program icon"
fi

if [ -n "$sheet" ]; then
    # Row 1: toolbar at 32 px, row 2: at 48 px (as the image list drew them on RGB(43, 43, 43));
    # row 3: the lock pictures at 64 and 96 px on RGB(243, 243, 243), the program icon at 48, 32
    # and 16 px on white and on dark grey.
    cells() {
        for name in "${toolbar[@]}"; do
            convert -size "${1}x${1}" -depth 8 "bgra:dump/$name-drawn-$1.bgra" \
                -background 'rgb(43,43,43)' -gravity center -extent 64x64 "png:$work/cell-$1-$name.png"
            echo "$work/cell-$1-$name.png"
        done
    }
    convert $(cells 32) +append "$work/row32.png"
    convert $(cells 48) +append "$work/row48.png"
    convert -size 420x112 xc:'rgb(243,243,243)' \
        \( img/lock-1.png -resize 64x64 \) -geometry +16+24 -composite \
        \( img/lock-2.png -resize 64x64 \) -geometry +96+24 -composite \
        \( img/lock-1.png -resize 96x96 \) -geometry +184+8 -composite \
        \( img/lock-2.png -resize 96x96 \) -geometry +296+8 -composite "$work/locks.png"
    app="$root/resources/nomaclip.ico"
    for bg in white 'rgb(43,43,43)'; do
        convert -size 210x56 "xc:$bg" \
            \( "$app[$(frame_of "$app" 48)]" \) -geometry +8+4 -composite \
            \( "$app[$(frame_of "$app" 32)]" \) -geometry +80+12 -composite \
            \( "$app[$(frame_of "$app" 16)]" \) -geometry +140+20 -composite "png:$work/app-$bg.png"
    done
    convert "$work/app-white.png" "$work/app-rgb(43,43,43).png" -append "$work/app.png"
    convert "$work/locks.png" "$work/app.png" -background 'rgb(243,243,243)' +append "$work/row3.png"
    convert "$work/row32.png" "$work/row48.png" "$work/row3.png" -background 'rgb(43,43,43)' -append \
        "$sheet"
    echo "Contact sheet: $sheet"
fi

exit "$failed"
