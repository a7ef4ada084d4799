#!/bin/bash
# Builds the kit from scratch and runs the whole suite: under AddressSanitizer
# and UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer,
# then the plain build, whose summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

# Runs ctest in a build folder; prints its summary, or everything on failure.
run_suite() {
    local dir=$1
    shift
    if ! (cd "$dir" && ctest -j"$jobs" --timeout 300 "$@" > ctest.log 2>&1); then
        cat "$dir/ctest.log"
        echo "FAILED in $dir"
        exit 1
    fi
    # A suite that ran nothing has not passed.
    if ! grep -E "tests passed" "$dir/ctest.log"; then
        cat "$dir/ctest.log"
        echo "no tests ran in $dir"
        exit 1
    fi
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCE_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j"$jobs" >/dev/null
run_suite build/asan

echo "== ThreadSanitizer (threaded tests)"
cmake -S . -B build/tsan -DCE_SANITIZE=thread >/dev/null
cmake --build build/tsan -j"$jobs" --target threaded_tests >/dev/null
run_suite build/tsan -L threaded

echo "== Plain build"
cmake -S . -B build/release >/dev/null
cmake --build build/release -j"$jobs" >/dev/null
cd build/release && ctest -j"$jobs" --timeout 300
