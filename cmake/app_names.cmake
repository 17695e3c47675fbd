# The names the installed game goes by, for cmake/install.cmake and the
# install tests: the reverse-DNS name of its desktop entry and AppStream
# component, and the name of its icon (the launcher is always vexlo-race).
set(VEXLO_APP_ID io.github.tamsel.VexloRace)
set(VEXLO_ICON_NAME vexlo-race)
