#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources:
#   resources/img-src/<name>.svg  ->  img/<name>.ico  (toolbar icons: 16, 24, 32, 48 and 64 px)
#   resources/img-src/lock-N.svg  ->  img/lock-N.png  (128 x 128; the program draws them scaled)
#   resources/app-icon.svg (48 and 32 px) and resources/app-icon-16.svg  ->  resources/nomaclip.ico
# Every icon image is 32-bit with alpha. The rendered files are committed, so a build needs no
# converter; run this after changing an SVG and commit both.
#   render-images.sh [OUTPUT_ROOT]   writes below OUTPUT_ROOT instead of the source tree
# Needs rsvg-convert (Debian: librsvg2-bin) and ImageMagick's convert (Debian: imagemagick).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root}"

for tool in rsvg-convert convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "render-images.sh: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2
        exit 1
    fi
done

toolbar=(top_on top_off pin_on pin_off pause_on pause_off move_top_on move_top_off
         clearall template settings autopaste_on autopaste_off)
toolbar_sizes=(16 24 32 48 64)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out/img" "$out/resources"

# One SVG at one size into a PNG with 8-bit RGBA.
render() {
    rsvg-convert --width "$2" --height "$2" --format png --output "$3" "$1"
}

# PNGs into an icon file; ImageMagick stores each image below 256 px as a 32-bit BMP with alpha.
pack_icon() {
    local target="$1"
    shift
    convert "$@" "$target"
}

for name in "${toolbar[@]}"; do
    pngs=()
    for size in "${toolbar_sizes[@]}"; do
        render "$root/resources/img-src/$name.svg" "$size" "$work/$name-$size.png"
        pngs+=("$work/$name-$size.png")
    done
    pack_icon "$out/img/$name.ico" "${pngs[@]}"
done

for name in lock-1 lock-2; do
    render "$root/resources/img-src/$name.svg" 128 "$out/img/$name.png"
done

render "$root/resources/app-icon-16.svg" 16 "$work/app-16.png"
render "$root/resources/app-icon.svg" 32 "$work/app-32.png"
render "$root/resources/app-icon.svg" 48 "$work/app-48.png"
pack_icon "$out/resources/nomaclip.ico" "$work/app-16.png" "$work/app-32.png" "$work/app-48.png"

echo "Rendered ${#toolbar[@]} toolbar icons, 2 lock pictures and the program icon into $out"
