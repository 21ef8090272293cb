#!/usr/bin/env bash
# Draws the program's icon (a disk with a wiping stroke across it) and writes dunmere.ico
# with the sizes Windows asks for. Needs ImageMagick. Run from anywhere; output beside it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
  -fill '#2f3a48' -stroke '#1b222b' -strokewidth 6 -draw 'roundrectangle 28,20 228,236 28,28' \
  -fill '#c9d2dc' -stroke '#8e99a6' -strokewidth 4 -draw 'circle 128,112 128,34' \
  -fill '#2f3a48' -stroke none -draw 'circle 128,112 128,96' \
  -fill '#7d8794' -draw 'polygon 134,118 150,108 214,200 198,210' \
  -fill '#4fc3f7' -draw 'rectangle 44,206 84,218' \
  -stroke '#f5f7fa' -strokewidth 22 -fill none -draw 'line 40,196 216,40' \
  -stroke '#e53935' -strokewidth 12 -draw 'line 40,196 216,40' \
  "$work/dunmere-256.png"

# -strip keeps the output the same from run to run; Windows reads 8-bit channels only.
convert "$work/dunmere-256.png" -strip -depth 8 -define icon:auto-resize=256,48,32,24,16 "$here/dunmere.ico"
echo "wrote $here/dunmere.ico"
