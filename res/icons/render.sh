#!/usr/bin/env bash
# Renders the toolbar images and icons from their SVG sources (ImageMagick).
# The PNG files are committed; run this after changing a source.
set -euo pipefail
cd "$(dirname "$0")"
for f in open settings clear; do convert -background none $f.svg -resize 32x30 $f.png; done
# The question mark is drawn directly: its arc fills in ImageMagick's SVG reader.
convert -size 32x30 xc:none -stroke '#1a4fa0' -strokewidth 4 -fill none -draw "arc 10,3 22,15 170,400" \
    -draw "line 20,13 16,17" -draw "line 16,17 16,20" -stroke none -fill '#1a4fa0' -draw "circle 16,26 16,23.5" about.png
convert -background none tarvel.svg -resize 64x64 tarvel.png
# The installed icon at the sizes desktops ask for most (hicolor 48x48 and 256x256),
# drawn by librsvg (librsvg2-bin).
for size in 48 256; do rsvg-convert -w $size -h $size tarvel.svg -o tarvel-$size.png; done
convert -background none document.svg -resize 64x64 document.png
convert -background none hand.svg hand.png
# The Windows programs' icon (res/windows/tarvel.ico, in tarvel.exe through tarvel.rc).
for size in 16 24 32 48 64; do rsvg-convert -w $size -h $size tarvel.svg -o /tmp/tarvel-ico-$size.png; done
convert /tmp/tarvel-ico-{16,24,32,48,64}.png tarvel-256.png ../windows/tarvel.ico
rm -f /tmp/tarvel-ico-*.png
