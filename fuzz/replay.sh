#!/usr/bin/env bash
# Replays a fuzz target over its committed corpus: every file once, no mutation, so the verdict is
# the same on every machine and every run.   usage: replay.sh <target program> <corpus folder>
set -euo pipefail
program=$1
corpus=$2
shopt -s nullglob
inputs=("$corpus"/*)
echo "$(basename "$program"): replaying ${#inputs[@]} inputs of $corpus"
if [ ${#inputs[@]} -eq 0 ]; then
  echo "no corpus: every target needs at least its seed inputs" >&2
  exit 1
fi
exec "$program" "${inputs[@]}"
