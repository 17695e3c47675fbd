#!/usr/bin/env bash
# Installs those of the Debian packages named that are not installed yet.
# Run as root (or with sudo available).
#   install-missing.sh PACKAGE...
set -euo pipefail
usage() { echo "usage: scripts/install-missing.sh PACKAGE..."; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -gt 0 ] || { usage >&2; exit 2; }
# Debian's package names (and an architecture), nothing apt could take for
# an option.
for p in "$@"; do
  [[ $p =~ ^[a-z0-9][a-z0-9.+-]*(:[a-z0-9-]+)?$ ]] || { usage >&2; exit 2; }
done

missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  # Servers among them (PostgreSQL, nginx, Prometheus) are installed, not
  # started: the project starts its own where it needs them.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod 755 /usr/sbin/policy-rc.d
    trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
