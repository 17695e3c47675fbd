// assetgen OUTDIR [--preview PNGDIR]
// assetgen --icons ICONDIR
//
// Writes every picture, the music and the explosion sound of the game into
// OUTDIR; with --preview also PNG copies of the pictures, four times
// enlarged, for looking at them. With --icons it writes only the desktop
// icon, icon-N.png for each installed size N, with a transparent outside.
#include "assets.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace fs = std::filesystem;

namespace {

bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int writeIcons(const fs::path& dir) {
    try {
        fs::create_directories(dir);
        for (const auto& [name, img] : assetgen::buildIcons())
            if (!assetgen::writePngWithAlpha((dir / name).string(), img)) {
                std::cerr << "assetgen: cannot write " << (dir / name) << "\n";
                return 1;
            }
    } catch (const std::exception& e) {
        std::cerr << "assetgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int usage() {
    std::cerr << "usage: assetgen OUTDIR [--preview PNGDIR]\n"
                 "       assetgen --icons ICONDIR\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--icons")
        return writeIcons(argv[2]);
    if (argc != 2 && argc != 4)
        return usage();
    const fs::path outDir = argv[1];
    fs::path previewDir;
    if (argc == 4) {
        if (std::string(argv[2]) != "--preview")
            return usage();
        previewDir = argv[3];
    }
    try {
        fs::create_directories(outDir);
        for (const assetgen::AssetFile& f : assetgen::buildAssets())
            if (!writeFile(outDir / f.name, f.bytes)) {
                std::cerr << "assetgen: cannot write " << (outDir / f.name) << "\n";
                return 1;
            }
        if (!previewDir.empty()) {
            fs::create_directories(previewDir);
            for (const auto& [name, img] : assetgen::previewImages())
                if (!assetgen::writePng((previewDir / (name + ".png")).string(), img, 4)) {
                    std::cerr << "assetgen: cannot write preview " << name << "\n";
                    return 1;
                }
        }
    } catch (const std::exception& e) {
        std::cerr << "assetgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
