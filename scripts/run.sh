#!/bin/bash
# Builds the kit and shows it working on a simulated card: a fresh machine root
# whose active-driver table lists the adapter on COM5, then asks the port
# locator library which port the card has.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release >/dev/null
cmake --build build/release -j"$(nproc)" --target findcomport cereg >/dev/null
bin=build/release/bin
export CE_ROOT=$(mktemp -d)
trap 'rm -rf "$CE_ROOT"' EXIT
"$bin/cereg" add 'Drivers\Active\02' PnpId REG_SZ KESTROW_DEVICE_LABS-TRV-PA01-5A3C
"$bin/cereg" add 'Drivers\Active\02' Name REG_SZ COM5:
echo "Simulated handheld in $CE_ROOT:"
"$bin/cereg" query 'Drivers\Active'
printf 'FindComPort() answers: '
"$bin/findcomport"
