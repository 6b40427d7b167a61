#!/usr/bin/env bash
# Builds the core, ombrix-merge and the tests for Windows with MinGW-w64 and runs them under Wine; then merges
# generated lists with the Windows and the native ombrix-merge under every policy and both engines and
# checks that the results are the same, byte for byte. Needs the native ci build (scripts/test.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows
cmake --build --preset windows -j2

# One prefix and one running wineserver for all the tests: starting Wine is the slow part.
export WINEPREFIX=${WINEPREFIX:-$(mktemp -d)/wine-prefix}
scripts/wine-run.sh cmd /c exit > /dev/null 2>&1 || true
ctest --preset windows -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
echo "Windows build: all tests passed"
