#!/usr/bin/env bash
# Where snowglobe-pack writes: a FIFO (written, not replaced), a symlink (its
# target written, the link kept), standard output, a device, and refusals of
# an output that is one of the inputs (nothing written, the input unchanged).
# SIGINT, SIGTERM and SIGHUP during a long render leave no temporary file.
#
#   output_test.sh PACK BUILD_DIR
set -uo pipefail
PACK="$1" BUILD="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }

scene="$BUILD/scenes/default.kavren"
[ -f "$scene" ] || { echo "no $scene"; exit 1; }
"$PACK" render "$scene" --size 64x48 --ticks 2 -o "$work/want.png" >/dev/null || bad "plain render"

# A FIFO read by a background reader: the bytes arrive and the FIFO stays one.
mkfifo "$work/fifo.png"
timeout 60 cat "$work/fifo.png" >"$work/from-fifo" & reader=$!
timeout 60 "$PACK" render "$scene" --size 64x48 --ticks 2 -o "$work/fifo.png" >/dev/null || bad "render into a FIFO"
wait "$reader"
[ -p "$work/fifo.png" ] && ok || bad "the FIFO was replaced by a file"
cmp -s "$work/from-fifo" "$work/want.png" && ok || bad "the FIFO's reader got other bytes"
mkfifo "$work/fifo2"
timeout 60 cat "$work/fifo2" >"$work/pkg-from-fifo" & reader=$!
timeout 60 "$PACK" bind "$BUILD/apps/linux/snowglobe-engine" "$scene" -o "$work/fifo2" >/dev/null || bad "bind into a FIFO"
wait "$reader"
[ "$(tail -c 16 "$work/pkg-from-fifo" | head -c 8)" = SGKAVREN ] && ok || bad "bind through a FIFO lost the trailer"

# A symlink: its target is written (atomically), the link stays a link.
mkdir "$work/real"
echo old >"$work/real/target.png"
chmod 640 "$work/real/target.png"
ln -s real/target.png "$work/link.png"
"$PACK" render "$scene" --size 64x48 --ticks 2 -o "$work/link.png" >/dev/null || bad "render into a symlink"
[ -L "$work/link.png" ] && ok || bad "the symlink was replaced"
cmp -s "$work/real/target.png" "$work/want.png" && ok || bad "the symlink's target does not hold the picture"
[ "$(stat -c %a "$work/real/target.png")" = 640 ] && ok || bad "the target's permissions changed"
[ -z "$(ls -A "$work/real" | grep -v '^target.png$')" ] && ok || bad "temporary files left beside the target: $(ls -A "$work/real")"
# A dangling symlink: the file it names is created.
ln -s real/new.png "$work/dangling.png"
"$PACK" render "$scene" --size 64x48 --ticks 2 -o "$work/dangling.png" >/dev/null || bad "render into a dangling symlink"
[ -L "$work/dangling.png" ] && cmp -s "$work/real/new.png" "$work/want.png" && ok || bad "a dangling symlink's target was not created"

# A loop of links is refused.
ln -s loop-b.png "$work/loop-a.png" && ln -s loop-a.png "$work/loop-b.png"
"$PACK" render "$scene" --size 64x48 -o "$work/loop-a.png" >"$work/err" 2>&1 \
  && bad "render into a loop of links succeeded" || grep -q "too many levels of symbolic links" "$work/err" && ok || bad "no reason: $(cat "$work/err")"

# Standard output, for a pipe; the report goes to stderr.
"$PACK" render "$scene" --size 64x48 --ticks 2 -o - 2>"$work/stderr" | cat >"$work/piped.png"
cmp -s "$work/piped.png" "$work/want.png" && ok || bad "render -o - gave other bytes"
grep -q "rendered 2 ticks to -" "$work/stderr" && ok || bad "render -o - did not report on stderr"
"$PACK" bind "$BUILD/apps/linux/snowglobe-engine" "$scene" -o - 2>/dev/null | tail -c 16 | head -c 8 >"$work/magic"
[ "$(cat "$work/magic")" = SGKAVREN ] && ok || bad "bind -o - gave no bound program"
"$PACK" render "$scene" --size 64x48 --ticks 6 --every 3 -o - >/dev/null 2>&1
[ $? = 0 ] && ok || bad "render -o - with --every"

# Standard output on a terminal: refused rather than filled with bytes.
if command -v script >/dev/null; then
  script -qec "'$PACK' render '$scene' --size 64x48 -o -" /dev/null >"$work/tty" 2>&1
  grep -q "standard output is a terminal" "$work/tty" && ok || bad "-o - on a terminal: $(head -c 300 "$work/tty")"
fi

# A device: written into, never replaced by a file.
"$PACK" render "$scene" --size 64x48 --ticks 2 -o /dev/null >/dev/null || bad "render into /dev/null"
[ -c /dev/null ] && ok || bad "/dev/null is no longer a device"

# The output is an input: refused before anything is written.
cp "$scene" "$work/scene.kavren"
before="$(md5sum <"$work/scene.kavren")"
"$PACK" bind "$BUILD/apps/linux/snowglobe-engine" "$work/scene.kavren" -o "$work/scene.kavren" >"$work/err" 2>&1 \
  && bad "bind over its package succeeded" || grep -q "is the input" "$work/err" && ok || bad "no reason: $(cat "$work/err")"
ln -s scene.kavren "$work/alias"
"$PACK" bind "$BUILD/apps/linux/snowglobe-engine" "$work/scene.kavren" -o "$work/alias" >"$work/err" 2>&1 \
  && bad "bind over its package through a symlink succeeded" || grep -q "is the input" "$work/err" && ok || bad "no reason: $(cat "$work/err")"
ln "$work/scene.kavren" "$work/hardlink.gif"
"$PACK" render "$work/scene.kavren" --size 64x48 -o "$work/hardlink.gif" >"$work/err" 2>&1 \
  && bad "render over its input succeeded" || grep -q "is the input" "$work/err" && ok || bad "no reason: $(cat "$work/err")"
[ "$(md5sum <"$work/scene.kavren")" = "$before" ] && ok || bad "the input was changed"
cp "$BUILD/apps/linux/snowglobe-engine" "$work/engine"
"$PACK" bind "$work/engine" "$scene" -o "$work/engine" >"$work/err" 2>&1 \
  && bad "bind over its engine succeeded" || grep -q "is the input" "$work/err" && ok || bad "no reason: $(cat "$work/err")"
cmp -s "$work/engine" "$BUILD/apps/linux/snowglobe-engine" && ok || bad "the engine was changed"
mkdir "$work/m"
convert -size 20x20 xc:red "$work/m/sky.png"
printf 'title = "m"\nbackground = "picture"\npicture = "sky.png"\n' >"$work/m/scene.toml"
cp "$work/m/sky.png" "$work/sky-before.png"
"$PACK" build "$work/m/scene.toml" -o "$work/m/sky.png" >"$work/err" 2>&1 \
  && bad "build over a picture it reads succeeded" || grep -q "is the input" "$work/err" && ok || bad "no reason: $(cat "$work/err")"
cmp -s "$work/m/sky.png" "$work/sky-before.png" && ok || bad "the picture was changed"

# Signals during a long render: the GIF growing beside its output goes.
set -m  # background jobs of a script otherwise start with SIGINT ignored
mkdir "$work/sig"
for sig in INT TERM HUP; do
  "$PACK" render "$scene" --size 1280x960 --ticks 1000000 -o "$work/sig/long.gif" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -n "$(ls -A "$work/sig")" ] && break; sleep 0.1; done
  [ -n "$(ls -A "$work/sig")" ] && ok || bad "SIG$sig: no temporary file appeared while rendering"
  sleep 0.5
  kill -"$sig" "$pid"
  wait "$pid"
  status=$?
  [ "$status" -gt 128 ] && ok || bad "SIG$sig: the render ended with status $status"
  [ -z "$(ls -A "$work/sig")" ] && ok || bad "SIG$sig left: $(ls -A "$work/sig")"
done

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
