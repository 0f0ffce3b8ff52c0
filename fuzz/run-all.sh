#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds every fuzz target with clang and libFuzzer and runs each for a bounded time on a copy of its seed corpus.
#   fuzz/run-all.sh [build-folder]     (default: build-fuzz next to the sources)
#   ARDUNEX_FUZZ_SECONDS   seconds per target (default 60)
#   ARDUNEX_JOBS           parallel build jobs (default 2)
# Exits non-zero when a target finds a fault; the input that caused it is kept in <build-folder>/fuzz-artifacts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-fuzz}
seconds=${ARDUNEX_FUZZ_SECONDS:-60}
jobs=${ARDUNEX_JOBS:-2}

case "$seconds" in
  '' | *[!0-9]*)
    echo "ARDUNEX_FUZZ_SECONDS must be a whole number of seconds, not '$seconds'" >&2
    exit 2
    ;;
esac

# Each target is named after its corpus folder: fuzz/corpus/<name> belongs to <name>_fuzz.
targets=()
for corpus in "$top"/fuzz/corpus/*/; do
  targets+=("$(basename "$corpus")_fuzz")
done

(cd "$top" && cmake --preset fuzz -B "$build")
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
case "$(basename "$compiler")" in
  clang++*) ;;
  *)
    echo "$build is configured for $compiler; the fuzzers need clang++: use a fresh build folder" >&2
    exit 2
    ;;
esac
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/ardunex-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

failed=()
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  corpus="$work/$name"
  cp -R "$top/fuzz/corpus/$name" "$corpus"
  log="$work/$name.log"
  echo "== $target: $seconds s"
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "== $target: FAILED (exit $status) after ${runs:-?} executions; inputs in $artifacts" >&2
    failed+=("$target")
  else
    echo "== $target: ${runs:-?} executions in $seconds s, corpus of $(find "$corpus" -type f | wc -l) inputs"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzz targets that found a fault: ${failed[*]}" >&2
  exit 1
fi
echo "All fuzz targets ran without a fault."
