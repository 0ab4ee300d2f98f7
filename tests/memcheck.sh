#!/usr/bin/env bash
# BINARY under valgrind memcheck, at an instant where every row exits with 0: in UTC the count at
# 1689440256 is 0x01020300, and each row's exit status is its low byte. So valgrind's status for
# an error, 200, cannot pass for a byte of the count. Usage: tests/memcheck.sh BINARY TESTCLOCK
set -euo pipefail
long=$(head -c 131071 /dev/zero | tr '\0' 7)
for args in "" "1 2 3 4" "-b1" "-b3 -b1" "%n%s%x 99999999999999999999" "$long"; do
  # shellcheck disable=SC2086  # the arguments are split on purpose
  TZ=UTC0 QX_TEST_NOW=1689440256 LD_PRELOAD=$2 valgrind --quiet --error-exitcode=200 \
    --leak-check=full --errors-for-leak-kinds=definite "$1" $args >/dev/null && status=0 || status=$?
  ((status == 0)) || { echo "memcheck: '${args:0:40}' exited with $status" >&2; exit 1; }
done
echo "memcheck: no errors"
