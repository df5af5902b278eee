#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs them.
#   scripts/fuzz.sh                  every target, 60 seconds each
#   scripts/fuzz.sh TARGET [SECONDS] one target (description, image, condition, valuefile, serial, hid, http)
# Each run starts from the corpus in fuzz/corpus/<target>/ and keeps what it finds in
# build-fuzz/corpus/<target>/; a crash leaves its input in build-fuzz/findings/. Add an input
# that found a fault to fuzz/corpus/<target>/ once it is fixed, so the tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
command -v clang++ >/dev/null || apt-get install -y clang libclang-rt-14-dev

targets=(description image condition valuefile serial hid http)
seconds=${2:-60}
if [ $# -ge 1 ]; then targets=("$1"); fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANT_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p build-fuzz/findings
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in "${targets[@]}"; do
    mkdir -p "build-fuzz/corpus/$target"
    echo "=== fuzz_$target for $seconds s"
    # Absolute paths: the HTTP target works in a folder of its own.
    build-fuzz/fuzz/"fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$PWD/build-fuzz/findings/$target-" \
        "$PWD/build-fuzz/corpus/$target" "$PWD/fuzz/corpus/$target"
done
