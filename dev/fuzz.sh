#!/usr/bin/env bash
# Runs the libFuzzer target of the text type (clang, ASan + UBSan) for SECONDS seconds from an
# empty corpus: it finds a wrong cut, terminator or tail within seconds. A failing input is kept
# as build/fuzz/crash-text-*. Usage: dev/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
[[ ${1:-} =~ ^[1-9][0-9]*$ ]] || { echo "usage: dev/fuzz.sh SECONDS" >&2; exit 2; }
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target qx_fuzz_text >/dev/null
work=$(mktemp -d) && mkdir "$work/corpus"
trap 'rm -rf "$work"' EXIT
build/fuzz/fuzz/qx_fuzz_text -max_total_time="$1" -print_final_stats=1 -artifact_prefix=build/fuzz/crash-text- \
  "$work/corpus" >"$work/log" 2>&1 || { tail -n 40 "$work/log" >&2; exit 1; }
grep -E '^(Done|stat::number_of_executed_units)' "$work/log"
