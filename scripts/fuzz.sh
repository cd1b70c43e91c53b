#!/usr/bin/env bash
# Fuzzes the rich-text reader and the help panel's bounds with libFuzzer under
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
#
#   scripts/fuzz.sh [SECONDS]    (60 when not given)
#
# Builds build-fuzz/ with clang, every library instrumented, then runs fuzz_rtf
# for SECONDS on a copy of the starting inputs (fuzz/corpus-rtf/, the reader's
# test files and resources/aiuto.rtf) in a temporary folder, so the repository
# is never written. An input that crashes, leaks, takes more than a second,
# needs too much memory or is laid out taller than the help panel allows ends
# the run: its bytes are kept in build-fuzz/artifacts/ and the script exits
# non-zero. The log of the last run is build-fuzz/fuzz-rtf.log.
set -euo pipefail

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "uso: $0 [SECONDI]" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-fuzz"
. "$root/scripts/common.sh"
install_missing clang libclang-rt-14-dev "${build_packages[@]}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DNOZIOLI_FUZZ=ON -DBUILD_TESTING=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
        --log-level=WARNING >/dev/null
fi
cmake --build "$build" --target fuzz_rtf --parallel "$(nproc)" -- --quiet

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus="$work/corpus"
mkdir "$corpus"
cp "$root"/fuzz/corpus-rtf/* "$root"/tests/rtf/data/*.rtf "$root/resources/aiuto.rtf" "$corpus/"
artifacts="$build/artifacts"
mkdir -p "$artifacts"
log="$build/fuzz-rtf.log"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "Fuzzing del lettore RTF per $seconds s (registro: $log)"
start=$(date +%s)
set +e
# The terminal shows the periodic progress, any fault and the final figures;
# lines about single new inputs, libFuzzer's own notes and libpng's complaints
# about broken pictures stay in the log.
"$build/fuzz/fuzz_rtf" "$corpus" \
    -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -max_len=65536 -dict="$root/fuzz/rtf.dict" -detect_leaks=1 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" 2>&1 \
    | tee "$log" \
    | awk '/^###### Recommended dictionary/ { skip = 1 }
           !skip && !/^#[0-9]+[[:space:]]+(NEW|REDUCE)/ && !/^(INFO:|[[:space:]]NEW_FUNC|libpng error:)/ { print; fflush() }
           /^###### End of recommended dictionary/ { skip = 0 }'
status=${PIPESTATUS[0]}
set -e
elapsed=$(( $(date +%s) - start ))

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
inputs=$(find "$corpus" -type f | wc -l)
echo "Esecuzioni: ${executions:-?} in $elapsed s; corpus: $inputs ingressi"
if [ "$status" -ne 0 ]; then
    echo "ERRORE: il fuzzing ha trovato un guasto (uscita $status); l'ingresso è in $artifacts/" >&2
    echo "Per ripeterlo: LSAN_OPTIONS=\"$LSAN_OPTIONS\" $build/fuzz/fuzz_rtf FILE" >&2
    exit "$status"
fi
