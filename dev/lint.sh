#!/usr/bin/env bash
# Fails when a C++ source is not formatted as .clang-format says, or when clang-tidy finds
# anything under .clang-tidy. Uses the dev preset's compile commands, configuring it if needed.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.h.in')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files clean"

[[ -f build/dev/compile_commands.json ]] || cmake --preset dev >/dev/null
# The configured version header must exist for the sources that include it.
cmake --build build/dev --target qxConsoleTicker >/dev/null
mapfile -t units < <(git ls-files 'timer/*.cpp' 'datatypes/*.cpp' 'tests/*.cpp')
clang-tidy --quiet -p build/dev "${units[@]}" 2>/dev/null
# The fuzz target is built by clang in its own preset, so it has no compile commands here.
clang-tidy --quiet fuzz/fuzz.cpp -- -std=c++20 -Idatatypes 2>/dev/null
echo "clang-tidy: ${#units[@]} units and the fuzz target clean"
