#include "launch/desktop/player_key.h"

#include "launch/desktop/plain_file.h"
#include "launch/desktop/system_random.h"

namespace vexlo {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string newKey() {
    unsigned char bytes[33] = {}; // a zero byte more fills the last group of six bits
    if (!systemRandomBytes(bytes, 32))
        return {};
    std::string key;
    for (int i = 0; i < 33; i += 3) {
        const unsigned group = static_cast<unsigned>(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6)
            key += Alphabet[(group >> k) & 63];
    }
    key.resize(PlayerKeyCharacters);
    return key;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Written whole, and never over a key another --submit made meanwhile:
// that one is then read.
std::string writeNewKey(const std::filesystem::path& file, const std::string& key) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    bool exists = false;
    std::string problem;
    writeNewFile(file, key + "\n", exists, problem);
    return exists ? "" : problem;
}

} // namespace

std::optional<std::filesystem::path> playerKeyFile(const std::optional<std::filesystem::path>& gamesFolder) {
    if (!gamesFolder)
        return std::nullopt;
    return gamesFolder->parent_path() / "player.key";
}

bool isPlayerKey(std::string_view text) {
    return text.size() == PlayerKeyCharacters && text.find_first_not_of(Alphabet) == std::string_view::npos;
}

PlayerKey playerKey(const std::filesystem::path& file) {
    SmallFile read = readSmallFile(file, 1024, true);
    if (read.missing) {
        const std::string key = newKey();
        if (key.empty())
            return {"", "the system gave no random bytes for a player key"};
        if (std::string problem = writeNewKey(file, key); !problem.empty())
            return {"", problem};
        read = readSmallFile(file, 1024, true);
    }
    if (!read.problem.empty())
        return {"", file.string() + " " + read.problem};
    const std::string key = trimmed(read.text);
    if (!isPlayerKey(key))
        return {"", file.string() + " holds no player key (43 characters of A-Z, a-z, 0-9, - and _); move it " +
                        "aside, and a new key is made"};
    return {key, ""};
}

} // namespace vexlo
