// A scratch folder that is removed again, and small file helpers for tests
// that need a data/ folder of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexlo-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs a scope with another working directory.
class WorkingDir {
public:
    explicit WorkingDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

inline void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A raw picture of count pixels, each the same 0x00RRGGBB colour.
inline std::vector<unsigned char> rawPicture(int count, std::uint32_t colour) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<unsigned char>(colour >> 16));
        bytes.push_back(static_cast<unsigned char>(colour >> 8));
        bytes.push_back(static_cast<unsigned char>(colour));
    }
    return bytes;
}

} // namespace testing_support
