#!/usr/bin/env bash
# The Debian package vexlo-board, from `cpack --config CPackBoardConfig.cmake`:
# its Depends computed from the server's shared libraries, exactly the files
# of `cmake --install --component board` under /usr, the page in
# /usr/share/vexlo-board/web with its gzip copies, systemd units that
# `systemd-analyze verify` passes without a word, a manual page that reads
# cleanly, and no error or warning from lintian.
# Usage: board_deb_test.sh BUILD_DIR
# Needs cpack with dpkg-shlibdeps (dpkg-dev), systemd, lintian and man; the
# page built into the build's VEXLO_WEB_SITE (scripts/web.sh).
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack --config CPackBoardConfig.cmake -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$tmp/cpack.log")"
debs=("$tmp"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: $(ls "$tmp/out")"
deb=${debs[0]}
[[ $(basename "$deb") == vexlo-board_*_"$(dpkg --print-architecture)".deb ]] || fail "file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = vexlo-board ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libpq5 libprometheus-cpp-core1.0 libc6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done
echo "ok: $(basename "$deb"), depends on $depends"

# The same files as an install of the component under /usr.
DESTDIR=$tmp/plain cmake --install "$build" --prefix /usr --component board >"$tmp/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$tmp/install.log")"
dpkg-deb -x "$deb" "$tmp/root"
(cd "$tmp/plain" && find . ! -type d | sort) >"$tmp/plain.list"
(cd "$tmp/root" && find . ! -type d | sort) >"$tmp/deb.list"
diff -u "$tmp/plain.list" "$tmp/deb.list" >"$tmp/diff" || fail "the package differs from an install: $(cat "$tmp/diff")"
web=$tmp/root/usr/share/vexlo-board/web
for f in usr/bin/vexlo-board usr/share/vexlo-board/data/explode.mp3 usr/share/vexlo-board/web/index.html \
  usr/share/vexlo-board/web/manifest.webmanifest usr/share/vexlo-board/web/vexlo.wasm \
  usr/share/vexlo-board/web/vexlo.wasm.gz usr/share/vexlo-board/web/index.html.gz; do
  [ -f "$tmp/root/$f" ] || fail "the package lacks /$f"
done
[ "$(gzip -dc "$web/vexlo.wasm.gz" | cmp - "$web/vexlo.wasm" && echo same)" = same ] ||
  fail "vexlo.wasm.gz is not vexlo.wasm"
"$tmp/root/usr/bin/vexlo-board" --version | grep -q "^vexlo-board " || fail "the packaged program does not start"
echo "ok: the package holds the $(wc -l <"$tmp/deb.list") files of the component board, the page and its gzip copies"

# The units, as systemd reads them in the package's tree (with this system's
# own units beside them, for the targets they name).
units=$tmp/root/usr/lib/systemd/system
cp -rn /usr/lib/systemd/system/. "$units/"
systemd-analyze verify --man=no --root="$tmp/root" /usr/lib/systemd/system/vexlo-board.service \
  /usr/lib/systemd/system/vexlo-board-worker@.service >"$tmp/verify.log" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$tmp/verify.log")"
[ ! -s "$tmp/verify.log" ] || fail "systemd-analyze verify says: $(cat "$tmp/verify.log")"
for setting in DynamicUser=yes ProtectSystem=strict ProtectHome=yes PrivateTmp=yes NoNewPrivileges=yes \
  "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6" Restart=on-failure \
  EnvironmentFile=/etc/vexlo-board/vexlo-board.env; do
  grep -qx "$setting" "$units/vexlo-board.service" && grep -qx "$setting" "$units/vexlo-board-worker@.service" ||
    fail "a unit lacks $setting"
done
grep -q "^MemoryMax=" "$units/vexlo-board-worker@.service" || fail "the worker's unit has no MemoryMax"
echo "ok: systemd-analyze verify passes both units, sandboxed"

man --warnings -l "$tmp/root/usr/share/man/man1/vexlo-board.1.gz" 2>"$tmp/man.err" >/dev/null ||
  fail "man: $(cat "$tmp/man.err")"
[ ! -s "$tmp/man.err" ] || fail "man warns: $(cat "$tmp/man.err")"
lintian --allow-root "$deb" >"$tmp/lintian.log" 2>&1 || true
! grep -E '^[EW]: ' "$tmp/lintian.log" || fail "lintian: $(cat "$tmp/lintian.log")"
echo "ok: the manual page reads cleanly and lintian finds no error and no warning"
