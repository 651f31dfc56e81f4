#!/usr/bin/env bash
# Installs what is missing, builds the three trees and runs every test (with short fuzz runs) in the
# sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
scripts/build.sh fuzz
scripts/build.sh check
cd build-check
ctest --output-on-failure -j "$(nproc)" --timeout 300
