#!/usr/bin/env bash
# snowglobe-pack preview under Xvfb, as an author uses it: the scene shows in
# the preview's window; a picture changed on disk changes the window's pixels
# within a second or so; a broken manifest prints its error and the last good
# scene keeps playing; fixed again, it shows the new scene; SIGTERM ends the
# preview, the snowglobe program it ran and its temporary files.
#
#   preview_test.sh PACK SNOWGLOBE
set -uo pipefail
PACK="$1" ENGINE="$2"
skip() { echo "SKIP: $*"; exit 77; }
for tool in Xvfb xwininfo import convert; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
[ -x "$ENGINE" ] || skip "$ENGINE is not built"
work="$(mktemp -d)"
XVFB_PID="" PREVIEW_PID=""
cleanup() {
  [ -n "$PREVIEW_PID" ] && kill "$PREVIEW_PID" 2>/dev/null && wait "$PREVIEW_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAILED: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

cd "$work"
convert -size 40x30 xc:'#ff0000' sky.png
write_manifest() { printf 'title = "preview test"\nbackground = "picture"\npicture = "sky.png"\nfit = "stretched"\n' >scene.toml; }
write_manifest

"$PACK" preview --size 10 scene.toml >"$work/usage" 2>&1
[ $? = 2 ] && grep -q "see snowglobe-pack preview --help" "$work/usage" && ok || bad "a bad --size: $(cat "$work/usage")"
"$PACK" preview scene.toml --engine /bin/true >"$work/foreign" 2>&1
[ $? = 1 ] && grep -q "not a snowglobe program" "$work/foreign" && ok || bad "a foreign engine: $(cat "$work/foreign")"

"$PACK" preview scene.toml --size 160x120 --engine "$ENGINE" >"$work/log" 2>&1 &
PREVIEW_PID=$!

window=""
for _ in $(seq 100); do
  window="$(xwininfo -root -tree 2>/dev/null | awk '/snowglobe-pack preview/ {print $1; exit}')"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] && ok || { bad "no preview window"; cat "$work/log"; exit 1; }
size="$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
[ "$size" = 160x120 ] && ok || bad "the window is $size, not 160x120"

# centre COLOUR TENTHS: the window's centre pixel becomes COLOUR (#rrggbb) in time.
centre() { import -window "$window" -crop 1x1+80+60 -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
wait_colour() {
  local _
  for _ in $(seq "$2"); do [ "$(centre)" = "$1" ] && return 0; sleep 0.1; done
  return 1
}
wait_colour '#FF0000' 100 && ok || bad "the scene did not show (centre $(centre))"

# A changed picture: the window shows it. Saved the way editors do (a new
# file renamed over the old one) and in place.
convert -size 40x30 xc:'#0000ff' sky-new.png && mv sky-new.png sky.png
start=$(date +%s%N)
wait_colour '#0000FF' 50 && ok || bad "the window did not change after the picture did (centre $(centre))"
echo "picture change to new pixels: $(( ($(date +%s%N) - start) / 1000000 )) ms"
convert -size 40x30 xc:'#00ff00' png:- >sky.png
wait_colour '#00FF00' 50 && ok || bad "an in-place save did not show (centre $(centre))"

# A broken manifest: the error is printed, the last good scene keeps playing.
shown="$(grep -c '^preview: showing' "$work/log")"
printf 'background = "purple"\n' >>scene.toml
for _ in $(seq 30); do grep -q 'background' "$work/log" && break; sleep 0.1; done
grep -q 'scene.toml:5' "$work/log" && ok || bad "the manifest's error was not printed: $(tail -5 "$work/log")"
grep -q 'the last good scene keeps playing' "$work/log" && ok || bad "no word that the last scene keeps playing"
sleep 1
[ "$(centre)" = '#00FF00' ] && ok || bad "the last good scene stopped (centre $(centre))"
[ "$(grep -c '^preview: showing' "$work/log")" = "$shown" ] && ok || bad "the broken scene was shown"
kill -0 "$PREVIEW_PID" 2>/dev/null && ok || bad "the preview ended on a broken manifest"

# Fixed, with a new picture: shown again.
convert -size 40x30 xc:'#ffffff' sky.png
write_manifest
wait_colour '#FFFFFF' 50 && ok || bad "the fixed manifest did not show (centre $(centre))"

# SIGTERM: the preview ends, and takes the program and its files with it.
children="$(pgrep -P "$PREVIEW_PID")"
[ -n "$children" ] && ok || bad "no snowglobe program under the preview"
dirs=""
for c in $children; do dirs="$dirs $(dirname "$(readlink "/proc/$c/exe")")"; done
kill -TERM "$PREVIEW_PID"
for _ in $(seq 50); do kill -0 "$PREVIEW_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$PREVIEW_PID" 2>/dev/null && bad "the preview did not end on SIGTERM" || ok
wait "$PREVIEW_PID" 2>/dev/null
PREVIEW_PID=""
for c in $children; do kill -0 "$c" 2>/dev/null && bad "the snowglobe program $c outlived the preview"; done
for d in $dirs; do [ -e "$d" ] && bad "the preview left $d"; done
[ -n "$dirs" ] && ok

# A build that never ends (the test hook stops each one) is stopped at the
# time limit and the window keeps answering; SIGTERM during such a build ends
# the preview and the build.
SNOWGLOBE_PACK_STOP_PREVIEW_BUILD=1 "$PACK" preview scene.toml --size 160x120 --engine "$ENGINE" --time-limit 2 \
  >"$work/log2" 2>&1 &
PREVIEW_PID=$!
for _ in $(seq 100); do grep -q "took more than" "$work/log2" && break; sleep 0.1; done
grep -q "took more than 2 seconds; stopped it" "$work/log2" && ok || bad "a build that never ends went on: $(cat "$work/log2")"
kill -0 "$PREVIEW_PID" 2>/dev/null && ok || bad "the preview ended when its build was stopped"
touch sky.png
builder=""
for _ in $(seq 100); do
  builder="$(pgrep -P "$PREVIEW_PID" | head -n1)"
  [ -n "$builder" ] && [ "$(awk '{print $3}' "/proc/$builder/stat" 2>/dev/null)" = T ] && break
  sleep 0.1
done
[ -n "$builder" ] && ok || bad "no build started on a change"
kill -TERM "$PREVIEW_PID"
for _ in $(seq 50); do kill -0 "$PREVIEW_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$PREVIEW_PID" 2>/dev/null && bad "SIGTERM during a build was not answered" || ok
wait "$PREVIEW_PID" 2>/dev/null
PREVIEW_PID=""
[ -n "$builder" ] && [ -d "/proc/$builder" ] && bad "the build $builder outlived the preview" || ok

# A FIFO named as the picture is refused at once, and SIGTERM ends the
# preview; no temporary folder is left.
mkfifo pipe.png
printf 'title = "fifo"\nbackground = "picture"\npicture = "pipe.png"\n' >fifo.toml
before="$(ls -d /tmp/snowglobe-preview-* 2>/dev/null | sort)"
"$PACK" preview fifo.toml --size 160x120 --engine "$ENGINE" >"$work/log3" 2>&1 &
PREVIEW_PID=$!
for _ in $(seq 100); do grep -q "nothing to show yet" "$work/log3" && break; sleep 0.1; done
grep -q "pipe.png: is a FIFO, not a regular file" "$work/log3" && ok || bad "the FIFO was not refused: $(cat "$work/log3")"
kill -TERM "$PREVIEW_PID"
for _ in $(seq 50); do kill -0 "$PREVIEW_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$PREVIEW_PID" 2>/dev/null && bad "the preview of a FIFO did not end on SIGTERM" || ok
wait "$PREVIEW_PID" 2>/dev/null
PREVIEW_PID=""
[ "$(ls -d /tmp/snowglobe-preview-* 2>/dev/null | sort)" = "$before" ] && ok || bad "a temporary folder was left in /tmp"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
