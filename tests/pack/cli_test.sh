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
for cmd in build inspect validate extract render bind; do
  check "$cmd --help" bash -c "'$PACK' $cmd --help | grep -q 'usage: snowglobe-pack $cmd'"
done
refuse "unknown command" "unknown command" "$PACK" frobnicate

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

# ---- bind: Windows test programs ----
for arch in i686 x86_64; do
  exe="$HERE/pe-fixture-$arch.exe"
  [ -f "$exe" ] || { echo "-- $exe not built: bind of $arch not checked"; continue; }
  check "bind $arch" "$PACK" bind "$exe" "$scene" -o "$work/bound-$arch.exe"
  check "inspect bound $arch" bash -c "'$PACK' inspect '$work/bound-$arch.exe' | grep -qF 'title:       $title'"
done
wine=/usr/lib/wine/wine64
command -v wine64 >/dev/null && wine="$(command -v wine64)"
if [ -f "$work/bound-x86_64.exe" ] && [ -x "$wine" ]; then
  export WINEPREFIX="${WINEPREFIX:-$BUILD/wine-pack}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  got="$(cd "$work" && timeout -k 5 300 "$wine" bound-x86_64.exe resource.bin 2>/dev/null | tr -d '\r')"
  want="$(stat -c %s "$scene") extra strings-kept"
  [ "$got" = "$want" ] && ok || bad "the bound program under wine64 said '$got', expected '$want'"
  cmp -s "$work/resource.bin" "$scene" && ok || bad "the bound program's resource is not the package"
else
  echo "-- wine64 or the x86_64 test program missing: the bound program is not run"
fi

# ---- bind: the Linux program ----
engine="$BUILD/platform/sdl/snowglobe"
if [ -f "$engine" ]; then
  check "bind linux" "$PACK" bind "$engine" "$scene" -o "$work/snowglobe-bound"
  [ -x "$work/snowglobe-bound" ] && ok || bad "the bound Linux program is not executable"
  check "inspect bound linux" bash -c "'$PACK' inspect '$work/snowglobe-bound' | grep -qF 'title:       $title'"
  check "render the bound program" "$PACK" render "$work/snowglobe-bound" --size 320x200 --ticks 12 -o "$work/rb.png"
  cmp -s "$work/r.png" "$work/rb.png" && ok || bad "the bound program renders differently from its package"
  # Binding twice replaces the scene; it does not pile packages up.
  check "bind linux twice" "$PACK" bind "$work/snowglobe-bound" "$scene" -o "$work/snowglobe-bound2"
  [ "$(stat -c %s "$work/snowglobe-bound")" = "$(stat -c %s "$work/snowglobe-bound2")" ] && ok || bad "binding twice grew the program"
else
  echo "-- $engine not built: Linux bind not checked"
fi

# ---- refusals leave nothing behind ----
head -c 3000 "$scene" >"$work/cut.kavren"
refuse "validate a cut package" "errors" "$PACK" validate "$work/cut.kavren"
if [ -f "$HERE/pe-fixture-x86_64.exe" ]; then
  refuse "bind a cut package" "refused" "$PACK" bind "$HERE/pe-fixture-x86_64.exe" "$work/cut.kavren" -o "$work/never.exe"
  [ ! -e "$work/never.exe" ] && ok || bad "a refused bind wrote its output"
fi
printf 'title = "x"\n[[layer]]\nframes = ["none.png"]\nspeed = 9\n' >"$work/bad.toml"
refuse "build a bad manifest" "bad.toml:4: layer[0].speed: 9 is out of range" "$PACK" build "$work/bad.toml" -o "$work/never.kavren"
[ -z "$(ls "$work" | grep never)" ] && ok || bad "a refused build left files: $(ls "$work" | grep never)"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
