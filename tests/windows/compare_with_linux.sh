#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Demuxes one two-part feature, made by ffmpeg under a name beyond ASCII, with the Linux ardunex-cli and with
# ardunex-cli.exe under wine, and requires the same files with the same bytes from both.
# Exits 77 (skipped) when the Linux build, ffmpeg or wine is missing.
#   compare_with_linux.sh WINE WINDOWS-CLI LINUX-CLI
set -eu
wine=$1
windows_cli=$2
linux_cli=$3
for tool in "$wine" ffmpeg sha256sum; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
[ -x "$linux_cli" ] || { echo "no Linux build at $linux_cli (cmake --preset dev first)"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ardunex-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/disc" "$work/linux" "$work/windows"
base="Ünïcødé_日本"
# MPEG-2 video with two Dolby Digital streams in 2048-byte packs, as on a disc; two parts of a feature.
for part in 1 2; do
  ffmpeg -v error -f lavfi -i "testsrc=size=320x240:rate=25:duration=3" \
    -f lavfi -i "sine=frequency=$((400 * part)):sample_rate=48000:duration=3" \
    -f lavfi -i "sine=frequency=$((300 * part)):sample_rate=48000:duration=3" \
    -map 0 -map 1 -map 2 -c:v mpeg2video -b:v 2M -c:a ac3 \
    -f dvd "$work/disc/${base}_$part.EVO"
done

"$linux_cli" -o "$work/linux" "$work/disc/${base}_1.EVO" >"$work/linux.log"
grep -qx "Continue on ${base}_2.EVO" "$work/linux.log" || { echo "the second part was not read"; exit 1; }
# Under wine the Unix root is drive Z:; the paths are given with backslashes, as a Windows user types them.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
"$wine" "$windows_cli" -o "$(winpath "$work/windows")" "$(winpath "$work/disc/${base}_1.EVO")" >/dev/null

linux_files=$(cd "$work/linux" && ls)
windows_files=$(cd "$work/windows" && ls)
[ -n "$linux_files" ] || { echo "the Linux build wrote nothing"; exit 1; }
if [ "$linux_files" != "$windows_files" ]; then
  printf 'different files:\nLinux:\n%s\nWindows:\n%s\n' "$linux_files" "$windows_files"
  exit 1
fi
status=0
for name in $linux_files; do
  size=$(wc -c <"$work/linux/$name")
  linux_sum=$(sha256sum <"$work/linux/$name" | cut -c1-16)
  windows_sum=$(sha256sum <"$work/windows/$name" | cut -c1-16)
  if cmp -s "$work/linux/$name" "$work/windows/$name"; then verdict=identical; else verdict=DIFFERENT; status=1; fi
  printf '%-40s %9s bytes  linux %s  windows %s  %s\n' "$name" "$size" "$linux_sum" "$windows_sum" "$verdict"
done
exit $status
