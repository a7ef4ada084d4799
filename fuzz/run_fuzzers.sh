#!/bin/bash
# Builds the libFuzzer targets with clang (fuzzer, address and undefined
# behaviour sanitizers) and runs each for a bounded time; fails on any crash,
# leak or sanitizer report, and then names the input that caused it.
#   run_fuzzers.sh <work dir> <seconds per target> [seed .res files...]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=$1
seconds=$2
shift 2
clang=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$clang" ]; then
    echo "run_fuzzers: clang++ not found; install the packages clang and libclang-rt-14-dev" >&2
    exit 1
fi
mkdir -p "$work"
common=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=all
        -I "$src/platform" -I "$src/platform/include")
headers=("$src"/platform/include/ce/*.h "$src"/platform/resource/*.h "$src"/platform/window/dialog_template.h)

# Compiles when the program is missing or older than a source or header.
build() {
    local out=$1 sanitizers=$2
    shift 2
    local f stale=0
    [ -x "$out" ] || stale=1
    for f in "$@" "${headers[@]}" "$0"; do
        [ -e "$f" ] && [ "$f" -nt "$out" ] && stale=1
    done
    [ $stale -eq 0 ] && return 0
    echo "building $(basename "$out")"
    "$clang" "${common[@]}" -fsanitize="$sanitizers" "$@" -o "$out"
}

targets=(resource)
build "$work/resource_fuzz" fuzzer,address,undefined "$src/fuzz/resource_fuzz.cpp" \
    "$src/platform/resource/res_format.cpp" "$src/platform/resource/elf_section.cpp"
if [ -e "$src/platform/window/dialog_template.cpp" ]; then
    targets+=(dialog_template)
    build "$work/dialog_template_fuzz" fuzzer,address,undefined "$src/fuzz/dialog_template_fuzz.cpp" \
        "$src/platform/window/dialog_template.cpp"
else
    echo "the dialog template parser (platform/window/dialog_template.cpp) is not there: not fuzzed"
fi
build "$work/extract_resources" address,undefined "$src/fuzz/extract_resources.cpp" \
    "$src/platform/resource/res_format.cpp"

# Seeds: the compiled .res files as they are, and each resource in them.
seeds="$work/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/resource" "$seeds/dialog"
if [ $# -gt 0 ]; then
    cp "$@" "$seeds/resource/"
    "$work/extract_resources" "$seeds/resource" "$@"
    find "$seeds/resource" -name 'type5_*' -exec cp {} "$seeds/dialog/" \;
fi

status=0
for target in "${targets[@]}"; do
    corpus="$work/corpus-$target"
    seed_dir="$seeds/resource"
    [ "$target" = dialog_template ] && seed_dir="$seeds/dialog"
    mkdir -p "$corpus" "$work/crashes-$target"
    log="$work/$target.log"
    echo "fuzzing $target for ${seconds}s ($(ls "$seed_dir" | wc -l) seeds)"
    if ! "$work/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/crashes-$target/" "$corpus" "$seed_dir" >"$log" 2>&1; then
        echo "FAILED: $target fuzzer found a fault; its log follows, the input is in $work/crashes-$target" >&2
        tail -n 60 "$log" >&2
        status=1
    else
        grep -E "^#[0-9]+.*DONE" "$log" | tail -n 1 || true
    fi
done
exit $status
