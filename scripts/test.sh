#!/usr/bin/env bash
# Sets up a fresh machine, builds everything with warnings as errors and runs the whole test suite,
# the window's tests included (offscreen, and the real window in a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci -j2
ctest --preset ci -j2
