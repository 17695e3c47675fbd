#!/usr/bin/env bash
# Installs the Debian packages the Windows build needs, when any is missing:
# the mingw-w64 cross compiler (with POSIX threads), CMake, pkg-config,
# what fetches and unpacks Debian's source packages, and nlohmann-json's
# headers (the same for every system). With --tests also
# wine64, which runs the Windows programs in the tests. Run as root (or
# with sudo available) on Debian 12.
set -euo pipefail
usage() { echo "usage: scripts/setup-windows.sh [--tests]"; }
case ${1:-} in
"" | --tests) [ $# -le 1 ] || { usage >&2; exit 2; } ;;
-h | --help) usage; exit 0 ;;
*) usage >&2; exit 2 ;;
esac

packages=(g++-mingw-w64-x86-64-posix cmake make pkg-config dpkg-dev xz-utils nlohmann-json3-dev)
[ "${1:-}" = "--tests" ] && packages+=(wine64)

bash "$(dirname "$0")/install-missing.sh" "${packages[@]}"
