#!/usr/bin/env bash
# Sets up a fresh machine, builds OmbrixMerger (release) and starts it. Arguments go to ombrix-merge;
# without any it shows its help.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target ombrix-merge

if [ $# -eq 0 ]; then
  set -- --help
fi
exec build/release/cli/ombrix-merge "$@"
