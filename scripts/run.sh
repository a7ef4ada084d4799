#!/bin/bash
# Builds the kit and starts the terminal sample, in this terminal, on a
# simulated card: a fresh machine root with the adapter on COM5, whose far
# end echoes every byte.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
exec bash TRVPA01SMP/run-demo.sh
