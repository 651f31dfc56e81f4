#!/usr/bin/env bash
# Installs what is missing, builds the daemon and starts it on the emulated board.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
echo "tovrasel: the foundation library is built; the daemon and the board emulator do not exist yet, so there is nothing to start."
