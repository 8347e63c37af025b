#!/usr/bin/env bash
# Renders the icon's PNG sizes from spravochnik.svg (needs rsvg-convert, librsvg2-bin).
# The PNGs are committed; run this again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
for s in 16 32 48 64 128 256; do
  rsvg-convert -w "$s" -h "$s" spravochnik.svg -o "spravochnik-$s.png"
done
