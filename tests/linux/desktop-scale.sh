#!/usr/bin/env bash
# A high-DPI screen on Linux: with --scale 2, SNOWGLOBE_SCALE=2, GDK_SCALE=2
# or Xft.dpi 192 the program runs the scene at half the screen's size and
# shows every pixel as 2 x 2, exactly as `render --scale 2` renders it (which
# the unit tests hold equal to the half-size scene enlarged). The screen is
# caught with the program stopped and found among the rendered ticks.
#
#   desktop-scale.sh SNOWGLOBE PACK SCENE.kavren WORKDIR
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} PACK=${2:?snowglobe-pack} SCENE=${3:?scene package} WORK=${4:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
need Xvfb import convert
export SDL_AUDIODRIVER=dummy
W=640 H=480 TICKS=240

pixels() { convert "$1" -alpha off -depth 8 -format '%#' info:; }
reference() {  # reference NAME ARGS...: every tick the screen could show
  "$PACK" render "$SCENE" --size ${W}x$H --ticks $TICKS "${@:2}" -o "$WORK/$1/" >/dev/null \
    || { echo "FAIL: render $*"; exit 1; }
  convert "$WORK/$1"/*.png -alpha off -depth 8 -format '%# %f\n' info: >"$WORK/$1.txt"
}
reference scaled --scale 2
reference plain

caught() {  # caught NAME PID TABLE
  local try sum tick
  for try in 1 2 3; do
    sleep 1
    kill -STOP "$2"
    sleep 0.2
    import -window root "$WORK/$1-$try.png"
    kill -CONT "$2"
    sum=$(pixels "$WORK/$1-$try.png")
    tick=$(grep -m1 "^$sum " "$WORK/$3.txt" | cut -d' ' -f2)
    [ -n "$tick" ] && { CAUGHT=$tick; return 0; }
  done
  return 1
}

run() {  # run NAME TABLE COMMAND...: the program's screen is one of TABLE's ticks
  local name=$1 table=$2
  shift 2
  "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  local pid=$!
  PIDS+=($pid)
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null; then
    fail "$name: the program ended: $(cat "$WORK/$name.err")"
    return
  fi
  if caught "$name" "$pid" "$table"; then
    pass "$name: the screen is exactly the $table $CAUGHT"
  else
    fail "$name: the screen matched none of the $table ticks (see $WORK/$name-*.png)"
  fi
  kill -TERM "$pid"
  wait_exit "$pid" 50 || kill -KILL "$pid"
}

# -noreset: the server keeps the resources xrdb sets after xrdb has gone.
start_x $W $H -noreset
run option scaled "$SNOWGLOBE" -root --scale 2
run option-first scaled "$SNOWGLOBE" --scale 2 -root
run snowglobe-scale scaled env SNOWGLOBE_SCALE=2 "$SNOWGLOBE" -root
run gdk-scale scaled env GDK_SCALE=2 "$SNOWGLOBE" -root
run option-over-gdk plain env GDK_SCALE=2 "$SNOWGLOBE" -root --scale 1
run unscaled plain "$SNOWGLOBE" -root
if command -v xrdb >/dev/null; then
  echo 'Xft.dpi: 192' | xrdb -nocpp -merge
  run xft-dpi scaled "$SNOWGLOBE" -root
  echo 'Xft.dpi: 120' | xrdb -nocpp -merge
  run xft-dpi-120 plain "$SNOWGLOBE" -root
else
  echo "-- xrdb is not installed: Xft.dpi not checked"
fi

for bad in 0 x 65; do
  "$SNOWGLOBE" -root --scale "$bad" >"$WORK/bad.out" 2>"$WORK/bad.err"
  status=$?
  [ "$status" = 1 ] && grep -q -- "--scale needs a whole number" "$WORK/bad.err" \
    && pass "--scale $bad is refused" || fail "--scale $bad: status $status, $(cat "$WORK/bad.err")"
done
finish
