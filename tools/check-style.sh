#!/usr/bin/env bash
# Fails when a source file lacks its licence line, differs from clang-format's layout or clang-tidy finds
# anything.
#   tools/check-style.sh BUILD_DIR   (a configured build folder with compile_commands.json)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: tools/check-style.sh BUILD_DIR}
cd "$top"

tools/spdx.sh check

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

# clang-tidy over the program's own translation units; the headers they include are checked with them.
mapfile -t units < <(git ls-files 'src/*.cpp')
echo "clang-tidy: ${#units[@]} files"
printf '%s\n' "${units[@]}" | xargs -P "${ARDUNEX_JOBS:-2}" -n 8 clang-tidy -p "$build" --quiet 2>/dev/null
echo "style: clean"
