# Helpers for the tests that use a real window in an X display with xdotool; sourced, after the test has
# defined fail MESSAGE.

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
