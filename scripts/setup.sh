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

. "$root/scripts/common.sh"
install_missing "${build_packages[@]}"
# The tests also check the installation, build the Debian package and run the
# accessibility test.
if [ "$mode" = test ]; then
    install_missing "${package_packages[@]}" "${test_packages[@]}"
fi

configure=(-DCMAKE_BUILD_TYPE=Release)
# The CI environment sets CI=true: there the build treats warnings as errors,
# also in a build folder kept from an earlier run.
if [ "${CI:-}" = true ]; then
    configure+=(-DNOZIOLI_WERROR=ON)
fi
if [ ! -f "$build/CMakeCache.txt" ] || [ "${CI:-}" = true ]; then
    cmake -S "$root" -B "$build" "${configure[@]}" --log-level=WARNING >/dev/null
fi
build_quietly "$build"

# Working folder: the program reads aiuto.rtf and nozioli.mdb from its current folder.
mkdir -p "$workdir"
cp -u "$root/resources/aiuto.rtf" "$workdir/aiuto.rtf"
if [ ! -e "$workdir/nozioli.mdb" ]; then
    "$build/tools/archivio/nozioli-archivio" crea "$workdir"
fi

if [ "$mode" = test ]; then
    export QT_QPA_PLATFORM=offscreen
    exec ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
fi

cd "$workdir"
exec "$build/app/nozioli"
