#!/usr/bin/env bash
# Tries the packages in dist/ (scripts/package.sh makes them) as their users would: the Windows installer
# runs silently under Wine in a fresh prefix, its window starts, and its uninstaller removes it; the zip
# unpacks and its ombrix-merge.exe merges the sample lists; both Debian packages install with apt-get,
# their programs run, and they are removed again. Runs as root or through sudo, like the install step.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(OmbrixMerger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sample=$root/tests/data/sample
caption="Ombrix Ini Files Merger 1.1b"
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

work=$(mktemp -d)
# Merges keep the bases of the lists they write in the user's data folder: these keep theirs in the work folder.
export OMBRIX_MERGER_DATA="$work/merger-data"
cleanup() {
  kill "${program:-}" "${xvfb:-}" 2>/dev/null
  wait "${program:-}" "${xvfb:-}" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
source tests/ui/x_windows.sh

# Merges the sample lists with PROGRAM... (a command and its first arguments) and compares the result.
merges_the_samples() {
  local out=$1
  shift
  cp "$sample/file_to_update.ini" "$out.mine.ini"
  "$@" --quiet --policy replace-all -o "$out" "$sample/new_keys.ini" "$out.mine.ini" > /dev/null
  cmp -s "$out" "$sample/expected-replace-all.ini" || fail "$* merged the sample lists wrongly"
}

# Debian: each platform's own checks of both packages and of what they carry; any finding fails.
silent_or_fail() {
  local what=$1 out
  shift
  out=$("$@" 2> "$work/stderr") || fail "$what: $out $(cat "$work/stderr")"
  [ -z "$out" ] || fail "$what: $out"
}
debs=("$root/dist/ombrix-merge_${version}_amd64.deb" "$root/dist/ombrix-merger_${version}_amd64.deb")
# Run as root, lintian says on standard error that it should not be: its findings go to standard output.
silent_or_fail "lintian" lintian --fail-on warning "${debs[@]}"
tree=$work/deb-tree
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$tree"; done
silent_or_fail "desktop-file-validate" desktop-file-validate "$tree"/usr/share/applications/*.desktop
# appstreamcli always prints its verdict; the one note it has is that the domain's ".example" is no TLD it knows.
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml > "$work/appstream" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream")"
! grep -E '^[EW]:' "$work/appstream" || fail "appstreamcli found faults"
for page in "$tree"/usr/share/man/man1/*.1.gz; do
  silent_or_fail "mandoc on $page" mandoc -T lint "$page"
  out=$(LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 > /dev/null) || true
  [ -z "$out" ] || fail "man --warnings on $page: $out"
done
for package in ombrix-merge ombrix-merger; do
  zcat "$tree/usr/share/doc/$package/changelog.gz" | head -n1 | grep -qF "$package ($version)" ||
    fail "the changelog of $package does not begin with version $version"
done
echo "Both Debian packages pass lintian; the desktop entry, metainfo and manual pages pass their checks."

# Windows: the zip.
cmake -E chdir "$work" cmake -E tar xf "$root/dist/OmbrixMerger-$version-win64.zip"
unpacked=$work/OmbrixMerger-$version-win64
for file in ombrix-merger.exe ombrix-merge.exe README.txt LICENSE.txt; do
  [ -f "$unpacked/$file" ] || fail "the zip has no $file"
done
[ -z "$(find "$unpacked" -iname '*.dll')" ] || fail "the zip carries DLLs"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEDEBUG=-all
export WINEPREFIX=$work/wine-prefix
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
"$wine" cmd /c exit > /dev/null 2>&1 || true
merges_the_samples "$work/zip.ini" "$wine" "$unpacked/ombrix-merge.exe"
echo "The zip unpacks and its ombrix-merge.exe merges the sample lists."

# Windows: the installer, for this user alone, without administrator rights.
"$wine" "$root/dist/OmbrixMerger-$version-win64.exe" /S > /dev/null 2>&1
local_appdata=$("$wine" cmd /c echo %LOCALAPPDATA% 2> /dev/null | tr -d '\r')
installed=$("$wine" winepath -u "$local_appdata\\Programs\\OmbrixMerger" 2> /dev/null)
for file in ombrix-merger.exe ombrix-merge.exe Uninstall.exe; do
  [ -f "$installed/$file" ] || fail "the installer put no $file into $installed"
done
programs_menu=$("$wine" winepath -u "$("$wine" cmd /c echo %APPDATA% 2> /dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" 2> /dev/null)
[ -f "$programs_menu/OmbrixMerger/OmbrixMerger.lnk" ] || fail "no Start-menu entry"
# "Installed apps" shows its size and home page.
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OmbrixMerger'
entry=$("$wine" reg query "$uninstall_key" 2> /dev/null | tr -d '\r')
grep -qE 'EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f]' <<< "$entry" || fail "the uninstall entry has no size"
grep -qE 'URLInfoAbout +REG_SZ +https://' <<< "$entry" || fail "the uninstall entry has no home page"
"$wine" "$installed/ombrix-merger.exe" > /dev/null 2>&1 &
program=$!
wait_for_windows "^${caption}\$" 1 > /dev/null
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=""
"$wine" "$installed/Uninstall.exe" /S > /dev/null 2>&1
# The uninstaller runs on from a copy of itself, and removes the Start-menu entry after the program folder.
for _ in $(seq 300); do [ -e "$installed" ] || [ -e "$programs_menu/OmbrixMerger" ] || break; sleep 0.1; done
[ ! -e "$installed" ] || fail "the uninstaller left $installed"
[ ! -e "$programs_menu/OmbrixMerger" ] || fail "the uninstaller left the Start-menu entry"
echo "The installer installs per user, the window starts, and the uninstaller removes it."

# Today's installer over an older one that the user installed into a folder of their choice: it lands in that
# folder, and "Installed apps" has one entry, with today's version.
(cd build/windows && cpack -G NSIS -D CPACK_PACKAGE_VERSION=1.0.0 -D CPACK_PACKAGE_FILE_NAME=OmbrixMerger-1.0.0-win64 \
  -B "$work/older" > /dev/null)
chosen='C:\Games\OmbrixMerger'
chosen_unix=$("$wine" winepath -u "$chosen" 2> /dev/null)
"$wine" "$work/older/OmbrixMerger-1.0.0-win64.exe" /S "/D=$chosen" > /dev/null 2>&1
"$wine" reg query "$uninstall_key" /v DisplayVersion 2> /dev/null | grep -q 'REG_SZ *1\.0\.0' ||
  fail "the older installer left no entry of version 1.0.0"
"$wine" "$root/dist/OmbrixMerger-$version-win64.exe" /S > /dev/null 2>&1
[ -f "$chosen_unix/ombrix-merger.exe" ] && [ ! -e "$installed" ] ||
  fail "the newer installer did not install into the older one's folder $chosen"
entries=$("$wine" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2> /dev/null | grep -ci ombrix || true)
[ "$entries" = 1 ] || fail "$entries uninstall entries after an upgrade"
"$wine" reg query "$uninstall_key" /v DisplayVersion 2> /dev/null | tr -d '\r' | grep -qE "REG_SZ +$version\$" ||
  fail "the uninstall entry does not show version $version after an upgrade"
"$wine" "$chosen_unix/Uninstall.exe" /S > /dev/null 2>&1
for _ in $(seq 300); do [ -e "$chosen_unix/ombrix-merger.exe" ] || break; sleep 0.1; done
[ ! -e "$chosen_unix/ombrix-merger.exe" ] || fail "the uninstaller left $chosen"
echo "An upgrade lands in the older version's folder, with one uninstall entry of version $version."

# Debian: both packages, installed and removed again.
$sudo apt-get install -y "$root/dist/ombrix-merge_${version}_amd64.deb" "$root/dist/ombrix-merger_${version}_amd64.deb" > "$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "the Debian packages do not install"; }
[ "$(/usr/bin/ombrix-merge --version)" = "ombrix-merge $version" ] || fail "ombrix-merge --version is not $version"
merges_the_samples "$work/deb.ini" /usr/bin/ombrix-merge
[ -x /usr/bin/ombrix-merger ] || fail "the window is not installed"
[ -f /usr/share/applications/ombrix-merger.desktop ] || fail "the desktop entry is not installed"
ls /usr/share/man/man1/ombrix-merge.1* > /dev/null 2>&1 || fail "the manual page is not installed"
$sudo apt-get remove -y ombrix-merger ombrix-merge > "$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
[ ! -e /usr/bin/ombrix-merge ] && [ ! -e /usr/bin/ombrix-merger ] || fail "the packages left their programs"
echo "Both Debian packages install, run and are removed again."
