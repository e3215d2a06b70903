#!/usr/bin/env bash
# scripts/install-user on a temporary HOME: a first install, the same again
# (nothing changes), an existing ~/.xscreensaver (its other lines kept, one
# entry more), and a file that is no scene (refused, nothing touched).
#
#   desktop-install-user.sh SNOWGLOBE_PACK SNOWGLOBE PACKAGE SCRATCH_DIR
set -uo pipefail

pack=$1 engine=$2 package=$3 scratch=$4
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-user"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

rm -rf "$scratch" && mkdir -p "$scratch/home"
export HOME="$scratch/home"
install_user() { "$script" --pack "$pack" --engine "$engine" "$@"; }
entries() {  # the programs: list of ~/.xscreensaver, one command a line
  awk '/^programs:/ { inside = 1; next }
       inside { line = $0; sub(/\\$/, "", line); while (sub(/\\n[ \t]*$/, "", line)) {}
                gsub(/[ \t]+/, " ", line); gsub(/^ | $/, "", line)
                if (line != "") print line; if ($0 !~ /\\$/) inside = 0 }' "$HOME/.xscreensaver"
}

cp "$package" "$scratch/Winter.kavren"
install_user "$scratch/Winter.kavren" || fail "the first install ended with status $?"
program="$HOME/.local/bin/Winter"
[ -x "$program" ] || fail "$program was not installed"
"$pack" inspect "$program" >/dev/null 2>&1 || fail "$program carries no scene"
[ -f "$HOME/.local/share/applications/screensavers/Winter.desktop" ] || fail "no desktop entry"
[ "$(entries)" = "$program -root" ] || fail "programs: list is '$(entries)'"

cp "$HOME/.xscreensaver" "$scratch/before"
install_user "$scratch/Winter.kavren" >"$scratch/again.txt" || fail "the second install ended with status $?"
cmp -s "$scratch/before" "$HOME/.xscreensaver" || fail "a second install changed ~/.xscreensaver"
grep -q "already in the programs: list" "$scratch/again.txt" || fail "the second install did not say it was there"

# A file written by the settings: the usual header, a disabled and a GL entry.
printf '%s\n' '# XScreenSaver Preferences File' 'timeout:	0:10:00' 'mode:		one' \
  'programs:								      \' \
  '				maze -root				    \n\' \
  '- GL: 				superquadrics -root			    \n\' \
  '				  xanalogtv -root			    \n\n' '' 'pointerHysteresis:	10' >"$HOME/.xscreensaver"
grep -v '^programs:\|-root' "$HOME/.xscreensaver" >"$scratch/others-before"
install_user --name winter-night "$scratch/Winter.kavren" >/dev/null || fail "the install with an existing file failed"
grep -v '^programs:\|-root' "$HOME/.xscreensaver" | cmp -s - "$scratch/others-before" || fail "the other settings changed"
want="maze -root
- GL: superquadrics -root
xanalogtv -root
$HOME/.local/bin/winter-night -root"
[ "$(entries)" = "$want" ] || fail "programs: list is now: $(entries)"

cp "$HOME/.xscreensaver" "$scratch/before"
echo "not a scene" >"$scratch/notes.txt"
install_user "$scratch/notes.txt" 2>"$scratch/refused.txt" && fail "a file that is no scene was installed"
grep -q "install-user: .*notes.txt" "$scratch/refused.txt" || fail "no message naming the file: $(cat "$scratch/refused.txt")"
cmp -s "$scratch/before" "$HOME/.xscreensaver" || fail "a refused install changed ~/.xscreensaver"
[ -e "$HOME/.local/bin/notes" ] && fail "a refused install left a program"

[ "$failures" = 0 ] || { echo "desktop-install-user: $failures check(s) failed"; exit 1; }
echo "desktop-install-user: passed"
