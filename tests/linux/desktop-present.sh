#!/usr/bin/env bash
# How the program presents on X11: through MIT-SHM when the server offers it,
# through the socket when it does not (or SNOWGLOBE_NO_SHM=1), and either way
# exactly the pixels the saver's own code renders; a scene where nothing
# moves sends nothing once it is on the screen. A moving scene at a tick
# nobody can choose is caught by stopping the program (SIGSTOP) and finding
# its screen among the rendered ticks: a rectangle sent from the wrong place,
# or one left out by merging, matches none of them.
#
#   desktop-present.sh SNOWGLOBE PACK SCENE.kavren WORKDIR
#
# SNOWGLOBE is the program with SCENE embedded (the default scene).
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} PACK=${2:?snowglobe-pack} SCENE=${3:?scene package} WORK=${4:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
. "$(dirname "$0")/../support/static-scene.sh"
need Xvfb import convert compare
export SDL_AUDIODRIVER=dummy
W=640 H=480 TICKS=240

# Every tick the screen could show, by the hash of its pixels.
"$PACK" render "$SCENE" --size ${W}x$H --ticks $TICKS -o "$WORK/ticks/" >/dev/null || { echo "FAIL: render"; exit 1; }
# ImageMagick's signature is a hash of the pixels alone, whatever the file.
pixels() { convert "$1" -alpha off -depth 8 -format '%#' info:; }
convert "$WORK"/ticks/*.png -alpha off -depth 8 -format '%# %f\n' info: >"$WORK/ticks.txt"
[ "$(wc -l <"$WORK/ticks.txt")" -eq $TICKS ] || { echo "FAIL: render made $(wc -l <"$WORK/ticks.txt") frames"; exit 1; }

# shared PID: the program has a System V shared segment mapped.
shared() { grep -q 'SYSV' "/proc/$1/maps"; }

# caught NAME PID: the screen, with the program stopped, is one of the
# rendered ticks (tried three times: a stop may land halfway through a tick).
caught() {
  local try sum tick
  for try in 1 2 3; do
    sleep 1
    kill -STOP "$2"
    sleep 0.2  # what was sent before the stop reaches the screen
    import -window root "$WORK/$1-$try.png"
    kill -CONT "$2"
    sum=$(pixels "$WORK/$1-$try.png")
    tick=$(grep -m1 "^$sum " "$WORK/ticks.txt" | cut -d' ' -f2)
    if [ -n "$tick" ]; then
      CAUGHT=$tick
      return 0
    fi
  done
  return 1
}

# run NAME EXPECT_SHARED [ENV...]: -root on the current display.
run() {
  local name=$1 expect=$2
  shift 2
  env "$@" "$SNOWGLOBE" -root >"$WORK/$name.out" 2>"$WORK/$name.err" &
  local pid=$!
  PIDS+=($pid)
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null; then
    fail "$name: the program ended: $(cat "$WORK/$name.err")"
    return
  fi
  if shared "$pid"; then
    [ "$expect" = yes ] && pass "$name: presents through a shared segment" || fail "$name: has a shared segment"
  else
    [ "$expect" = no ] && pass "$name: presents without a shared segment" || fail "$name: no shared segment mapped"
  fi
  if caught "$name" "$pid"; then
    pass "$name: the screen is exactly the rendered $CAUGHT"
  else
    fail "$name: the screen matched none of the $TICKS rendered ticks (see $WORK/$name-*.png)"
  fi
  kill -TERM "$pid"
  wait_exit "$pid" 50 || kill -KILL "$pid"
}

start_x $W $H
run shm yes
run no-shm-env no SNOWGLOBE_NO_SHM=1

# ---- nothing moves: nothing is sent ----
static_scene "$WORK/still.toml" "present still" &&
  "$PACK" build "$WORK/still.toml" -o "$WORK/still.kavren" --quiet && "$PACK" bind "$SNOWGLOBE" "$WORK/still.kavren" -o "$WORK/still" >/dev/null &&
  "$PACK" render "$WORK/still.kavren" --size ${W}x$H --ticks 5 -o "$WORK/still.png" >/dev/null || fail "the still scene"
"$WORK/still" -root >"$WORK/still.out" 2>"$WORK/still.err" &
STILL=$!
PIDS+=($STILL)
sleep 2
writes() { awk '/^syscw:/ { print $2 }' "/proc/$1/io"; }
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
w0=$(writes $STILL) c0=$(cpu $STILL)
sleep 2
w1=$(writes $STILL) c1=$(cpu $STILL)
[ "$w1" = "$w0" ] && pass "a still scene writes nothing to the X server once shown (60 ticks)" \
  || fail "a still scene made $((w1 - w0)) writes in 2 s"
# Between ticks it sleeps: a loop that polls for events would take a core.
hz=$(getconf CLK_TCK)
[ $((c1 - c0)) -lt $((hz * 2 / 10)) ] && pass "a still scene takes $((c1 - c0)) of $((hz * 2)) clock ticks of CPU in 2 s" \
  || fail "a still scene took $((c1 - c0)) of $((hz * 2)) clock ticks of CPU in 2 s (a busy wait?)"
import -window root "$WORK/still-shot.png"
d=$(compare -metric AE "$WORK/still.png" "$WORK/still-shot.png" null: 2>&1)
[ "$d" = 0 ] && pass "the still scene is on the screen exactly as rendered" || fail "still scene: $d pixels differ"
kill -TERM $STILL
wait_exit $STILL 50 || kill -KILL $STILL
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null

# A server without the extension at all.
start_x $W $H -extension MIT-SHM
run no-shm-server no
finish
