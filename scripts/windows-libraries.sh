#!/usr/bin/env bash
# Builds SDL2, SDL2_mixer and libopenmpt for Windows x64 from Debian's own
# source packages, with only what the game uses, into CACHE/prefix (static
# libraries, their headers and pkg-config files, and their licences), and
# copies Debian's nlohmann-json headers there. Run by scripts/windows.sh:
#
#   bash scripts/windows-libraries.sh CACHE
#
# The sources are fetched into CACHE/src as scripts/web.sh fetches
# libopenmpt; the build is kept while this script and the toolchain file
# stay the same, and takes a few minutes when they change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/windows-libraries.sh CACHE"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
[ $# -eq 1 ] && [[ $1 != -* ]] || { usage >&2; exit 2; }
source "$root/scripts/debian-source.sh"
cache=$1
deps=$cache/prefix
toolchain=$root/cmake/windows/toolchain.cmake
jobs=$(nproc)

# The recipe's own hash: a change to this script or the toolchain builds the
# libraries again.
recipe=$(cat "$0" "$toolchain" | sha256sum | cut -c1-16)
if [ "$(cat "$deps/.recipe" 2>/dev/null)" != "$recipe" ]; then
  started=$(date +%s)
  rm -rf "$deps" "$cache/work"
  if ! ls -d "$cache/src"/libsdl2-2.*/ "$cache/src"/libsdl2-mixer-*/ "$cache/src"/libopenmpt-*/ >/dev/null 2>&1; then
    rm -rf "$cache/src"
    fetch_debian_sources "$cache" "$cache/src" libsdl2 libsdl2-mixer libopenmpt
  fi
  sdl=$(ls -d "$cache/src"/libsdl2-2.*/ | head -n 1)
  mixer=$(ls -d "$cache/src"/libsdl2-mixer-*/ | head -n 1)
  openmpt=$(ls -d "$cache/src"/libopenmpt-*/ | head -n 1)
  mkdir -p "$cache/work"

  # quietly LOG COMMAND...: the output kept in LOG, shown when it fails.
  quietly() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 || { tail -n 60 "$log" >&2; return 1; }
  }
  cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXLO_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release
         -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF)

  # SDL2: video, events, audio (the disk and dummy drivers too, for the
  # tests) and gamepads; no OpenGL ES or Vulkan, no sensors, haptics,
  # power, locale, no SDL2main (the game has its own entry).
  echo "building SDL2 for Windows from $(basename "$sdl")"
  quietly "$cache/work/sdl2.log" cmake -S "$sdl" -B "$cache/work/sdl2" "${cross[@]}" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_CCACHE=OFF \
    -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF -DSDL_SENSOR=OFF -DSDL_HAPTIC=OFF -DSDL_POWER=OFF \
    -DSDL_LOCALE=OFF -DSDL_MISC=OFF
  quietly "$cache/work/sdl2-build.log" cmake --build "$cache/work/sdl2" -j"$jobs" --target install
  # Which program is a window program is the game's to say, not SDL's.
  sed -i 's/ *-lmingw32 -mwindows//g' "$deps/lib/pkgconfig/sdl2.pc"

  # SDL2_mixer: WAV and MP3 (dr_mp3, inside it); the game renders its
  # tracker module with libopenmpt itself.
  echo "building SDL2_mixer for Windows from $(basename "$mixer")"
  quietly "$cache/work/mixer.log" cmake -S "$mixer" -B "$cache/work/mixer" "${cross[@]}" \
    -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF \
    -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF \
    -DSDL2MIXER_VORBIS=OFF -DSDL2MIXER_WAVPACK=OFF -DSDL2MIXER_GME=OFF \
    -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON -DSDL2MIXER_MP3_MPG123=OFF -DSDL2MIXER_WAVE=ON
  quietly "$cache/work/mixer-build.log" cmake --build "$cache/work/mixer" -j"$jobs" --target install
  # Its CMake writes a pkg-config file only for a shared library.
  cat >"$deps/lib/pkgconfig/SDL2_mixer.pc" <<PC
prefix=$deps
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SDL2_mixer
Description: mixer library for Simple DirectMedia Layer (static, WAV and MP3)
Version: $(basename "$mixer" | sed 's/^libsdl2-mixer-\([0-9.]*\).*/\1/')
Requires: sdl2
Libs: -L\${libdir} -lSDL2_mixer
Cflags: -I\${includedir}/SDL2
PC

  # libopenmpt: the module renderer alone, with none of the libraries that
  # decode other formats and no player or tests; without debugging data.
  echo "building libopenmpt for Windows from $(basename "$openmpt")"
  mkdir -p "$cache/work/openmpt"
  (cd "$cache/work/openmpt" &&
    quietly "$cache/work/openmpt.log" "$openmpt/configure" --host=x86_64-w64-mingw32 --prefix="$deps" \
      CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix CFLAGS=-O2 CXXFLAGS=-O2 \
      --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests \
      --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
      --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp \
      --without-sndfile --without-flac &&
    quietly "$cache/work/openmpt-build.log" make -j"$jobs" install)

  # The licences of what is linked into the programs, for the zip.
  mkdir -p "$deps/licenses"
  cp "$sdl/debian/copyright" "$deps/licenses/SDL2.txt"
  cp "$mixer/debian/copyright" "$deps/licenses/SDL2_mixer.txt"
  cp "$openmpt/debian/copyright" "$deps/licenses/libopenmpt.txt"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$deps/licenses/mingw-w64.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$deps/licenses/gcc-runtime.txt"
  # nlohmann-json is headers alone: Debian's own, beside the others.
  mkdir -p "$deps/include" "$deps/share/cmake"
  cp -r /usr/include/nlohmann "$deps/include/"
  cp -r /usr/share/cmake/nlohmann_json "$deps/share/cmake/"
  echo "$recipe" >"$deps/.recipe"
  echo "built the libraries for Windows in $(($(date +%s) - started)) s"
fi
