#!/usr/bin/env bash
# Configures and builds one build tree: "release" (build/, RelWithDebInfo: daemon, emulator, benchmarks)
# or "check" (build-check/, Debug with AddressSanitizer and UndefinedBehaviorSanitizer: every test),
# or "fuzz" (build-fuzz/, clang with libFuzzer: the fuzz targets, whose short runs the check tree's tests make).
# TOVRASEL_JOBS caps the parallel jobs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-release}" in
  release) dir=build; options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVRASEL_TESTS=OFF) ;;
  check) dir=build-check; options=(-DCMAKE_BUILD_TYPE=Debug -DTOVRASEL_SANITIZE=ON -DTOVRASEL_BENCH=OFF
    -DTOVRASEL_FUZZ_DIR="$PWD/build-fuzz") ;;
  fuzz) dir=build-fuzz; target=fuzz_targets; options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang
    -DCMAKE_CXX_COMPILER=clang++ -DTOVRASEL_SANITIZE=ON -DTOVRASEL_FUZZ=ON -DTOVRASEL_TESTS=OFF -DTOVRASEL_BENCH=OFF) ;;
  *) echo "usage: $0 [release|check|fuzz]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" -j "${TOVRASEL_JOBS:-$(nproc)}" ${target:+--target "$target"}
