#!/usr/bin/env bash
# Builds the game for the browser and serves it at http://127.0.0.1:8000/.
#
#   bash scripts/web.sh [--build-only] [--zip]
#
# --build-only builds and does not serve. --zip builds, packs the folder into
# build-web/vexlo-race-web.zip, with index.html at its root, for a
# game-hosting site, and does not serve either (with or without
# --build-only).
#
# The page lands in build-web/ (or WEB_SITE_DIR): index.html, its scripts
# and style, vexlo.js and vexlo.wasm, and a copy of data/. It is a static
# folder that works from any web host. The work behind it (libopenmpt's
# Debian source, the objects) stays in build-web-work/ (or WEB_WORK_DIR),
# so a second build compiles only what changed. WEB_CMAKE_ARGS is added to
# the configure line.
#
# Everything comes from Debian: its emscripten, and libopenmpt's source
# package, fetched with apt-get source through a private apt configuration
# (deb-src entries made from the machine's own sources, which are left as
# they are).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
source "$root/scripts/debian-source.sh"
site=${WEB_SITE_DIR:-$root/build-web}
work=${WEB_WORK_DIR:-$root/build-web-work}
usage() { echo "usage: scripts/web.sh [--build-only] [--zip]"; }
build_only=0
zip=0
for arg in "$@"; do
  case $arg in
  --build-only) [ $build_only -eq 0 ] || { usage >&2; exit 2; }; build_only=1 ;;
  --zip) [ $zip -eq 0 ] || { usage >&2; exit 2; }; zip=1 ;;
  -h | --help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
  esac
done
serve=$((build_only == 0 && zip == 0))

bash "$root/scripts/setup-web.sh"
# emscripten's optimiser finds Debian's JavaScript modules (acorn) here,
# whichever Node.js runs it.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# --- libopenmpt's source, from Debian ------------------------------------------
sources=$work/src
if ! ls -d "$sources"/libopenmpt-*/soundlib >/dev/null 2>&1; then
  fetch_debian_sources "$work" "$sources" libopenmpt
fi
openmpt=$(ls -d "$sources"/libopenmpt-*/ | head -n 1)

# --- the build -------------------------------------------------------------------
# The preset "web" of CMakePresets.json: emscripten's toolchain, Release
# for size.
rm -rf "$site"
configure_preset web "$work/cmake" -DVEXLO_OPENMPT_SOURCE="${openmpt%/}" -DVEXLO_WEB_SITE="$site" ${WEB_CMAKE_ARGS:-}
build_folder "$work/cmake"
echo "built $site: $(du -sb "$site" | cut -f1) bytes"

if [ $zip -eq 1 ]; then
  # Python comes with Debian's emscripten. The gzip copies stay out: they
  # are for the score server.
  (cd "$site" && python3 - "$work/vexlo-race-web.zip" <<'ZIP' && mv "$work/vexlo-race-web.zip" .
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as out:
    for folder, _, names in sorted(os.walk(".")):
        for name in sorted(names):
            if not name.endswith(".gz") and name != "vexlo-race-web.zip":
                out.write(os.path.join(folder, name), os.path.relpath(os.path.join(folder, name)))
ZIP
  )
  echo "packed $site/vexlo-race-web.zip: $(du -b "$site/vexlo-race-web.zip" | cut -f1) bytes"
fi

if [ $serve -eq 1 ]; then
  echo "serving $site at http://127.0.0.1:8000/ (Ctrl+C stops)"
  exec node "$root/scripts/serve-web.mjs" "$site" 8000
fi
