#!/usr/bin/env bash
# Sets up a fresh machine, builds OmbrixMerger (release) and starts the window, ombrix-merger.
# With arguments it runs the command-line twin instead: scripts/run.sh --help, scripts/run.sh NEW MINE.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target ombrix-merger ombrix-merge

if [ $# -gt 0 ]; then
  exec build/release/cli/ombrix-merge "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to open the window on. Start it from a desktop session, or under Xvfb:" >&2
  echo "  Xvfb :1 & DISPLAY=:1 build/release/ui/qt/ombrix-merger" >&2
  exit 1
fi
exec build/release/ui/qt/ombrix-merger
