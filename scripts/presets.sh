# Sourced by the scripts that build (not run on its own): a build folder
# configured from a preset of CMakePresets.json and built. The folder may be
# another than the preset's own (BUILD_DIR and the like); the configure
# options live in the presets alone. Needs $root, the source tree.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "usage: source scripts/presets.sh (from a script that builds; it does nothing on its own)" >&2
  exit 2
fi

# no_arguments USAGE ARG...: for a script that takes none. -h or --help
# prints USAGE; any other argument is refused with it and status 2.
no_arguments() {
  local usage=$1
  shift
  [ $# -gt 0 ] || return 0
  if [ $# -eq 1 ] && [[ $1 =~ ^(-h|--help)$ ]]; then
    echo "$usage"
    exit 0
  fi
  echo "$usage" >&2
  exit 2
}

# configure_preset PRESET FOLDER [CMAKE_ARG...]: its output is kept in
# FOLDER/configure.log and shown when it fails.
configure_preset() {
  local preset=$1 folder=$2
  shift 2
  mkdir -p "$folder"
  cmake -S "$root" --preset "$preset" -B "$folder" "$@" >"$folder/configure.log" 2>&1 ||
    { cat "$folder/configure.log" >&2; return 1; }
}

# build_folder FOLDER [TARGET...]: the targets named, or everything.
build_folder() {
  local folder=$1
  shift
  cmake --build "$folder" -j"$(nproc)" ${1:+--target "$@"}
}

# build_folder_quietly FOLDER [TARGET...]: the same with its output kept in
# FOLDER/build.log, shown only when it fails, so that what the script prints
# next stands alone.
build_folder_quietly() {
  build_folder "$@" >"$1/build.log" 2>&1 || { cat "$1/build.log" >&2; return 1; }
}
