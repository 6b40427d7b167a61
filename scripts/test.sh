#!/usr/bin/env bash
# Sets up a fresh machine, builds everything with warnings as errors and runs the whole test suite, the
# window's tests included (offscreen, and the real window in a virtual X display); then builds it again
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole suite once more; then runs each
# fuzzer for a minute (FUZZ_SECONDS); then builds for Windows and runs the tests under Wine; then makes the
# packages and installs, runs and removes each of them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset ci
cmake --build --preset ci -j2
ctest --preset ci -j2

cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j2

scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

scripts/test-windows.sh

scripts/package.sh
scripts/test-packages.sh
