#!/usr/bin/env bash
# scripts/play.sh as a player runs it, into a build folder of its own: it
# configures the game alone (without the tools, tests and benchmarks, whose
# packages a player lacks), builds it as one unity build and starts it,
# here with --version so that no window is needed.
# Usage: play_script_test.sh SOURCE_DIR
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
BUILD_DIR=$tmp/build bash "$src/scripts/play.sh" --version >"$tmp/out" 2>"$tmp/err" ||
  { echo "FAIL: play.sh: $(tail -20 "$tmp/err")"; exit 1; }
out=$(tail -n1 "$tmp/out")
[ "$out" = "vexlo-race 1.0.0" ] || { echo "FAIL: the game said '$out'"; exit 1; }
built=$(find "$tmp/build" -name '*.o' | wc -l)
[ ! -e "$tmp/build/replay" ] && [ ! -d "$tmp/build/tests" ] || { echo "FAIL: play.sh built more than the game"; exit 1; }
echo "ok: play.sh built the game alone ($built objects) and started it: $out"
