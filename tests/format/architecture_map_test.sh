#!/usr/bin/env bash
# Every library target the build defines is named in docs/architecture.md,
# so that the map of the house cannot drift from the house.
#   architecture_map_test.sh SOURCE_DIR
set -euo pipefail
root=$1
map=$root/docs/architecture.md
# The build's own files: the top CMakeLists.txt and those of the source
# folders (not the build folders, which hold other projects' files).
targets=$(cd "$root" && find CMakeLists.txt bench cmake src tests tools -path tests/web/node_modules -prune -o \
  \( -name CMakeLists.txt -o -name '*.cmake' \) -type f -print |
  xargs grep -hoE 'add_library\([[:space:]]*[A-Za-z0-9_.-]+' | sed -E 's/add_library\([[:space:]]*//' | sort -u)
[ -n "$targets" ] || { echo "no add_library found under $root"; exit 1; }
missing=0
for target in $targets; do
  if ! grep -qF "\`$target\`" "$map"; then
    echo "docs/architecture.md does not name the library target $target"
    missing=1
  fi
done
[ $missing -ne 0 ] || echo "all $(wc -w <<<"$targets") library targets are on the map"
exit $missing
