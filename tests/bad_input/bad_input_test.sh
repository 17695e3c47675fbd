#!/usr/bin/env bash
# Broken and missing files under data/: nothing crashes, every message names
# its file, and each case ends with its own exit status.
#   bad_input_test.sh REPLAY SOURCE_DIR GROUP    (GROUP: pictures | music | effect)
set -uo pipefail
replay=$1 source=$2 group=$3
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A whole short game: start, a few frames of play, Escape.
printf '272 13\n300 27\n' > "$work/game.keys"
# A game at speed 5 that runs into the traffic, and a key for the game-over screen.
printf '272 13\n272 39\n272 39\n272 39\n272 39\n20000 32\n' > "$work/crash.keys"

fresh_data() {
  rm -rf "$work/game"
  mkdir -p "$work/game"
  cp -r "$source/data" "$work/game/data"
}

# Runs the replay in $work/game; sets $status, $frames, $err, $messages, $sound.
play() {
  local keys=${1:-game}
  rm -rf "$work/out"; mkdir -p "$work/out"
  (cd "$work/game" && "$replay" --keys "$work/$keys.keys" --out "$work/out" --max-updates 3000 \
     > "$work/out/stdout.txt" 2> "$work/out/stderr.txt")
  status=$?
  frames=$(wc -l < "$work/out/frames.txt")
  err=$(cat "$work/out/stderr.txt")
  messages=$(cat "$work/out/messages.txt")
  sound=$(cat "$work/out/sound.txt")
  if grep -qE 'AddressSanitizer|runtime error|LeakSanitizer' "$work/out/stderr.txt"; then
    fail "$case: a sanitizer reported: $(head -5 "$work/out/stderr.txt")"
  fi
}

expect_picture_refused() {  # expect_picture_refused NAME WHAT
  [ "$status" -eq 1 ] || fail "$case: status $status, expected 1"
  [ "$frames" -eq 0 ] || fail "$case: $frames frames shown; no window should open"
  [ -z "$sound" ] || fail "$case: the sound library was started"
  [[ $err == *"data/$1"* ]] || fail "$case: stderr does not name data/$1: $err"
  [[ $err == *"$2"* ]] || fail "$case: stderr does not say '$2': $err"
}

expect_plays() {
  [ "$status" -eq 0 ] || fail "$case: status $status, expected 0; $err"
  [ "$frames" -gt 272 ] || fail "$case: only $frames frames"
}

pictures=(gentil mechant route titre score explosion1 explosion2 explosion3 0 1 2 3 4 5 6 7 8 9 perdu)

case $group in
pictures)
  for name in "${pictures[@]}"; do
    case="missing $name.raw"
    fresh_data; rm "$work/game/data/$name.raw"; play
    expect_picture_refused "$name.raw" "No such file"
  done
  echo "checked: each of the ${#pictures[@]} pictures missing in turn"

  case="route.raw is a folder"
  fresh_data; rm "$work/game/data/route.raw"; mkdir "$work/game/data/route.raw"; play
  expect_picture_refused route.raw "cannot read"

  case="data is a file"
  fresh_data; rm -r "$work/game/data"; echo "not a folder" > "$work/game/data"; play
  expect_picture_refused gentil.raw "Not a directory"

  # Short, empty and over-long pictures load: what a file lacks is black,
  # what it has beyond its size is ignored.
  for size in 0 100 end; do
    case="titre.raw of $size bytes"
    fresh_data
    if [ $size = end ]; then
      case="titre.raw with 5000 extra bytes"
      head -c 5000 /dev/urandom >> "$work/game/data/titre.raw"
    else
      head -c $size "$source/data/titre.raw" > "$work/game/data/titre.raw"
    fi
    play; expect_plays
  done
  # The title picture is shown whole at update 271: with an empty title file
  # that frame is black, with extra bytes it is the usual one.
  case="titre.raw of 0 bytes shows black"
  fresh_data; : > "$work/game/data/titre.raw"; play
  expected_black=$(sed -n 1p "$work/out/frames.txt" | cut -d' ' -f2)
  [ "$(sed -n 271p "$work/out/frames.txt" | cut -d' ' -f2)" = "$expected_black" ] \
    || fail "$case: the title frame is not black"
  ;;

music)
  # Each broken music file: one box with the sound library's text, then the
  # music cannot start and the run ends with status 1 after the intro.
  declare -A texts=([missing]="File not found" [empty]="Unknown file format"
                    [garbage]="Unknown file format" [truncated]="Error loading file")
  for kind in missing empty garbage truncated; do
    case="music $kind"
    fresh_data
    music="$work/game/data/vexlo.xm"
    case $kind in
      missing) rm "$music" ;;
      empty) : > "$music" ;;
      garbage) head -c 4000 /dev/urandom > "$music" ;;
      truncated) head -c 3000 "$source/data/vexlo.xm" > "$music" ;;
    esac
    play
    [ "$status" -eq 1 ] || fail "$case: status $status, expected 1"
    [ "$frames" -eq 70 ] || fail "$case: $frames frames, expected the 70 of the intro"
    [ "$messages" = "${texts[$kind]}" ] || fail "$case: messages '$messages', expected '${texts[$kind]}'"
    [[ $err == *"data\\vexlo.xm"* ]] || fail "$case: stderr does not name the music file: $err"
  done
  echo "checked: the music missing, empty, garbage and truncated"
  ;;

effect)
  # A missing or broken explosion is silent: the game plays to its end.
  for kind in missing garbage truncated; do
    case="effect $kind"
    fresh_data
    effect="$work/game/data/explode.mp3"
    case $kind in
      missing) rm "$effect" ;;
      garbage) head -c 3000 /dev/urandom > "$effect" ;;
      truncated) head -c 300 "$source/data/explode.mp3" > "$effect" ;;
    esac
    play crash
    [ "$status" -eq 0 ] || fail "$case: status $status, expected 0; $err"
    [ -z "$messages" ] || fail "$case: unexpected messages: $messages"
    grep -q FSOUND_PlaySound <<< "$sound" || fail "$case: the crash did not try the explosion"
  done
  echo "checked: the explosion missing, garbage and truncated"
  ;;
esac

[ $failures -eq 0 ] && echo "all $group cases pass"
[ $failures -eq 0 ]
