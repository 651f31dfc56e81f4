#!/usr/bin/env bash
# Installs what is missing, builds the three trees and runs every test in the sanitizer build, the
# fuzz targets replaying their committed corpora among them; ends with CTest's summary.
# TOVRASEL_JOBS caps the parallel builds and tests (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
scripts/build.sh fuzz
scripts/build.sh check
cd build-check
mkdir -p Testing
set +e
ctest --output-on-failure -j "${TOVRASEL_JOBS:-$(nproc)}" --timeout 300 | tee Testing/ctest-output.txt
status=${PIPESTATUS[0]}
set -e

echo
echo "fuzz targets (corpus replays):"
grep -h ": replaying " Testing/Temporary/LastTest.log | sed "s/^/  /" || true
echo
sed -n '/tests passed/,$p' Testing/ctest-output.txt
exit "$status"
