#!/usr/bin/env bash
# Draws the launcher icon's PNG sizes from resources/tallybrook.svg (needs rsvg-convert).
set -euo pipefail
cd "$(dirname "$0")/../resources"
for size in 16 24 32 48 64 128 256; do
  mkdir -p icons/${size}x${size}
  rsvg-convert -w $size -h $size tallybrook.svg -o icons/${size}x${size}/tallybrook.png
done
