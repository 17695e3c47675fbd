// Where the player's own files live. On Linux the settings file is
// $XDG_CONFIG_HOME/vexlo-race/settings.conf and the games are kept in
// $XDG_DATA_HOME/vexlo-race/games (settings.h, kept_games.h); on Windows
// both are in %APPDATA%\vexlo-race\, as SDL_GetPrefPath names it. Nothing
// when the system gives no place.
#pragma once

#include <filesystem>
#include <optional>

namespace vexlo {

std::optional<std::filesystem::path> userSettingsFile();
std::optional<std::filesystem::path> userGamesFolder();

} // namespace vexlo
