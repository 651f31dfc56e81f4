#!/usr/bin/env bash
# Measures what the tests run of the product: builds build-coverage/ (Debug, gcc --coverage, no
# sanitizers), runs the unit and system tests there with fresh counts, and prints line and branch
# coverage per top folder of the product. Not counted, but shown apart: the board emulator, the test
# tools and the ASN.1 generator, which run only at build and test time; the tests, fuzz targets,
# benchmarks and generated code are left out. Branches that only throw, or that the compiler made
# unreachable, do not count. The HTML report is build-coverage/coverage/index.html. Exits with
# CTest's status. TOVRASEL_JOBS caps the parallel jobs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=${TOVRASEL_JOBS:-$(nproc)}
dir=build-coverage

# The flags go in by hand, not through an option of the build, so that an earlier commit measures alike.
# TOVRASEL_COVERAGE keeps forced-inline functions out of line, so that their branches count once.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVRASEL_BENCH=OFF -DTOVRASEL_FUZZ_DIR= \
  -DCMAKE_C_FLAGS=--coverage "-DCMAKE_CXX_FLAGS=--coverage -DTOVRASEL_COVERAGE" -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$dir" -j "$jobs"
find "$dir" -name '*.gcda' -delete

set +e
(cd "$dir" && ctest -j "$jobs" --timeout 300 --output-on-failure >ctest-output.txt 2>&1)
status=$?
set -e
sed -n '/tests passed/,$p' "$dir/ctest-output.txt"

# Every top folder with C++ sources is product, but for these.
not_product='^(tests|tools|emulator|fuzz|bench|build.*)$'
product=()
for folder in $(git ls-files '*.cpp' '*.h' | cut -d/ -f1 | sort -u); do
  [ -d "$folder" ] && ! [[ $folder =~ $not_product ]] && product+=("$folder")
done
filter="^($(IFS='|'; echo "${product[*]}")|emulator|tools)/"

mkdir -p "$dir/coverage"
gcovr --root . --object-directory "$dir" --exclude-directories "$dir/CMakeFiles/[0-9]" --filter "$filter" -j "$jobs" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --html-details "$dir/coverage/index.html" --json-summary "$dir/coverage/summary.json" >/dev/null

python3 - "$dir/coverage/summary.json" "${product[*]}" <<'PYTHON'
import json, sys
summary = json.load(open(sys.argv[1]))
product = sys.argv[2].split()
apart = ["emulator", "tools", "asn1/gen"]
folders = {}
for entry in summary["files"]:
    name = entry["filename"]
    folder = next((f for f in apart if name.startswith(f + "/")), name.split("/")[0])
    counts = folders.setdefault(folder, [0, 0, 0, 0])
    for index, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
        counts[index] += entry[key]

def row(name, counts):
    def share(covered, total):
        return f"{100.0 * covered / total:5.1f} % {covered:6}/{total:<6}" if total else f"{'-':>7} {'':13}"
    print(f"{name:<12} {share(counts[0], counts[1])}   {share(counts[2], counts[3])}")

print(f"\n{'folder':<12} {'lines':<23}   branches")
total = [0, 0, 0, 0]
for name in product:
    counts = folders.get(name, [0, 0, 0, 0])
    total = [a + b for a, b in zip(total, counts)]
    row(name, counts)
row("product", total)
print("not counted:")
for name in apart:
    row(name, folders.get(name, [0, 0, 0, 0]))
PYTHON
echo "HTML report: $dir/coverage/index.html"
exit "$status"
