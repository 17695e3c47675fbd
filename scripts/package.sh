#!/usr/bin/env bash
# Installs what is missing, builds the game in Release (without the tests
# and benchmarks) into build-deb/ (or BUILD_DIR) and makes the Debian
# package there with cpack. Its Depends are computed from the game's shared
# libraries, so `apt-get install ./FILE.deb` brings them too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/package.sh (no arguments; into build-deb/, or BUILD_DIR)" "$@"
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build-deb}
configure_preset package "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build"
rm -f "$build"/vexlo-race_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/vexlo-race_*.deb)
echo "made $deb; install it with: sudo apt-get install $deb"
