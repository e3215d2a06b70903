# The static scene of the desktop and bound-saver tests: a tiled gradient and
# nine balls placed at random wholly inside the screen, none of which moves,
# sways or animates, so every tick after the first shows the same picture.
#
#   static_scene TOML TITLE [ring]
#
# writes tile.png and ball.png beside TOML and the manifest itself; "ring"
# gives the ball a red centre. More layers may be appended to TOML after it.
# Needs ImageMagick's convert.
static_scene() {
  local toml=$1 title=$2 ring=${3:-}
  local dir
  dir=$(dirname "$toml")
  convert -size 50x40 gradient:'#204080-#80c0a0' "$dir/tile.png" || return 1
  if [ "$ring" = ring ]; then
    convert -size 30x30 xc:none -fill '#f0d020' -draw 'circle 15,15 15,3' \
      -fill '#c02020' -draw 'circle 15,15 15,9' "$dir/ball.png" || return 1
  else
    convert -size 30x30 xc:none -fill '#f0d020' -draw 'circle 15,15 15,3' "$dir/ball.png" || return 1
  fi
  cat >"$toml" <<TOML
title = "$title"
background = "tiled"
tile = "tile.png"

[[layer]]
frames = ["ball.png"]
instances = 9
direction = "none"
sway = "none"
keep_inside = true
TOML
}
