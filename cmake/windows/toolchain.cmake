# Windows x64 from Debian: the mingw-w64 compilers with POSIX threads
# (g++-mingw-w64-x86-64-posix; std::thread and std::async need them). The
# game's libraries (SDL2, SDL2_mixer, libopenmpt) come from
# VEXLO_WINDOWS_DEPS, the folder scripts/windows.sh builds them into, and
# are found through their pkg-config files, linked statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(vexlo_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${vexlo_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vexlo_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${vexlo_triple}-windres)

# The toolchain file is read again for every compiler check, where only the
# environment carries the folder over.
if(VEXLO_WINDOWS_DEPS)
  set(ENV{VEXLO_WINDOWS_DEPS} "${VEXLO_WINDOWS_DEPS}")
else()
  set(VEXLO_WINDOWS_DEPS "$ENV{VEXLO_WINDOWS_DEPS}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${vexlo_triple} ${VEXLO_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the libraries built for Windows, and gives what a
# static link needs (their Libs.private: the system's import libraries).
if(VEXLO_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} "${VEXLO_WINDOWS_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(PKG_CONFIG_ARGN --static)
endif()
