#!/usr/bin/env bash
# Installs the Debian packages the browser build needs, when any is missing:
# Debian's emscripten (which works offline: its system libraries come
# prebuilt) and what fetches and unpacks Debian's source packages. With
# --tests also Chromium and npm for the browser tests. Run as root (or with
# sudo available) on Debian 12.
set -euo pipefail
usage() { echo "usage: scripts/setup-web.sh [--tests]"; }
case "$*" in
"" | --tests) ;;
-h | --help) usage; exit 0 ;;
*) usage >&2; exit 2 ;;
esac

packages=(emscripten dpkg-dev xz-utils)
if [ "${1:-}" = "--tests" ]; then
  packages+=(chromium)
  # A Node.js from elsewhere brings its own npm; Debian's goes with Debian's.
  command -v npm >/dev/null || packages+=(npm)
fi
command -v node >/dev/null || packages+=(nodejs)

bash "$(dirname "$0")/install-missing.sh" "${packages[@]}"
