# Run by cpack on the staged tree, before it makes the Debian package: the
# launcher goes to /usr/games, where Debian's policy puts the programs of
# games. It finds the game and its data relative to its own folder, and
# /usr/games is as deep as /usr/bin, so its paths stay right.
set(staged "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(EXISTS "${staged}/bin/vexlo-race")
  file(MAKE_DIRECTORY "${staged}/games")
  file(RENAME "${staged}/bin/vexlo-race" "${staged}/games/vexlo-race")
  file(GLOB others "${staged}/bin/*")
  if(NOT others)
    file(REMOVE_RECURSE "${staged}/bin")
  endif()
endif()
