#!/bin/sh
# Stand-in for qxConsoleTicker in qxelapsed's tests. It runs the real binary with the test clock,
# its k-th call (from 0) at QX_FIRST + k * QX_STEP, which can put a carry between the runs of a
# save, or into every save. The file QX_CALLED counts the calls, with shell builtins alone. A
# non-empty QX_EXIT replaces the tool's exit status, as a wrapper that loses it would.
k=0
[ ! -e "$QX_CALLED" ] || read -r k <"$QX_CALLED"
echo $((k + 1)) >"$QX_CALLED"
at=$((QX_FIRST + k * ${QX_STEP:-0}))
QX_TEST_NOW=$at LD_PRELOAD=$QX_PRELOAD "$QX_REAL" "$@"
exit "${QX_EXIT:-$?}"
