#!/usr/bin/env bash
# Uses the real ombrix-merger.exe under Wine in a virtual X display, as a user would: the window appears
# with its caption; a second start ends at once and leaves the settings
# alone; Merge (from the keyboard) opens Wine's real save dialog, which is answered with a new name; the
# result message opens its details and closes them with Esc, and the merged file is the native result byte
# for byte; closing the window (Alt+F4) stores both paths in the registry.
# Usage: win32_window_e2e.sh OMBRIX_MERGER_EXE NATIVE_OMBRIX_MERGE SAMPLE_FOLDER
# Needs DISPLAY, an X display (Xvfb) with no window manager, WINEPREFIX, a prefix that Wine has set up while
# that display was set (Wine keeps the display of its first program in a prefix), and xdotool.
set -euo pipefail

program=$1
native=$2
sample=$3
caption="Ombrix Ini Files Merger 1.1b"
settings='HKCU\Software\VB and VBA Program Settings\OmbrixMerger\Settings'
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all

windows_path() { echo "Z:${1//\//\\}"; }

source "$(dirname "$0")/x_windows.sh"

type_text() {
  sleep 0.3
  xdotool type --delay 30 "$1"
}
stored() {
  "$wine" reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}

mkdir -p "$work/lists"
cp "$sample/new_keys.ini" "$work/lists/new keys.ini"
cp "$sample/file_to_update.ini" "$work/lists/Mine.ini"
new_keys=$(windows_path "$work/lists/new keys.ini")
mine=$(windows_path "$work/lists/Mine.ini")
"$wine" reg add "$settings" /v Source /t REG_SZ /d "$new_keys" /f > /dev/null 2>&1
"$wine" reg add "$settings" /v File /t REG_SZ /d "$mine" /f > /dev/null 2>&1

display=${DISPLAY:?an X display is needed}
"$wine" "$program" > "$work/first.log" 2>&1 &
first=$!
window=$(wait_for_windows "^$caption\$" 1) || exit 1

timeout 60 "$wine" "$program" > "$work/second.log" 2>&1 || fail "the second start did not end by itself with status 0"
kill -0 "$first" 2>/dev/null || fail "the first instance ended when the second started"
wait_for_windows "^$caption\$" 1 > /dev/null
[ "$(stored Source)" = "$new_keys" ] && [ "$(stored File)" = "$mine" ] || fail "the second start touched the settings"

# Merge: the focus starts in the first box; Tab goes to its button, the second box, its button, Merge.
press "$window" Tab Tab Tab Tab space
dialog=$(wait_for_windows "^Save merged ini as\$" 1)
merged="$work/lists/merged.ini"
press "$dialog" End shift+Home
type_text "$(windows_path "$merged")"
press "$dialog" Return
# Windows asks before creating a new file (OFN_CREATEPROMPT); Wine's dialog does not. Either is fine.
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | grep -c .)" -eq 2 ] && break
  prompt=$(xdotool search --onlyvisible --name "^Save merged ini as\$" 2>/dev/null | tail -n1 || true)
  [ -n "$prompt" ] && [ "$prompt" != "$dialog" ] && press "$prompt" Return
  sleep 0.1
done
message=$(wait_for_windows "^$caption\$" 2)
"$native" --quiet -o "$work/native.ini" "$work/lists/new keys.ini" "$work/lists/Mine.ini" > /dev/null
# The result message: its Details open the changes in a window of their own, which Esc closes.
press "$message" alt+d
details=$(wait_for_windows "^Details\$" 1) || fail "Details opened no window"
[ -n "${OMBRIX_E2E_SHOTS:-}" ] && xwd -id "$details" -silent > "$OMBRIX_E2E_SHOTS/details.xwd"
press "$details" Escape
for _ in $(seq 50); do [ -z "$(xdotool search --onlyvisible --name '^Details$' 2>/dev/null)" ] && break; sleep 0.1; done
[ -z "$(xdotool search --onlyvisible --name '^Details$' 2>/dev/null)" ] || fail "Esc did not close the details"
[ -n "${OMBRIX_E2E_SHOTS:-}" ] && xwd -id "$message" -silent > "$OMBRIX_E2E_SHOTS/result.xwd"
press "$message" Return
wait_for_windows "^$caption\$" 1 > /dev/null
cmp -s "$merged" "$work/native.ini" || fail "the merged list differs from the native ombrix-merge result"
cmp -s "$work/lists/Mine.ini" "$sample/file_to_update.ini" || fail "the file to be updated was changed"

"$wine" reg delete "$settings" /f > /dev/null 2>&1
press "$window" alt+F4
for _ in $(seq 200); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
kill -0 "$first" 2>/dev/null && fail "the window did not close"
wait "$first" || fail "ombrix-merger.exe ended with status $?"
first=""
[ "$(stored Source)" = "$new_keys" ] || fail "Source holds '$(stored Source)', not the stored '$new_keys'"
[ "$(stored File)" = "$mine" ] || fail "File holds '$(stored File)', not '$mine'"
echo "PASS"
