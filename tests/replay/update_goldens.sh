#!/usr/bin/env bash
# Re-records every golden run: update_goldens.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
for keys in "$here"/*.keys; do
  "$here/run_golden.sh" "$1/replay" "$source" "$(basename "$keys" .keys)" --update
done
