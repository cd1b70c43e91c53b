#!/usr/bin/env bash
# Takes screenshots of the program on a virtual X display at two screen sizes.
#
#   scripts/screenshots.sh [build-dir]
#
# Needs Xvfb (xvfb), xauth, import (imagemagick) and xdotool. The program runs
# in a temporary working folder holding a copy of resources/aiuto.rtf; the
# pictures are written to docs/screenshots/, named after the screen size and
# the moment they show.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$root/docs/screenshots"
program="$build/app/nozioli"
sizes=(1280x1024 1920x1080)

for tool in Xvfb import xdotool; do
    command -v "$tool" >/dev/null || { echo "manca $tool" >&2; exit 1; }
done
cmake --build "$build" --target nozioli >/dev/null
mkdir -p "$out"

xvfb_pid=
app_pid=
work=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    [ -n "$work" ] && rm -rf "$work"
    app_pid= xvfb_pid= work=
}
trap cleanup EXIT

# The window lays out 11835 x 9045 twips, scaled by s = min(w / 789, h / 603).
scale=1
to_pixels() { awk -v t="$1" -v s="$scale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }'; }

# Clicks the centre of a control given as left, top, width, height in twips.
click_twips() {
    local x y
    x=$(to_pixels $(( $1 + $3 / 2 )))
    y=$(to_pixels $(( $2 + $4 / 2 )))
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}

point_twips() {
    xdotool mousemove "$(to_pixels "$1")" "$(to_pixels "$2")"
    sleep 0.3
}

shot() {
    sleep 0.5
    import -window root "$out/fnozioli-$size-$1.png"
    echo "  $out/fnozioli-$size-$1.png"
}

start_display() {
    local w=${size%x*} h=${size#*x}
    scale=$(awk -v w="$w" -v h="$h" 'BEGIN { a = w / 789; b = h / 603; print (a < b ? a : b) }')
    display=99
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    export DISPLAY=":$display"
    Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "Xvfb non parte" >&2
    exit 1
}

start_program() {
    work=$(mktemp -d)
    cp "$root/resources/aiuto.rtf" "$work/"
    (cd "$work" && exec "$program") >"$work/output.txt" 2>&1 &
    app_pid=$!
    for _ in $(seq 100); do
        xdotool search --name "ESERCIZI DI NOZIOLIZZAZIONE" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "la finestra non compare" >&2
    cat "$work/output.txt" >&2
    exit 1
}

for size in "${sizes[@]}"; do
    echo "$size"
    start_display
    start_program

    point_twips 60 60                            # pointer on the bare background
    shot 1-caricata

    click_twips 9800 5040 1815 315               # Combo1: open the list
    xdotool type 7
    xdotool key Return
    sleep 0.3
    click_twips 2880 3480 2775 375               # "economia": wrong
    click_twips 4200 3960 3015 375               # "spazio": right, opens its three concepts
    click_twips 4920 5040 2175 495               # Label3(2) "rapporto tra ambiente e avvenimento": right
    click_twips 360 5040 2175 495                # Label3(0): wrong
    click_twips 1320 2160 300 255                # Check1 "  Esplicito" in "Periodo" (its box): wrong
    click_twips 3960 2120 300 240                # Check3 "  Breve" in "Durata" (its box): right
    point_twips 10700 7800                       # pointer over "Esci"
    shot 2-esercizio7

    point_twips 60 60
    click_twips 120 7320 2415 1200               # "? Aiuto ?"
    shot 3-aiuto

    cleanup
done
