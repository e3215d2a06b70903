#!/usr/bin/env bash
# Installing: `cmake --install` into a DESTDIR gives exactly the expected
# files; the Debian package holds the same, with the library dependencies,
# installs into and removes from a fresh root cleanly, and the program
# installed from it runs as the screen-saver daemon starts it.
#
#   desktop-install.sh BUILD_DIR WORKDIR
set -uo pipefail
BUILD=${1:?build directory} WORK=${2:?work directory}
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
. "$(dirname "$0")/desktop-common.sh"
need cpack dpkg-deb dpkg groff

EXPECTED="usr/bin/snowglobe
usr/bin/snowglobe-pack
usr/share/applications/screensavers/snowglobe.desktop
usr/share/doc/snowglobe/authoring.md
usr/share/man/man1/snowglobe-pack.1
usr/share/man/man1/snowglobe.1
usr/share/xscreensaver/config/snowglobe.xml"

files_under() { (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); }
same_list() {  # what, actual
  if [ "$2" = "$EXPECTED" ]; then pass "$1 holds every expected file and nothing else"
  else fail "$1 differs from the expected files:"; diff <(echo "$EXPECTED") <(echo "$2"); fi
}

# ---- cmake --install into a DESTDIR ----
if DESTDIR="$WORK/destdir" cmake --install "$BUILD" --prefix /usr >"$WORK/install.log" 2>&1; then
  same_list "cmake --install" "$(files_under "$WORK/destdir")"
  cmp -s "$WORK/destdir/usr/bin/snowglobe" "$BUILD/apps/linux/snowglobe" \
    && pass "the installed program is the built one, scene included" || fail "installed snowglobe differs from the build"
  [ -x "$WORK/destdir/usr/bin/snowglobe" ] && [ -x "$WORK/destdir/usr/bin/snowglobe-pack" ] \
    || fail "installed programs are not executable"
  "$WORK/destdir/usr/bin/snowglobe-pack" inspect "$WORK/destdir/usr/bin/snowglobe" >"$WORK/inspect.txt" 2>&1 \
    && pass "the installed program carries its scene" || fail "no scene in the installed program: $(cat "$WORK/inspect.txt")"
  for page in snowglobe snowglobe-pack; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$WORK/destdir/usr/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] && pass "man page $page.1 formats without warnings" || fail "$page.1: $warnings"
  done
  grep -qx 'Exec=snowglobe -root' "$WORK/destdir/usr/share/applications/screensavers/snowglobe.desktop" \
    || fail "the desktop entry does not run snowglobe -root"
  command -v xmllint >/dev/null && { xmllint --noout "$WORK/destdir/usr/share/xscreensaver/config/snowglobe.xml" \
    || fail "snowglobe.xml is not well-formed"; }
else
  fail "cmake --install: $(tail -5 "$WORK/install.log")"
fi

# ---- the Debian package ----
if (cd "$BUILD" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1); then
  DEB=$(ls "$WORK"/pkg/*.deb 2>/dev/null | head -n1)
else
  DEB=""
  fail "cpack -G DEB: $(tail -5 "$WORK/cpack.log")"
fi
if [ -n "$DEB" ]; then
  dpkg-deb -f "$DEB" Package Version Architecture Depends >"$WORK/control.txt"
  depends=$(sed -n 's/^Depends: //p' "$WORK/control.txt")
  missing=""
  for lib in 'libsdl2-2\.0-0' 'libx11-6' 'libpng16-16' 'libgif7' 'libc6' 'libstdc\+\+6'; do
    grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || missing="$missing $lib"
  done
  [ -z "$missing" ] && pass "Depends names SDL2, X11, libpng, giflib and the C/C++ runtimes" \
    || fail "Depends ($depends) lacks:$missing"
  grep -qx "Package: snowglobe" "$WORK/control.txt" || fail "the package is not named snowglobe"
  [ "$(sed -n 's/^Architecture: //p' "$WORK/control.txt")" = "$(dpkg --print-architecture)" ] \
    || fail "architecture: $(cat "$WORK/control.txt")"

  # Extracted into a fresh root: every path, and the program runs from there.
  dpkg-deb -x "$DEB" "$WORK/root" || fail "dpkg-deb -x"
  same_list "the .deb" "$(files_under "$WORK/root")"
  cmp -s "$WORK/root/usr/bin/snowglobe" "$BUILD/apps/linux/snowglobe" \
    && pass "the packaged program was not stripped of its scene" || fail "packaged snowglobe differs from the build"
  bad_owner=$(dpkg-deb -c "$DEB" | awk '$2 != "root/root"' | head -n3)
  [ -z "$bad_owner" ] && pass "every packaged file is owned by root" || fail "owners: $bad_owner"

  # dpkg itself, on an empty database in a fresh root: install, then remove.
  R="$WORK/dpkgroot"
  mkdir -p "$R/var/lib/dpkg/info" "$R/var/lib/dpkg/updates" "$R/var/log"
  : >"$R/var/lib/dpkg/status"
  : >"$R/var/lib/dpkg/available"
  if dpkg --root="$R" --log="$WORK/dpkg.log" --force-depends --force-not-root -i "$DEB" >"$WORK/dpkg-i.log" 2>&1; then
    same_list "dpkg -i" "$(files_under "$R" | grep '^usr/')"
    [ "$(dpkg --root="$R" -s snowglobe 2>/dev/null | sed -n 's/^Status: //p')" = "install ok installed" ] \
      && pass "dpkg -i installs the package" || fail "dpkg -s after install: $(dpkg --root="$R" -s snowglobe 2>&1)"
    if dpkg --root="$R" --log="$WORK/dpkg.log" --force-depends --force-not-root -r snowglobe >"$WORK/dpkg-r.log" 2>&1; then
      left=$(files_under "$R" | grep '^usr/')
      [ -z "$left" ] && pass "dpkg -r removes every file" || fail "left behind after dpkg -r: $left"
    else
      fail "dpkg -r: $(cat "$WORK/dpkg-r.log")"
    fi
  else
    fail "dpkg -i: $(cat "$WORK/dpkg-i.log")"
  fi

  # The installed program, run as the daemon runs it (no XSCREENSAVER_WINDOW:
  # the root window), from the extracted path with the system's libraries.
  if command -v Xvfb >/dev/null && command -v import >/dev/null; then
    start_x 320 240
    SDL_AUDIODRIVER=dummy "$WORK/root/usr/bin/snowglobe" -root >"$WORK/run.log" 2>&1 &
    saver=$!
    PIDS+=($saver)
    sleep 2
    if kill -0 "$saver" 2>/dev/null; then
      import -window root "$WORK/root-shot.png"
      n=$(colours "$WORK/root-shot.png")
      [ "$n" -gt 20 ] && pass "the installed snowglobe -root draws the scene ($n colours)" \
        || fail "the installed snowglobe -root shows $n colours"
      kill -TERM "$saver"
      if wait_exit "$saver" 50; then
        [ "$STATUS" -eq 0 ] && pass "it ends on SIGTERM with status 0" || fail "SIGTERM: status $STATUS"
      else
        fail "still running 5 s after SIGTERM"
      fi
    else
      wait "$saver"
      fail "the installed snowglobe -root ended at once ($?): $(cat "$WORK/run.log")"
    fi
  else
    echo "note: Xvfb or import missing, the installed program was not run"
  fi
fi
# ---- the Windows zip (when both Windows builds are there) ----
SRC=$(cd "$(dirname "$0")/../.." && pwd)
W32=${SG_WIN32_DIR:-$SRC/build/win32} W64=${SG_WIN64_DIR:-$SRC/build/win64}
if [ -f "$W32/snowglobe.scr" ] && [ -f "$W64/snowglobe.scr" ] && command -v unzip >/dev/null; then
  if SG_WIN32_DIR=$W32 SG_WIN64_DIR=$W64 "$SRC/scripts/package-windows" "$WORK/win.zip" >"$WORK/zip.log" 2>&1; then
    listed=$(unzip -Z1 "$WORK/win.zip" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort | tr '\n' ' ')
    [ "$listed" = "INSTALL.txt i686/snowglobe.scr x86_64/snowglobe.scr " ] && pass "the Windows zip holds both savers and the note" \
      || fail "the Windows zip holds: $listed"
    unzip -p "$WORK/win.zip" '*/i686/snowglobe.scr' | cmp -s - "$W32/snowglobe.scr" || fail "the zip's i686 saver differs"
    note=$(unzip -p "$WORK/win.zip" '*/INSTALL.txt')
    grep -q 'Install' <<<"$note" && grep -q '32-bit and on 64-bit' <<<"$note" && grep -q '64-bit Windows only' <<<"$note" \
      && pass "the note says how to install and which saver runs where" || fail "the install note: $note"
  else
    fail "package-windows: $(cat "$WORK/zip.log")"
  fi
  # The two swapped: refused, nothing written.
  SG_WIN32_DIR=$W64 SG_WIN64_DIR=$W32 "$SRC/scripts/package-windows" "$WORK/swapped.zip" >/dev/null 2>&1
  [ $? -ne 0 ] && [ ! -e "$WORK/swapped.zip" ] && pass "savers of the wrong machine are refused" \
    || fail "package-windows took an x86_64 saver for the i686 one"
else
  echo "note: no Windows builds in $W32 and $W64; the zip was not made"
fi
finish
