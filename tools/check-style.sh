#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
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
# Its findings are shown when it fails, without the counts of warnings in headers it was told to leave alone.
tidyLog=$(mktemp)
trap 'rm -f "$tidyLog"' EXIT
if ! printf '%s\n' "${units[@]}" | xargs -P "${ARDUNEX_JOBS:-2}" -n 8 clang-tidy -p "$build" --quiet >"$tidyLog" 2>&1; then
  grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' \
    "$tidyLog" >&2 || true
  echo "style: clang-tidy found the problems above" >&2
  exit 1
fi
echo "style: clean"
