#!/usr/bin/env bash
# "/s" with two displays: the saver window on the first, exactly as with one
# display; the second covered by a black window of the program's own, where
# a key, a click or a 5-pixel mouse step ends the saver with status 0, and
# which goes with it. -root draws only where it is told to, with no cover.
#
#   desktop-monitors.sh SNOWGLOBE PACK FOREIGN_WINDOW WORKDIR
#
# SDL sees the two screens of an Xvfb as two displays. Xvfb's +xinerama puts
# every head at (0, 0), where SDL sees one display: that layout is run too,
# and must behave as one monitor does.
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} PACK=${2:?snowglobe-pack} FOREIGN=${3:?foreign_window} WORK=${4:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
. "$(dirname "$0")/../support/static-scene.sh"
need Xvfb xdotool import convert compare
export SDL_AUDIODRIVER=dummy

# A static scene, so that any tick shows the same picture.
cd "$WORK" || exit 1
static_scene scene.toml "monitors static" || { echo "FAIL: pictures of the static scene"; exit 1; }
"$PACK" build scene.toml -o scene.kavren --quiet || { echo "FAIL: build of the static scene"; exit 1; }
"$PACK" bind "$SNOWGLOBE" scene.kavren -o saver >/dev/null || { echo "FAIL: bind"; exit 1; }
"$PACK" render scene.kavren --size 1024x768 --ticks 5 -o render.png >/dev/null || { echo "FAIL: render"; exit 1; }

# server ARGS...: a fresh Xvfb; DISPLAY is its first screen.
server() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; fi
  : >"$WORK/display"
  Xvfb -displayfd 3 "$@" -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || { echo "FAIL: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1; }
  D=$(head -n1 "$WORK/display")
  export DISPLAY=":$D"
}
shot() { import -display "$1" -window root "$2" 2>/dev/null; }
# The first screen shows exactly the one-monitor picture (waits up to 10 s).
main_as_rendered() {
  for _ in $(seq 40); do
    shot ":$D.0" "$WORK/main.png"
    DIFF=$(compare -metric AE render.png "$WORK/main.png" null: 2>&1)
    [ "$DIFF" = 0 ] && return 0
    sleep 0.25
  done
  return 1
}
# pixel FILE X Y: the colour there, as ImageMagick names it.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
start() {
  ./saver "$@" >"$WORK/saver.out" 2>"$WORK/saver.err" &
  SAVER=$!
  PIDS+=($SAVER)
}

# ---- two screens: two displays ----
server -screen 0 1024x768x24 -screen 1 800x600x24
# A window on the second screen stands for the desktop the saver must hide.
DISPLAY=":$D.1" "$FOREIGN" 300 200 >"$WORK/desk.id" &
DESK_PID=$!
PIDS+=($DESK_PID)
for _ in $(seq 50); do [ -s "$WORK/desk.id" ] && break; sleep 0.1; done
shot ":$D.1" before.png
desk=$(pixel before.png 100 100)
[ "$desk" != "$(pixel before.png 500 400)" ] || fail "the desktop window did not show on the second screen"

for ending in key click step; do
  xdotool mousemove --screen 1 600 450
  sleep 0.2
  start /s
  if ! main_as_rendered; then
    fail "/s ($ending): the first display is not the one-monitor picture ($DIFF pixels differ)"
  elif [ "$ending" = key ]; then
    pass "/s: the first display shows exactly the one-monitor picture"
  fi
  shot ":$D.1" covered.png
  if [ "$(colours covered.png)" = 1 ] && [ "$(pixel covered.png 100 100)" = "$(pixel covered.png 0 0)" ] &&
     [ "$(convert covered.png -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)" = 0 ]; then
    [ "$ending" = key ] && pass "/s: the second display is covered in black"
  else
    fail "/s ($ending): the second display is not all black ($(colours covered.png) colours)"
  fi
  case $ending in
    key) xdotool key space ;;
    click) xdotool click 1 ;;
    # The first move only records where the cursor is; the next, 5 pixels on, ends it.
    step) xdotool mousemove --screen 1 602 450; sleep 0.3; xdotool mousemove --screen 1 607 450 ;;
  esac
  if wait_exit "$SAVER" 50; then
    [ "$STATUS" -eq 0 ] && pass "/s: a $ending on the second display ends it with status 0" \
      || fail "/s: a $ending on the second display: status $STATUS: $(cat "$WORK/saver.err")"
  else
    fail "/s: still running 5 s after a $ending on the second display"
    kill "$SAVER"
  fi
  shot ":$D.1" after.png
  [ "$(pixel after.png 100 100)" = "$desk" ] || fail "/s ($ending): the cover stayed after the saver ended"
done
pass "the cover goes with the saver"

# -root: only the root window of its screen, no cover.
start -root
sleep 2
shot ":$D.1" root.png
if [ "$(pixel root.png 100 100)" = "$desk" ]; then pass "-root leaves the second display alone"
else fail "-root covered the second display"; fi
kill -TERM "$SAVER"
wait_exit "$SAVER" 50 && [ "$STATUS" -eq 0 ] || fail "-root: SIGTERM did not end it with status 0"

kill "$DESK_PID"
wait "$DESK_PID" 2>/dev/null

# ---- +xinerama as Xvfb lays it out (both heads at 0, 0): one display ----
server +xinerama -screen 0 1024x768x24 -screen 1 800x600x24
xdotool mousemove 512 384
sleep 0.2
start /s
main_as_rendered && pass "+xinerama: /s shows exactly the one-monitor picture" \
  || fail "+xinerama: $DIFF pixels differ from the one-monitor picture"
xdotool key space
if wait_exit "$SAVER" 50 && [ "$STATUS" -eq 0 ]; then pass "+xinerama: a key ends /s with status 0"
else fail "+xinerama: /s did not end on a key with status 0"; fi
finish
