// Small files of our own (the settings, the kept games) read and written
// with care: whatever lies at a name may be hostile (a folder, a named
// pipe, a device, a link, something huge), and a file written must never
// be found half written.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace vexlo {

struct SmallFile {
    std::string text;
    bool missing = false; // nothing at the name (nor, perhaps, its folder)
    std::string problem;  // why it was not read, to follow its name: "is a folder"
};

// Reads a plain file of at most `limit` bytes. A link is refused unless
// followLink; a named pipe never holds the reader up.
SmallFile readSmallFile(const std::filesystem::path& file, std::size_t limit, bool followLink);

// Writes the file whole into a temporary file beside it, flushed to the
// disk, and renames it over the file. The problem, or empty.
std::string writeWholeFile(const std::filesystem::path& file, std::string_view text);

} // namespace vexlo
