# Sourced by the scripts that build (not run on its own): a build folder
# configured from a preset of CMakePresets.json and built. The folder may be
# another than the preset's own (BUILD_DIR and the like); the configure
# options live in the presets alone. Needs $root, the source tree.

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
