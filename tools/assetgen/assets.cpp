#include "assets.h"

#include "explosion_sound.h"
#include "music.h"
#include "pictures.h"

namespace assetgen {
namespace {

std::vector<std::pair<std::string, Image>> pictures() {
    std::vector<std::pair<std::string, Image>> list;
    list.emplace_back("route", makeRoad());
    list.emplace_back("gentil", makePlayerCar());
    list.emplace_back("mechant", makeEnemyCar());
    list.emplace_back("titre", makeTitle());
    list.emplace_back("perdu", makeGameOver());
    list.emplace_back("score", makeScoreLabel());
    for (int stage = 1; stage <= 3; ++stage)
        list.emplace_back("explosion" + std::to_string(stage), makeExplosion(stage));
    for (int d = 0; d <= 9; ++d)
        list.emplace_back(std::to_string(d), makeDigit(d));
    return list;
}

} // namespace

std::vector<AssetFile> buildAssets() {
    std::vector<AssetFile> files;
    for (auto& [name, img] : pictures()) {
        std::vector<std::uint8_t> bytes = img.raw();
        if (name == "score") {
            // The label file is a little longer than the 49 × 16 the game
            // draws; the rest is transparent.
            for (int i = LabelW * LabelH; i < LabelFilePixels; ++i)
                bytes.insert(bytes.end(), {0xFF, 0x00, 0xFF});
        }
        files.push_back({name + ".raw", std::move(bytes)});
    }
    files.push_back({"vexlo.xm", makeMusic()});
    files.push_back({"explode.mp3", makeExplosionSound()});
    // The page's icons, for a browser that installs it as an app: the
    // desktop icon's drawing, enlarged by whole factors.
    const Image icon = makeIcon();
    for (int size : WebIconSizes)
        files.push_back({"web-icon-" + std::to_string(size) + ".png", pngWithAlpha(icon.scaled(size / IconSide))});
    // The Windows program's icon (built into vexlo-race.exe), at the
    // desktop icon's sizes.
    std::vector<Image> sizes;
    for (int size : IconSizes)
        sizes.push_back(icon.scaled(size / IconSide));
    files.push_back({"vexlo-race.ico", icoOfPngs(sizes)});
    return files;
}

std::vector<std::pair<std::string, Image>> previewImages() {
    std::vector<std::pair<std::string, Image>> list = pictures();
    list.emplace_back("frame_play", mockPlayFrame(0, 4270));
    list.emplace_back("frame_play_k25", mockPlayFrame(25, 98765));
    list.emplace_back("frame_gameover", mockGameOverFrame(12340));
    list.emplace_back("icon", makeIcon());
    return list;
}

std::vector<std::pair<std::string, Image>> buildIcons() {
    const Image icon = makeIcon();
    std::vector<std::pair<std::string, Image>> list;
    for (int size : IconSizes)
        list.emplace_back("icon-" + std::to_string(size) + ".png", icon.scaled(size / IconSide));
    return list;
}

} // namespace assetgen
