#!/bin/bash
# Runs the terminal sample on a simulated card, in this terminal: builds what
# is needed, makes a temporary machine root, inserts a card (the series'
# Plug-and-Play id) on COM5 whose far end echoes every byte, and starts
# TRVPA01SMP. Everything is removed again when the program ends.
#
# Keys: Tab moves between fields and buttons, Enter presses the focused button
# (or "EXIT", the default one), Esc leaves a dialog ("CANCEL" in the settings
# ends the program).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -t 0 ] || [ ! -t 1 ]; then
    echo "run-demo.sh: TRVPA01SMP is a terminal program: run this script in a terminal" >&2
    exit 1
fi

build=${BUILD_DIR:-build/release}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target TRVPA01SMP cecard >/dev/null
bin=$build/bin

CE_ROOT=$(mktemp -d)
export CE_ROOT
card_pid=
cleanup() {
    if [ -n "$card_pid" ]; then
        kill "$card_pid" 2>/dev/null || true
        wait "$card_pid" 2>/dev/null || true
    fi
    rm -rf "$CE_ROOT"
}
trap cleanup EXIT

# The card on COM5, its far end echoing; wait until it is in
"$bin/cecard" insert --com 5 --pty --echo --print-path > "$CE_ROOT/card.path" &
card_pid=$!
for _ in $(seq 1 100); do
    [ -s "$CE_ROOT/card.path" ] && break
    sleep 0.05
done
if [ ! -s "$CE_ROOT/card.path" ]; then
    echo "run-demo.sh: the simulated card did not come up" >&2
    exit 1
fi

CE_UI=terminal "$bin/TRVPA01SMP"
