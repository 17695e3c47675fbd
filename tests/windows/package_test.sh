#!/usr/bin/env bash
# What the zip holds: the two programs, data/ as in the source tree, the
# licence, the README and the libraries' licences; programs that need no
# DLL but Windows' own (each one a DLL Wine also has), the game a window
# program with its icon, manifest and version, the replay tool a console
# program.
#   package_test.sh ZIP SOURCE_DIR VERSION
set -euo pipefail
zip=$(realpath "$1")
source_dir=$(realpath "$2")
version=$3
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
system_dlls=${WINE_DLLS:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

python3 -m zipfile -e "$zip" "$tmp/game"
for f in vexlo-race.exe replay.exe LICENSE README.txt licenses/SDL2.txt licenses/SDL2_mixer.txt licenses/libopenmpt.txt; do
  [ -f "$tmp/game/$f" ] || fail "the zip has no $f: $(python3 -m zipfile -l "$zip")"
done
diff -r "$source_dir/data" "$tmp/game/data" >/dev/null || fail "data/ differs from the source tree's"
cmp -s "$source_dir/LICENSE" "$tmp/game/LICENSE" || fail "LICENSE differs"
grep -q $'\r$' "$tmp/game/README.txt" || fail "README.txt has no Windows line ends"
echo "the zip: $(cd "$tmp/game" && ls | paste -sd ' '), data/ as in the source tree"

for exe in vexlo-race.exe replay.exe; do
  "$objdump" -p "$tmp/game/$exe" >"$tmp/$exe.headers"
  for dll in $(sed -n 's/^\tDLL Name: //p' "$tmp/$exe.headers"); do
    [ -n "$(find "$system_dlls" -maxdepth 1 -iname "$dll")" ] || fail "$exe needs $dll, which is not part of Windows"
  done
  echo "$exe needs only Windows' own: $(sed -n 's/^\tDLL Name: //p' "$tmp/$exe.headers" | paste -sd ' ')"
done
grep -q "^Subsystem.*(Windows GUI)" "$tmp/vexlo-race.exe.headers" || fail "vexlo-race.exe is not a window program"
grep -q "^Subsystem.*(Windows CUI)" "$tmp/replay.exe.headers" || fail "replay.exe is not a console program"

# The icon's images, the manifest and the version inside the game.
python3 - "$tmp/game/vexlo-race.exe" "$source_dir/data/vexlo-race.ico" "$version" <<'PY'
import struct, sys
exe = open(sys.argv[1], "rb").read()
ico = open(sys.argv[2], "rb").read()
count = struct.unpack_from("<H", ico, 4)[0]
for i in range(count):
    size, offset = struct.unpack_from("<II", ico, 6 + 16 * i + 8)
    if exe.find(ico[offset:offset + size]) < 0:
        sys.exit("FAIL: icon image %d is not in vexlo-race.exe" % i)
for text in [b"<activeCodePage", "Vexlo Race".encode("utf-16-le"), sys.argv[3].encode("utf-16-le")]:
    if exe.find(text) < 0:
        sys.exit("FAIL: %r is not in vexlo-race.exe" % text)
print("vexlo-race.exe holds the icon's %d images, the manifest and the version" % count)
PY
echo "ok: the Windows zip"
