#!/usr/bin/env bash
# Builds the game for Windows x64 on Debian 12 and packs it:
#
#   bash scripts/windows.sh      # writes build-windows/vexlo-race-windows-x64.zip
#
# The zip holds vexlo-race.exe, replay.exe, data/, LICENSE, README.txt and
# the licences of the libraries linked in (licenses/); every library is
# linked statically, so there is no DLL to ship.
#
# Everything comes from Debian: the mingw-w64 cross compiler, and SDL2,
# SDL2_mixer and libopenmpt built for Windows from Debian's own source
# packages (scripts/windows-libraries.sh), kept in build-windows/cache/
# between runs. The game is the preset "windows" of CMakePresets.json;
# WINDOWS_BUILD_DIR builds elsewhere than build-windows/, and
# WINDOWS_CMAKE_ARGS is added to the configure line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/windows.sh (no arguments; into build-windows/, or WINDOWS_BUILD_DIR)" "$@"
out=${WINDOWS_BUILD_DIR:-$root/build-windows}

bash "$root/scripts/setup-windows.sh"
bash "$root/scripts/windows-libraries.sh" "$out/cache"

configure_preset windows "$out/cmake" -DVEXLO_WINDOWS_DEPS="$out/cache/prefix" \
  -DVEXLO_WINDOWS_ZIP="$out/vexlo-race-windows-x64.zip" ${WINDOWS_CMAKE_ARGS:-}
build_folder "$out/cmake"
echo "packed $out/vexlo-race-windows-x64.zip: $(du -b "$out/vexlo-race-windows-x64.zip" | cut -f1) bytes"
