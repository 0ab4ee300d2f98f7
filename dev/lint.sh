#!/usr/bin/env bash
# Fails when a C++ source is not formatted as .clang-format says, clang-tidy finds anything with
# the dev preset's compile commands, or shellcheck anything in a shell file (.shellcheckrc). One
# command a line: errexit ignores a failure on the left of &&.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.h.in')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files clean"
# The configured version header must exist for the sources that include it.
cmake --preset dev >/dev/null
cmake --build build/dev --target qxConsoleTicker >/dev/null
mapfile -t units < <(git ls-files 'timer/*.cpp' 'datatypes/*.cpp' 'tests/*.cpp')
clang-tidy --quiet -p build/dev "${units[@]}" 2>/dev/null
echo "clang-tidy: ${#units[@]} units clean"
# A shell file is named so, or its #! line names sh, bash or dash.
mapfile -t scripts < <(git ls-files | while read -r f; do
  [[ $f == *.sh || $f == *.bash ]] || head -n 1 "$f" | grep -qE '^#!.*\b(ba|da)?sh$' && echo "$f"; done)
shellcheck -x "${scripts[@]}"
echo "shellcheck: ${#scripts[@]} files clean"
