#!/bin/bash
# Builds the kit from scratch and runs the whole suite: under AddressSanitizer
# and UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer,
# then the plain build, whose summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCE_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j"$jobs" >/dev/null
(cd build/asan && ctest -j"$jobs" --timeout 300 | tail -n 3)

echo "== ThreadSanitizer (threaded tests)"
cmake -S . -B build/tsan -DCE_SANITIZE=thread >/dev/null
cmake --build build/tsan -j"$jobs" --target threaded_tests >/dev/null
(cd build/tsan && ctest -j"$jobs" -L threaded --timeout 300 | tail -n 3)

echo "== Plain build"
cmake -S . -B build/release >/dev/null
cmake --build build/release -j"$jobs" >/dev/null
cd build/release && ctest -j"$jobs" --timeout 300
