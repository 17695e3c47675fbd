# A Debian package of what cmake/install.cmake installs, under /usr, but for
# the launcher, which goes to /usr/games as Debian's policy has it for games
# (cmake/games_layout.cmake):
#   cd build-deb && cpack -G DEB   (as scripts/package.sh does)
# Its Depends line is computed by dpkg-shlibdeps (dpkg-dev) from the shared
# libraries the game links, so apt brings SDL2, SDL2_mixer and libopenmpt.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexlo-race)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vexlo Race developers <vexlo-race@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade car game: dodge the traffic on a scrolling highway")
set(CPACK_PACKAGE_DESCRIPTION [[Your car holds a column near the left of a highway that scrolls from
right to left. Steer it up and down, pick one of five speeds and dodge the
cars that drift in from the right; the score grows by your speed every
frame, and one touch ends the game.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/games_layout.cmake)
# The game's files only: the score server has a package of its own
# (cmake/board_install.cmake).
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};game;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Sending a kept game to a score server (--submit) opens libcurl when asked;
# the game runs without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcurl4 | libcurl3-gnutls")

include(CPack)
