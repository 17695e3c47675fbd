#!/usr/bin/env bash
# Installs the Debian packages the game, its tools and its tests need, when
# any is missing. Run as root (or with sudo available) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libopenmpt-dev libmp3lame-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev xvfb xauth xdotool x11-utils xfonts-base python3
  libxfixes-dev evilwm
  dpkg-dev file desktop-file-utils appstream debootstrap
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
