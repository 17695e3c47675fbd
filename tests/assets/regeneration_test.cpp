// The data folder is the generator's output: rebuilding it from code gives
// the same files, byte for byte.
#include "data_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

std::set<std::string> fileNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file())
            names.insert(entry.path().filename().string());
    return names;
}

TEST(Regeneration, RebuildsTheDataFolderExactly) {
    const fs::path out = fs::temp_directory_path() / ("vexlo-assetgen-" + std::to_string(::getpid()));
    fs::remove_all(out);
    const std::string command = std::string("\"") + ASSETGEN_EXE + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::set<std::string> made = fileNames(out);
    EXPECT_EQ(made.size(), 24u)
        << "19 pictures, the music, the explosion, the page's two icons and the Windows icon";
    EXPECT_EQ(made, fileNames(VEXLO_DATA_DIR)) << "data/ holds exactly what the generator makes";
    for (const std::string& name : made)
        EXPECT_TRUE(assettest::readBytes((out / name).string()) == assettest::readData(name))
            << name << " differs from the generator's output; rerun assetgen data";
    fs::remove_all(out);
}

} // namespace
