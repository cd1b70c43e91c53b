#!/usr/bin/env bash
# The benchmark once, short, with the archive on a throw-away PostgreSQL server:
# proves that the server's part runs end to end; checks no time.
#
#   bench/smoke-server.sh TESTSERVER_SCRIPT NOZIOLI_BENCH
set -euo pipefail
testserver=$1
bench=$2
dir=$(mktemp -d "${TMPDIR:-/tmp}/nozioli-bench-smoke-XXXXXX")
chmod 0755 "$dir"   # run as root, the server's user must reach its cluster in there
cleanup() {
    "$testserver" stop "$dir/pg" >/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
uri=$("$testserver" start "$dir/pg" | sed -n 's/^uri=//p')
cd "$dir"
"$bench" --runs 1 --quick --server "$uri"
