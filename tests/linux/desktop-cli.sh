#!/usr/bin/env bash
# The Linux program's command line and its manners on a desktop:
#  - --version prints the project's version and ends with status 0;
#  - --help prints the usage; --scene FILE /c prints the about lines of the
#    scene of a package, a bound program or a .scr, without a display; a
#    stray argument gets one line naming --scene;
#  - one copy per screen: "/s" and -root (without a daemon's window) keep
#    each other out, whichever starts first and however DISPLAY names it;
#  - audio is opened only for a scene with a sound, and without a sound card
#    nothing is printed about it;
#  - a package the engine refuses ends with status 0, as on Windows.
#
#   desktop-cli.sh SNOWGLOBE VERSION SG_EMBED SOUND_SCENE.kavren WORKDIR [SAVER.scr]
set -uo pipefail
SNOWGLOBE=${1:?snowglobe} VERSION=${2:?version} SG_EMBED=${3:?sg-embed} SOUND_SCENE=${4:?scene with a sound}
WORK=${5:?work directory} SCR=${6:-}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
need Xvfb xdotool

# ---- --version ----
out=$("$SNOWGLOBE" --version 2>&1)
status=$?
[ "$status" -eq 0 ] && [ "$out" = "snowglobe $VERSION" ] && pass "--version prints \"snowglobe $VERSION\"" \
  || fail "--version: status $status, printed: $out"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$SNOWGLOBE" --version 2>&1)
[ "$out" = "snowglobe $VERSION" ] && pass "--version needs no display" || fail "--version without a display: $out"

# ---- --help, --scene, a stray argument (no display needed) ----
headless() { env -u DISPLAY -u WAYLAND_DISPLAY "$@"; }
out=$(headless "$SNOWGLOBE" --help 2>&1)
status=$?
[ "$status" -eq 0 ] && grep -q -- "--scene FILE" <<<"$out" && pass "--help prints the usage with status 0" \
  || fail "--help: status $status, printed: $(head -c 300 <<<"$out")"
own=$(headless "$SNOWGLOBE" /c 2>/dev/null)
"$SG_EMBED" "$SNOWGLOBE" "$SOUND_SCENE" "$WORK/bound" || fail "sg-embed could not bind $SOUND_SCENE"
bound=$(headless "$WORK/bound" /c 2>/dev/null)
[ -n "$bound" ] && [ "$bound" != "$own" ] || fail "the bound program's /c printed: $bound"
for file in "$SOUND_SCENE" "$WORK/bound"; do
  out=$(headless "$SNOWGLOBE" --scene "$file" /c 2>&1)
  [ "$?" -eq 0 ] && [ "$out" = "$bound" ] && pass "--scene $(basename "$file") /c prints that scene's about lines" \
    || fail "--scene $file /c printed: $out"
done
if [ -n "$SCR" ] && [ -f "$SCR" ]; then
  out=$(headless "$WORK/bound" --scene "$SCR" /c 2>&1)
  [ "$?" -eq 0 ] && [ "$out" = "$own" ] && pass "--scene $(basename "$SCR") /c prints the .scr's about lines" \
    || fail "--scene $SCR /c printed: $out"
else
  echo "skipped: --scene with a .scr (no Windows build at ${SCR:-(none given)})"
fi
out=$(headless "$SNOWGLOBE" "$SOUND_SCENE" 2>&1)
status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <<<"$out")" -eq 1 ] && grep -q -- "--scene FILE" <<<"$out" \
  && pass "a stray argument: one line naming --scene, status 1" || fail "a stray argument: status $status, printed: $out"
head -c 4000 "$SNOWGLOBE" >"$WORK/cut-program"
out=$(headless "$SNOWGLOBE" --scene "$WORK/cut-program" /c 2>&1)
[ "$?" -eq 1 ] && grep -q "without a scene" <<<"$out" && pass "--scene of a program without a scene is refused" \
  || fail "--scene of a program without a scene: $out"

start_x 640 480
export SDL_AUDIODRIVER=dummy

# start NAME ARGS...: the program in the background; its pid in SAVER.
start() {
  local name=$1
  shift
  "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  SAVER=$!
  PIDS+=($SAVER)
  sleep 1.5
}
# kept_out WHAT DISPLAY ARGS...: a second copy ends at once with status 1.
kept_out() {
  local what=$1 display=$2
  shift 2
  DISPLAY=$display timeout 8 "$SNOWGLOBE" "$@" >/dev/null 2>&1
  local s=$?
  [ "$s" -eq 1 ] && pass "$what is kept out (status 1)" || fail "$what: status $s (both draw at once)"
}
stop() {
  kill -TERM "$1"
  wait_exit "$1" 50 || { fail "$2 did not end on SIGTERM"; kill -KILL "$1"; }
}

# ---- one copy per screen ----
xdotool mousemove 300 300
start root "$SNOWGLOBE" -root
kept_out "/s while -root draws on the screen" "$DISPLAY" /s
kept_out "/s on DISPLAY=$DISPLAY.0 while -root draws on $DISPLAY" "$DISPLAY.0" /s
stop "$SAVER" -root
start saver "$SNOWGLOBE" /s
kept_out "-root while /s runs on the screen" "$DISPLAY" -root
kept_out "a second /s" "$DISPLAY" /s
xdotool key space
wait_exit "$SAVER" 50 && [ "$STATUS" -eq 0 ] || fail "/s did not end on a key with status 0"

# ---- audio only for a sound, and quietly ----
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/default.raw" start quiet-default "$SNOWGLOBE" /s
xdotool key space
wait_exit "$SAVER" 50 || kill "$SAVER"
[ ! -e "$WORK/default.raw" ] && pass "a scene without a sound opens no audio device" \
  || fail "the default scene (no sound) opened an audio device"
"$SG_EMBED" "$SNOWGLOBE" "$SOUND_SCENE" "$WORK/sounding" || fail "sg-embed could not bind $SOUND_SCENE"
# ALSA is what a machine without a sound card, or with one, goes through.
SDL_AUDIODRIVER=alsa start alsa "$WORK/sounding" /s
xdotool key space
wait_exit "$SAVER" 50 || kill "$SAVER"
if [ -s "$WORK/alsa.err" ] || [ -s "$WORK/alsa.out" ]; then
  fail "a scene with a sound printed: $(head -c 400 "$WORK/alsa.err" "$WORK/alsa.out")"
else
  pass "a scene with a sound prints nothing about the sound card"
fi

# ---- a refused package: status 0 ----
head -c 700 /dev/zero | tr '\0' 'x' >"$WORK/junk.kavren"
"$SG_EMBED" "$SNOWGLOBE" "$WORK/junk.kavren" "$WORK/junk-saver" || fail "sg-embed could not bind the junk"
"$WORK/junk-saver" /s >"$WORK/junk.out" 2>"$WORK/junk.err" &
JUNK=$!
PIDS+=($JUNK)
# A message box SDL can show waits for Return; one it cannot is printed.
wait_exit "$JUNK" 30 || { xdotool key Return; wait_exit "$JUNK" 30; } || { STATUS=timeout; kill "$JUNK"; }
[ "$STATUS" = 0 ] && pass "a refused package ends with status 0" || fail "a refused package: status $STATUS"
finish
