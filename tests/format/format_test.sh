#!/usr/bin/env bash
# Every .cpp and .h under src/, tools/, tests/ and bench/ formatted as
# .clang-format says: `clang-format --dry-run -Werror`, which changes
# nothing; the first places it would change are shown.
# Usage: format_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
format=$(command -v clang-format-14 || command -v clang-format) ||
  { echo "FAIL: clang-format is missing: run scripts/setup.sh"; exit 1; }
# (npm's folders under tests/web are not ours.)
mapfile -d '' files < <(find src tools tests bench -name node_modules -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
[ ${#files[@]} -gt 0 ] || { echo "FAIL: no C++ files under $1"; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$format" --style=file --dry-run -Werror "${files[@]}" 2>"$log"; then
  head -n 40 "$log"
  changed=$(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' "$log" | sort -u | wc -l)
  echo "FAIL: $changed of ${#files[@]} files are not formatted as .clang-format says ($format -i FILE... does it)"
  exit 1
fi
echo "ok: ${#files[@]} files formatted as .clang-format says"
