#include "launch/desktop/settings.h"

#include "launch/desktop/plain_file.h"
#include "launch/desktop/server_url.h"
#include "launch/desktop/utf8_path.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace vexlo {

namespace {

constexpr const char* Header =
    "# Vexlo Race remembers these between runs; options on the command line win.\n"
    "# fullscreen and mute: yes or no; window: WIDTHxHEIGHT; aspect: 4:3 or square;\n"
    "# server: the score server's address for --submit (http://HOST:PORT).\n";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<bool> yesNo(std::string_view value) {
    if (value == "yes")
        return true;
    if (value == "no")
        return false;
    return std::nullopt;
}

std::optional<int> side(std::string_view digits, int least) {
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || digits[0] == '+' || error != std::errc() || stop != end || value < least ||
        value > MaxWindowSide)
        return std::nullopt;
    return value;
}

std::string quoted(std::string_view value) {
    std::string text(1, '\'');
    text.append(value.substr(0, 60));
    text += '\'';
    return text;
}

// One "key = value" line into the settings; why not, when it makes no sense.
std::string apply(Settings& s, std::string_view key, std::string_view value) {
    if (key == "fullscreen" || key == "mute") {
        const auto on = yesNo(value);
        if (!on)
            return std::string(key) + " is yes or no, not " + quoted(value);
        (key == "mute" ? s.mute : s.fullscreen) = *on;
        return {};
    }
    if (key == "aspect") {
        const auto aspect = aspectNamed(std::string(value));
        if (!aspect)
            return "aspect is 4:3 or square, not " + quoted(value);
        s.aspect = *aspect;
        return {};
    }
    if (key == "window") {
        const std::size_t x = value.find('x');
        const auto width = side(value.substr(0, x), MinWindowWidth);
        const auto height =
            x == std::string_view::npos ? std::nullopt : side(value.substr(x + 1), MinWindowHeight);
        if (!width || !height)
            return "window is WIDTHxHEIGHT from " + std::to_string(MinWindowWidth) + "x" +
                   std::to_string(MinWindowHeight) + " to " + std::to_string(MaxWindowSide) + "x" +
                   std::to_string(MaxWindowSide) + ", not " + quoted(value);
        s.windowWidth = *width;
        s.windowHeight = *height;
        return {};
    }
    if (key == "server") {
        if (const std::string problem = serverUrlProblem(value); !problem.empty())
            return "server: " + problem;
        s.server = std::string(value);
        return {};
    }
    return "not a setting: " + quoted(key);
}

} // namespace

std::optional<std::filesystem::path> settingsFile(const char* xdgConfigHome, const char* home) {
    std::filesystem::path folder;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        folder = xdgConfigHome;
    else if (home != nullptr && home[0] == '/')
        folder = std::filesystem::path(home) / ".config";
    else
        return std::nullopt;
    return folder / "vexlo-race" / "settings.conf";
}

std::string formatSettings(const Settings& s) {
    std::string text = Header;
    text += std::string("fullscreen = ") + (s.fullscreen ? "yes" : "no") + "\n";
    if (s.windowWidth > 0 && s.windowHeight > 0)
        text += "window = " + std::to_string(s.windowWidth) + "x" + std::to_string(s.windowHeight) + "\n";
    text += std::string("aspect = ") + aspectName(s.aspect) + "\n";
    text += std::string("mute = ") + (s.mute ? "yes" : "no") + "\n";
    if (!s.server.empty())
        text += "server = " + s.server + "\n";
    return text;
}

Settings parseSettings(std::string_view text, std::string& problem) {
    Settings settings;
    std::set<std::string, std::less<>> seen;
    int lineNumber = 0, badLines = 0;
    problem.clear();
    // A bad line costs only itself: the first is named, the others counted.
    auto bad = [&](const std::string& why) {
        if (badLines++ == 0)
            problem = "line " + std::to_string(lineNumber) + ": " + why;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
            bad("not text");
            continue;
        }
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            bad("not a setting: " + quoted(line));
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        if (seen.count(key) != 0) {
            bad(std::string(key) + " is set twice; the first is kept");
            continue;
        }
        if (const std::string why = apply(settings, key, trimmed(line.substr(equals + 1))); !why.empty()) {
            bad(why);
            continue;
        }
        seen.insert(std::string(key));
    }
    if (badLines > 1)
        problem += " (and " + std::to_string(badLines - 1) + " more bad line" + (badLines > 2 ? "s" : "") + ")";
    return settings;
}

LoadedSettings loadSettings(const std::filesystem::path& file) {
    LoadedSettings loaded;
    const SmallFile read = readSmallFile(file, MaxSettingsBytes, true);
    if (read.missing)
        return loaded; // nothing remembered yet
    if (!read.problem.empty()) {
        loaded.problem = textOf(file) + " " + read.problem;
        return loaded;
    }
    std::string problem;
    loaded.settings = parseSettings(read.text, problem);
    if (!problem.empty())
        loaded.problem = textOf(file) + ": " + problem;
    return loaded;
}

std::string saveSettings(const std::filesystem::path& file, const Settings& settings) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return "cannot make " + textOf(folder) + ": " + error.message();
    return writeWholeFile(file, formatSettings(settings));
}

Settings startSettings(const Settings& remembered, const Options& options) {
    Settings s = remembered;
    s.fullscreen = options.fullscreen.value_or(remembered.fullscreen);
    s.aspect = options.aspect.value_or(remembered.aspect);
    s.mute = options.mute || remembered.mute;
    return s;
}

} // namespace vexlo
