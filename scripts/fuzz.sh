#!/usr/bin/env bash
# Explores the fuzz targets with mutation:
#   scripts/fuzz.sh [-r executions] [seconds per target, default 60] [target...]
# Each target (all of fuzz/*_fuzz.cpp by default) runs until its seconds are up or, with -r, until
# it has made that many executions, whichever comes first. It grows its corpus in
# build-fuzz/corpus/<target>/, starting from the committed fuzz/corpus/<target>/. Every input that
# makes a target fail is copied into fuzz/corpus/<target>/, named after what it found, and
# reported; the exit status is then 1.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=-1
if [ "${1:-}" = -r ]; then
  runs=$2
  shift 2
fi
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

scripts/install-deps.sh
scripts/build.sh fuzz >/dev/null

found=0
for target in "${targets[@]}"; do
  program=build-fuzz/fuzz/$target
  if [ ! -x "$program" ]; then
    echo "$target: no such fuzz target" >&2
    exit 2
  fi
  work=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  log=build-fuzz/logs/$target.log
  mkdir -p "$work" "$artifacts" build-fuzz/logs "fuzz/corpus/$target"
  # Fork mode goes on after a failure, so that one run finds more than the first fault.
  start=$SECONDS
  "$program" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=25 -print_funcs=0 \
    -max_total_time="$seconds" -runs="$runs" -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$target" \
    >"$log" 2>&1 || true
  # The last status line: "#<executions>: cov: <edges> ft: <features> corp: ...".
  status=$(grep -E '^#[0-9]+: cov: ' "$log" | tail -n 1 || true)
  executions=$(echo "$status" | sed -nE 's/^#([0-9]+):.*/\1/p')
  coverage=$(echo "$status" | sed -nE 's/.* cov: ([0-9]+) ft: ([0-9]+) .*/cov \1, ft \2/p')
  echo "$target: ${executions:-0} executions in $((SECONDS - start)) s, ${coverage:-no coverage figures}," \
    "$(find "$work" -type f | wc -l) inputs in $work"

  # One input is kept for each distinct verdict; fork mode finds many variants of one fault.
  declare -A seen=()
  for artifact in "$artifacts"/*; do
    [ -f "$artifact" ] || continue
    # The sanitizer's or libFuzzer's one-line verdict on a replay, without addresses.
    verdict=$("$program" "$artifact" 2>&1 | grep -m 1 -E '^SUMMARY: ' | sed -E 's/ \([^)]*\)//g' || true)
    if [ -n "${seen[$verdict]:-}" ]; then
      rm "$artifact"
      seen[$verdict]=$((seen[$verdict] + 1))
      continue
    fi
    seen[$verdict]=1
    reason=$(echo "$verdict" | sed -E 's/^SUMMARY: [A-Za-z]+: ([A-Za-z-]+).*/\1/')
    name=$(basename "$artifact")
    copy=fuzz/corpus/$target/${name%%-*}-${reason:-unknown}-${name#*-}
    mv "$artifact" "$copy"
    found=1
    echo "  FOUND: ${verdict:-${name%%-*}, but the input alone no longer fails}"
    echo "    input: $copy (replay: $program $copy)"
  done
  for verdict in "${!seen[@]}"; do
    [ "${seen[$verdict]}" -gt 1 ] && echo "  ($((seen[$verdict] - 1)) more inputs with the verdict \"$verdict\" dropped)"
  done
  unset seen
done
exit $found
