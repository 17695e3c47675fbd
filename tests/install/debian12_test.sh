#!/usr/bin/env bash
# The Debian package on a bare Debian 12 (debootstrap minbase: nothing but
# the base system), as a player would meet it: `apt-get install ./FILE.deb`
# brings every library the game needs from Debian's mirror, the desktop
# entry validates, the game started from another folder opens its window
# under Xvfb and ends on Escape with status 0, and `apt-get remove` leaves
# nothing of the package behind (see in_chroot.sh).
#
# Needs root (chroot, mounts, namespaces) and Debian's package mirror; as
# any other user it is skipped (exit 77). The base system is made once with
# debootstrap and kept as a tar under VEXLO_DEBIAN_CACHE (/var/tmp; the
# same tar as shared/tools/fresh-debian's), and so are the downloaded .debs.
# The chroot runs in mount and PID namespaces of its own: when it ends, or
# is killed, its mounts and processes go with it; the temporary root is
# removed on the way out, and any left by a killed run on the next run.
# Usage: debian12_test.sh BUILD_DIR APP_ID
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR APP_ID" >&2
  exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: the bare Debian 12 test needs root (chroot and mounts); run it as root."
  exit 77
fi
build=$(cd "$1" && pwd)
app_id=$2
here=$(cd "$(dirname "$0")" && pwd)
cache=${VEXLO_DEBIAN_CACHE:-/var/tmp}
base_tar=$cache/fresh-debian-bookworm.tar
apt_archives=$cache/vexlo-install-apt-archives
start=$(date +%s)
# Every wait below ends by this deadline, well within the test's TIMEOUT,
# so that the clean-up always gets its turn.
deadline=$((start + 1650))
remaining() { echo $((deadline - $(date +%s))); }
step() { echo "== $(($(date +%s) - start)) s: $*"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# One run at a time on this machine (other build folders run this test
# too): they share the tar and the .deb cache.
mkdir -p "$cache"
exec 9>"$cache/vexlo-install-test.lock"
flock -w "$(remaining)" 9 || fail "another run of this test held $cache/vexlo-install-test.lock too long"
[ "$(remaining)" -gt 600 ] || fail "another run of this test held $cache/vexlo-install-test.lock too long"
# Holding the lock, any root still here was left by a run that was killed.
for old in "$cache"/vexlo-install-root.*; do
  [ -d "$old" ] && rm -rf --one-file-system "$old"
done
work=$(mktemp -d "$cache/vexlo-install-root.XXXXXX")
run_pid=""
timer_pid=""
cleanup() {
  # Killing unshare kills the chroot's whole PID namespace (--kill-child).
  for pid in $run_pid $timer_pid; do
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

if [ ! -f "$base_tar" ]; then
  step "making a bare Debian 12 with debootstrap (once)"
  command -v debootstrap >/dev/null || fail "debootstrap is missing: run scripts/setup.sh"
  timeout "$(remaining)" debootstrap --variant=minbase bookworm "$work/base" >"$work/debootstrap.log" 2>&1 ||
    fail "debootstrap: $(tail -20 "$work/debootstrap.log")"
  tar -C "$work/base" -cf "$base_tar.part" . && mv "$base_tar.part" "$base_tar"
  rm -rf --one-file-system "$work/base"
fi

step "building the package"
(cd "$build" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/deb/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"

step "unpacking the bare Debian 12"
root=$work/root
mkdir "$root"
tar -C "$root" -xf "$base_tar"
cp "${debs[0]}" "$here/in_chroot.sh" "$here/game_check.sh" "$root/root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cat >"$root/etc/apt/sources.list" <<'SOURCES'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
SOURCES
mkdir -p "$apt_archives/partial"

# The mounts below must stay inside the namespace. unshare makes every
# mount private, except when this runs in a chroot itself (as in
# shared/tools/fresh-debian), where "/" is no mount point and that fails;
# there it is enough that no mount passes new mounts on to others.
propagation=private
if ! unshare --mount --propagation private true 2>/dev/null; then
  grep -q ' shared:' /proc/self/mountinfo &&
    fail "cannot keep the chroot's mounts private: unshare --propagation private fails and mounts here are shared"
  propagation=unchanged
fi

step "in the bare Debian 12"
# unshare: a mount namespace (the mounts below are seen by no one else) and
# a PID namespace whose first process is the test: when it ends or is
# killed, so is everything it started; --kill-child kills it when unshare
# dies. In the background, beside a timer for the deadline, so that a
# signal to this script reaches the clean-up at once.
unshare --mount --pid --fork --kill-child --propagation "$propagation" \
  env R="$root" A="$apt_archives" D="$(basename "${debs[0]}")" I="$app_id" bash -c '
    set -e
    mount -t proc proc "$R/proc"
    mount --rbind /dev "$R/dev"
    mount -t tmpfs tmpfs "$R/tmp"
    mount --bind "$A" "$R/var/cache/apt/archives"
    exec chroot "$R" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
      bash /root/in_chroot.sh "/root/$D" "$I"' </dev/null &
run_pid=$!
sleep "$(remaining)" &
timer_pid=$!
status=0
first=""
wait -n -p first "$run_pid" "$timer_pid" || status=$?
[ "$first" = "$run_pid" ] || fail "the run in the bare Debian did not end in time"
run_pid=""
step "done, status $status"
exit "$status"
