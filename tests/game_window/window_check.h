// The commands of window_check (see window_check.cpp): what the game window
// tests read off the screen (picture_check.cpp) and the speakers
// (sound_check.cpp).
#pragma once

#include <string>

namespace window_check {

// Prints "window_check: WHY" and ends the program with status 1.
[[noreturn]] void die(const std::string& why);

int sample(const std::string& in, int width, int height, const std::string& out);
int describe(const std::string& path);
int same(const std::string& a, const std::string& b);
int paused(const std::string& in, const std::string& out);
int levels(const std::string& path, int ms);
int find(const std::string& soundPath, const std::string& capturePath);

} // namespace window_check
