#!/usr/bin/env bash
# Every test of a gcc --coverage build, and gcovr's summary of the product code; fails below 98%
# of lines or 90% of branches. Exception branches are left out: the product throws nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf build/coverage; cmake --preset coverage >/dev/null; cmake --build --preset coverage >/dev/null
ctest --preset coverage >/dev/null || { ctest --preset coverage --rerun-failed; exit 1; }
gcovr --root . --object-directory build/coverage --filter 'timer/' --filter 'datatypes/' \
  --exclude-directories 'build/coverage/CMakeFiles/[0-9.]+' --exclude-throw-branches \
  --exclude-unreachable-branches --print-summary --fail-under-line 98 --fail-under-branch 90
