#!/usr/bin/env bash
# snowglobe-pack listing: the daemon's XML description and the desktop entry
# of a bound saver carry its program name and its scene's title.
#
#   desktop-listing.sh PACK ENGINE WORKDIR
#
# PACK is snowglobe-pack, ENGINE a Linux snowglobe program to bind into.
set -uo pipefail
PACK=${1:?snowglobe-pack} ENGINE=${2:?snowglobe program} WORK=${3:?work directory}
FAILURES=0
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
command -v xmllint >/dev/null || { echo "SKIP: xmllint is not installed"; exit 77; }
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1

# A scene whose title needs escaping in both formats.
scene() {  # dir, title (TOML basic string contents)
  mkdir -p "$1"
  cat >"$1/scene.toml" <<TOML
title = "$2"
background = "white"
about = ["first line & more", { text = "hidden line", shown = false }, "<third>"]
TOML
  "$PACK" build "$1/scene.toml" -o "$1.kavren" --quiet || fail "build $1"
}
scene plain 'Snow & \"ice\" <night> \\\\ back'
scene japanese '雪の夜'

xml_attr() { xmllint --xpath "string(/screensaver/@$2)" "$1"; }
entry() { sed -n "s/^$2=//p" "$1"; }

# ---- a bound Linux saver: NAME comes from the file ----
"$PACK" bind "$ENGINE" plain.kavren -o snow-night >/dev/null || fail "bind"
if "$PACK" listing snow-night -o out >listing.txt; then
  grep -qxF '  snow-night -root \n\' listing.txt && grep -qF /usr/share/xscreensaver/config/ listing.txt \
    && pass "listing prints the programs: entry and where the daemon reads the description" \
    || fail "listing printed: $(cat listing.txt)"
  if xmllint --noout out/snow-night.xml 2>err.txt; then
    [ "$(xml_attr out/snow-night.xml name)" = snow-night ] && pass "xml names the program" \
      || fail "xml name is $(xml_attr out/snow-night.xml name)"
    label=$(xml_attr out/snow-night.xml _label)
    [ "$label" = 'Snow & "ice" <night> \\ back' ] && pass "xml label is the title, escaped" \
      || fail "xml label is [$label]"
    [ "$(xmllint --xpath 'string(/screensaver/command/@arg)' out/snow-night.xml)" = -root ] \
      && pass "xml runs -root" || fail "xml command is not -root"
    desc=$(xmllint --xpath 'string(/screensaver/_description)' out/snow-night.xml)
    if grep -q 'first line & more' <<<"$desc" && grep -q '<third>' <<<"$desc" && ! grep -q hidden <<<"$desc"; then
      pass "description holds the shown about lines only"
    else
      fail "description: $desc"
    fi
  else
    fail "out/snow-night.xml is not well-formed: $(cat err.txt)"
  fi
  d=out/snow-night.desktop
  [ "$(head -n1 $d)" = "[Desktop Entry]" ] && pass "desktop entry header" || fail "no [Desktop Entry] header"
  [ "$(entry $d Name)" = 'Snow & "ice" <night> \\\\ back' ] && pass "Name is the title (backslash doubled)" \
    || fail "Name=$(entry $d Name)"
  [ "$(entry $d Exec)" = "snow-night -root" ] && pass "Exec runs the bound saver with -root" \
    || fail "Exec=$(entry $d Exec)"
  [ "$(entry $d TryExec)" = snow-night ] || fail "TryExec=$(entry $d TryExec)"
  grep -qx 'Categories=Screensaver;' $d && pass "Categories=Screensaver" || fail "no Screensaver category"
  [ "$(grep -c . $d)" = "$(grep -c '^\[Desktop Entry\]$\|^[A-Za-z]*=' $d)" ] || fail "a stray line in $d"
else
  fail "listing of a bound saver"
fi

# ---- Shift-JIS titles come out as UTF-8 ----
"$PACK" listing japanese.kavren --name yuki -o out >/dev/null || fail "listing --name yuki"
[ "$(xml_attr out/yuki.xml _label)" = 雪の夜 ] && [ "$(entry out/yuki.desktop Name)" = 雪の夜 ] \
  && pass "a Japanese title is listed in UTF-8" || fail "Japanese title: $(entry out/yuki.desktop Name)"

# ---- refusals: nothing written, exit 2 for usage, 1 for a bad file ----
"$PACK" listing plain.kavren -o refused >/dev/null 2>&1
[ $? -eq 2 ] && [ ! -e refused ] && pass "a package without --name is refused" || fail "package without --name"
for bad in "../up" "-root" ".hidden" "two words" "a/b" ""; do
  "$PACK" listing snow-night --name "$bad" -o refused >/dev/null 2>&1
  s=$?
  [ $s -eq 2 ] && [ ! -e refused ] || fail "--name [$bad] gave status $s"
done
pass "names that are not plain file names are refused"
head -c 200 plain.kavren >broken.kavren
"$PACK" listing broken.kavren --name broken -o refused >/dev/null 2>err.txt
s=$?
[ $s -eq 1 ] && [ ! -e refused ] && [ -s err.txt ] && pass "a cut package is refused with a message" \
  || fail "cut package gave status $s"

[ "$FAILURES" -eq 0 ] || { echo "$FAILURES check(s) failed"; exit 1; }
echo "all checks passed"
