#!/usr/bin/env bash
# Builds the core, ombrix-merge, the Win32 window and the tests for Windows with MinGW-w64 and runs them under
# Wine, the window's in a virtual X display; checks that both programs import system DLLs only; merges
# generated lists with the Windows and the native ombrix-merge under the replace-all, keep-playable and
# keep-existing policies and both engines and checks that the results are the same, byte for byte; then
# uses the real window as a user would, from a folder of its own. Needs the native ci build (scripts/test.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows
cmake --build --preset windows -j2

work=$(mktemp -d)
# Merges keep the bases of the lists they write in the user's data folder: these keep theirs in the work folder.
export OMBRIX_MERGER_DATA="$work/merger-data"
cleanup() {
  kill "${xvfb:-}" 2>/dev/null && wait "${xvfb:-}" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

for exe in build/windows/cli/ombrix-merge.exe build/windows/ui/win32/ombrix-merger.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  for dll in $imports; do
    case $dll in
      advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | shell32.dll | \
        user32.dll) ;;
      *) echo "$exe needs $dll beside it" >&2; exit 1 ;;
    esac
  done
  echo "$(basename "$exe") imports system DLLs only: $imports"
done

# The window's tests open windows: a virtual display for Wine, set before Wine first starts in the prefix,
# since Wine keeps the display of its first program there.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export OMBRIX_WINE_DISPLAY=:$(head -n1 "$work/display")

# One prefix and one running wineserver for all the tests: starting Wine is the slow part.
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/wine-prefix}
scripts/wine-run.sh cmd /c exit > /dev/null 2>&1 || true
# Now and then Wine fails to start a program at all (no output, no test run); such a test is run once more.
# A test that fails on its own fails both times.
ctest --preset windows -j2 --repeat until-pass:2
build/ci/bench/make_game_lists 800 "$work"
for engine in memory file; do
  for policy in replace-all keep-playable keep-existing; do
    build/ci/cli/ombrix-merge --quiet --engine=$engine --policy $policy -o "$work/native.ini" \
      "$work/new_keys.ini" "$work/file_to_update.ini" > "$work/native.out"
    scripts/wine-run.sh build/windows/cli/ombrix-merge.exe --quiet --engine=$engine --policy $policy \
      -o 'Z:'"$work/windows.ini" 'Z:'"$work/new_keys.ini" 'Z:'"$work/file_to_update.ini" > "$work/windows.out"
    cmp "$work/native.ini" "$work/windows.ini"
    [ "$(tr -d '\r' < "$work/windows.out")" = "$(cat "$work/native.out")" ]
    echo "Windows and native agree: $engine engine, $policy, $(tail -n1 "$work/native.out")"
  done
done
# Both programs carry the version resource Explorer shows, from the project's one version.
version=$(sed -n 's/^project(OmbrixMerger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for exe in cli/ombrix-merge.exe ui/win32/ombrix-merger.exe; do
  info=$(scripts/wine-run.sh build/windows/tests/version_info.exe 'Z:'"$(pwd)/build/windows/$exe" | tr -d '\r')
  for line in "ProductName=OmbrixMerger" "CompanyName=The OmbrixMerger developers" \
    "LegalCopyright=The OmbrixMerger developers" "FileVersion=$version" "ProductVersion=$version" \
    "OriginalFilename=$(basename "$exe")"; do
    grep -qxF "$line" <<< "$info" || { echo "$info"; echo "$exe lacks $line in its version resource" >&2; exit 1; }
  done
  echo "$(basename "$exe"): $(grep '^FileDescription=' <<< "$info"), version $version"
done
# Another program holds the list open, sharing reading only: a hold that ends half a second after the backup
# is written is waited out; one of ten seconds fails the merge in words that say so, the list untouched.
held="$work/held"
mkdir "$held"
for hold in 500 10000; do
  cp tests/data/sample/file_to_update.ini "$held/Mine.ini"
  rm -f "$held/Mine.bak" "$held/ready"
  scripts/wine-run.sh build/windows/tests/hold_file.exe 'Z:'"$held/Mine.ini" 'Z:'"$held/ready" \
    'Z:'"$held/Mine.bak" $hold &
  holder=$!
  for _ in $(seq 300); do [ -e "$held/ready" ] && break; sleep 0.1; done
  status=0
  scripts/wine-run.sh build/windows/cli/ombrix-merge.exe --quiet 'Z:'"$(pwd)/tests/data/sample/new_keys.ini" \
    'Z:'"$held/Mine.ini" > "$held/out" 2> "$held/err" || status=$?
  wait $holder
  if [ $hold = 500 ]; then
    [ $status = 0 ] || { cat "$held/err"; echo "a brief hold failed the merge" >&2; exit 1; }
    cmp "$held/Mine.ini" tests/data/sample/expected-keep-playable.ini
  else
    [ $status = 1 ] && grep -q "is open in another program. Close it and merge again." "$held/err" ||
      { cat "$held/err"; echo "a long hold was not told" >&2; exit 1; }
    cmp "$held/Mine.ini" tests/data/sample/file_to_update.ini
  fi
  echo "A hold of $hold ms: $(cat "$held/err" "$held/out" | tr -d '\r' | tr '\n' ' ')"
done
# On a console (script gives it a terminal), a path in UTF-8 and a game name in the list's Windows-1252 both
# read right once the console's control sequences are taken out.
console="$work/console"
here=$PWD
mkdir "$console"
printf '[Caf\xe9 (E)]\r\nSpeed=2\r\n\r\n' > "$console/new.ini"
printf '[Caf\xe9 (E)]\r\nSpeed=1\r\n\r\n' > "$console/Liste für Ömer.ini"
(cd "$console" && LC_ALL=C.UTF-8 script -qec "'$here/scripts/wine-run.sh' '$here/build/windows/cli/ombrix-merge.exe' \
  --report new.ini 'Liste für Ömer.ini'" typescript > /dev/null)
shown=$(sed -E 's/\x1b\[[0-9;?]*[a-zA-Z]//g; s/\r//g' "$console/typescript")
for line in "Backup written to 'Liste für Ömer.bak'." "[Café (E)]" "  ~ Speed: 1 -> 2"; do
  grep -qF "$line" <<< "$shown" || { echo "$shown"; echo "the console does not show: $line" >&2; exit 1; }
done
echo "On a console, paths and game names read right."
# The real window, from a folder of its own.
mkdir "$work/programs"
cp build/windows/ui/win32/ombrix-merger.exe "$work/programs/"
DISPLAY=$OMBRIX_WINE_DISPLAY tests/ui/win32_window_e2e.sh "$work/programs/ombrix-merger.exe" \
  build/ci/cli/ombrix-merge tests/data/sample
echo "Windows build: all tests passed"
