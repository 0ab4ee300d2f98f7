#!/usr/bin/env bash
# Runs BINARY under valgrind memcheck with several command lines. Each run is at a frozen instant
# (LIBFAKETIME) where its exit status is known, so an error, which makes valgrind exit with 200,
# cannot pass for a byte of the count. In UTC at 1689440260 the count is 0x01020304.
# Usage: tests/memcheck.sh BINARY LIBFAKETIME
set -euo pipefail
ticker=$1 faketime_lib=$2

long=$(head -c 131071 /dev/zero | tr '\0' 7)
# Each row: expected exit status, then the arguments.
rows=("4" "4 1 2 3 4" "1 -b4" "3 -b3 -b2" "4 %n%s%x 99999999999999999999" "4 $long")
status=0
for row in "${rows[@]}"; do
  read -r expected args <<<"$row"
  # shellcheck disable=SC2086  # the arguments are split on purpose
  TZ=UTC0 FAKETIME_FMT=%s FAKETIME=1689440260 LD_PRELOAD="$faketime_lib" \
    valgrind --quiet --error-exitcode=200 --leak-check=full --errors-for-leak-kinds=definite \
    "$ticker" $args >/dev/null && got=0 || got=$?
  if [[ "$got" != "$expected" ]]; then
    echo "memcheck: '${args:0:40}' exited with $got, expected $expected" >&2
    status=1
  fi
done
((status == 0)) && echo "memcheck: ${#rows[@]} runs, no errors"
exit "$status"
