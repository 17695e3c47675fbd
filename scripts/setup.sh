#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing. Run
# as root (or with sudo available) on Debian 12.
#   setup.sh         everything: the game, its tools, tests and benchmarks
#   setup.sh play    only what building and running the game needs
#   setup.sh board   the game and the score server (scripts/board.sh)
set -euo pipefail
usage() { echo "usage: scripts/setup.sh [play|board]"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -le 1 ] || { usage >&2; exit 2; }

# The game: a compiler, CMake, and SDL2, SDL2_mixer and libopenmpt; libcurl
# and nlohmann-json for submitting a kept game to a score server.
play=(
  g++ make cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libopenmpt-dev
  libcurl4-openssl-dev nlohmann-json3-dev
)
# The asset generator (PNG, MP3), the tests (GoogleTest, Xvfb, xdotool, a
# window manager, the install and package checks, the C++ formatting) and
# the benchmarks.
rest=(
  build-essential libmp3lame-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev xvfb xauth xdotool x11-utils xfonts-base python3
  libxfixes-dev evilwm
  dpkg-dev file desktop-file-utils appstream debootstrap lintian man-db
  clang-format-14
  # The score server's fuzz targets: clang with libFuzzer.
  clang libclang-rt-14-dev
  # The score server in public: its metrics checked by promtool, nginx with
  # a certificate of its own in front of it, its systemd units verified.
  prometheus nginx curl openssl systemd
)
# The score server: Boost.Beast, libpq, nlohmann-json, prometheus-cpp and
# PostgreSQL 15; ICU's spoof checker for players' names, OpenSSL's digests
# for their keys.
board=(libboost1.81-dev libpq-dev nlohmann-json3-dev prometheus-cpp-dev postgresql libicu-dev libssl-dev)

case ${1:-all} in
play) packages=("${play[@]}") ;;
board) packages=("${play[@]}" "${board[@]}") ;;
all) packages=("${play[@]}" "${rest[@]}" "${board[@]}") ;;
*) usage >&2; exit 2 ;;
esac

bash "$(dirname "$0")/install-missing.sh" "${packages[@]}"

# PostgreSQL refuses to run as root, so as root the score server's cluster
# runs as the user postgres, which must be able to enter the root folder; a
# chroot unpacked into a folder made by mktemp -d has it closed to every
# other user (drwx------), where no program at all can run as postgres.
if [ "${1:-all}" != play ] && [ "$(id -u)" -eq 0 ] && [ -z "$(find / -maxdepth 0 -perm -o=x)" ]; then
  echo "setup: the root folder is closed to other users, so PostgreSQL cannot start as the user postgres; opening it to them (chmod o+x /)" >&2
  chmod o+x /
fi
