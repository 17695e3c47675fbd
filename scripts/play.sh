#!/usr/bin/env bash
# Installs what building and running the game needs (and nothing for the
# tests or tools), builds the game alone in Release into build-game/ (or the
# folder given in BUILD_DIR) and starts it from the repository root.
# Arguments go to the game (vexlo-race --help lists them). The build is the
# preset "game" of CMakePresets.json: a unity build, each library compiled
# as one file, so that SDL's and the standard library's headers are read
# once a library rather than once a source, which takes less than half the
# processor time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The game's options, as vexlo-race --help lists them (the scripts test holds
# them to it), so that a mistyped one costs no build: each alone, or
# --NAME=VALUE or --NAME VALUE; a name may be shortened to any start that
# is no other's. --daily's value may be left out. The game checks the values.
flags=(fullscreen window mute scores player-key help version)
valued=(aspect record watch speed submit name server)
maybe_valued=(daily)
usage() {
  echo "usage: scripts/play.sh [GAME OPTION]..."
  echo "  the game's options: ${flags[*]/#/--} ${maybe_valued[*]/#/--}"
  echo "  and with a value: ${valued[*]/#/--}"
}
refuse() { usage >&2; exit 2; }

# The option a name stands for, or nothing when none or several.
option_named() {
  local found="" option
  for option in "${flags[@]}" "${valued[@]}" "${maybe_valued[@]}"; do
    [ "$option" != "$1" ] || { echo "$option"; return; }
    [[ -z $1 || $option != "$1"* ]] || found+="$option "
  done
  [[ $found =~ ^[a-z-]+\ $ ]] && echo "${found% }"
}

args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  arg=${args[i]}
  case $arg in
  -h) ;;
  --) [ $((i + 1)) -eq ${#args[@]} ] || refuse ;;
  --?*)
    name=${arg#--}
    name=${name%%=*}
    option=$(option_named "$name") || refuse
    if [[ " ${valued[*]} " == *" $option "* ]]; then
      [[ $arg == *=* ]] || { i=$((i + 1)); [ $i -lt ${#args[@]} ] || refuse; }
    elif [[ " ${maybe_valued[*]} " == *" $option "* ]]; then
      # A word that follows and is no option is the value, as the game takes it.
      [[ $arg == *=* || $((i + 1)) -ge ${#args[@]} || ${args[i + 1]} == -* ]] || i=$((i + 1))
    else
      [[ $arg != *=* ]] || refuse
    fi
    ;;
  *) refuse ;;
  esac
done

source "$root/scripts/presets.sh"
bash "$root/scripts/setup.sh" play
build=${BUILD_DIR:-$root/build-game}
configure_preset game "$build" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build" vexlo-race
cd "$root"
exec "$build/vexlo-race" "$@"
