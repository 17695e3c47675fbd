#!/usr/bin/env bash
# `cmake --install` into a DESTDIR, on this machine: exactly the game, its
# launcher, data/, the desktop entry, the AppStream data, the icons, the
# manual page, the copyright and the changelog land
# where they belong (nothing else: no tools, tests or libraries), the
# desktop entry and the AppStream data validate and name what is installed,
# and the launcher, moved with the whole tree and called through a symbolic
# link from another folder, runs the game in a window.
# Usage: local_install_test.sh BUILD_DIR SOURCE_DIR APP_ID ICON_NAME
# Needs desktop-file-validate, appstreamcli, python3, Xvfb and xdotool.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR APP_ID ICON_NAME" >&2
  exit 2
fi
build=$1
src=$2
app_id=$3
icon=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=/opt/vexlo-race-test
stage=$tmp/stage
DESTDIR=$stage cmake --install "$build" --prefix "$prefix" --component game >"$tmp/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$tmp/install.log")"
root=$stage$prefix

# Every installed file, and nothing more.
{
  echo bin/vexlo-race
  echo libexec/vexlo-race/vexlo-race
  (cd "$src" && find data -type f) | sed 's#^#share/vexlo-race/#'
  echo "share/applications/$app_id.desktop"
  echo "share/metainfo/$app_id.metainfo.xml"
  for size in 32 64 128 256; do echo "share/icons/hicolor/${size}x$size/apps/$icon.png"; done
  echo share/man/man6/vexlo-race.6.gz
  echo share/doc/vexlo-race/copyright
  echo share/doc/vexlo-race/changelog.gz
} | sort >"$tmp/expected"
(cd "$root" && find . ! -type d | sed 's#^\./##' | sort) >"$tmp/installed"
[ -z "$(find "$stage" -mindepth 1 -maxdepth 1 ! -name opt)" ] || fail "files outside the prefix: $(ls "$stage")"
diff -u "$tmp/expected" "$tmp/installed" >"$tmp/diff" || fail "installed files differ from the expected list:
$(cat "$tmp/diff")"
for f in $(cd "$src" && find data -type f); do
  cmp -s "$src/$f" "$root/share/vexlo-race/$f" || fail "installed $f differs from the source tree's"
done
[ -x "$root/bin/vexlo-race" ] && [ -x "$root/libexec/vexlo-race/vexlo-race" ] || fail "launcher or game not executable"
echo "ok: $(wc -l <"$tmp/installed") files installed, each where expected"

# The icons: PNGs of their folder's size, with an alpha channel.
for size in 32 64 128 256; do
  python3 - "$root/share/icons/hicolor/${size}x$size/apps/$icon.png" "$size" <<'PY' || fail "icon ${size}x$size"
import struct, sys
data = open(sys.argv[1], "rb").read(33)
size = int(sys.argv[2])
assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", "not a PNG"
w, h, depth, colour = struct.unpack(">IIBB", data[16:26])
assert (w, h) == (size, size), f"{w}x{h}"
assert (depth, colour) == (8, 6), f"depth {depth}, colour type {colour}: not 8-bit RGBA"
PY
done
echo "ok: icons of 32, 64, 128 and 256 pixels, RGBA"

# The desktop entry: valid, and naming the launcher, the icon and the
# categories of an arcade game.
desktop=$root/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec | cut -d' ' -f1)" = vexlo-race ] || fail "Exec= is '$(key Exec)', not the launcher"
[ "$(key Icon)" = "$icon" ] || fail "Icon= is '$(key Icon)', not the installed icon '$icon'"
for category in Game ArcadeGame; do
  [[ ";$(key Categories)" == *";$category;"* ]] || fail "Categories= lacks $category: $(key Categories)"
done
echo "ok: the desktop entry validates and names the launcher, the icon, Game and ArcadeGame"

# The AppStream data: it launches the installed desktop entry and names the
# four screenshots of docs/screenshots/. Until the screenshots have a web
# address (VEXLO_SCREENSHOT_BASE), they are named by their path in the
# source tree, which AppStream does not accept; the validation then runs on
# a copy where they are given a stand-in web address.
metainfo=$root/share/metainfo/$app_id.metainfo.xml
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the AppStream data does not launch $app_id.desktop"
images=$(sed -n 's#.*<image>\(.*\)</image>.*#\1#p' "$metainfo")
[ "$(for i in $images; do basename "$i"; done | sort | tr '\n' ' ')" = "explosion.png game-over.png play.png title.png " ] ||
  fail "screenshots named: $images"
for i in $images; do
  [ -f "$src/docs/screenshots/$(basename "$i")" ] || fail "no docs/screenshots/$(basename "$i")"
done
sed '/<image>https\?:/!s#<image>#<image>https://example.org/#' "$metainfo" >"$tmp/$app_id.metainfo.xml"
appstreamcli validate --no-net "$tmp/$app_id.metainfo.xml" || fail "appstreamcli validate"
echo "ok: the AppStream data validates and names the four screenshots"

# The whole tree moved elsewhere, the launcher called through a link from
# a third folder.
mkdir -p "$tmp/moved/to/here" "$tmp/links" "$tmp/somewhere"
mv "$root" "$tmp/moved/to/here/vexlo"
moved=$tmp/moved/to/here/vexlo
ln -s "$moved/bin/vexlo-race" "$tmp/links/vexlo-race"
bash "$here/game_check.sh" "$tmp/links/vexlo-race" "$tmp/somewhere" \
  "$moved/libexec/vexlo-race/vexlo-race" "$moved/share/vexlo-race"
