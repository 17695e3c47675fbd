# The score server's part of `cmake --install` (the component "board"),
# which scripts/package.sh makes the Debian package vexlo-board of:
#   bin/vexlo-board                          the server and its workers
#   share/vexlo-board/data/                  the game's data, which a worker plays with
#   share/vexlo-board/web/                   the page (VEXLO_WEB_SITE, built by scripts/web.sh), gzip copies and all
#   lib/systemd/system/                      vexlo-board.service, vexlo-board-worker@.service
#   share/doc/vexlo-board/examples/          vexlo-board.env, nginx-site.conf
#   share/man/man1/vexlo-board.1.gz          the manual page
#   share/doc/vexlo-board/                   copyright and changelog
set(vexlo_board_doc ${CMAKE_INSTALL_DATADIR}/doc/vexlo-board)
install(TARGETS vexlo-board RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT board)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data DESTINATION ${CMAKE_INSTALL_DATADIR}/vexlo-board COMPONENT board)
if(VEXLO_WEB_SITE)
  install(DIRECTORY ${VEXLO_WEB_SITE}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vexlo-board/web COMPONENT board
    PATTERN "*.zip" EXCLUDE)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/vexlo-board.service
  ${PROJECT_SOURCE_DIR}/packaging/systemd/vexlo-board-worker@.service
  DESTINATION lib/systemd/system COMPONENT board)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/board/vexlo-board.env DESTINATION ${vexlo_board_doc}/examples
  COMPONENT board)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/nginx/vexlo-board.conf DESTINATION ${vexlo_board_doc}/examples
  RENAME nginx-site.conf COMPONENT board)

set(vexlo_board_gz ${PROJECT_BINARY_DIR}/packaging/board-gz)
add_custom_command(OUTPUT ${vexlo_board_gz}/vexlo-board.1.gz ${vexlo_board_gz}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${vexlo_board_gz}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/vexlo-board.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
    ${vexlo_board_gz}
  COMMAND gzip -9nf ${vexlo_board_gz}/vexlo-board.1 ${vexlo_board_gz}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/vexlo-board.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vexlo_board_docs ALL DEPENDS ${vexlo_board_gz}/vexlo-board.1.gz ${vexlo_board_gz}/changelog.gz)
install(FILES ${vexlo_board_gz}/vexlo-board.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT board)
install(FILES ${vexlo_board_gz}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${vexlo_board_doc} COMPONENT board)

# Its package: the game's settings (cmake/package.cmake) with the name,
# words and files of its own, in a configuration of its own:
#   cd build && cpack --config CPackBoardConfig.cmake
configure_file(${PROJECT_SOURCE_DIR}/packaging/board/CPackBoardConfig.cmake.in
  ${PROJECT_BINARY_DIR}/CPackBoardConfig.cmake @ONLY)
