#!/usr/bin/env bash
# Installs what is missing, builds the game and the score server in Release
# (without the tests and benchmarks) into build-deb/ (or BUILD_DIR), the
# page with scripts/web.sh, and makes the two Debian packages there with
# cpack: vexlo-race (the game) and vexlo-board (the score server, its
# systemd units and the page). Their Depends are computed from their shared
# libraries, so `apt-get install ./FILE.deb` brings them too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/package.sh (no arguments; into build-deb/, or BUILD_DIR)" "$@"
bash "$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build-deb}
site=${WEB_SITE_DIR:-$root/build-web}
WEB_SITE_DIR=$site bash "$root/scripts/web.sh" --build-only
configure_preset package "$build" -DVEXLO_WEB_SITE="$site" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build"
rm -f "$build"/vexlo-race_*.deb "$build"/vexlo-board_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1 && cpack --config CPackBoardConfig.cmake -G DEB >>cpack.log 2>&1) ||
  { cat "$build/cpack.log"; exit 1; }
for deb in "$build"/vexlo-race_*.deb "$build"/vexlo-board_*.deb; do
  echo "made $deb; install it with: sudo apt-get install $deb"
done
