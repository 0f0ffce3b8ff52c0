#!/usr/bin/env bash
# Installs what is missing on a Debian/Ubuntu machine, builds, and then starts the program or runs the tests.
#   tools/setup.sh run    build and start the window
#   tools/setup.sh test   build and run every test (with CI=true also a sanitizer build and the fuzzers)
set -euo pipefail

action=${1:-run}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ARDUNEX_BUILD_DIR:-$top/build}
jobs=${ARDUNEX_JOBS:-2}

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libjpeg-dev libgtest-dev nlohmann-json3-dev)
if [ "$action" = test ]; then
  packages+=(ffmpeg mkvtoolnix clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

configure_and_build() {  # folder, extra cmake arguments...
  local dir=$1
  shift
  cmake -S "$top" -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
}

case "$action" in
  run)
    configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DARDUNEX_BUILD_TESTS=OFF
    exec "$build/src/ui/ardunex"
    ;;
  test)
    # The window's tests run without a display.
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    (cd "$build" && ctest --output-on-failure -j "$jobs")
    if [ "${CI:-}" = true ] || [ "${ARDUNEX_FULL_TESTS:-}" = 1 ]; then
      configure_and_build "$build-asan" -DCMAKE_BUILD_TYPE=Debug -DARDUNEX_BUILD_BENCH=OFF \
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
      (cd "$build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j "$jobs")
      if [ -x "$top/fuzz/run-all.sh" ]; then
        "$top/fuzz/run-all.sh" "$build-fuzz"
      fi
    fi
    ;;
  *)
    echo "usage: tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
