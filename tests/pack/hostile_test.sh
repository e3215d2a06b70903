#!/usr/bin/env bash
# snowglobe-pack among files planted by others: extract and render never
# write through a symlink planted where their temporary files go; extract
# leaves nothing behind when a signal ends it, and fills an empty folder the
# user gave (its mode kept, through the user's symlink); files that never
# end (a FIFO, /dev/zero) are refused at once wherever they are named; the
# man page lists every option --help gives.
#
#   hostile_test.sh PACK BUILD_DIR SOURCE_DIR
set -uo pipefail
PACK="$1" BUILD="$2" SOURCE="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }
scene="$BUILD/scenes/default.kavren"
[ -f "$scene" ] || { echo "no $scene"; exit 1; }
cd "$work"

# Links planted at the names temporary files were once given from the
# process id (known here: the shell that plants them becomes the tool by
# exec): nothing outside is written, the victim keeps its bytes and mode.
echo victim >victim && chmod 600 victim
bash -c 'mkdir ".out.tmp-$$-0" && ln -s "$PWD/victim" ".out.tmp-$$-0/scene.toml" && exec "$0" extract "$1" out' \
  "$PACK" "$scene" >/dev/null 2>&1 && ok || bad "extract beside planted links"
[ "$(cat victim)" = victim ] && [ "$(stat -c %a victim)" = 600 ] && ok || bad "extract wrote through a planted link"
[ -f out/scene.toml ] && [ ! -L out/scene.toml ] && ok || bad "extract did not write out/scene.toml"

# Render's GIF likewise.
bash -c 'ln -s "$PWD/victim" "..anim.gif.tmp-$$-0.tmp-$$-1" && exec "$0" render "$1" --size 32x24 --ticks 2 -o anim.gif' \
  "$PACK" "$scene" >/dev/null 2>&1 && ok || bad "render a GIF"
[ "$(cat victim)" = victim ] && [ "$(stat -c %a victim)" = 600 ] && ok || bad "render wrote through a planted link"
[ -f anim.gif ] && [ ! -L anim.gif ] && [ "$(head -c 3 anim.gif)" = GIF ] && ok || bad "anim.gif is not a GIF file"
[ "$(stat -c %a anim.gif)" = "$(printf '%o' $((0666 & ~0$(umask))))" ] && ok || bad "anim.gif has mode $(stat -c %a anim.gif)"

# An empty folder of the user's is filled: its mode stays, and through a
# symlink the folder it names is filled.
mkdir private && chmod 700 private
"$PACK" extract "$scene" private >/dev/null 2>&1 && ok || bad "extract into an empty folder"
[ "$(stat -c %a private)" = 700 ] && [ -f private/scene.toml ] && ok || bad "the folder lost its mode or got no scene"
[ -z "$(ls -A private | grep '^\.')" ] && ok || bad "extract left $(ls -A private | grep '^\.')"
mkdir target && ln -s target linked
"$PACK" extract "$scene" linked >/dev/null 2>&1 && ok || bad "extract through a symlink"
[ -L linked ] && [ -f target/scene.toml ] && ok || bad "the symlink was replaced, or its folder left empty"
"$PACK" extract "$scene" target >"$work/err" 2>&1 && bad "extract into a full folder" \
  || { grep -q "exists and is not an empty directory" "$work/err" && ok || bad "no reason: $(cat "$work/err")"; }

# A signal while extract writes its files: stopped after its third file (a
# state, not a moment), then ended by each signal; nothing is left.
set -m  # background jobs of a script otherwise start with SIGINT ignored
for sig in INT TERM HUP; do
  mkdir "sig-$sig"
  SNOWGLOBE_PACK_PAUSE_AFTER_FILES=3 "$PACK" extract "$scene" "sig-$sig/out" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 600); do [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = T ] && break; sleep 0.05; done
  [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = T ] || bad "extract did not stop after its third file ($sig)"
  [ -n "$(ls -A "sig-$sig")" ] && ok || bad "no temporary folder while extract wrote ($sig)"
  kill -"$sig" "$pid"
  kill -CONT "$pid"
  for _ in $(seq 200); do wait "$pid" 2>/dev/null; [ -d "/proc/$pid" ] || break; sleep 0.05; done
  [ -z "$(ls -A "sig-$sig")" ] && ok || bad "SIG$sig left $(ls -A "sig-$sig")"
done
set +m

# Files that never end are refused at once, whoever names them.
mkdir m && mkfifo m/fifo.png
printf 'title = "t"\n[[layer]]\nframes = ["fifo.png"]\n' >m/scene.toml
timeout 20 "$PACK" build m/scene.toml -o m/never.kavren >"$work/err" 2>&1
[ $? = 1 ] && grep -q "fifo.png: is a FIFO, not a regular file" "$work/err" && ok || bad "a FIFO frame: $(cat "$work/err")"
timeout 20 "$PACK" validate m/fifo.png >"$work/err" 2>&1
[ $? = 1 ] && grep -q "is a FIFO" "$work/err" && ok || bad "validate of a FIFO: $(cat "$work/err")"
if [ -f "$BUILD/tests/pack/pe-fixture-x86_64.exe" ]; then
  timeout 20 "$PACK" bind "$BUILD/tests/pack/pe-fixture-x86_64.exe" "$scene" --icon /dev/zero -o m/x >"$work/err" 2>&1
  [ $? -ne 124 ] && grep -q "/dev/zero: is a device, not a regular file" "$work/err" && ok || bad "bind --icon /dev/zero: $(cat "$work/err")"
fi
printf 'title = "t"\nbackground = "picture"\npicture = "/dev/zero"\n' >m/zero.toml
timeout 20 "$PACK" build m/zero.toml -o m/never.kavren >"$work/err" 2>&1
[ $? = 1 ] && grep -q "is an absolute path" "$work/err" && ok || bad "picture = /dev/zero: $(cat "$work/err")"

# The man page's synopsis names every option of each command's --help.
man="$SOURCE/docs/man/snowglobe-pack.1"
for cmd in build inspect validate extract render preview bind listing; do
  synopsis="$(awk -v c="$cmd" '/^\.SH DESCRIPTION/ {exit} $0 ~ "^\\.B snowglobe\\\\-pack " c "$" {on=1; next} on && /^\.br/ {on=0} on' "$man")"
  for opt in $("$PACK" "$cmd" --help | sed -n '/^usage:/,/^$/p' | grep -o -- '--[a-z-]*' | sort -u); do
    grep -qF -- "$(printf '%s' "$opt" | sed 's/-/\\-/g')" <<<"$synopsis" && ok || bad "the man page's synopsis of $cmd lacks $opt"
  done
done

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
