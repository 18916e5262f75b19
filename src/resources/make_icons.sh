#!/usr/bin/env bash
# Renders the program's icon (icons/quorvex.svg) and the data file's icon
# (icons/application-vnd.quorvex.data.svg) at the sizes of the hicolor icon
# theme. The PNG files are kept in the repository, so the build needs no
# renderer; run this only after changing the drawing (needs rsvg-convert from
# librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quorvex.svg -o "quorvex-$size.png"
done
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" application-vnd.quorvex.data.svg \
    -o "application-vnd.quorvex.data-$size.png"
done
