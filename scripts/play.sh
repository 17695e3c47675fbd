#!/usr/bin/env bash
# Sets up, builds and starts the game in a window, from the repository root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
cd "$root"
exec "${BUILD_DIR:-$root/build}/vexlo-race"
