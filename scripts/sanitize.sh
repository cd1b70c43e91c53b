#!/usr/bin/env bash
# Builds the whole program and its tests with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer in build-asan/, then runs every test headless.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-asan"
. "$root/scripts/common.sh"
install_missing "${build_packages[@]}" "${test_packages[@]}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOZIOLI_SANITIZE=ON \
        --log-level=WARNING >/dev/null
fi
build_quietly "$build"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
