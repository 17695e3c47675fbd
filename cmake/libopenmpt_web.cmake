# libopenmpt for the browser build, compiled from Debian's source package
# (scripts/web.sh fetches it) with the same compiler as the game. Only the
# module renderer: no file formats that need outside libraries (the game
# plays one XM module), no command-line player, no tests.
#   VEXLO_OPENMPT_SOURCE: the unpacked source folder.
if(NOT IS_DIRECTORY "${VEXLO_OPENMPT_SOURCE}/soundlib")
  message(FATAL_ERROR "VEXLO_OPENMPT_SOURCE does not hold libopenmpt's source: '${VEXLO_OPENMPT_SOURCE}'")
endif()
file(GLOB openmpt_sources
  ${VEXLO_OPENMPT_SOURCE}/common/*.cpp
  ${VEXLO_OPENMPT_SOURCE}/soundlib/*.cpp
  ${VEXLO_OPENMPT_SOURCE}/soundlib/plugins/*.cpp
  ${VEXLO_OPENMPT_SOURCE}/soundlib/plugins/dmo/*.cpp
  ${VEXLO_OPENMPT_SOURCE}/sounddsp/*.cpp)
list(APPEND openmpt_sources
  ${VEXLO_OPENMPT_SOURCE}/libopenmpt/libopenmpt_c.cpp
  ${VEXLO_OPENMPT_SOURCE}/libopenmpt/libopenmpt_cxx.cpp
  ${VEXLO_OPENMPT_SOURCE}/libopenmpt/libopenmpt_ext_impl.cpp
  ${VEXLO_OPENMPT_SOURCE}/libopenmpt/libopenmpt_impl.cpp)
add_library(openmpt_web STATIC ${openmpt_sources})
target_compile_definitions(openmpt_web PRIVATE LIBOPENMPT_BUILD)
target_include_directories(openmpt_web
  PRIVATE ${VEXLO_OPENMPT_SOURCE} ${VEXLO_OPENMPT_SOURCE}/src ${VEXLO_OPENMPT_SOURCE}/common
          ${VEXLO_OPENMPT_SOURCE}/build/svn_version
)
target_include_directories(openmpt_web SYSTEM PUBLIC ${VEXLO_OPENMPT_SOURCE})
# Not our code: its own warnings are not ours to fix.
target_compile_options(openmpt_web PRIVATE -w)
