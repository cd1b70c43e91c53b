#!/usr/bin/env bash
# Takes screenshots of the program and of the class register on a virtual X
# display at two screen sizes.
#
#   scripts/screenshots.sh [build-dir]
#
# Installs Xvfb, xauth, ImageMagick, xdotool and Python when missing. The
# program runs in a temporary working folder holding a copy of
# resources/aiuto.rtf and an archive that the program itself has filled with a
# few pupils' results; the register runs on an archive of a whole class made
# up for it. The pictures are written to docs/screenshots/, named after the
# window, the screen size and the moment they show.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$root/docs/screenshots"
program="$build/app/nozioli"
archivio="$build/tools/archivio/nozioli-archivio"
registro="$build/register/nozioli-registro"
sizes=(1280x1024 1920x1080)
pupils=("Rossi Giulia" "Bianchi Luca" "Esposito Anna")

. "$root/scripts/common.sh"
install_missing xvfb xauth imagemagick xdotool openbox python3
cmake --build "$build" --target nozioli nozioli-archivio nozioli-registro >/dev/null
mkdir -p "$out"

xvfb_pid=
wm_pid=
app_pid=
work=
template=$(mktemp -d)
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    [ -n "$work" ] && rm -rf "$work"
    app_pid= wm_pid= xvfb_pid= work=
}
trap 'cleanup; rm -rf "$template"' EXIT

# The main window lays out 11835 x 9045 twips in its client area of w x h
# pixels, scaled by s = min(w / 789, h / 603); main_at ID sets main and scale.
scale=1
main=
main_at() {
    main=$1
    local w h
    w=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^WIDTH=//p')
    h=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
    scale=$(awk -v w="$w" -v h="$h" 'BEGIN { a = w / 789; b = h / 603; print (a < b ? a : b) }')
}
to_pixels() { awk -v t="$1" -v s="$scale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }'; }

# Clicks the centre of a control of the main window given as left, top, width, height in twips.
click_twips() {
    local x y
    x=$(to_pixels $(( $1 + $3 / 2 )))
    y=$(to_pixels $(( $2 + $4 / 2 )))
    xdotool mousemove --window "$main" "$x" "$y" click 1
    sleep 0.3
}

point_twips() {
    xdotool mousemove --window "$main" "$(to_pixels "$1")" "$(to_pixels "$2")"
    sleep 0.3
}

# The other windows have a scale of their own: their width in pixels over
# their client width in twips. window_at ID CLIENT_WIDTH_TWIPS sets win and wscale.
win=
wscale=1
window_at() {
    win=$1
    local width
    width=$(xdotool getwindowgeometry --shell "$win" | sed -n 's/^WIDTH=//p')
    wscale=$(awk -v w="$width" -v t="$2" 'BEGIN { print w * 15 / t }')
}

# Clicks a point of the current window given in twips from its client area's corner.
click_window() {
    local x y
    x=$(awk -v t="$1" -v s="$wscale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }')
    y=$(awk -v t="$2" -v s="$wscale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }')
    xdotool mousemove --window "$win" "$x" "$y"
    sleep 0.2
    xdotool click 1
    sleep 0.3
}

point_window() {
    local x y
    x=$(awk -v t="$1" -v s="$wscale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }')
    y=$(awk -v t="$2" -v s="$wscale" 'BEGIN { printf "%d", t * s / 15 + 0.5 }')
    xdotool mousemove --window "$win" "$x" "$y"
    sleep 0.3
}

# Waits for a visible window whose title matches and prints its id. Titles
# are read as the window system shows them (_NET_WM_NAME): a dialog without
# a title of its own shows the application's name there only.
wait_window() {
    local id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
            if xdotool getwindowname "$id" 2>/dev/null | grep -Eq "$1"; then
                sleep 0.7                       # given a moment to be drawn and to take input
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    echo "la finestra «$1» non compare" >&2
    cat "${work:-$template}/output.txt" >&2
    return 1
}

# shot WINDOW MOMENT [ID]: the whole screen, or the window ID alone, as
# docs/screenshots/WINDOW-SIZE-MOMENT.png.
shot() {
    local file="$out/$1-$size-$2.png"
    sleep 0.5
    /usr/bin/import -window "${3:-root}" "$file"
    echo "  $file"
}

start_display() {
    display=99
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    export DISPLAY=":$display"
    Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "Xvfb non parte" >&2; exit 1; }
    # A window manager, so that the windows have their title bars as on a PC.
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
}

# Starts the program in the folder given, or else in a copy of the template
# folder, and waits for the pupil window.
start_program() {
    local folder=${1:-}
    if [ -z "$folder" ]; then
        work=$(mktemp -d)
        cp "$template"/* "$work/"
        folder=$work
    fi
    (cd "$folder" && exec "$program") >"$folder/output.txt" 2>&1 &
    app_pid=$!
    form=$(wait_window '^Form1$')
    window_at "$form" 11880
}

# Waits for the program to end by itself.
wait_program() {
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; app_pid=; return 0; }
        sleep 0.1
    done
    echo "il programma non finisce" >&2
    return 1
}

# The pupil types a name in the dialog of "INSERISCO IL MIO NOME".
type_name() {
    click_window 8827 5407                                  # cmdNOME
    wait_window '^Nozioli$' >/dev/null
    xdotool type --delay 20 "$1"
    xdotool key Return
    main_at "$(wait_window 'ESERCIZI DI NOZIOLIZZAZIONE')"
    sleep 0.3
}

choose_exercise() {
    click_twips 9800 5040 1815 315                          # Combo1: open the list
    xdotool type "$1"
    xdotool key Return
    sleep 0.3
}

# An archive with a few pupils, filled by the program itself.
fill_template() {
    cp "$root/resources/aiuto.rtf" "$template/"
    "$archivio" crea "$template" >/dev/null 2>&1
    local i=0
    for pupil in "${pupils[@]}"; do
        i=$((i + 1))
        start_program "$template"
        type_name "$pupil"
        choose_exercise 7
        click_twips 4200 3960 3015 375                      # "spazio": right
        [ $i -ne 2 ] && click_twips 4920 5040 2175 495      # Label3(2): right
        [ $i -eq 3 ] && click_twips 2880 3480 2775 375      # "economia": wrong
        click_twips 9720 7200 1935 1335                     # "Esci": archives and ends
        wait_program
    done
    rm -f "$template/output.txt"
}

# A class of 25 pupils for the register: an empty archive made by the archive
# tool, its rows written with Python's sqlite3 module in the store's layout
# ("chiave" is the name folded as the store folds it: full case folding
# between the decomposed and the composed form). One pupil has no answers yet.
fill_class() {
    "$archivio" crea "$1" >/dev/null 2>&1
    python3 - "$1/nozioli.mdb" <<'PY'
import random, sqlite3, sys, unicodedata
names = ["Rossi Giulia", "Bianchi Luca", "Esposito Anna", "Romano Niccolò", "Colombo Sofia",
         "Ricci Matteo", "Marino Aurora", "Greco Lorenzo", "Bruno Ginevra", "Gallo Tommaso",
         "Conti Beatrice", "De Luca Andrea", "Mancini Noemi", "Costa Gabriele", "Giordano Chiara",
         "Rizzo Riccardo", "Lombardi Alice", "Moretti Edoardo", "Barbieri Emma", "Fontana Francesco",
         "Santoro Giorgia", "Mariani Alessandro", "Rinaldi Viola", "Caruso Mattia", "Ferrara Greta"]
def fold(name):
    return unicodedata.normalize("NFC", unicodedata.normalize("NFD", name).casefold())
rng = random.Random(15)
db = sqlite3.connect(sys.argv[1])
for i, name in enumerate(names):
    skill = rng.uniform(0.35, 0.95)
    def split(total):
        right = round(total * min(1.0, max(0.0, rng.gauss(skill, 0.08))))
        return right, total - right
    answers = [0, 0, 0] if name == "Ferrara Greta" else [rng.randint(8, 30), rng.randint(10, 45), rng.randint(8, 36)]
    totals = [n for a in answers for n in split(a)]
    when = "2025-03-%02d %02d:%02d:00" % (3 + i % 20, 8 + i % 5, (i * 7) % 60)
    db.execute("INSERT INTO nozioli (nome, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati,"
               " spaziotempogiusti, spaziotemposbagliati, chiave) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
               [name, when] + [float(n) for n in totals] + [fold(name)])
db.commit()
PY
}

# The register on the class: a pupil chosen with the arrow keys, then a search.
register_shots() {
    local folder
    folder=$(mktemp -d)
    fill_class "$folder"
    (cd "$folder" && exec "$registro") >"$folder/output.txt" 2>&1 &
    app_pid=$!
    local window
    window=$(wait_window '^Registro di classe')
    # With no window manager the keys go to the window under the pointer:
    # the pointer rests on the status bar.
    local height
    height=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^HEIGHT=//p')
    xdotool mousemove --window "$window" 300 $((height - 8))
    xdotool windowfocus --sync "$window"
    xdotool key Down Down Down Down                         # the table has the focus: the fourth pupil
    sleep 0.3
    shot registro 1-classe "$window"
    xdotool key ctrl+f
    xdotool type --delay 20 "ro"
    xdotool key Return                                      # back to the table, on the first pupil shown
    shot registro 2-ricerca "$window"
    xdotool key ctrl+q
    wait_program
    rm -rf "$folder"
}

for size in "${sizes[@]}"; do
    echo "$size"
    start_display
    [ -e "$template/nozioli.mdb" ] || fill_template
    start_program

    click_window 2000 1080                                  # List1: the first name
    point_window 6000 8000
    shot formnome 1-nome "$form"

    click_window 8827 3187                                  # CmdOK
    main_at "$(wait_window 'ESERCIZI DI NOZIOLIZZAZIONE')"
    point_twips 60 60                                       # pointer on the bare background
    shot fnozioli 1-caricata

    choose_exercise 7
    click_twips 2880 3480 2775 375                          # "economia": wrong
    click_twips 4200 3960 3015 375                          # "spazio": right, opens its three concepts
    click_twips 4920 5040 2175 495                          # Label3(2) "rapporto tra ambiente e avvenimento": right
    click_twips 360 5040 2175 495                           # Label3(0): wrong
    click_twips 1320 2160 300 255                           # Check1 "  Esplicito" in "Periodo" (its box): wrong
    click_twips 3960 2120 300 240                           # Check3 "  Breve" in "Durata" (its box): right
    point_twips 10700 7800                                  # pointer over "Esci"
    shot fnozioli 2-esercizio7

    point_twips 60 60
    click_twips 120 7320 2415 1200                          # "? Aiuto ?"
    shot fnozioli 3-aiuto
    click_twips 5200 7900 1455 495                          # "CHIUDI"

    click_twips 7680 7560 1815 615                          # "Archivio dei risultati"
    risultati=$(wait_window '^Risultati conseguiti nelle esercitazioni$')
    window_at "$risultati" 12330
    point_window 10687 5407                                 # pointer over "OK, mostra i risultati"
    point_window 6000 7000                                  # then over the background: the silver quirk
    shot risultati 1-propri "$risultati"

    click_window 10687 2107                                 # Text2: the surname
    xdotool type --delay 20 "bianchi"
    click_window 10687 3307                                 # Text1: the first name
    xdotool type --delay 20 " luca "
    click_window 10687 5407                                 # "OK, mostra i risultati"
    point_window 6000 7000
    shot risultati 2-ricerca "$risultati"

    click_window 10687 7387                                 # "TORNA"
    click_twips 9720 7200 1935 1335                         # "Esci": archives and ends
    wait_program

    register_shots
    cleanup
done
