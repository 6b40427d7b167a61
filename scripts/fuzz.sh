#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 60) from the seeds in tests/fuzz/seeds,
# growing the corpus in a temporary folder. Fails on any crash, leak, sanitizer report or disagreement
# between the engines; libFuzzer leaves the input that failed in the current folder (crash-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in document merge; do
  mkdir -p "$work/$target"
  cp tests/fuzz/seeds/"$target"/* "$work/$target/" 2>/dev/null || true
  echo "== fuzz_$target for ${seconds}s"
  "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=2048 "$work/$target" 2> "$work/$target.log" || { tail -n 60 "$work/$target.log"; exit 1; }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log" | sed 's/^/   /'
done
