#!/usr/bin/env bash
# Renders the PNG sizes of the icon from dist/icons/vant-conf.svg (committed, so that a build
# needs no SVG renderer). Run after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || apt-get install -y --no-install-recommends librsvg2-bin
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" dist/icons/vant-conf.svg -o "dist/icons/vant-conf-$size.png"
done
