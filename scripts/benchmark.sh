#!/usr/bin/env bash
# The benchmark: start-up, play, archiving and look-up of the program against a
# bare Qt Widgets program and bare SQLite, measured side by side in one run and
# printed as Markdown tables (medians, spreads, ratios, the targets).
#
#   scripts/benchmark.sh [--build DIR] [--runs N] [--work DIR] [--quick] [--keep]
#
# --build DIR picks the build folder (default build/, configured in Release when
# missing). The other options go to nozioli-bench: --runs N alternating runs of
# each start-up (default 15), --work DIR the folder of the archives it makes
# (default: the build folder; use a folder on the disk the archive will live on,
# never a tmpfs, where every fsync is free), --quick a short in-process part,
# --keep leaves the archives there. Always on the offscreen platform.
# Run it on an otherwise idle machine: other work shows up in every figure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
if [ "${1:-}" = --build ]; then
    [ $# -ge 2 ] || { echo "uso: $0 [--build DIR] [OPZIONI]" >&2; exit 2; }
    build=$(realpath -m "$2")
    shift 2
fi

. "$root/scripts/common.sh"
# The bare side talks to SQLite through its own API.
install_missing "${build_packages[@]}" libsqlite3-dev
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING >/dev/null
else
    # Picks up SQLite's development files when they were installed after the
    # first configuration, and the benchmark when the folder was configured without it.
    cmake -S "$root" -B "$build" -DNOZIOLI_BENCHMARK=ON --log-level=WARNING >/dev/null
fi
cmake --build "$build" --target nozioli-bench --parallel "$(nproc)" -- --quiet >&2

cd "$build"
exec "$build/bench/nozioli-bench" "$@"
