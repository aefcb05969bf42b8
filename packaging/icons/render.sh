#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from the SVG source beside this
# script. Run by hand after changing the SVG, and commit the PNGs; the build
# only copies them. Needs rsvg-convert (Debian package librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" io.github.cifrelle.Cifrelle.svg -o "${size}x${size}.png"
done
