#!/usr/bin/env bash
# A saver made by `snowglobe-pack bind` shows its new scene: a static scene
# is packed from a manifest, bound into a built saver, run full screen on an
# Xvfb display of its own, and its screenshot compared pixel for pixel with
# `snowglobe-pack render` of the same package at the same size.
#
#   bound_saver_test.sh wine|linux PACK BUILD_DIR
#
# wine:  the x86_64 snowglobe.scr of the win64 build ($SG_WIN64_DIR) under wine64
# linux: the snowglobe program of this build
# Exit status: 0 passed, 1 failed, 77 skipped (the reason is printed).
set -uo pipefail
MODE="$1" PACK="$2" BUILD="$3"
. "$(dirname "$0")/../support/static-scene.sh"
WIDTH=640 HEIGHT=480
work="$BUILD/tests/pack/bound-$MODE"
rm -rf "$work" && mkdir -p "$work"
xvfb_pid="" saver_pid=""
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

for tool in Xvfb xdotool import compare convert timeout; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if [ "$MODE" = wine ]; then
  engine="${SG_WIN64_DIR:-}/snowglobe.scr"
  [ -f "$engine" ] || skip "$engine not built (build the win64 preset)"
  WINE="$(command -v wine64 || echo /usr/lib/wine/wine64)"
  WINESERVER="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
  [ -x "$WINE" ] || skip "wine64 is not installed"
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  bound="$work/bound.scr"
  run=("$WINE" "$bound" /s)
else
  engine="$BUILD/apps/linux/snowglobe"
  [ -f "$engine" ] || skip "$engine not built"
  export SDL_AUDIODRIVER=dummy
  bound="$work/snowglobe-bound"
  run=("$bound" /s)
fi

cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  if [ "$MODE" = wine ] && [ -n "${DISPLAY:-}" ]; then
    "$WINESERVER" -k 2>/dev/null
    timeout 20 "$WINESERVER" -w 2>/dev/null
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# ---- a static scene: nothing moves or animates after the first tick ----
cd "$work" || exit 1
# Balls randomly placed, wholly inside the screen: the saver and the renderer
# draw the same random numbers, so they must agree on every position.
static_scene scene.toml "snowglobe-pack bound" ring || { echo "FAIL: pictures of the static scene"; exit 1; }
convert -size 70x16 xc:'#e0e0e0' -fill '#303090' -draw 'rectangle 3,3 66,12' bar.png
cat >>scene.toml <<'TOML'

# Fixed near the bottom-right corner, drawn opaque.
[[layer]]
frames = ["bar.png"]
mask = "opaque"
instances = 1
direction = "none"
sway = "none"
start = { corner = "bottom-right", x = -80, y = -30 }
TOML
"$PACK" build scene.toml -o scene.kavren --quiet || fail "build of the test scene"
"$PACK" bind "$engine" scene.kavren -o "$bound" || fail "bind into $engine"
"$PACK" inspect "$bound" | grep -q 'title:       snowglobe-pack bound' || fail "inspect does not show the bound scene"
"$PACK" render scene.kavren --size "${WIDTH}x${HEIGHT}" --ticks 5 -o reference.png || fail "render"

# ---- run it on a display of its own ----
: >display
Xvfb -displayfd 3 -screen 0 "${WIDTH}x${HEIGHT}x24" -nolisten tcp 3>display >xvfb.log 2>&1 &
xvfb_pid=$!
# A loaded machine may take a while to bring the server up.
for _ in $(seq 600); do [ -s display ] && break; sleep 0.1; done
[ -s display ] || fail "Xvfb did not start within 60 s"
export DISPLAY=":$(head -n1 display)"
xdotool mousemove $((WIDTH / 2)) $((HEIGHT / 2))
if [ "$MODE" = wine ]; then
  # A wineserver left by an earlier run keeps that run's display and its
  # screen size: start from none.
  "$WINESERVER" -k 2>/dev/null
  timeout 20 "$WINESERVER" -w 2>/dev/null
fi
if [ "$MODE" = wine ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "-- creating the wine prefix $WINEPREFIX"
  timeout 600 "$WINE" wineboot -i >wineboot.log 2>&1
  timeout 60 "$WINESERVER" -w 2>/dev/null
fi
timeout -k 5 180 "${run[@]}" >saver.log 2>&1 &
saver_pid=$!
found=""
for _ in $(seq 240); do
  found="$(xdotool search --name '^snowglobe-pack bound$' 2>/dev/null | head -n1)"
  [ -n "$found" ] && break
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.25
done
[ -n "$found" ] || { cat saver.log; fail "the bound saver's window did not appear"; }
# The scene stands still: wait until the screen shows it (the first paint
# may come a while after the window is mapped).
differing=unknown
for _ in $(seq 120); do
  import -window root screen.png || fail "no screenshot"
  differing="$(compare -metric AE reference.png screen.png difference.png 2>&1)"
  [ "$differing" = 0 ] && break
  sleep 0.25
done
[ "$differing" = 0 ] || fail "$differing pixels differ from the rendered picture (see $work)"
xdotool key space
for _ in $(seq 100); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$saver_pid" 2>/dev/null && fail "the saver did not end on a key"
saver_pid=""
echo "the bound $MODE saver shows its scene exactly as rendered"

# ---- texts in another code page: the Linux program prints them as UTF-8 ----
if [ "$MODE" = linux ]; then
  cat >western.toml <<'TOML'
codepage = 1252
title = "snowglobe-pack Café"
about = ["Café", "Straße", "Naïve"]
TOML
  "$PACK" build western.toml -o western.kavren --quiet || fail "build of the code page 1252 scene"
  "$PACK" bind "$engine" western.kavren -o "$work/snowglobe-western" || fail "bind of the code page 1252 scene"
  printed="$(env -u DISPLAY -u WAYLAND_DISPLAY "$work/snowglobe-western" /c 2>&1)"
  [ "$printed" = "$(printf 'Café\nStraße\nNaïve')" ] || fail "/c of the code page 1252 scene printed: $printed"
  echo "the bound linux saver shows code page 1252 about lines as UTF-8"
  # Its window is named with the title read through the same code page.
  timeout -k 5 60 "$work/snowglobe-western" /s >western.log 2>&1 &
  saver_pid=$!
  found=""
  for _ in $(seq 120); do
    found="$(xdotool search --name '^snowglobe-pack Caf' 2>/dev/null | head -n1)"
    [ -n "$found" ] && break
    kill -0 "$saver_pid" 2>/dev/null || break
    sleep 0.25
  done
  [ -n "$found" ] || { cat western.log; fail "no window of the code page 1252 scene"; }
  name="$(xdotool getwindowname "$found")"
  [ "$name" = "snowglobe-pack Café" ] || fail "the window is named '$name', not 'snowglobe-pack Café'"
  xdotool key space
  for _ in $(seq 100); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
  saver_pid=""
  echo "the bound linux saver's window is named through code page 1252"
fi
