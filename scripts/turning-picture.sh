#!/usr/bin/env bash
# Remakes docs/turning-methods.png, the README's picture: one sample ship at
# 8 angles turned by each method of gyrelle-cli, a row each, enlarged 3 times
# so that single pixels show.
#
#     scripts/turning-picture.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# ImageMagick only lays the rows out and writes the labels.
scripts/install-deps.sh programs imagemagick fonts-dejavu-core
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j2 --target gyrelle-cli gyrelle-decode >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=()
for method in library rotsprite shear; do
  build/bin/gyrelle-cli --method "$method" -n 8 --columns 8 --frame-size fit --spacing 2 \
    samples/cloakShip1.png "$work/$method.png"
  rows+=("$work/$method.png")
done
width=$(identify -format '%w\n' "${rows[@]}" | sort -n | tail -1)
labelled=()
for method in library rotsprite shear; do
  convert "$work/$method.png" -background black -extent "${width}x" -scale 300% \
    -background white -gravity west -splice 110x0 -font DejaVu-Sans -pointsize 20 \
    -annotate +8+0 "$method" "$work/$method-labelled.png"
  labelled+=("$work/$method-labelled.png")
done
convert "${labelled[@]}" -append -strip docs/turning-methods.png
echo "wrote docs/turning-methods.png"
