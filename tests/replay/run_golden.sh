#!/usr/bin/env bash
# Replays one scripted game with the game's own data/ and compares every
# frame, sound call and message with the recorded golden run.
#   run_golden.sh REPLAY SOURCE_DIR NAME [--update]
set -euo pipefail
replay=$1 source=$2 name=$3 mode=${4:-}
here="$source/tests/replay"
golden="$here/golden/$name"
args=()
[ -f "$here/$name.args" ] && read -r -a args < "$here/$name.args"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$source"
"$replay" --keys "$here/$name.keys" --out "$out" "${args[@]}" > "$out/stdout.txt"
tail -n 1 "$out/stdout.txt" > "$out/exit.txt"
files=(frames.txt sound.txt messages.txt exit.txt)
if [ "$mode" = "--update" ]; then
  mkdir -p "$golden"
  for f in "${files[@]}"; do cp "$out/$f" "$golden/$f"; done
  echo "updated $name: $(wc -l < "$out/frames.txt") frames, $(cat "$out/exit.txt")"
  exit 0
fi
status=0
for f in "${files[@]}"; do
  if ! diff -q "$golden/$f" "$out/$f" > /dev/null; then
    echo "$name: $f differs from the golden run:"
    diff "$golden/$f" "$out/$f" | head -n 10
    status=1
  fi
done
[ $status -eq 0 ] && echo "$name: $(wc -l < "$out/frames.txt") frames match"
exit $status
