#!/usr/bin/env bash
# The screen-saver daemon's way of running the program, on an Xvfb display of
# our own: -root into $XSCREENSAVER_WINDOW, -window-id N, -window; input does
# not end it, SIGTERM does (status 0, and under AddressSanitizer no report);
# one copy per window; a resized window is drawn again at its new size.
#
#   desktop-hack.sh SNOWGLOBE PACK FOREIGN_WINDOW WORKDIR
#
# SNOWGLOBE is the program with the default scene, PACK snowglobe-pack,
# FOREIGN_WINDOW the small X program that plays the daemon's window.
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} PACK=${2:?snowglobe-pack} FOREIGN=${3:?foreign_window} WORK=${4:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
. "$(dirname "$0")/../support/static-scene.sh"
need Xvfb xdotool import convert compare
export SDL_AUDIODRIVER=dummy
# Leaks and errors make the sanitized program exit non-zero with a report.
# The one suppression: SDL 2 opens a D-Bus connection in SDL_Init and, before
# 2.30, never lets libdbus free its 1 KiB of global state on SDL_Quit.
echo 'leak:libdbus-1.so' >"$WORK/lsan.supp"
export ASAN_OPTIONS=detect_leaks=1:exitcode=23 LSAN_OPTIONS="exitcode=23:suppressions=$WORK/lsan.supp"
if nm -an "$SNOWGLOBE" 2>/dev/null | grep __asan_init >/dev/null; then  # all of nm read: pipefail
  echo "note: $SNOWGLOBE is built with AddressSanitizer"
else
  echo "note: $SNOWGLOBE is not a sanitized build (configure with -DSNOWGLOBE_SANITIZE=ON for the leak check)"
fi

# A static scene: the picture after the first ticks never changes, so the
# tick count at the screenshot does not matter.
cd "$WORK" || exit 1
static_scene scene.toml "desktop static" ring || { echo "FAIL: pictures of the static scene"; exit 1; }
"$PACK" build scene.toml -o scene.kavren --quiet || { echo "FAIL: build of the static scene"; exit 1; }
"$PACK" bind "$SNOWGLOBE" scene.kavren -o static-saver >/dev/null || { echo "FAIL: bind"; exit 1; }
for size in 800x600 640x480 500x400; do
  "$PACK" render scene.kavren --size $size --ticks 5 -o "render-$size.png" >/dev/null || fail "render $size"
done

start_x 1280 1024

# new_window W H X Y: a window of the daemon at (X, Y); its id in WIN.
# Windows of one test must not overlap: an X window covered by another
# shows (and gets drawn) only where it is uncovered.
new_window() {
  local out="$WORK/win-$RANDOM.id"
  "$FOREIGN" "$1" "$2" >"$out" &
  PIDS+=($!)
  WIN_PID=$!
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  WIN=$(head -n1 "$out")
  xdotool windowmove --sync "$WIN" "$3" "$4"
}

# start NAME ARGS...: the program in the background; its pid in SAVER.
start() {
  local name=$1
  shift
  "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  SAVER=$!
  PIDS+=($SAVER)
}

# same_as WINDOW REFERENCE: waits up to 10 s for the window to show exactly
# the reference picture; differing pixels in DIFF.
same_as() {
  for _ in $(seq 40); do
    import -window "$1" "$WORK/shot.png" 2>/dev/null
    DIFF=$(compare -metric AE "$2" "$WORK/shot.png" null: 2>&1)
    [ "$DIFF" = 0 ] && return 0
    sleep 0.25
  done
  return 1
}

# drawn WINDOW: the window shows more than the foreign window's own colour.
drawn() {
  for _ in $(seq 40); do
    import -window "$1" "$WORK/drawn.png" 2>/dev/null
    [ "$(colours "$WORK/drawn.png")" -gt 20 ] && return 0
    sleep 0.25
  done
  return 1
}

# terminated NAME PID: SIGTERM ends it within 5 s with status 0 and no report.
terminated() {
  kill -TERM "$2"
  if ! wait_exit "$2" 50; then
    fail "$1: still running 5 s after SIGTERM"
    kill -KILL "$2"
    return
  fi
  if [ "$STATUS" -eq 0 ] && ! grep -q 'Sanitizer' "$WORK/$1.err"; then
    pass "$1: SIGTERM ends it with status 0"
  else
    fail "$1: SIGTERM gave status $STATUS: $(head -c 2000 "$WORK/$1.err")"
  fi
}

# ---- -root draws into $XSCREENSAVER_WINDOW; input does not end it ----
new_window 640 480 0 0
DAEMON_WIN=$WIN
import -window root "$WORK/root-before.png"
XSCREENSAVER_WINDOW=$(printf '0x%x' "$DAEMON_WIN") start root "$SNOWGLOBE" -root
ROOT_SAVER=$SAVER
if drawn "$DAEMON_WIN"; then
  pass "-root draws the scene into XSCREENSAVER_WINDOW (0x-hex id)"
  import -window root "$WORK/root-after.png"
  # Everything but the daemon's window stays as it was.
  outside=$(convert "$WORK/root-after.png" -fill black -draw "rectangle 0,0 639,479" "$WORK/root-after-masked.png" \
    && convert "$WORK/root-before.png" -fill black -draw "rectangle 0,0 639,479" "$WORK/root-before-masked.png" \
    && compare -metric AE "$WORK/root-before-masked.png" "$WORK/root-after-masked.png" null: 2>&1)
  [ "$outside" = 0 ] && pass "-root draws nothing outside that window" || fail "-root changed $outside pixels outside its window"
else
  fail "-root did not draw into its window: $(cat "$WORK/root.err")"
fi
xdotool mousemove 300 300 sleep 0.2 mousemove 500 400 click 1 key space key Escape
sleep 1
kill -0 "$ROOT_SAVER" 2>/dev/null && pass "keys, clicks and mouse moves do not end -root" \
  || fail "-root ended on input"

# A second copy into the same window is kept out, as a second "/s" is.
XSCREENSAVER_WINDOW=$DAEMON_WIN timeout 20 "$SNOWGLOBE" -root >/dev/null 2>"$WORK/second.err"
status=$?
[ "$status" -eq 1 ] && pass "a second copy into the same window ends with status 1" \
  || fail "a second copy into the same window: status $status"

# ---- one copy per monitor: two more windows, two more copies ----
new_window 320 240 700 0
W2=$WIN
new_window 320 240 700 300
W3=$WIN
XSCREENSAVER_WINDOW=$W2 start second-monitor "$SNOWGLOBE" -root
S2=$SAVER
start third-monitor "$SNOWGLOBE" -window-id "$W3"
S3=$SAVER
if drawn "$W2" && drawn "$W3" && kill -0 "$S2" 2>/dev/null && kill -0 "$S3" 2>/dev/null; then
  pass "three copies of the scene draw into three windows at once"
else
  fail "copies in other windows: $(cat "$WORK/second-monitor.err" "$WORK/third-monitor.err")"
fi
terminated second-monitor "$S2"
terminated third-monitor "$S3"
terminated root "$ROOT_SAVER"

# The daemon's window going away ends the run too.
new_window 320 240 700 600
start gone "$SNOWGLOBE" -window-id "$WIN"
drawn "$WIN" >/dev/null
kill "$WIN_PID"
if wait_exit "$SAVER" 50; then
  [ "$STATUS" -eq 0 ] && pass "the target window going away ends it with status 0" \
    || fail "window gone: status $STATUS: $(head -c 2000 "$WORK/gone.err")"
else
  fail "still running after its window went away"
fi

# ---- -window-id N at 800 x 600 shows what render shows; resized, again ----
new_window 800 600 0 0
start window-id ./static-saver -window-id "$WIN"
WID_SAVER=$SAVER
same_as "$WIN" render-800x600.png && pass "-window-id into 800x600 equals render --size 800x600" \
  || fail "-window-id: $DIFF pixels differ from render --size 800x600 (see $WORK)"
xdotool windowsize "$WIN" 640 480
same_as "$WIN" render-640x480.png && pass "resized to 640x480, it is drawn again as render --size 640x480" \
  || fail "after a resize to 640x480: $DIFF pixels differ"
terminated window-id "$WID_SAVER"

# ---- -window: a window of its own at the saver's picture ----
start window ./static-saver -window
WIN_SAVER=$SAVER
OWN=""
for _ in $(seq 40); do
  OWN=$(xdotool search --name '^desktop static$' 2>/dev/null | head -n1)
  [ -n "$OWN" ] && break
  sleep 0.25
done
if [ -z "$OWN" ]; then
  fail "-window opened no window titled with the scene: $(cat "$WORK/window.err")"
else
  same_as "$OWN" render-800x600.png && pass "-window shows the full-screen picture at 800x600" \
    || fail "-window: $DIFF pixels differ from render --size 800x600"
  xdotool windowsize "$OWN" 500 400
  same_as "$OWN" render-500x400.png && pass "-window resized to 500x400 shows that size's picture" \
    || fail "-window after a resize: $DIFF pixels differ from render --size 500x400"
  xdotool mousemove --window "$OWN" 50 50 click 1 key a
  sleep 0.5
  kill -0 "$WIN_SAVER" 2>/dev/null && pass "input does not end -window" || fail "-window ended on input"
fi
terminated window "$WIN_SAVER"

# ---- bad targets: a message and status 1 ----
check_refused() {  # what, expected words, command...
  local what=$1 words=$2
  shift 2
  out=$(timeout 20 "$@" 2>&1 >/dev/null)
  s=$?
  if [ $s -eq 1 ] && grep -qi "$words" <<<"$out"; then pass "$what is refused"
  else fail "$what: status $s, said: $out"; fi
}
check_refused "XSCREENSAVER_WINDOW=junk" "not a window id" env XSCREENSAVER_WINDOW=junk "$SNOWGLOBE" -root
check_refused "a window that does not exist" "no window" "$SNOWGLOBE" -window-id 0x1fffffe
check_refused "-window-id without an id" "needs a window id" "$SNOWGLOBE" -window-id
check_refused "-window-id 0" "needs a window id" "$SNOWGLOBE" -window-id 0
check_refused "words after -root" "unexpected" "$SNOWGLOBE" -root extra
check_refused "-root without a display" "display" env -u DISPLAY -u WAYLAND_DISPLAY "$SNOWGLOBE" -root
finish
