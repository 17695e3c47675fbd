#!/usr/bin/env bash
# Every script in scripts/ refuses what it does not understand at once: an
# unknown option, or an argument beyond what its usage takes, is answered
# with that usage on stderr and status 2 before the script installs, builds
# or starts anything. And play.sh, which checks the game's options before it
# builds, knows the very options the game lists in its --help.
# Usage: arguments_test.sh SOURCE_DIR [VEXLO_RACE]
set -euo pipefail
src=$1
game=${2:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The scripts alone in a tree of their own, and every command that installs,
# builds or serves replaced by one that writes its name down and fails.
node=$(command -v node)
mkdir -p "$tmp/tree" "$tmp/bin" "$tmp/site"
cp -r "$src/scripts" "$tmp/tree/"
touch "$tmp/site/index.html"
for command in apt-get apt dpkg-query sudo runuser cmake ctest cpack make npm node emcc python3 pg_ctl initdb psql; do
  printf '#!/bin/sh\necho %s >>"%s/called"\nexit 1\n' "$command" "$tmp" >"$tmp/bin/$command"
  chmod +x "$tmp/bin/$command"
done
tree_before=$(cd "$tmp/tree" && find . | sort)

# refused SCRIPT ARG...: status 2, the script's usage on stderr, nothing done.
refused() {
  local script=$1 status=0
  shift
  local run=(bash "$tmp/tree/scripts/$script")
  [[ $script != *.mjs ]] || run=("$node" "$tmp/tree/scripts/$script")
  rm -f "$tmp/called"
  # A script that goes on to serve is stopped.
  (cd "$tmp" && PATH="$tmp/bin:$PATH" timeout -k 5 30 "${run[@]}" "$@") </dev/null >"$tmp/out" 2>"$tmp/err" || status=$?
  local what="$script $*"
  [ $status -eq 2 ] || fail "$what: status $status, not 2"
  grep -q "^usage: .*scripts/$script" "$tmp/err" || fail "$what: no usage on stderr: $(head -c 300 "$tmp/err")"
  [ ! -e "$tmp/called" ] || fail "$what: ran $(tr '\n' ' ' <"$tmp/called")before refusing"
  [ "$(cd "$tmp/tree" && find . | sort)" = "$tree_before" ] || fail "$what: made files before refusing"
}

# An unknown option, to every script there is.
for path in "$src"/scripts/*; do
  refused "$(basename "$path")" --no-such-option
done

# More than the usage takes, or what it does not take.
refused board-db.sh start "$tmp/db" extra
refused board-db.sh start
refused board-db.sh begin "$tmp/db"
refused board.sh --port 8080 extra
refused board.sh --port 65536
refused board.sh --workers 0
refused board.sh --workers
refused board.sh --metrics-port 70000
refused board.sh admin no-such-command
refused build.sh extra
refused install-missing.sh
refused install-missing.sh g++ -y
refused package.sh extra
refused play.sh --mute extra
refused play.sh --w         # --window or --watch
refused play.sh --mute=on
refused play.sh --record
refused play.sh --daily 2026-12-01 extra
refused play.sh -- --mute
refused presets.sh
refused screenshots.sh build extra
refused serve-web.mjs "$tmp/site" 8000 extra
refused serve-web.mjs "$tmp/site" port
refused serve-web.mjs "$tmp/nowhere"
refused setup-web.sh --tests extra
refused setup.sh play extra
refused setup.sh everything
refused test.sh extra
refused web.sh --build-only --zip extra
refused web.sh --zip --zip
refused windows.sh extra
refused windows-libraries.sh
refused windows-libraries.sh "$tmp/cache" extra
refused setup-windows.sh --tests extra
refused debian-source.sh

# play.sh's list of the game's options is the game's: the names, and which
# take a value (--aspect=ASPECT, --record FILE).
if [ -n "$game" ]; then
  (cd "$tmp" && PATH="$tmp/bin:$PATH" bash "$tmp/tree/scripts/play.sh" --no-such-option) 2>"$tmp/usage" || true
  listed() { grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u | tr '\n' ' '; }
  # (Its status aside: a sanitized build may add its own findings to it.)
  game_help=$("$game" --help 2>/dev/null) || true
  [ -n "$game_help" ] || fail "$game --help said nothing"
  [ "$(listed <<<"$game_help")" = "$(grep -E "options:|a value:" "$tmp/usage" | listed)" ] ||
    fail "play.sh's options ($(grep -E "options:|a value:" "$tmp/usage" | listed)) are not the game's ($(listed <<<"$game_help"))"
  [ "$(grep -oE -- '--[a-z]+[= ][A-Z]+' <<<"$game_help" | listed)" = "$(grep "a value:" "$tmp/usage" | listed)" ] ||
    fail "play.sh's options with a value ($(grep "a value:" "$tmp/usage" | listed)) are not the game's"
fi

[ $failures -eq 0 ] || exit 1
echo "ok: every script in scripts/ refuses what it does not understand, before any work"
