#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for SECONDS seconds,
# starting from the checked-in seed corpus. New inputs go to a temporary corpus, so the
# repository stays as it is; an input that fails is kept as build/fuzz/crash-<mode>-*.
# Usage: scripts/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/fuzz.sh SECONDS" >&2; exit 2; }

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for mode in text duration time; do
  mkdir -p "$work/$mode"
  echo "fuzzing $mode for $seconds s"
  if ! build/fuzz/fuzz/qx_fuzz_$mode -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/crash-$mode-" "$work/$mode" "fuzz/corpus/$mode" \
    >"$work/$mode.log" 2>&1; then
    tail -n 40 "$work/$mode.log" >&2
    status=1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$work/$mode.log" || true
done
exit "$status"
