#!/bin/sh
# Makes the JPEG pictures that jlode's agreement test and benchmark decode,
# from real photographs, with cjpeg and jpegtran:
#   make_photos.sh OUTDIR SCALE PHOTO...
# SCALE is djpeg's reduction (1, 2, 4 or 8). Every layout the decoder
# supports is made, at low and high quality, some with restart intervals.
set -eu
out=$1; scale=$2; shift 2
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for photo in "$@"; do
  name=$(basename "$photo" .jpg)
  djpeg -scale "1/$scale" -ppm "$photo" > "$tmp/src.ppm"
  enc() { # tag, cjpeg options...
    tag=$1; shift
    cjpeg -dct int "$@" -outfile "$out/$name-$tag.jpg" "$tmp/src.ppm"
  }
  enc grey-q85 -quality 85 -grayscale
  enc 444-q95 -quality 95 -sample 1x1
  enc 422-q75 -quality 75 -sample 2x1
  enc 440-q90 -quality 90 -sample 1x2
  enc 420-q50 -quality 50 -sample 2x2
  enc 420-q92 -quality 92 -sample 2x2
  enc 420-q98-rst -quality 98 -sample 2x2 -restart 2
  enc 411-q80 -quality 80 -sample 4x1
  enc 444-q70-rst -quality 70 -sample 1x1 -restart 5B
  # Optimised Huffman tables, as many cameras and editors write them.
  jpegtran -optimize -copy none -outfile "$out/$name-420-q92-opt.jpg" "$out/$name-420-q92.jpg"
done
