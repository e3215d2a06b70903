#!/usr/bin/env bash
# snowglobe-pack installer under wine: the MSI of the i686 saver installs the
# identical .scr into the system folder of 32-bit wine and into the 32-bit
# system folder (syswow64) of wine64, the x86_64 one into wine64's system32;
# each registers an uninstall entry with the scene's title, --set-active
# makes it the user's screen saver, and msiexec /x removes all of it.
#
#   installer_test.sh PACK BUILD_DIR FIXTURE_DIR
# The savers are bound from $SG_WIN32_DIR/snowglobe.scr and
# $SG_WIN64_DIR/snowglobe.scr, or from the bind test programs where those
# are not built. Exits 77 (skipped) without wixl, wine or the test programs.
set -uo pipefail
PACK="$1" BUILD="$2" HERE="$3"
command -v wixl >/dev/null && command -v msibuild >/dev/null || { echo "wixl/msitools not installed"; exit 77; }
[ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine ] || { echo "wine64 and 32-bit wine are needed"; exit 77; }
[ -f "$HERE/pe-fixture-i686.exe" ] && [ -f "$HERE/pe-fixture-x86_64.exe" ] || { echo "test programs not built"; exit 77; }
[ -f "$BUILD/scenes/default.kavren" ] || { echo "no default scene"; exit 77; }
work="$(mktemp -d)"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=
trap 'for p in "$work"/prefix-*; do WINEPREFIX="$p" /usr/lib/wine/wineserver -k 2>/dev/null; done; rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }

title="Coucher de soleil à Nice"
name="$title.scr"
# A French scene: the default one under another title, in Windows-1252.
"$PACK" extract "$BUILD/scenes/default.kavren" "$work/scene" >/dev/null || exit 1
sed -i "s/^title = .*/title = \"$title\"/; 1i codepage = 1252" "$work/scene/scene.toml"
sed -i '/^about = \[/,/^\]/c about = ["Un soir sur la baie"]' "$work/scene/scene.toml"
"$PACK" build "$work/scene/scene.toml" -o "$work/scene/nice.kavren" --quiet || exit 1
for arch in i686 x86_64; do
  mkdir -p "$work/$arch"
  built="${SG_WIN32_DIR:-}/snowglobe.scr"
  [ "$arch" = x86_64 ] && built="${SG_WIN64_DIR:-}/snowglobe.scr"
  if [ -f "$built" ]; then cp "$built" "$work/$arch/engine.exe"; else cp "$HERE/pe-fixture-$arch.exe" "$work/$arch/engine.exe"; fi
  echo "-- $arch saver bound from $([ -f "$built" ] && echo "$built" || echo "the test program")"
  cp "$work/scene/nice.kavren" "$work/$arch/"
  "$PACK" bind "$work/$arch/engine.exe" "$work/$arch/nice.kavren" >/dev/null || bad "bind $arch"
  [ -f "$work/$arch/$name" ] && ok || { bad "bind $arch without -o did not write $name"; exit 1; }
done
"$PACK" installer "$work/i686/$name" -o "$work/x86.msi" >"$work/out" 2>&1 || bad "installer i686: $(cat "$work/out")"
"$PACK" installer "$work/x86_64/$name" --set-active >"$work/out" 2>&1 || bad "installer x86_64: $(cat "$work/out")"
[ -f "$work/x86_64/$title.msi" ] && ok || bad "installer without -o did not write $title.msi"
mv "$work/x86_64/$title.msi" "$work/x64.msi"
# Refusals, each with its reason and nothing written.
refuse() {  # refuse WHAT EXPECTED-TEXT ARGS...
  local what=$1 text=$2; shift 2
  if "$PACK" installer "$@" -o "$work/never.msi" >"$work/out" 2>&1; then bad "$what: succeeded"; return; fi
  grep -qF -- "$text" "$work/out" && [ ! -e "$work/never.msi" ] && ok || bad "$what: $(cat "$work/out")"
}
refuse "a package as saver" "not a Windows saver" "$work/scene/nice.kavren"
refuse "an unusable scene" "would be refused" "$HERE/pe-fixture-x86_64.exe"
cp "$work/i686/$name" "$work/arm.scr"
pe=$(od -An -t u4 -j 60 -N 4 "$work/arm.scr" | tr -d ' ')
printf '\x64\xaa' | dd of="$work/arm.scr" bs=1 seek=$((pe + 4)) conv=notrunc status=none
refuse "another machine" "neither i686 nor x86_64" "$work/arm.scr"
refuse "no saver" "give the saver" --set-active
refuse "an unknown option" "unknown option --quiet" "$work/i686/$name" --quiet
PATH=/nonexistent "$PACK" installer "$work/i686/$name" -o "$work/never.msi" >"$work/out" 2>&1
grep -qF "apt-get install wixl" "$work/out" && [ ! -e "$work/never.msi" ] && ok || bad "without wixl: $(cat "$work/out")"

# The uninstall entries of a prefix, as UTF-8 text.
entries() {
  for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
             'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
    rm -f "$work/reg.txt"
    "$wine" reg export "$key" "$work/reg.txt" /y >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$work/reg.txt"
  done
}
# check_install LABEL WINE WINEARCH MSI ARCH FOLDER [active]
check_install() {
  local label=$1 arch=$5 folder=$6 active=${7:-}
  wine=$2
  export WINEPREFIX="$work/prefix-$label" WINEARCH=$3
  "$wine" wineboot -i >/dev/null 2>&1
  local target="$WINEPREFIX/drive_c/windows/$folder/$name"
  "$wine" msiexec /i "$(winepath_of "$4")" /qn >/dev/null 2>&1 || bad "$label: msiexec /i failed"
  cmp -s "$target" "$work/$arch/$name" && ok || bad "$label: $folder/$name is not the saver"
  entries >"$work/entries.txt"
  grep -qF "\"DisplayName\"=\"$title\"" "$work/entries.txt" && ok ||
    { bad "$label: no uninstall entry named \"$title\""; grep -a DisplayName "$work/entries.txt"; }
  if [ -n "$active" ]; then
    "$wine" reg export 'HKCU\Control Panel\Desktop' "$work/desk.txt" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/desk.txt" >"$work/desk-utf8.txt"
    grep -qiF "\"SCRNSAVE.EXE\"=\"C:\\\\windows\\\\$folder\\\\$title.scr\"" "$work/desk-utf8.txt" \
      && ok || bad "$label: the saver is not the user's screen saver"
  fi
  "$wine" msiexec /x "$(winepath_of "$4")" /qn >/dev/null 2>&1 || bad "$label: msiexec /x failed"
  [ ! -e "$target" ] && ok || bad "$label: $folder/$name is still there after msiexec /x"
  entries >"$work/entries.txt"
  grep -qF "$title" "$work/entries.txt" && bad "$label: the uninstall entry is still there" || ok
  if [ -n "$active" ]; then
    "$wine" reg export 'HKCU\Control Panel\Desktop' "$work/desk.txt" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/desk.txt" >"$work/desk-utf8.txt"
    grep -qi "SCRNSAVE.EXE" "$work/desk-utf8.txt" && bad "$label: SCRNSAVE.EXE stays" || ok
  fi
  "$wine" wineboot -s >/dev/null 2>&1
}
winepath_of() { echo "Z:${1//\//\\}"; }

check_install wine32 /usr/lib/wine/wine win32 "$work/x86.msi" i686 system32
check_install wine64 /usr/lib/wine/wine64 win64 "$work/x64.msi" x86_64 system32 active
check_install wow64 /usr/lib/wine/wine64 win64 "$work/x86.msi" i686 syswow64

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
