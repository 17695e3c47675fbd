# The rest of the Windows build: the replay tool, the tests' helper inside
# Wine (a window's texts, a start as from the desktop), and the zip a
# player downloads, vexlo-race-windows-x64.zip, beside the build folder:
#
#   vexlo-race.exe  replay.exe  data/  LICENSE  README.txt  licenses/
#
# licenses/ holds those of the libraries linked into the programs, which
# scripts/windows-libraries.sh puts beside them.
add_subdirectory(tools/replay)
target_sources(replay PRIVATE ${PROJECT_SOURCE_DIR}/src/launch/windows/binary_streams.cpp)
add_executable(wine_helper tests/windows/wine_helper.cpp src/launch/windows/binary_streams.cpp)
target_link_libraries(wine_helper PRIVATE user32)

set(VEXLO_WINDOWS_ZIP "${PROJECT_BINARY_DIR}/../vexlo-race-windows-x64.zip" CACHE FILEPATH
    "Where the Windows build's zip is written")
set(stage ${PROJECT_BINARY_DIR}/zip)
file(GLOB data_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*)
file(GLOB license_files CONFIGURE_DEPENDS ${VEXLO_WINDOWS_DEPS}/licenses/*)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${stage}/LICENSE COPYONLY)
add_custom_command(OUTPUT ${VEXLO_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}/data ${stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/data ${stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E copy ${data_files} ${stage}/data
  COMMAND ${CMAKE_COMMAND} -E copy ${license_files} ${stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vexlo-race> $<TARGET_FILE:replay> ${stage}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VEXLO_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${VEXLO_WINDOWS_ZIP} --format=zip
          vexlo-race.exe replay.exe data LICENSE README.txt licenses
  DEPENDS vexlo-race replay ${data_files} ${license_files} ${stage}/README.txt ${stage}/LICENSE
  COMMENT "Packing vexlo-race-windows-x64.zip")
add_custom_target(vexlo_windows_zip ALL DEPENDS ${VEXLO_WINDOWS_ZIP})
