#!/usr/bin/env bash
# Uses the real ombrix-merger in a virtual X display, as a user would: the window appears with its caption
# and size; a second start ends at once, whatever USER says, and leaves the first running; a merge through
# the window (Merge, accept the proposed name, confirm the replacement, close the count message) writes the
# expected bytes and a backup and leaves the window open; closing the window stores both paths and ends the
# program.
# Usage: window_smoke_test.sh OMBRIX_MERGER X11_CLOSE_WINDOW SAMPLE_FOLDER, in an X display of its own with
# no window manager (xvfb-run).
set -euo pipefail

program=$1
close_window=$2
sample=$3
caption="Ombrix Ini Files Merger 1.1b"

source "$(dirname "$0")/x_windows.sh"

export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/OmbrixMerger" "$XDG_RUNTIME_DIR" "$work/lists"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$sample/new_keys.ini" "$work/lists/new keys.ini"
cp "$sample/file_to_update.ini" "$work/lists/Mine.ini"
settings=$XDG_CONFIG_HOME/OmbrixMerger/OmbrixMerger.conf
printf '[Settings]\nSource=%s\nFile=%s\n' "$work/lists/new keys.ini" "$work/lists/Mine.ini" > "$settings"

"$program" > "$work/first.log" 2>&1 &
first=$!
window=$(wait_for_windows "^${caption}\$" 1) || exit 1
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "375x278" ] || fail "the window is $size, not 375x278"

before=$(cat "$settings")
# Another name in USER is still the same user.
USER=someone-else timeout 10 "$program" > "$work/second.log" 2>&1 || fail "the second instance did not end by itself with status 0"
kill -0 "$first" 2>/dev/null || fail "the first instance ended when the second started"
[ "$(cat "$settings")" = "$before" ] || fail "the second instance touched the settings"
wait_for_windows "^${caption}\$" 1 > /dev/null

# The settings were read at start; closing must write them anew.
rm "$settings"

xdotool mousemove --window "$window" 300 135 click 1
dialog=$(wait_for_windows "^Save merged ini as\$" 1)
press "$dialog" Return
confirm=$(wait_for_windows "^Save merged ini as\$" 2)
press "$confirm" alt+y
message=$(wait_for_windows "^${caption}\$" 2)
press "$message" Return
wait_for_windows "^${caption}\$" 1 > /dev/null || exit 1
kill -0 "$first" 2>/dev/null || fail "the program ended when the count message closed"
cmp -s "$work/lists/Mine.ini" "$sample/expected-keep-playable.ini" || fail "the merged list differs from the expected one"
cmp -s "$work/lists/Mine.bak" "$sample/file_to_update.ini" || fail "the backup is not the original list"

"$close_window" "$window"
for _ in $(seq 100); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
kill -0 "$first" 2>/dev/null && fail "the window did not close"
wait "$first" || fail "ombrix-merger ended with status $?"
first=""

grep -qxF "Source=$work/lists/new keys.ini" "$settings" || fail "Source was not stored at close"
grep -qxF "File=$work/lists/Mine.ini" "$settings" || fail "File was not stored at close"
echo "PASS"
