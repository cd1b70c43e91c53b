#!/usr/bin/env bash
# The benchmark: start-up, play, archiving and look-up of the program against a
# bare Qt Widgets program, bare SQLite and bare libpq, measured side by side in
# one run and printed as Markdown tables (medians, spreads, ratios, the targets).
#
#   scripts/benchmark.sh [--build DIR] [--runs N] [--work DIR] [--quick] [--keep] [--no-server]
#
# --build DIR picks the build folder (default build/, configured in Release when
# missing). The other options go to nozioli-bench: --runs N alternating runs of
# each start-up (default 15), --work DIR the folder of the archives it makes
# (default: the build folder; use a folder on the disk the archive will live on,
# never a tmpfs, where every fsync is free), --quick a short in-process part,
# --keep leaves the archives there. Always on the offscreen platform.
# The archive on a server is measured on a throw-away PostgreSQL server
# (scripts/testserver.sh, on its Unix socket, its cluster in the work folder or
# the build folder), stopped and removed at the end; --no-server leaves it out.
# The programs read no user or system settings: HOME and XDG_CONFIG_HOME point
# to an empty folder, and the only nozioli.ini read is the one the benchmark
# puts beside a server's archive.
# Run it on an otherwise idle machine: other work shows up in every figure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
if [ "${1:-}" = --build ]; then
    [ $# -ge 2 ] || { echo "uso: $0 [--build DIR] [OPZIONI]" >&2; exit 2; }
    build=$(realpath -m "$2")
    shift 2
fi

server=true
args=()
work=
while [ $# -gt 0 ]; do
    case "$1" in
        --no-server) server=false ;;
        --work) [ $# -ge 2 ] || { echo "uso: $0 [--build DIR] [OPZIONI]" >&2; exit 2; }
                work=$(realpath -m "$2"); args+=("$1" "$work"); shift ;;
        *) args+=("$1") ;;
    esac
    shift
done

. "$root/scripts/common.sh"
# The bare side talks to SQLite and libpq through their own APIs.
install_missing "${build_packages[@]}" libsqlite3-dev
if $server; then
    install_missing postgresql-15
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING >/dev/null
else
    # Picks up SQLite's development files when they were installed after the
    # first configuration, and the benchmark when the folder was configured without it.
    cmake -S "$root" -B "$build" -DNOZIOLI_BENCHMARK=ON --log-level=WARNING >/dev/null
fi
cmake --build "$build" --target nozioli-bench --parallel "$(nproc)" -- --quiet >&2

# No settings of the user's or the system's: an empty home and configuration folder.
scratch=$(mktemp -d "${work:-$build}/nozioli-bench-env-XXXXXX")
chmod 0755 "$scratch"   # run as root, the server's user must reach its cluster in there
pg=
cleanup() {
    if [ -n "$pg" ]; then
        "$root/scripts/testserver.sh" stop "$pg" >/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/config"
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_CONFIG_DIRS=$scratch/config

if $server; then
    # On the same disk as the archive files, so that both pay the same fsync.
    pg=$scratch/pg
    uri=$("$root/scripts/testserver.sh" start "$pg" | sed -n 's/^uri=//p')
    args+=(--server "$uri")
fi

cd "$build"
"$build/bench/nozioli-bench" "${args[@]}"
