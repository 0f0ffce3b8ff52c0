#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing on a Debian/Ubuntu machine, builds, and then starts the program or runs the tests.
#   tools/setup.sh run    build and start the window
#   tools/setup.sh test   build and run every test (with CI=true also a sanitizer build, the fuzzers, the
#                         Windows build under wine and the Debian package)
# Builds use the presets of CMakePresets.json: run the release preset, test the dev one.
set -euo pipefail

action=${1:-run}
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${ARDUNEX_JOBS:-2}
full=false
if [ "${CI:-}" = true ] || [ "${ARDUNEX_FULL_TESTS:-}" = 1 ]; then
  full=true
fi

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libjpeg-dev libgtest-dev nlohmann-json3-dev)
if [ "$action" = test ]; then
  # The window tests read fonts through fontconfig and run a second time with DejaVu alone.
  packages+=(ffmpeg mkvtoolnix iso-codes clang libclang-rt-14-dev desktop-file-utils shared-mime-info fontconfig
    fonts-dejavu-core)
  if [ "$full" = true ]; then
    packages+=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev lintian appstream clang-format clang-tidy libexpat1-dev)
  fi
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

# CI treats every warning as an error; a compiler cache is used where one is installed.
extra=()
if [ "${CI:-}" = true ]; then
  extra+=(-DARDUNEX_WERROR=ON)
fi
if command -v ccache >/dev/null 2>&1; then
  extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build_preset() {  # preset
  (cd "$top" && cmake --preset "$1" "${extra[@]}" && cmake --build --preset "$1" -j "$jobs")
}

test_preset() {  # preset
  (cd "$top" && ctest --preset "$1" -j "$jobs")
}

case "$action" in
  run)
    build_preset release
    exec "$top/build-release/src/ui/ardunex"
    ;;
  test)
    build_preset dev
    test_preset dev
    if [ "$full" = true ]; then
      # Layout and a small set of clang-tidy checks, over the dev build's compile commands.
      "$top/tools/check-style.sh" "$top/build"
      build_preset asan
      test_preset asan
      if [ -x "$top/fuzz/run-all.sh" ]; then
        "$top/fuzz/run-all.sh" "$top/build-fuzz"
      fi
      # The core, ardunex-cli.exe and the core's tests for Windows, run by wine in a prefix of their own, and
      # the zip of ardunex-cli.exe with its licences.
      build_preset windows
      test_preset windows
      (cd "$top/build-windows" && cpack -G ZIP -B "$top/build-windows/package" >/dev/null)
      zip=$(ls "$top"/build-windows/package/ardunex-*-win64.zip)
      listing=$(cmake -E tar tvf "$zip")
      echo "$zip:" && echo "$listing"
      for entry in bin/ardunex-cli.exe README.md LICENSE.txt licenses/gcc-runtime.txt licenses/GPL-3.txt \
        licenses/mingw-w64.txt licenses/nlohmann-json.txt; do
        grep -q "/$entry\$" <<<"$listing" || { echo "$zip: no $entry" >&2; exit 1; }
      done
      # The Debian package of the dev build: it must name the libraries it needs, lintian must find neither
      # an error nor a warning, and its menu entry and AppStream metadata must be valid.
      (cd "$top/build" && cpack -G DEB -B "$top/build/package" >/dev/null)
      deb=$(ls "$top"/build/package/ardunex_*.deb)
      info=$(dpkg-deb -I "$deb")
      grep -E '^ (Package|Version|Architecture|Section|Depends|Recommends):' <<<"$info"
      grep -q '^ Depends:.*libqt6widgets6' <<<"$info" || { echo "$deb: no Qt in Depends" >&2; exit 1; }
      grep -q '^ Recommends:.*mkvtoolnix' <<<"$info" || { echo "$deb: no mkvtoolnix in Recommends" >&2; exit 1; }
      lintian --fail-on error,warning "$deb"
      echo "lintian: clean"
      tree=$(mktemp -d)
      dpkg-deb -x "$deb" "$tree"
      desktop-file-validate "$tree"/usr/share/applications/ardunex.desktop
      appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
      appstreamcli validate-tree --no-net "$tree"
      rm -rf "$tree"
    fi
    ;;
  *)
    echo "usage: tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
