#!/usr/bin/env bash
# Builds the libFuzzer target of the text type with clang (ASan + UBSan) and runs it for SECONDS
# seconds from an empty corpus; seeds are not needed, as it finds a wrong cut, terminator or tail
# within seconds. An input that fails is kept as build/fuzz/crash-text-*.
# Usage: dev/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: dev/fuzz.sh SECONDS}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: dev/fuzz.sh SECONDS" >&2; exit 2; }

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "fuzzing text for $seconds s"
status=0
build/fuzz/fuzz/qx_fuzz_text -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix=build/fuzz/crash-text- "$work" >"$work/log" 2>&1 || status=1
((status == 0)) || tail -n 40 "$work/log" >&2
grep -E '^(Done|stat::number_of_executed_units)' "$work/log" || true
exit "$status"
