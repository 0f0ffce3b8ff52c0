#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Renders the icon's PNG sizes from packaging/icons/ardunex.svg (needs rsvg-convert, Debian librsvg2-bin).
# The PNGs are kept in the repository, so building and packaging need no renderer.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$icons/ardunex.svg" -o "$icons/${size}x${size}/ardunex.png"
done
