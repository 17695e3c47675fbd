// What the game remembers between runs: full screen or window, the
// window's size, the aspect and the sound's mute, in a small text file a
// person can read and edit:
//
//   # Vexlo Race remembers these between runs; ...
//   fullscreen = no
//   window = 1280x960
//   aspect = 4:3
//   mute = no
//   server = http://scores.example:8080     (only when set by hand)
//
// A line that makes no sense costs only itself, and a file that cannot be
// read at all (not a file, too large) is left aside whole; the caller says
// so in one line and writes the file anew. A file is written whole into a
// temporary file beside it and then renamed over it, so that a crash never
// leaves half a file.
#pragma once

#include "launch/desktop/options.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vexlo {

struct Settings {
    bool fullscreen = false;
    int windowWidth = 0; // 0 x 0: not remembered; the window then fits the desktop
    int windowHeight = 0;
    AspectChoice aspect = AspectChoice::FourByThree;
    bool mute = false;
    std::string server; // the score server for --submit; empty: none
    bool operator==(const Settings&) const = default;
};

// Bounds of a remembered window: at least the picture, at most a size no
// desktop has.
constexpr int MinWindowWidth = 320;
constexpr int MinWindowHeight = 200;
constexpr int MaxWindowSide = 16384;
// A settings file is a few lines; anything longer is not one of ours.
constexpr std::size_t MaxSettingsBytes = 4096;

// The settings file: $XDG_CONFIG_HOME/vexlo-race/settings.conf, or under
// $HOME/.config when XDG_CONFIG_HOME is unset, empty or not absolute.
// Nothing when neither gives a place.
std::optional<std::filesystem::path> settingsFile(const char* xdgConfigHome, const char* home);

std::string formatSettings(const Settings& settings);
// The settings of the text's good lines; `problem` names the first bad
// line and counts the others, or is empty.
Settings parseSettings(std::string_view text, std::string& problem);

struct LoadedSettings {
    std::optional<Settings> settings; // nothing: no file, or one left aside whole
    std::string problem;              // what was wrong with it; empty when missing or good
};
LoadedSettings loadSettings(const std::filesystem::path& file);
// Writes the file whole (making its folder); the problem, or empty.
std::string saveSettings(const std::filesystem::path& file, const Settings& settings);

// The settings a run starts with: the remembered ones, where the command
// line says nothing.
Settings startSettings(const Settings& remembered, const Options& options);

} // namespace vexlo
