#!/usr/bin/env bash
# Load test of a shared results archive: builds nozioli-carico and runs it.
#
#   scripts/load-test.sh [--build DIR] [OPTIONS]
#
# OPTIONS go to nozioli-carico unchanged:
#   -p, --processes N      archiving processes (default 8)
#   -n, --pupils N         archivings per process (default 300)
#   -r, --readers N        processes listing and looking up names meanwhile (default 2)
#   -f, --folder DIR       folder of the new archive (default: a new temporary folder);
#                          a folder on a network share tests the share
#   -b, --busy-timeout MS  how long an operation waits for another process's lock (default 10000)
#   --second-folder DIR    the same folder through a second mount of the share: every other
#                          process uses it, as a second PC would
#   --server URI           the archive on a PostgreSQL server (postgresql://...) instead of a
#                          file, in a database that does not hold one yet
#   --work DIR, --deadline S, --keep, --check-only: see nozioli-carico --help
#
# --build DIR picks the build folder (default build/, configured in Release when missing).
# Exit status: 0 when every archiving landed once with its values and nothing failed,
# 1 when anything was lost, doubled, wrong or failed, 2 for wrong options.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
if [ "${1:-}" = --build ]; then
    [ $# -ge 2 ] || { echo "uso: $0 [--build DIR] [OPZIONI]" >&2; exit 2; }
    build=$2
    shift 2
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    . "$root/scripts/common.sh"
    install_missing "${build_packages[@]}"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING >/dev/null
elif grep -q '^NOZIOLI_LOAD_TOOL:BOOL=OFF' "$build/CMakeCache.txt"; then
    # A build folder configured without the load tool gets it.
    cmake -S "$root" -B "$build" -DNOZIOLI_LOAD_TOOL=ON --log-level=WARNING >/dev/null
fi
cmake --build "$build" --target nozioli-carico --parallel "$(nproc)" -- --quiet >&2

exec "$build/tools/carico/nozioli-carico" "$@"
