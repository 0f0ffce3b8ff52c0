#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs a build into a temporary prefix and checks what a desktop finds there: the programs, the menu
# entry (as desktop-file-validate reads it), the MIME type of .EVO files (as update-mime-database builds it),
# the icons, the AppStream metadata, the compressed manual pages, the copyright file and the changelog. Exits
# 77 (skipped) when the desktop tools are not installed.
#   check_install.sh BUILD-FOLDER WITH-WINDOW(ON|OFF)
set -eu
build=$1
window=$2
for tool in desktop-file-validate update-mime-database; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
prefix=$(mktemp -d "${TMPDIR:-/tmp}/ardunex-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

expect() {
  for file in "$@"; do
    [ -f "$prefix/$file" ] || { echo "missing: $file"; exit 1; }
  done
}
expect bin/ardunex-cli share/man/man1/ardunex-cli.1.gz share/doc/ardunex/copyright share/doc/ardunex/changelog.gz
[ -x "$prefix/bin/ardunex-cli" ] || { echo "bin/ardunex-cli is not executable"; exit 1; }
[ "$window" = ON ] || exit 0

expect bin/ardunex share/man/man1/ardunex.1.gz share/applications/ardunex.desktop share/mime/packages/ardunex.xml \
  share/icons/hicolor/scalable/apps/ardunex.svg share/metainfo/org.ardunex.ardunex.metainfo.xml
for size in 16 32 48 64 128 256; do
  expect "share/icons/hicolor/${size}x${size}/apps/ardunex.png"
done
desktop-file-validate "$prefix/share/applications/ardunex.desktop"
# The entry starts the installed program with the file, and declares the type the MIME database knows.
grep -qx 'Exec=ardunex %f' "$prefix/share/applications/ardunex.desktop" || { echo "Exec line"; exit 1; }
grep -qx 'MimeType=video/x-hddvd-evo;' "$prefix/share/applications/ardunex.desktop" || { echo "MimeType line"; exit 1; }
update-mime-database "$prefix/share/mime"
grep -q '^50:video/x-hddvd-evo:\*\.evo$' "$prefix/share/mime/globs2" || { echo "no glob for *.evo"; exit 1; }
grep -q '^video/x-hddvd-evo video/mpeg$' "$prefix/share/mime/subclasses" || { echo "no sub-class of video/mpeg"; exit 1; }
echo "installed tree is complete"
