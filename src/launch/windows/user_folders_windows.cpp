// The player's own files on Windows: %APPDATA%\vexlo-race\, as SDL names
// the folder of an application's preferences (and makes it).
#include "launch/desktop/user_folders.h"

#include "launch/desktop/utf8_path.h"

#include <SDL.h>

namespace vexlo {

namespace {

std::optional<std::filesystem::path> ownFolder() {
    char* folder = SDL_GetPrefPath("", "vexlo-race");
    if (folder == nullptr)
        return std::nullopt;
    const std::filesystem::path path = pathOf(folder);
    SDL_free(folder);
    return path;
}

} // namespace

std::optional<std::filesystem::path> userSettingsFile() {
    const auto folder = ownFolder();
    return folder ? std::optional(*folder / "settings.conf") : std::nullopt;
}

std::optional<std::filesystem::path> userGamesFolder() {
    const auto folder = ownFolder();
    return folder ? std::optional(*folder / "games") : std::nullopt;
}

} // namespace vexlo
