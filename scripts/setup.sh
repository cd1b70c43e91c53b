#!/usr/bin/env bash
# Sets up Nozioli on a Debian 12 machine and then runs it or its tests.
#
#   scripts/setup.sh run    install what is missing, build, prepare lavoro/, start the program
#   scripts/setup.sh test   install what is missing, build, run every test headless
#
# Both are idempotent: packages already present are not touched, the build is
# incremental, and an existing archive in lavoro/ is never replaced.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
workdir="$root/lavoro"
mode=${1:-}

case "$mode" in
    run|test) ;;
    *) echo "uso: $0 run|test" >&2; exit 2 ;;
esac

packages=(
    cmake g++ make
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins libgl-dev
    fonts-liberation fonts-dejavu-core
)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installo: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" -- --quiet

if [ "$mode" = test ]; then
    export QT_QPA_PLATFORM=offscreen
    exec ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
fi

# Working folder: the program reads aiuto.rtf and nozioli.mdb from its current folder.
mkdir -p "$workdir"
cp -u "$root/resources/aiuto.rtf" "$workdir/aiuto.rtf"
if [ ! -e "$workdir/nozioli.mdb" ]; then
    "$build/tools/archivio/nozioli-archivio" crea "$workdir"
fi
cd "$workdir"
exec "$build/app/nozioli"
