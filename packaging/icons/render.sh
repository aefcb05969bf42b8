#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from the SVG source beside this
# script, and gathers them into the Windows icon (packaging/windows/
# cifrelle.ico: the exe's icon, the Start menu's and the installed-programs
# list's); the same for the teacher's register (registro/,
# packaging/windows/cifrelle-registro.ico). Run by hand after changing the SVG, and commit the PNGs and the
# .ico; the build only copies them. Needs rsvg-convert and icotool (Debian
# packages librsvg2-bin and icoutils).
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" io.github.cifrelle.Cifrelle.svg -o "${size}x${size}.png"
done
# The large size is kept as PNG inside the .ico, as Windows expects.
icotool -c -o ../windows/cifrelle.ico 16x16.png 24x24.png 32x32.png 48x48.png 64x64.png \
        -r 256x256.png

mkdir -p registro
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" io.github.cifrelle.Cifrelle.Registro.svg \
        -o "registro/${size}x${size}.png"
done
(cd registro && icotool -c -o ../../windows/cifrelle-registro.ico 16x16.png 24x24.png 32x32.png \
    48x48.png 64x64.png -r 256x256.png)
