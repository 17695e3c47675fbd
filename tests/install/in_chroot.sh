#!/usr/bin/env bash
# Runs inside the bare Debian 12 of debian12_test.sh, as root: installs the
# package with apt, checks it and the game, removes it and checks that
# nothing of it is left.
# Usage: in_chroot.sh DEB APP_ID
set -euo pipefail
deb=$1
app_id=$2
export DEBIAN_FRONTEND=noninteractive
start=$(date +%s)
step() { echo "== $(($(date +%s) - start)) s in the chroot: $*"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
quiet() {
  "$@" >/tmp/cmd.log 2>&1 || fail "$*: $(tail -30 /tmp/cmd.log)"
}
# Every path on the root file system, less the ones that only record what
# apt and dpkg did.
snapshot() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /var/cache/apt \
    -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/log -o -path /var/cache/debconf \
    -o -path /root \) -prune -o -print | sort >"$1"
}

step "apt-get update"
quiet apt-get update
step "installing the test's own tools (Xvfb, xdotool, desktop-file-utils)"
quiet apt-get install -y --no-install-recommends xvfb xdotool desktop-file-utils

step "apt-get install ./$(basename "$deb")"
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libopenmpt0; do
  ! dpkg-query -W -f='${db:Status-Status}' "$lib" 2>/dev/null | grep -qx installed ||
    fail "$lib was installed before the game: the test would not show that the package brings it"
done
(cd "$(dirname "$deb")" && quiet apt-get install -y "./$(basename "$deb")")
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libopenmpt0; do
  dpkg-query -W -f='${db:Status-Status}' "$lib" | grep -qx installed || fail "apt did not install $lib"
done
echo "ok: apt installed the package with SDL2, SDL2_mixer and libopenmpt"

desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
echo "ok: the desktop entry validates"

step "the game, started from another folder"
# Debian puts games in /usr/games, which is on a user's PATH (not on root's).
export PATH=$PATH:/usr/games
[ "$(command -v vexlo-race)" = /usr/games/vexlo-race ] || fail "vexlo-race on the PATH is '$(command -v vexlo-race)'"
mkdir -p /tmp/elsewhere
bash /root/game_check.sh vexlo-race /tmp/elsewhere /usr/libexec/vexlo-race/vexlo-race /usr/share/vexlo-race

step "apt-get remove"
dpkg -L vexlo-race >/tmp/owned
quiet apt-get remove -y vexlo-race
status=$(dpkg-query -W -f='${db:Status-Status}' vexlo-race 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "after removal the package is '$status'"
left=()
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder other packages also hold stays.
  [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 && continue
  left+=("$path")
done </tmp/owned
[ ${#left[@]} -eq 0 ] || fail "left behind after removal: ${left[*]}"
echo "ok: none of the package's $(grep -c . /tmp/owned) paths is left"

# Once more with every dependency already in place: installing and removing
# the package must leave the file system exactly as it was.
step "installing and removing once more, comparing the file system before and after"
snapshot /tmp/before
(cd "$(dirname "$deb")" && quiet apt-get install -y "./$(basename "$deb")")
[ -x /usr/games/vexlo-race ] || fail "the second install did not install the launcher"
quiet apt-get remove -y vexlo-race
snapshot /tmp/after
diff -u /tmp/before /tmp/after >/tmp/diff || fail "the file system differs after an install and a removal:
$(cat /tmp/diff)"
echo "ok: the file system is as it was, $(wc -l </tmp/before) paths"
step "done"
