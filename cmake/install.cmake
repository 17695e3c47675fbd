# What `cmake --install` puts where (prefixes from GNUInstallDirs; DESTDIR
# and --prefix work as usual):
#   bin/vexlo-race                          the launcher, on the PATH
#   libexec/vexlo-race/vexlo-race           the game itself
#   share/vexlo-race/data/                  its pictures, music and sound
#   share/applications/, share/metainfo/    desktop entry and AppStream data
#   share/icons/hicolor/NxN/apps/           the icon, drawn by assetgen
#   share/man/man6/vexlo-race.6.gz          the manual page
#   share/doc/vexlo-race/                   copyright and changelog
# The game reads data/ from its working directory (as when it is started
# from the source tree), so the launcher changes there first. The replay
# tool, assetgen, the tests and the benchmarks are not installed.
include(GNUInstallDirs)

include(${CMAKE_CURRENT_LIST_DIR}/app_names.cmake)
set(VEXLO_SCREENSHOT_BASE "docs/screenshots/" CACHE STRING
  "Where the AppStream data says the screenshots are: the web address of docs/screenshots/, ending in a slash (by default their path in the source tree)")

set(VEXLO_INSTALL_GAMEDIR ${CMAKE_INSTALL_DATADIR}/vexlo-race)
set(VEXLO_INSTALL_EXEDIR ${CMAKE_INSTALL_LIBEXECDIR}/vexlo-race)

# The launcher finds the game and its data relative to its own folder, so
# the paths it holds stay right wherever the installed tree ends up.
file(RELATIVE_PATH VEXLO_BIN_TO_GAMEDIR
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/vexlo-race)
file(RELATIVE_PATH VEXLO_BIN_TO_EXE
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/vexlo-race/vexlo-race)
set(vexlo_packaging_out ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/vexlo-race.in
  ${vexlo_packaging_out}/launcher/vexlo-race @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${VEXLO_APP_ID}.metainfo.xml.in
  ${vexlo_packaging_out}/${VEXLO_APP_ID}.metainfo.xml @ONLY)

install(TARGETS vexlo-race RUNTIME DESTINATION ${VEXLO_INSTALL_EXEDIR})
install(PROGRAMS ${vexlo_packaging_out}/launcher/vexlo-race DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data DESTINATION ${VEXLO_INSTALL_GAMEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VEXLO_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vexlo_packaging_out}/${VEXLO_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon at every size, drawn from the player's car by the asset generator
# at build time.
set(vexlo_icon_dir ${vexlo_packaging_out}/icons)
set(vexlo_icon_sizes 32 64 128 256)
set(vexlo_icon_files)
foreach(size ${vexlo_icon_sizes})
  list(APPEND vexlo_icon_files ${vexlo_icon_dir}/icon-${size}.png)
  install(FILES ${vexlo_icon_dir}/icon-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${VEXLO_ICON_NAME}.png)
endforeach()
add_custom_command(OUTPUT ${vexlo_icon_files}
  COMMAND assetgen --icons ${vexlo_icon_dir}
  DEPENDS assetgen
  COMMENT "Drawing the desktop icon"
  VERBATIM)
add_custom_target(vexlo_icons ALL DEPENDS ${vexlo_icon_files})

# The manual page, the copyright and the changelog, compressed as Debian
# wants them: gzip -9n, without name and time, the same bytes every build.
set(vexlo_gzipped)
foreach(source docs/vexlo-race.6 packaging/changelog)
  get_filename_component(name ${source} NAME)
  set(copy ${vexlo_packaging_out}/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${copy}
    COMMAND gzip -9nf ${copy}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    VERBATIM)
  list(APPEND vexlo_gzipped ${copy}.gz)
endforeach()
add_custom_target(vexlo_docs ALL DEPENDS ${vexlo_gzipped})
install(FILES ${vexlo_packaging_out}/gz/vexlo-race.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${vexlo_packaging_out}/gz/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexlo-race)
