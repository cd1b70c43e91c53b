#!/usr/bin/env bash
# Regenerates the window pictures in resources/ from their SVG sources.
#
#   scripts/make-pictures.sh
#
# Needs rsvg-convert (librsvg2-bin) and ImageMagick. Each SVG is rendered at
# its own pixel size, flattened and written as a JPEG; the size is checked
# against the one the windows expect.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
res="$root/resources"
# ImageMagick's own binaries, not whatever else may be first on PATH.
convert=/usr/bin/convert
identify=/usr/bin/identify

for tool in rsvg-convert "$convert" "$identify"; do
    command -v "$tool" >/dev/null || { echo "manca $tool" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# name width height
pictures=(
    "image2 256 180"
    "formnome 645 506"
)

for entry in "${pictures[@]}"; do
    read -r name width height <<<"$entry"
    rsvg-convert --width "$width" --height "$height" "$res/$name.svg" -o "$tmp/$name.png"
    "$convert" "$tmp/$name.png" -background black -alpha remove -alpha off \
        -sampling-factor 4:4:4 -quality 88 -strip "$res/$name.jpg"
    size=$("$identify" -format '%wx%h' "$res/$name.jpg")
    if [[ "$size" != "${width}x${height}" ]]; then
        echo "$name.jpg: $size invece di ${width}x${height}" >&2
        exit 1
    fi
    echo "$name.jpg $size"
done
