#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources:
#   resources/img-src/<name>.svg  ->  img/<name>.ico  (toolbar icons: 16, 24, 32, 48 and 64 px)
#   resources/img-src/lock-N.svg  ->  img/lock-N.png  (128 x 128; the program draws them scaled)
#   resources/app-icon-N.svg (N = 16, 20, 24, 32, 40, 48: each drawn for its own pixel grid) and
#   resources/app-icon.svg (64 and 256 px)  ->  resources/nomaclip.ico, frames in that order
# Every icon image is 32-bit with alpha; the 256 px one is stored as a PNG (RGBA), which Windows reads
# since Vista. The rendered files are committed, so a build needs no converter; run this after
# changing an SVG and commit both.
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
         clearall template settings autopaste_on autopaste_off queue_on queue_off)
toolbar_sizes=(16 24 32 48 64)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out/img" "$out/resources"

# One SVG at one size into a PNG with 8-bit RGBA.
render() {
    rsvg-convert --width "$2" --height "$2" --format png --output "$3" "$1"
}

# PNGs into an icon file; ImageMagick stores each image below 256 px as a 32-bit BMP with alpha and a
# 256 px one as a PNG, which it would otherwise write in grey and alpha for a grey picture.
pack_icon() {
    local target="$1"
    shift
    convert "$@" -define png:color-type=6 -define png:bit-depth=8 "$target"
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

# The tray shows 16, 20, 24 or 32 px (100 to 200 %), Explorer 32, 40, 48, 64 or 256 px.
app=()
for size in 16 20 24 32 40 48 64 256; do
    source="$root/resources/app-icon-$size.svg"
    [ -e "$source" ] || source="$root/resources/app-icon.svg"
    render "$source" "$size" "$work/app-$size.png"
    app+=("$work/app-$size.png")
done
pack_icon "$out/resources/nomaclip.ico" "${app[@]}"

echo "Rendered ${#toolbar[@]} toolbar icons, 2 lock pictures and the program icon into $out"
