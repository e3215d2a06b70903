# Shared by the desktop-*.sh tests (sourced): pass/fail counting, an X server
# of the test's own, and waiting for processes. Expects WORK to be set.
FAILURES=0
PIDS=()
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
skip() { echo "SKIP: $*"; exit 77; }
finish() {
  [ "$FAILURES" -eq 0 ] || { echo "$FAILURES check(s) failed (files in $WORK)"; exit 1; }
  echo "all checks passed"
  exit 0
}
XVFB_PID=""
# The X server goes last, so that its clients do not complain of it going.
cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

need() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"; done
}

# start_x WIDTH HEIGHT [XVFB ARGS...]: an Xvfb of our own; DISPLAY is exported.
start_x() {
  : >"$WORK/display"
  Xvfb -displayfd 3 -screen 0 "${1}x${2}x24" "${@:3}" -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || { echo "FAIL: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$WORK/display")"
}

# wait_exit PID TENTHS: true when PID ended within that time; its status in STATUS.
wait_exit() {
  local pid=$1
  for _ in $(seq "$2"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# colours FILE [GEOMETRY]: number of distinct colours (in a crop of it).
colours() {
  if [ -n "${2:-}" ]; then convert "$1" -crop "$2" +repage -format %k info:
  else convert "$1" -format %k info:; fi
}
