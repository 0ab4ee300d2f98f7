#!/usr/bin/env bash
# Fails when a C++ source is not formatted as .clang-format says, or clang-tidy finds anything,
# with the dev preset's compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.h.in')
clang-format --dry-run --Werror "${sources[@]}" && echo "clang-format: ${#sources[@]} files clean"
# The configured version header must exist for the sources that include it.
cmake --preset dev >/dev/null && cmake --build build/dev --target qxConsoleTicker >/dev/null
mapfile -t units < <(git ls-files 'timer/*.cpp' 'datatypes/*.cpp' 'tests/*.cpp')
clang-tidy --quiet -p build/dev "${units[@]}" 2>/dev/null
echo "clang-tidy: ${#units[@]} units clean"
