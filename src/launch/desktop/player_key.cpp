#include "launch/desktop/player_key.h"

#include "launch/desktop/kept_games.h"
#include "launch/desktop/plain_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexlo {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string newKey() {
    unsigned char bytes[33] = {}; // a zero byte more fills the last group of six bits
    for (std::size_t got = 0; got < 32;) {
        const ssize_t n = getrandom(bytes + got, 32 - got, 0);
        if (n < 0 && errno != EINTR)
            return {};
        got += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
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

// Written whole under a temporary name, then linked to its own, which fails
// if another --submit made it meanwhile: that one's key is then read.
std::string writeNewKey(const std::filesystem::path& file, const std::string& key) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::string temporary = (file.parent_path() / ".player.key.XXXXXX").string();
    const int fd = mkstemp(temporary.data()); // mode 0600
    if (fd < 0)
        return "cannot write in " + file.parent_path().string() + ": " + std::strerror(errno);
    const std::string text = key + "\n";
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    std::string problem;
    if (!written)
        problem = "cannot write " + file.string() + ": " + std::strerror(error);
    else if (::link(temporary.c_str(), file.c_str()) != 0 && errno != EEXIST)
        problem = "cannot write " + file.string() + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return problem;
}

} // namespace

std::optional<std::filesystem::path> playerKeyFile(const char* xdgDataHome, const char* home) {
    const auto games = keptGamesFolder(xdgDataHome, home);
    if (!games)
        return std::nullopt;
    return games->parent_path() / "player.key";
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
