#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The licence line every source file begins with (after a shebang line): C++ sources and headers, CMake files
# and shell scripts among the files git tracks.
#   tools/spdx.sh check   lists the files without the line and fails when there is one
#   tools/spdx.sh add     puts the line at the top of every file without it
set -euo pipefail
cd "$(dirname "$0")/.."
id='SPDX-License-Identifier: GPL-2.0-or-later'

# One line per file: its comment leader, a tab, its path.
sources() {
  git ls-files -z | while IFS= read -r -d '' file; do
    case "$file" in
      *.cpp | *.h) printf '//\t%s\n' "$file" ;;
      CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh) printf '#\t%s\n' "$file" ;;
      *) head -n 1 -- "$file" | grep -qE '^#!.*\b(ba|da)?sh\b' && printf '#\t%s\n' "$file" ;;
    esac
  done
}

# The line stands first, or second after a shebang.
stamped() {  # leader file
  local first second
  { IFS= read -r first || true; IFS= read -r second || true; } <"$2"
  [ "$first" = "$1 $id" ] || { [[ $first == '#!'* ]] && [ "$second" = "$1 $id" ]; }
}

case "${1:-}" in
  check)
    missing=0
    while IFS=$'\t' read -r leader file; do
      stamped "$leader" "$file" || { echo "no licence line: $file" >&2; missing=$((missing + 1)); }
    done < <(sources)
    [ "$missing" -eq 0 ] || { echo "$missing files without \"$id\"" >&2; exit 1; }
    echo "licence lines: complete"
    ;;
  add)
    while IFS=$'\t' read -r leader file; do
      stamped "$leader" "$file" && continue
      if head -n 1 -- "$file" | grep -q '^#!'; then
        sed -i "1a $leader $id" -- "$file"
      else
        sed -i "1i $leader $id" -- "$file"
      fi
    done < <(sources)
    ;;
  *)
    echo "usage: tools/spdx.sh check|add" >&2
    exit 2
    ;;
esac
