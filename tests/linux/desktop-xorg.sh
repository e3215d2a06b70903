#!/usr/bin/env bash
# "/s" on a real X server with two monitors of different sizes: Xorg's dummy
# driver, a 1024x768 primary and a 800x600 monitor, laid out three ways:
#  - xinerama: one root window of 1824x768 over both heads, the primary left;
#  - randr:    one root window with two RandR outputs, the primary right of
#              the other (so the other is at negative coordinates for the engine);
#  - screens:  two X screens (:N.0 and :N.1), each with its own root.
# In each layout, for a static scene:
#  - --monitors primary: the first monitor shows exactly the one-monitor
#    picture and the second is black;
#  - --monitors each: each monitor shows the picture at its own size;
#  - --monitors span: the monitors show the picture of the bounding box
#    (1824x768), each its part of it; the part no monitor shows is not compared;
#  - a key on the second monitor ends the saver and all its windows.
# And -root over the xinerama root (what a daemon does there) plays one scene
# over it: the 1824x768 picture, as far as the heads show it.
#
#   desktop-xorg.sh SNOWGLOBE PACK WORKDIR
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} PACK=${2:?snowglobe-pack} WORK=${3:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
. "$(dirname "$0")/../support/static-scene.sh"
need Xorg xdotool xsetroot xrandr import convert compare
[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || skip "Xorg's dummy driver (xserver-xorg-video-dummy) is not installed"
export SDL_AUDIODRIVER=dummy

cd "$WORK" || exit 1
static_scene scene.toml "monitors static" || { echo "FAIL: pictures of the static scene"; exit 1; }
"$PACK" build scene.toml -o scene.kavren --quiet || { echo "FAIL: build of the static scene"; exit 1; }
"$PACK" bind "$SNOWGLOBE" scene.kavren -o saver >/dev/null || { echo "FAIL: bind"; exit 1; }
for size in 1024x768 800x600 1824x768; do
  "$PACK" render scene.kavren --size $size --ticks 5 -o "render-$size.png" >/dev/null || { echo "FAIL: render $size"; exit 1; }
done
# What each monitor shows of the span: the bounding box's picture, cut
# (primary-left: the primary on the left; primary-right: on the right).
convert render-1824x768.png -crop 1024x768+0+0 +repage span-primary-left.png
convert render-1824x768.png -crop 800x600+1024+0 +repage span-other-right.png
convert render-1824x768.png -crop 1024x768+800+0 +repage span-primary-right.png
convert render-1824x768.png -crop 800x600+0+0 +repage span-other-left.png

convert -size 1024x768 xc:'#808080' grey-1024x768.png
convert -size 800x600 xc:'#808080' grey-800x600.png

# xorg_conf FILE on|off|randr: the two heads, in one root (Xinerama), as
# two screens, or one screen of 1824x768 whose second output is switched on later.
xorg_conf() {
  local mode n modes=(1024x768 800x600)
  [ "$2" = randr ] && modes=(1024x768)
  {
    printf 'Section "ServerFlags"\n  Option "AutoAddDevices" "false"\n  Option "AutoEnableDevices" "false"\n'
    printf '  Option "DontVTSwitch" "true"\n  Option "Xinerama" "%s"\nEndSection\n' "${2/randr/off}"
    printf 'Section "Monitor"\n  Identifier "mon"\n  HorizSync 5-200\n  VertRefresh 5-200\n'
    printf '  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync\n'
    printf '  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync\nEndSection\n'
    n=0
    for mode in "${modes[@]}"; do
      printf 'Section "Device"\n  Identifier "dev%s"\n  Driver "dummy"\n  VideoRam 16384\nEndSection\n' $n
      printf 'Section "Screen"\n  Identifier "scr%s"\n  Device "dev%s"\n  Monitor "mon"\n  DefaultDepth 24\n' $n $n
      printf '  SubSection "Display"\n    Depth 24\n    Modes "%s"\n    Virtual %s\n  EndSubSection\nEndSection\n' \
        "$mode" "$([ "$2" = randr ] && echo 1824 768 || echo "${mode/x/ }")"
      n=$((n + 1))
    done
    printf 'Section "ServerLayout"\n  Identifier "two"\n  Screen 0 "scr0"\n'
    [ "$2" = randr ] || printf '  Screen 1 "scr1" RightOf "scr0"\n'
    printf 'EndSection\n'
  } >"$1"
}

# server on|off|randr: a fresh Xorg; D is its display number.
server() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; fi
  xorg_conf "$WORK/xorg-$1.conf" "$1"
  : >"$WORK/display"
  Xorg -displayfd 3 -config "$WORK/xorg-$1.conf" -noreset -nolisten tcp -logfile "$WORK/xorg-$1.log" \
    3>"$WORK/display" >"$WORK/xorg-$1.out" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 150); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || { echo "FAIL: Xorg did not start"; cat "$WORK/xorg-$1.out"; exit 1; }
  D=$(head -n1 "$WORK/display")
  export DISPLAY=":$D"
  # A grey desktop, so that black is the saver's.
  xsetroot -display ":$D.0" -solid '#808080'
  [ "$1" = off ] && xsetroot -display ":$D.1" -solid '#808080'
  if [ "$1" = randr ]; then
    xrandr --addmode DUMMY1 800x600 &&
      xrandr --output DUMMY1 --mode 800x600 --pos 0x0 --output DUMMY0 --pos 800x0 --primary ||
      { echo "FAIL: cannot switch on the dummy driver's second output"; exit 1; }
  fi
  return 0
}
start() {
  ./saver "$@" >"$WORK/saver-${LAYOUT:-}-${MODE:-}.out" 2>"$WORK/saver-${LAYOUT:-}-${MODE:-}.err" &
  SAVER=$!
  PIDS+=($SAVER)
}
# shows NAME SCREEN GEOMETRY EXPECTED: waits (up to 10 s) until that part of
# the screen's root equals EXPECTED; the differing pixel count in DIFF.
shows() {
  for _ in $(seq 40); do
    import -display ":$D.$2" -window root -crop "$3" +repage "$WORK/$1.png" 2>/dev/null
    DIFF=$(compare -metric AE "$4" "$WORK/$1.png" null: 2>&1)
    [ "$DIFF" = 0 ] && return 0
    sleep 0.25
  done
  return 1
}
black() {
  import -display ":$D.$2" -window root -crop "$3" +repage "$WORK/$1.png" 2>/dev/null
  [ "$(convert "$WORK/$1.png" -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)" = 0 ]
}
# ends: a key pressed with the pointer on the second monitor (put there
# before the saver started) ends the saver, and its windows go with it:
# the grey desktop shows again on both monitors.
ends() {
  xdotool key space
  if wait_exit "$SAVER" 50; then
    shows "$LAYOUT-$MODE-after-0" 0 "$G1" grey-1024x768.png &&
      shows "$LAYOUT-$MODE-after-1" "$S2" "$G2" grey-800x600.png ||
      fail "$LAYOUT $MODE: a window stayed on the screen after the saver ended"
    [ "$STATUS" -eq 0 ] ||
      fail "$LAYOUT $MODE: a key on the second monitor: status $STATUS: $(head -c 300 "$WORK/saver-$LAYOUT-$MODE.err")"
  else
    fail "$LAYOUT $MODE: still running 5 s after a key on the second monitor"
    kill "$SAVER"
  fi
}

# check LAYOUT PRIMARY-GEOMETRY SECOND-SCREEN SECOND-GEOMETRY MOVE-TO-SECOND SIDE
# (SIDE: where the primary is, left or right)
check() {
  LAYOUT=$1
  local g1=$2 s2=$3 g2=$4 side=$6 other=right
  G1=$g1 S2=$s2 G2=$g2
  [ "$side" = right ] && other=left
  xdotool mousemove $5
  MODE=primary
  start /s --monitors primary
  if shows "$LAYOUT-primary-0" 0 "$g1" render-1024x768.png && black "$LAYOUT-primary-1" "$s2" "$g2"; then
    pass "$LAYOUT: primary plays on the first monitor, the second is black"
  else
    fail "$LAYOUT: primary: $DIFF pixels differ on the first monitor, or the second is not black"
  fi
  ends
  MODE=each
  start /s --monitors each
  if shows "$LAYOUT-each-0" 0 "$g1" render-1024x768.png &&
     shows "$LAYOUT-each-1" "$s2" "$g2" render-800x600.png; then
    pass "$LAYOUT: each monitor plays the scene at its own size"
  else
    fail "$LAYOUT: each: $DIFF pixels differ from the one-monitor picture"
  fi
  ends
  MODE=span
  start /s --monitors span
  if shows "$LAYOUT-span-0" 0 "$g1" "span-primary-$side.png" &&
     shows "$LAYOUT-span-1" "$s2" "$g2" "span-other-$other.png"; then
    pass "$LAYOUT: span plays one scene across both monitors"
  else
    fail "$LAYOUT: span: $DIFF pixels differ from the bounding box's picture"
  fi
  ends
}

server on
check xinerama 1024x768+0+0 0 800x600+1024+0 "1300 300" left
MODE=-root
start -root --monitors span
if shows xinerama-root-0 0 1024x768+0+0 span-primary-left.png &&
   shows xinerama-root-1 0 800x600+1024+0 span-other-right.png; then
  pass "xinerama: -root plays one scene over the root window of both heads"
else
  fail "xinerama: -root: $DIFF pixels differ from the 1824x768 picture"
fi
kill -TERM "$SAVER"
wait_exit "$SAVER" 50 && [ "$STATUS" -eq 0 ] || fail "-root: SIGTERM did not end it with status 0"

server randr
check randr 1024x768+800+0 0 800x600+0+0 "300 300" right

server off
check screens 1024x768+0+0 1 800x600+0+0 "--screen 1 300 300" left
finish
