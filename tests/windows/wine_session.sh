# Shared by the Windows tests: the Windows build as a player gets it (the
# zip, unpacked), run under Debian's wine64 in a Wine prefix of the test's
# own, made in its temporary folder. Source it after x11_session.sh (or
# game_session.sh), with $tmp made; it removes the prefix's programs when
# the script ends.
#
#   unpack_zip ZIP          the zip into $tmp/game; sets $windows_game
#   start_wine              the prefix, its server and (once Xvfb runs) its
#                           desktop
#   wine_run EXE ARG...     a Windows program, in the foreground
#
# VEXLO_WINE_HELPER names the Windows build's wine_helper.exe.
# run_exe.sh starts $VEXLO_WINDOWS_EXE under Wine, for the helpers that take
# a program's path (game_session.sh's start_game, run_golden.sh).
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all
# Wine reads the command line, the user's name and file names in the
# locale's character set; with none set (a bare system's POSIX locale,
# plain ASCII) the tests' names beyond ASCII could not reach the game.
# C.UTF-8 is in every Debian's libc.
export LC_ALL=C.UTF-8
# No downloads of Wine's Mono or Gecko, and no box asking for them.
export WINEDLLOVERRIDES="mscoree,mshtml="
run_exe=$(realpath "$(dirname "${BASH_SOURCE[0]}")/run_exe.sh")
helper=$(realpath "${VEXLO_WINE_HELPER:?names wine_helper.exe of the Windows build}")

wine_cleanup() {
  [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null || true
}
trap 'wine_cleanup; cleanup' EXIT

unpack_zip() {
  rm -rf "$tmp/game"
  python3 -m zipfile -e "$1" "$tmp/game" || fail "cannot unpack $1"
  windows_game=$tmp/game
}

# The prefix is made, and Wine's server and desktop started, here, so that
# no program of a test leaves them behind among its own processes.
start_wine() {
  local started_ms
  started_ms=$(now_ms)
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p
  "$wine" wineboot --init >"$tmp/wineboot.log" 2>&1 || fail "wineboot: $(cat "$tmp/wineboot.log")"
  # Wine's desktop, held open for the whole test, so that its process
  # starts here and not among a game's.
  if [ -n "${DISPLAY:-}" ]; then
    "$wine" "$helper" hold >"$tmp/hold.out" 2>&1 &
    started+=($!)
    until_true 'grep -q "^holding" "$tmp/hold.out"' || fail "Wine's desktop did not start: $(cat "$tmp/hold.out")"
  fi
  echo "Wine prefix made in $(($(now_ms) - started_ms)) ms"
}

wine_run() {
  local exe=$1
  shift
  "$wine" "$exe" "$@"
}
