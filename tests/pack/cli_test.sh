#!/usr/bin/env bash
# snowglobe-pack end to end, as an author uses it: help, round trips of the
# default scene and the examples, inspect/validate on savers, render outputs,
# bind (the bound x86_64 test program reads its new resource under wine64),
# and refusals that leave nothing behind.
#
#   cli_test.sh PACK BUILD_DIR THIS_BUILD_DIR SOURCE_DIR
set -uo pipefail
PACK="$1" BUILD="$2" HERE="$3" SRC="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }
check() {  # check WHAT COMMAND...: the command succeeds
  local what=$1; shift
  if "$@" >"$work/out" 2>&1; then ok; else bad "$what"; sed 's/^/    /' "$work/out" | head -20; fi
}
refuse() {  # refuse WHAT EXPECTED-TEXT COMMAND...: the command fails saying so
  local what=$1 text=$2; shift 2
  if "$@" >"$work/out" 2>&1; then bad "$what: succeeded"; return; fi
  if grep -qF -- "$text" "$work/out"; then ok; else bad "$what: no \"$text\" in:"; sed 's/^/    /' "$work/out" | head -10; fi
}

# ---- help ----
for cmd in build inspect validate extract render bind listing preview installer; do
  check "$cmd --help" bash -c "'$PACK' $cmd --help | grep -q 'usage: snowglobe-pack $cmd'"
done
refuse "unknown command" "unknown command" "$PACK" frobnicate
check "--version" bash -c "'$PACK' --version | grep -qx 'snowglobe-pack [0-9]*\.[0-9]*\.[0-9]*'"
# A usage error is one line that says where the help is, not the help itself.
"$PACK" render x.kavren --size 10x10 --ticks 0 -o x.png >/dev/null 2>"$work/usage"; status=$?
[ "$status" = 2 ] && [ "$(wc -l <"$work/usage")" = 1 ] && grep -q "see snowglobe-pack render --help" "$work/usage" \
  && ok || bad "usage error ($status): $(cat "$work/usage")"

# ---- round trips: package -> extract -> build gives the same bytes ----
packages=()
[ -f "$BUILD/scenes/default.kavren" ] && packages+=("$BUILD/scenes/default.kavren")
for p in "$BUILD"/scenes/examples/*.kavren; do [ -f "$p" ] && packages+=("$p"); done
[ "${#packages[@]}" -ge 2 ] || bad "expected the default scene and at least one example in $BUILD/scenes"
for p in "${packages[@]}"; do
  name="$(basename "$p" .kavren)"
  check "extract $name" "$PACK" extract "$p" "$work/$name"
  grep -q "warning" "$work/out" && bad "extract $name warned: $(cat "$work/out")"
  check "build $name again" "$PACK" build "$work/$name/scene.toml" -o "$work/$name.again" --quiet
  cmp -s "$p" "$work/$name.again" && ok || bad "$name: build of the extracted manifest differs from the package"
  check "extract $name again" "$PACK" extract "$work/$name.again" "$work/$name-2"
  # The same manifest, but for the first line, which names the file extracted.
  diff -q <(tail -n +2 "$work/$name/scene.toml") <(tail -n +2 "$work/$name-2/scene.toml") >/dev/null \
    && ok || bad "$name: second extract differs"
  check "validate $name" "$PACK" validate "$p"
  "$PACK" inspect --json "$p" >"$work/$name.json" || bad "inspect --json $name"
  grep -q '"errors": 0,' "$work/$name.json" && [ "$(grep -c '{"layer": ' "$work/$name.json")" = 10 ] \
    && ok || bad "inspect --json $name: $(head -c 300 "$work/$name.json")"
done
refuse "extract into a non-empty directory" "not an empty directory" "$PACK" extract "${packages[0]}" "$work/$(basename "${packages[0]}" .kavren)"

# The example's own manifest builds the same package again (deterministic art and packing).
if [ -f "$BUILD/scenes/examples/aquarium/scene.toml" ]; then
  check "build the aquarium manifest" "$PACK" build "$BUILD/scenes/examples/aquarium/scene.toml" -o "$work/aq.kavren" --quiet
  cmp -s "$work/aq.kavren" "$BUILD/scenes/examples/aquarium.kavren" && ok || bad "aquarium: two builds differ"
fi
scene="${packages[-1]}"
title="$("$PACK" inspect "$scene" | sed -n 's/^title:       //p')"
[ -n "$title" ] && ok || bad "inspect shows no title"

# ---- render ----
check "render png" "$PACK" render "$scene" --size 320x200 --ticks 12 -o "$work/r.png"
check "render png again" "$PACK" render "$scene" --size 320x200 --ticks 12 -o "$work/r2.png"
cmp -s "$work/r.png" "$work/r2.png" && ok || bad "two renders of the same ticks differ"
[ "$(identify -format '%wx%h' "$work/r.png" 2>/dev/null)" = 320x200 ] && ok || bad "render png is not 320x200"
check "render gif" "$PACK" render "$scene" --size 160x120 --preview --ticks 12 --every 3 -o "$work/r.gif"
[ "$(identify "$work/r.gif" 2>/dev/null | wc -l)" -ge 2 ] && ok || bad "the GIF is not animated"
check "render frames" "$PACK" render "$scene" --size 100x80 --ticks 9 --every 3 -o "$work/frames/"
[ "$(ls "$work/frames" | tr '\n' ' ')" = "tick-000003.png tick-000006.png tick-000009.png " ] && ok || bad "frames: $(ls "$work/frames")"
refuse "render without size" "--size" "$PACK" render "$scene" --ticks 3 -o "$work/x.png"
# --scale 2: the scene at half the size, each pixel shown as 2 x 2.
check "render --scale 2" "$PACK" render "$scene" --size 320x200 --scale 2 --ticks 12 -o "$work/s2.png"
check "render the half size" "$PACK" render "$scene" --size 160x100 --ticks 12 -o "$work/s1.png"
convert "$work/s1.png" -scale 200% "$work/s1x2.png"
[ "$(compare -metric AE "$work/s2.png" "$work/s1x2.png" null: 2>&1)" = 0 ] && ok || bad "render --scale 2 is not the half-size scene enlarged"
refuse "render --scale with --preview" "never scaled" "$PACK" render "$scene" --size 320x200 --scale 2 --preview -o "$work/x.png"
refuse "render --scale 0" "--scale" "$PACK" render "$scene" --size 320x200 --scale 0 -o "$work/x.png"

# ---- bind: Windows test programs ----
for arch in i686 x86_64; do
  exe="$HERE/pe-fixture-$arch.exe"
  [ -f "$exe" ] || { echo "-- $exe not built: bind of $arch not checked"; continue; }
  check "bind $arch" "$PACK" bind "$exe" "$scene" -o "$work/bound-$arch.exe"
  check "inspect bound $arch" bash -c "'$PACK' inspect '$work/bound-$arch.exe' | grep -qF 'title:       $title'"
done
# bind --icon: the saver gets its own icon (the images are checked in the
# unit tests); Linux programs and unreadable pictures are refused.
if [ -f "$HERE/pe-fixture-x86_64.exe" ]; then
  convert -size 24x24 xc:orange "$work/icon.png"
  check "bind --icon" "$PACK" bind "$HERE/pe-fixture-x86_64.exe" "$scene" --icon "$work/icon.png" -o "$work/icon.exe"
  grep -q "and its own icon" "$work/out" && ok || bad "bind --icon: $(cat "$work/out")"
  cmp -s "$work/icon.exe" "$work/bound-x86_64.exe" && bad "bind --icon changed nothing" || ok
  check "inspect the saver with an icon" bash -c "'$PACK' inspect '$work/icon.exe' | grep -qF 'title:       $title'"
  printf 'no picture' >"$work/icon.txt"
  refuse "bind --icon with no picture" "icon.txt" "$PACK" bind "$HERE/pe-fixture-x86_64.exe" "$scene" --icon "$work/icon.txt" -o "$work/never-icon.exe"
  [ ! -e "$work/never-icon.exe" ] && ok || bad "a refused --icon wrote its output"
fi
if [ -f "$BUILD/apps/linux/snowglobe-engine" ]; then
  convert -size 24x24 xc:orange "$work/icon.png"
  refuse "bind --icon for Linux" "--icon is for Windows savers" "$PACK" bind "$BUILD/apps/linux/snowglobe-engine" "$scene" --icon "$work/icon.png" -o "$work/never-icon"
fi
wine=/usr/lib/wine/wine64
command -v wine64 >/dev/null && wine="$(command -v wine64)"
if [ -f "$work/bound-x86_64.exe" ] && [ -x "$wine" ]; then
  export WINEPREFIX="${WINEPREFIX:-$BUILD/wine-pack}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  got="$(cd "$work" && timeout -k 5 300 "$wine" bound-x86_64.exe resource.bin 2>/dev/null | tr -d '\r')"
  want="$(stat -c %s "$scene") extra strings-kept"
  [ "$got" = "$want" ] && ok || bad "the bound program under wine64 said '$got', expected '$want'"
  cmp -s "$work/resource.bin" "$scene" && ok || bad "the bound program's resource is not the package"
  if [ -f "$work/icon.exe" ]; then
    got="$(cd "$work" && timeout -k 5 300 "$wine" icon.exe resource-icon.bin icons 2>/dev/null | tr -d '\r' | tail -n 1)"
    [ "$got" = "icons 16x16 32x32" ] && ok || bad "the saver with an icon under wine64 said '$got'"
  fi
else
  echo "-- wine64 or the x86_64 test program missing: the bound program is not run"
fi

# ---- bind: the Linux program ----
engine="$BUILD/apps/linux/snowglobe"
if [ -f "$engine" ]; then
  check "bind linux" "$PACK" bind "$engine" "$scene" -o "$work/snowglobe-bound"
  [ -x "$work/snowglobe-bound" ] && ok || bad "the bound Linux program is not executable"
  check "inspect bound linux" bash -c "'$PACK' inspect '$work/snowglobe-bound' | grep -qF 'title:       $title'"
  check "render the bound program" "$PACK" render "$work/snowglobe-bound" --size 320x200 --ticks 12 -o "$work/rb.png"
  cmp -s "$work/r.png" "$work/rb.png" && ok || bad "the bound program renders differently from its package"
  # Binding twice replaces the scene; it does not pile packages up.
  check "bind linux twice" "$PACK" bind "$work/snowglobe-bound" "$scene" -o "$work/snowglobe-bound2"
  [ "$(stat -c %s "$work/snowglobe-bound")" = "$(stat -c %s "$work/snowglobe-bound2")" ] && ok || bad "binding twice grew the program"
  # Without -o the program is named after the title, beside the package.
  cp "$scene" "$work/named.kavren"
  check "bind linux without -o" "$PACK" bind "$engine" "$work/named.kavren"
  [ -x "$work/$title" ] && ok || bad "bind without -o did not write \"$title\" beside the package"
else
  echo "-- $engine not built: Linux bind not checked"
fi

# ---- refusals leave nothing behind ----
head -c 3000 "$scene" >"$work/cut.kavren"
refuse "validate a cut package" " error" "$PACK" validate "$work/cut.kavren"
refuse "inspect a cut package" "checks:" "$PACK" inspect "$work/cut.kavren"
if [ -f "$HERE/pe-fixture-x86_64.exe" ]; then
  refuse "bind a cut package" "refused" "$PACK" bind "$HERE/pe-fixture-x86_64.exe" "$work/cut.kavren" -o "$work/never.exe"
  [ ! -e "$work/never.exe" ] && ok || bad "a refused bind wrote its output"
fi
# bind checks its engine before writing anything: cut off, or not ours.
if [ -f "$BUILD/apps/linux/snowglobe-engine" ]; then
  head -c 5000 "$BUILD/apps/linux/snowglobe-engine" >"$work/cut-engine"
  refuse "bind into a cut ELF" "cut off" "$PACK" bind "$work/cut-engine" "$scene" -o "$work/never-elf"
  # Cut in the middle: the program headers are there, its segments are not.
  head -c $(( $(stat -c %s "$BUILD/apps/linux/snowglobe-engine") / 2 )) "$BUILD/apps/linux/snowglobe-engine" >"$work/half-engine"
  refuse "bind into half an ELF" "past the end of the file" "$PACK" bind "$work/half-engine" "$scene" -o "$work/never-elf"
fi
refuse "bind into a foreign ELF" "not a snowglobe program" "$PACK" bind /bin/true "$scene" -o "$work/never-elf"
if [ -f "$HERE/pe-fixture-x86_64.exe" ]; then
  head -c 20000 "$HERE/pe-fixture-x86_64.exe" >"$work/cut.exe"
  refuse "bind into a cut PE" "lies past the end of the file" "$PACK" bind "$work/cut.exe" "$scene" -o "$work/never-pe"
fi
printf 'not a program' >"$work/text.exe"
refuse "bind into a text file" "neither a Windows executable" "$PACK" bind "$work/text.exe" "$scene" -o "$work/never-pe"
printf 'title = "x"\n[[layer]]\nframes = ["none.png"]\nspeed = 9\n' >"$work/bad.toml"
refuse "build a bad manifest" "bad.toml:4: layer[0].speed: 9 is out of range" "$PACK" build "$work/bad.toml" -o "$work/never.kavren"
[ -z "$(ls "$work" | grep never)" ] && ok || bad "a refused build left files: $(ls "$work" | grep never)"

# ---- manifests everywhere, defaults, plurals ----
mkdir -p "$work/m"
convert -size 40x30 xc:'#336699' "$work/m/sky.png"
convert -size 8x8 xc:white -fill black -draw 'point 3,3' "$work/m/flake.png"
printf 'title = "manifest"\nbackground = "picture"\npicture = "sky.png"\n[[layer]]\nframes = ["flake.png"]\nspeed = 0\ninstances = 1\n' >"$work/m/scene.toml"
check "validate a manifest" "$PACK" validate "$work/m/scene.toml"
grep -qF "scene.toml: 0 errors, 0 warnings" "$work/out" && ok || bad "validate of a manifest: $(cat "$work/out")"
grep -q "at byte" "$work/out" && bad "validate of a manifest speaks of bytes: $(cat "$work/out")" || ok
grep -qF 'speed 0 still moves 1 pixel a tick; for a sprite that stays put write direction = "none"' "$work/out" \
  && ok || bad "validate does not explain speed 0: $(cat "$work/out")"
check "inspect a manifest" bash -c "'$PACK' inspect '$work/m/scene.toml' | grep -qF 'title:       manifest'"
check "inspect --json a manifest" bash -c "'$PACK' inspect --json '$work/m/scene.toml' | grep -qF '\"errors\": 0,'"
printf 'title = "manifest"\nbackground = "picture"\npicture = "gone.png"\n' >"$work/m/broken.toml"
refuse "inspect a broken manifest" "gone.png" "$PACK" inspect "$work/m/broken.toml"
refuse "validate a broken manifest" "gone.png" "$PACK" validate "$work/m/broken.toml"
grep -q "at byte" "$work/out" && bad "validate of a broken manifest speaks of bytes" || ok
check "build without -o" "$PACK" build "$work/m/scene.toml"
grep -qF "speed 0 still moves 1 pixel a tick" "$work/out" && ok || bad "build does not explain speed 0: $(cat "$work/out")"
[ -s "$work/m/scene.kavren" ] && ok || bad "build without -o did not write scene.kavren beside the manifest"
grep -qF "wrote $work/m/scene.kavren (" "$work/out" && ok || bad "build without -o: $(cat "$work/out")"
check "render without --ticks" "$PACK" render "$work/m/scene.toml" --size 64x48 -o "$work/m/one.png"
grep -qF "rendered 1 tick to $work/m/one.png (1 picture)" "$work/out" && ok || bad "render's count: $(cat "$work/out")"
check "render tick 1 explicitly" "$PACK" render "$work/m/scene.kavren" --size 64x48 --ticks 1 -o "$work/m/one-again.png"
cmp -s "$work/m/one.png" "$work/m/one-again.png" && ok || bad "render without --ticks is not tick 1"
check "render 2 pictures" "$PACK" render "$work/m/scene.kavren" --size 32x24 --ticks 4 --every 2 -o "$work/m/f/"
grep -qF "rendered 4 ticks to $work/m/f/ (2 pictures)" "$work/out" && ok || bad "plural: $(cat "$work/out")"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
