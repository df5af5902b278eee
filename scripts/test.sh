#!/usr/bin/env bash
# Builds and runs every test twice: a normal build (build/) and a build with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) that fails on any report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

build_and_test() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --timeout 300 --label-exclude bench
}

echo "=== normal build ==="
build_and_test build

echo "=== sanitizer build (ASan + UBSan) ==="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
build_and_test build-asan -DVANT_SANITIZE=ON
