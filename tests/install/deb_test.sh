#!/usr/bin/env bash
# The Debian package from `cpack -G DEB`: named and sectioned as a game, its
# Depends computed from the game's shared libraries (so SDL2, SDL2_mixer and
# libopenmpt come with it), holding exactly what `cmake --install` puts
# under /usr, byte for byte, but for the launcher in /usr/games, and without
# a complaint from lintian.
# Usage: deb_test.sh BUILD_DIR
# Needs cpack with dpkg-shlibdeps (dpkg-dev), file, lintian and man.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"
debs=("$tmp"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: $(ls "$tmp/out")"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == vexlo-race_*_"$arch".deb ]] || fail "package file name $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vexlo-race ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libopenmpt0 libc6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib"
done
echo "ok: $(basename "$deb"), section games, depends on SDL2, SDL2_mixer and libopenmpt"

# The same tree as a plain install under /usr; the game itself is compared
# by name only, as the package's copy is stripped.
DESTDIR=$tmp/plain cmake --install "$build" --prefix /usr --component game >"$tmp/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$tmp/install.log")"
dpkg-deb -x "$deb" "$tmp/unpacked"
(cd "$tmp/plain" && find . ! -type d | sed 's|^\./usr/bin/vexlo-race$|./usr/games/vexlo-race|' | sort) >"$tmp/plain.list"
(cd "$tmp/unpacked" && find . ! -type d | sort) >"$tmp/deb.list"
diff -u "$tmp/plain.list" "$tmp/deb.list" >"$tmp/diff" || fail "the package's files differ from an install under /usr:
$(cat "$tmp/diff")"
while read -r f; do
  [ "$f" = ./usr/libexec/vexlo-race/vexlo-race ] && continue
  plain=${f/#.\/usr\/games\//./usr/bin/}
  cmp -s "$tmp/plain/$plain" "$tmp/unpacked/$f" || fail "$f differs between the package and an install"
done <"$tmp/plain.list"
[ -x "$tmp/unpacked/usr/games/vexlo-race" ] && [ -x "$tmp/unpacked/usr/libexec/vexlo-race/vexlo-race" ] ||
  fail "launcher or game not executable in the package"
[ ! -e "$tmp/unpacked/usr/bin" ] || fail "an empty usr/bin in the package"
echo "ok: the package holds the $(wc -l <"$tmp/deb.list") files of an install under /usr, the launcher in /usr/games"

# The manual page reads without a complaint from man; lintian has no error
# and no warning (its notes on hardening flags are left to the build).
man --warnings -l "$tmp/unpacked/usr/share/man/man6/vexlo-race.6.gz" 2>"$tmp/man.err" >/dev/null ||
  fail "man: $(cat "$tmp/man.err")"
[ ! -s "$tmp/man.err" ] || fail "man warns: $(cat "$tmp/man.err")"
lintian --allow-root "$deb" >"$tmp/lintian.log" 2>&1 || true
! grep -E '^[EW]: ' "$tmp/lintian.log" || fail "lintian: $(cat "$tmp/lintian.log")"
echo "ok: the manual page reads cleanly and lintian finds no error and no warning"
