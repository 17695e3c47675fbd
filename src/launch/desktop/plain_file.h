// Small files of our own (the settings, the kept games) read and written
// with care: whatever lies at a name may be hostile (a folder, a named
// pipe, a device, a link, something huge), and a file written must never
// be found half written.
#pragma once

#include <cstddef>
#include <cstdio>
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

// As writeWholeFile, but never over a file already at the name: fails
// with `exists` set when one is there, with `problem` set otherwise. Only
// this user may read it where files have modes.
bool writeNewFile(const std::filesystem::path& file, std::string_view text, bool& exists, std::string& problem);

// Makes the file, empty, unless anything is at its name already: taking a
// name so that no other file is written over. Fails with `exists` set when
// the name was taken, with `problem` set otherwise.
bool createNewFile(const std::filesystem::path& file, bool& exists, std::string& problem);

// Opens a file (named in UTF-8) to be written anew, as fopen's "w" does,
// and not inherited by programs started meanwhile. Null with errno set
// when it cannot.
std::FILE* openForWriting(const std::string& file);

} // namespace vexlo
