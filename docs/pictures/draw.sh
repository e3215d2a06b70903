#!/usr/bin/env bash
# Draws the pictures of docs/authoring.md's sections on sheets, JSON, every,
# flip and resize. The flipped and resized ones are the tool's own output.
#
#   docs/pictures/draw.sh PATH/TO/snowglobe-pack
# (KEEP=1 keeps the working folder and prints where it is.)
set -euo pipefail
PACK="$1"
out="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
if [ -n "${KEEP:-}" ]; then echo "$work"; fi
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
font=(-font DejaVu-Sans -pointsize 11)
command -v fc-list >/dev/null && fc-list | grep -q DejaVuSans || font=(-pointsize 11)

# A walker facing right, frame N of 8: a body, a head, legs apart or together.
walker() {  # walker N FILE
  local n=$1 legs=$(( $1 % 2 ? 2 : 6 ))
  convert -size 24x24 xc:none -fill '#e07020' -draw "roundrectangle 1,10 15,18 3,3" \
    -draw "circle 17,8 17,3" -draw "polygon 21,6 23,9 21,11" -fill white -draw "circle 18,6 18,5" \
    -fill '#202020' -draw "point 19,6" -fill '#e07020' \
    -draw "rectangle $((4 - legs / 2)),19 $((5 - legs / 2)),23" -draw "rectangle $((10 + legs / 2)),19 $((11 + legs / 2)),23" \
    -draw "rectangle 0,$((7 + n % 3)) 1,$((11 + n % 3))" +repage "$2"
}
for n in 0 1 2 3 4 5 6 7; do walker $n f$n.png; done
big() { convert "$1" +repage -filter point -resize 300% +repage "$2"; }

# sheet.png: 4 x 2 cells, 7 used, numbered in order.
convert f0.png f1.png f2.png f3.png +append +repage row0.png
convert f4.png f5.png f6.png -size 24x24 xc:none +append +repage row1.png
convert row0.png row1.png -append +repage sheet.png
big sheet.png sheet3.png
convert sheet3.png -background white -flatten -fill none -stroke '#8080a0' \
  -draw "line 72,0 72,143" -draw "line 144,0 144,143" -draw "line 216,0 216,143" -draw "line 0,72 287,72" \
  -draw "rectangle 0,0 287,143" -stroke none -fill '#404060' "${font[@]}" \
  -draw "text 4,14 '0'" -draw "text 76,14 '1'" -draw "text 148,14 '2'" -draw "text 220,14 '3'" \
  -draw "text 4,86 '4'" -draw "text 76,86 '5'" -draw "text 148,86 '6'" -draw "text 220,86 'count = 7'" \
  "$out/sheet.png"

# json.png: a packed sheet with each frame's rectangle, one trimmed.
convert f0.png -trim +repage t0.png
convert -size 80x30 xc:none f1.png -geometry +0+0 -composite f2.png -geometry +26+0 -composite \
  t0.png -geometry +52+4 -composite packed.png
big packed.png packed3.png
tw=$(identify -format %w t0.png) th=$(identify -format %h t0.png)
convert packed3.png -background white -flatten -fill none -stroke '#3060c0' \
  -draw "rectangle 0,0 71,71" -draw "rectangle 78,0 149,71" -stroke '#c03060' \
  -draw "rectangle 156,12 $((156 + 3 * tw - 1)),$((12 + 3 * th - 1))" packed-boxes.png
big f0.png f0x3.png
convert f0x3.png -background white -flatten -fill none -stroke '#c03060' -strokewidth 1 \
  -draw "stroke-dasharray 4 3 rectangle 0,0 71,71" restored.png
convert packed-boxes.png \( -size 30x90 xc:white -fill '#404060' "${font[@]}" -draw "text 6,45 '->'" \) restored.png \
  -background white -gravity center +append "$out/json.png"

# every.png: 8 frames, every = 2 keeps 0, 2, 4, 6.
args=()
for n in 0 1 2 3 4 5 6 7; do
  big f$n.png b$n.png
  if (( n % 2 == 0 )); then
    convert b$n.png -background white -flatten -bordercolor '#3060c0' -border 3 c$n.png
  else
    convert b$n.png -background white -flatten -fill white -colorize 65% -bordercolor white -border 3 c$n.png
  fi
  args+=(c$n.png)
done
convert "${args[@]}" -background white +append "$out/every.png"

# flip.png: the tool's frames as built, and with flip = "horizontal".
printf 'title = "walker"\n[[layer]]\nframes = ["f0.png", "f1.png"]\n' >a.toml
printf 'title = "walker"\n[[layer]]\nframes = ["f0.png", "f1.png"]\nflip = "horizontal"\n' >b.toml
"$PACK" build a.toml -o a.kavren --quiet && "$PACK" extract a.kavren a >/dev/null
"$PACK" build b.toml -o b.kavren --quiet && "$PACK" extract b.kavren b >/dev/null
af=$(find a -name '*.bmp' -o -name '*.png' | sort | head -2 | tr '\n' ' ')
bf=$(find b -name '*.bmp' -o -name '*.png' | sort | head -2 | tr '\n' ' ')
# shellcheck disable=SC2086
convert $af +append +repage -fill white -opaque black -filter point -resize 300% ra.png
# shellcheck disable=SC2086
convert $bf +append +repage -fill white -opaque black -filter point -resize 300% rb.png
convert ra.png \( -size 40x72 xc:white -fill '#404060' "${font[@]}" -draw "text 10,40 'flip'" \) rb.png \
  -background white +append "$out/flip.png"

# resize.png: a 16:9 "photo" and the tool's resize = "240x180" of it.
convert -size 320x180 gradient:'#5080d0'-'#f0d090' -fill '#f8f0a0' -draw 'circle 250,60 250,35' \
  -fill '#306030' -draw 'polygon 0,180 0,130 80,100 170,135 260,105 320,125 320,180' \
  -fill '#c04030' -draw 'rectangle 20,120 50,150' -fill '#2040a0' -draw 'rectangle 280,130 310,160' photo.png
printf 'title = "photo"\nbackground = "picture"\npicture = { file = "photo.png", resize = "240x180" }\n' >p.toml
"$PACK" build p.toml -o p.kavren --quiet && "$PACK" extract p.kavren p >/dev/null
pic=p/background.bmp
convert photo.png \( -size 40x180 xc:white -fill '#404060' "${font[@]}" -draw "text 6,95 '->'" \) "$pic" \
  -background white -gravity center +append "$out/resize.png"

for f in sheet json every flip resize; do optipng -quiet "$out/$f.png" 2>/dev/null || true; done
