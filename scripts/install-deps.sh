#!/usr/bin/env bash
# Installs the Debian packages that building and testing OmbrixMerger needs, if any are missing.
set -euo pipefail

# Build and tests; Qt 6 for the window; Xvfb with xvfb-run's xauth, xdotool, xwininfo and Xlib for the test
# of the real window;
# Clang with its runtime (libFuzzer and the sanitizers) for the fuzzers; MinGW-w64, Wine and GoogleTest's
# sources for the Windows build and its tests, and Wine's fonts for the Win32 window; NSIS and
# dpkg-dev for the packages; lintian, desktop-file-utils, appstream, mandoc and man-db to check them, and
# librsvg2-bin to draw the window's icons.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libx11-dev xvfb xauth xdotool x11-utils
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine64 googletest fonts-wine
  nsis dpkg-dev file
  lintian desktop-file-utils appstream mandoc man-db librsvg2-bin)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
