# Helpers for the tests that use a real window in an X display with xdotool; sourced. Gives the test a
# folder of its own ($work, where *.log files are shown on failure), stops the program whose process is
# $first at the end, and fail MESSAGE.

work=$(mktemp -d)
# Errors no longer end the script here: wait reports the stopped program's status.
cleanup() {
  set +e
  [ -n "${first:-}" ] && kill "$first" 2>/dev/null && wait "$first" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log"):" >&2; cat "$log" >&2; }
  done
  exit 1
}

# Waits up to TENTHS tenths of a second (default 300) until exactly COUNT visible windows have a name matching
# PATTERN; prints the newest one's id.
wait_for_windows() {
  local pattern=$1 count=$2 tenths=${3:-300} ids
  for _ in $(seq "$tenths"); do
    ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true)
    if [ "$(printf '%s' "$ids" | grep -c .)" -eq "$count" ]; then
      printf '%s\n' "$ids" | tail -n1
      return 0
    fi
    sleep 0.1
  done
  fail "expected $count window(s) named '$pattern', found: $(printf '%s' "$ids" | tr '\n' ' ')"
}

# Gives a window the keyboard focus, as a click on it would, and types keys on the keyboard.
press() {
  local window=$1
  shift
  sleep 0.4
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.1
  xdotool key --delay 60 "$@"
}
