#!/bin/bash
# The real TRVPA01SMP in a terminal (tmux) on a simulated card whose far end
# echoes: confirm the settings, type a text, press Send, and see the echo in
# "Receive Data" on the screen; then EXIT.
# usage: tmux_e2e_test.sh <TRVPA01SMP> <cecard>
set -u
program=$1
cecard=$2
dir=$(mktemp -d)
socket=trvpa01smp-e2e-$$
export CE_ROOT=$dir/root
mkdir -p "$CE_ROOT"
card_pid=
tmx() { env -u TMUX tmux -u -L "$socket" -f /dev/null "$@"; }
cleanup() {
    tmx kill-server 2>/dev/null
    [ -n "$card_pid" ] && kill "$card_pid" 2>/dev/null && wait "$card_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $1"
    echo "--- screen:"
    tmx capture-pane -p
    echo "--- stderr:"
    cat "$dir/stderr" 2>/dev/null
    exit 1
}
# Polls the screen until it shows the pattern (grep -E), up to 30 s.
wait_screen() {
    for _ in $(seq 1 300); do
        tmx capture-pane -p | grep -qE "$1" && return 0
        sleep 0.1
    done
    fail "the screen never showed /$1/"
}

"$cecard" insert --com 5 --pty --echo --print-path > "$dir/card.path" 2> "$dir/card.err" &
card_pid=$!
for _ in $(seq 1 100); do [ -s "$dir/card.path" ] && break; sleep 0.05; done
[ -s "$dir/card.path" ] || { cat "$dir/card.err"; echo "FAIL: no simulated card"; exit 1; }

tmx new-session -d -x 100 -y 40 \
    "LANG=C.UTF-8 LC_ALL=C.UTF-8 CE_UI=terminal '$program' 2>'$dir/stderr'; echo \$? > '$dir/status'; sleep 600"

# The settings dialog comes up by itself; Enter presses its default "OK"
wait_screen "Port Assignment >> COM5"
wait_screen "Baud Rate +9600"
tmx send-keys Enter
wait_screen "Receive Data"
sleep 0.3
tmx capture-pane -p | grep -q "COM Port Setting" && fail "the settings dialog did not close"

# Tab order: EXIT, Send, the send field; type there, Shift+Tab to Send, Enter
tmx send-keys Tab Tab Tab
sleep 0.2
tmx send-keys -l "echo-me"
sleep 0.2
tmx send-keys BTab
sleep 0.2
tmx send-keys Enter
# The echo shows on the line below "Receive Data"
for _ in $(seq 1 300); do
    tmx capture-pane -p | grep -A1 "Receive Data" | tail -1 | grep -q "echo-me" && break
    sleep 0.1
done
tmx capture-pane -p | grep -A1 "Receive Data" | tail -1 | grep -q "echo-me" || fail "no echo in Receive Data"
echo "--- the main dialog after the echo:"
tmx capture-pane -p | sed -e '/^ *$/d'

# Esc is "EXIT": the program ends with status 0
tmx send-keys Escape
for _ in $(seq 1 300); do [ -s "$dir/status" ] && break; sleep 0.1; done
[ "$(cat "$dir/status" 2>/dev/null)" = "0" ] || fail "the program did not end with status 0"
echo "PASS"
