#include "launch/desktop/user_folders.h"

#include "launch/desktop/kept_games.h"
#include "launch/desktop/settings.h"

#include <cstdlib>

namespace vexlo {

std::optional<std::filesystem::path> userSettingsFile() {
    return settingsFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::optional<std::filesystem::path> userGamesFolder() {
    return keptGamesFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

} // namespace vexlo
