#!/bin/sh
# Stand-in for qxConsoleTicker in qxelapsed's tests. It runs the real binary under libfaketime at
# QX_FIRST on its first call and at QX_LATER on every later one, which can put a carry between the
# runs of a save. The file QX_CALLED marks the first call as done. A non-empty QX_EXIT replaces
# the tool's exit status, as a wrapper that loses it would.
if [ -e "$QX_CALLED" ]; then at=$QX_LATER; else at=$QX_FIRST; : >"$QX_CALLED"; fi
FAKETIME_FMT=%s FAKETIME=$at LD_PRELOAD=$QX_PRELOAD "$QX_REAL" "$@"
exit "${QX_EXIT:-$?}"
