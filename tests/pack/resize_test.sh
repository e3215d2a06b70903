#!/usr/bin/env bash
# resize at build against an independent resampler: a photo-like picture with
# single-pixel stripes and a checkerboard, covered and centre-cropped to another
# shape, must match ImageMagick's Lanczos resize of the same picture within a
# small mean error. A shrink that drops rows and columns lands far outside it.
# A refused resize writes nothing.
#
#   resize_test.sh PACK
set -uo pipefail
PACK="$1"
command -v convert >/dev/null && command -v compare >/dev/null || { echo "ImageMagick not installed"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }

cd "$work" || exit 1
convert -size 1x2 xc:black -fill white -draw 'point 0,1' stripe.png
convert -size 2x2 xc:black -fill white -draw 'point 0,0' -draw 'point 1,1' checker.png
convert -size 1920x1080 gradient:'#203a80'-'#f0c060' \
  \( -size 900x500 tile:stripe.png \) -geometry +60+60 -composite \
  \( -size 800x450 tile:checker.png \) -geometry +1000+560 -composite \
  -fill '#c03020' -draw 'circle 1400,300 1400,120' -type TrueColor photo.png

# MAE of two pictures as a fraction of full scale.
mae() { compare -metric MAE "$1" "$2" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'; }

for size in 1000x600 1366x768 640x640; do
  printf 'title = "t"\nbackground = "picture"\npicture = { file = "photo.png", resize = "%s" }\n' "$size" >scene.toml
  rm -rf out && "$PACK" build scene.toml -o scene.kavren --quiet && "$PACK" extract scene.kavren out >/dev/null \
    || { bad "build and extract at $size"; continue; }
  got=out/background.bmp
  convert photo.png -filter Lanczos -resize "$size^" -gravity center -extent "$size" want.png
  [ "$(identify -format %wx%h "$got")" = "$size" ] && ok || bad "$size: the picture is $(identify -format %wx%h "$got")"
  error=$(mae "$got" want.png)
  awk -v e="$error" 'BEGIN { exit !(e != "" && e < 0.02) }' && ok || bad "$size: mean error $error against Lanczos (at most 0.02)"
  echo "$size: mean error $error"
done

# A refused resize leaves no package behind.
printf 'title = "t"\nbackground = "picture"\npicture = { file = "photo.png", resize = "0x0" }\n' >bad.toml
if "$PACK" build bad.toml -o bad.kavren >out.txt 2>&1; then bad "resize 0x0 built"; else
  grep -qF 'picture.resize: 0 x 0 is outside 1..8192 pixels on a side' out.txt && ok || bad "resize 0x0 said: $(cat out.txt)"
fi
[ -e bad.kavren ] && bad "a refused build wrote bad.kavren" || ok

echo "resize_test: $passed passed, $failed failed"
[ "$failed" = 0 ]
