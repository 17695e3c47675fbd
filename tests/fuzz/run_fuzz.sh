#!/usr/bin/env bash
# Runs a fuzz target for a bounded time over the corpus kept in the
# repository; what it finds new goes to a temporary folder, not into the tree.
#   run_fuzz.sh TARGET CORPUS SECONDS
set -euo pipefail
target=$1 corpus=$2 seconds=$3
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
"$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
  "$found" "$corpus" 2>&1 | tail -n 12
