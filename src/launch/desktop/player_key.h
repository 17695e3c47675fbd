// The player's key: 32 random bytes in base64url, made at the first
// --submit and sent with every run, so that the first verified run under a
// name claims it for this player. Kept in $XDG_DATA_HOME/vexlo-race/player.key
// (mode 0600); `vexlo-race --player-key` prints it, to take it to another
// device (or to the page, which can take one pasted in).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vexlo {

constexpr std::size_t PlayerKeyCharacters = 43;

// Beside the kept games' folder (user_folders.h: $XDG_DATA_HOME/vexlo-race/,
// %APPDATA%\vexlo-race\ on Windows); nothing when there is none.
std::optional<std::filesystem::path> playerKeyFile(const std::optional<std::filesystem::path>& gamesFolder);

bool isPlayerKey(std::string_view text);

struct PlayerKey {
    std::string key;
    std::string problem; // why there is none
};

// The key kept in the file; a new one, written there first, when there is
// no file yet. A file that holds no key is left as it is (it may be the
// player's), with the problem said.
PlayerKey playerKey(const std::filesystem::path& file);

} // namespace vexlo
