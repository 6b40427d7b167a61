#!/usr/bin/env bash
# Makes every package into dist/ with CPack: the Windows zip and installer from the windows preset, the
# Debian packages ombrix-merge and ombrix-merger from the ci preset, each with its SHA-256 sum. Builds
# what is not built yet.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
mkdir -p dist
for preset in ci windows; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j2
  (cd "build/$preset" && cpack -B "$PWD/../../dist/_cpack/$preset" > /dev/null)
  # The packages and their SHA-256 sums; CPack's working folders stay behind.
  find "dist/_cpack/$preset" -maxdepth 1 -type f -exec mv -f {} dist/ \;
done
rm -rf dist/_cpack
ls -l dist
