#!/usr/bin/env bash
# Shipped programs record nothing: the recorder of what a program did (the
# dispatched messages, input-method, sound and dialog records of
# sg_headless_scripting) is linked into tests only. Once, the dispatch record
# lived in the shipped host and grew in the Linux program as it ran.
#
#   no-recorder.sh TEST_PROGRAM SHIPPED_PROGRAM...
#
# TEST_PROGRAM links the recorder and shows that the names looked for are
# the right ones; each SHIPPED_PROGRAM must have the headless host (so that
# its symbols are there to be read) and none of the recorder.
set -uo pipefail
TESTS=${1:?test program}
shift
command -v nm >/dev/null 2>&1 || { echo "SKIP: nm is not installed"; exit 77; }
RECORDER='pf::headless::(dispatched_messages|ime_calls|sound_calls|dialogs)\(|pf::headless::.*RECORDER'
HOST='pf::headless::reset\(\)'
FAILURES=0
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }

symbols() { nm -C "$1" 2>/dev/null; }

if symbols "$TESTS" | grep -E "$RECORDER" >/dev/null; then
  echo "ok: the recorder's symbols are found in $(basename "$TESTS")"
else
  fail "no recorder symbol in $TESTS: the names looked for are wrong"
fi
for program in "$@"; do
  name=$(basename "$program")
  if ! symbols "$program" | grep -E "$HOST" >/dev/null; then
    fail "$name: no symbols of the headless host to look at (stripped?)"
  elif found=$(symbols "$program" | grep -E "$RECORDER"); then
    fail "$name links the recorder: $found"
  else
    echo "ok: $name has the headless host and no recorder"
  fi
done
[ "$FAILURES" -eq 0 ] || exit 1
echo "all checks passed"
