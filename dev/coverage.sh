#!/usr/bin/env bash
# Builds with gcc --coverage, runs every test and prints gcovr's summary for the product code
# (timer/ and datatypes/). Fails below 98% of lines or 90% of branches. Branches that only
# exception handling or the compiler's own checks create are left out: the product throws
# nothing. Needs gcovr.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -rf build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
ctest --preset coverage >/dev/null || { ctest --preset coverage --rerun-failed; exit 1; }
gcovr --root . --object-directory build/coverage --filter 'timer/' --filter 'datatypes/' \
  --exclude-directories 'build/coverage/CMakeFiles/[0-9.]+' \
  --exclude-throw-branches --exclude-unreachable-branches --print-summary \
  --fail-under-line 98 --fail-under-branch 90
