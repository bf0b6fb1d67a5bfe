#!/usr/bin/env bash
# Redraws every picture of this folder from draw.py, and writes the program icon's scalable
# form. Needs python3, ImageMagick and fonts-liberation. The results are committed, so the build
# itself needs none of them.
set -euo pipefail
cd "$(dirname "$0")"

src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
python3 draw.py "$src"

for mvg in "$src"/*.mvg; do
  name=$(basename "$mvg" .mvg)
  case $name in
    # Baseline JPEG without chroma subsampling: white type on black stays crisp.
    banner | about-logo)
      convert mvg:"$mvg" -strip -interlace none -sampling-factor 1x1 -quality 95 "$name.jpg" ;;
    *)
      convert -background none mvg:"$mvg" -strip -define png:exclude-chunks=date,time \
        -depth 8 PNG32:"$name.png" ;;
  esac
done
cp "$src"/*.svg .
