#include "game_fixture.h"

#include "game/run_game.h"
#include "render/image_assets.h"

namespace game_test {

using namespace testing_support;

int Outcome::titleRows(long update) const {
    const auto& f = frames.at(update - 1);
    int rows = 0;
    while (rows < 200 && f[rows * 320] == TitlePixel(rows) && f[rows * 320 + 319] == TitlePixel(rows))
        ++rows;
    for (int i = rows * 320; i < 64000; ++i)
        if (f[i] != 0)
            return -1;
    return rows;
}

namespace {

std::vector<unsigned char> bytesOf(const std::vector<Pixel>& pixels) {
    std::vector<unsigned char> bytes;
    for (Pixel p : pixels) {
        bytes.push_back(static_cast<unsigned char>(p >> 16));
        bytes.push_back(static_cast<unsigned char>(p >> 8));
        bytes.push_back(static_cast<unsigned char>(p));
    }
    return bytes;
}

void writePicture(const std::filesystem::path& path, const std::vector<Pixel>& pixels) {
    writeBytes(path, bytesOf(pixels));
}

} // namespace

void GameTest::SetUp() {
    const auto data = dataDir();
    std::filesystem::create_directory(data);
    std::vector<Pixel> road(320 * 201), title(64000), gameOver(64000, vexlo::TransparentColor);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 320; ++x)
            road[y * 320 + x] = RoadPixel(x, y);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            title[y * 320 + x] = TitlePixel(y);
    for (int x = 0; x < 320; ++x)
        gameOver[20 * 320 + x] = Banner;
    writePicture(data / "route.raw", road);
    writePicture(data / "titre.raw", title);
    writePicture(data / "perdu.raw", gameOver);
    writePicture(data / "gentil.raw", std::vector<Pixel>(900, Car));
    writePicture(data / "mechant.raw", std::vector<Pixel>(900, Enemy));
    writePicture(data / "explosion1.raw", std::vector<Pixel>(900, 0xE1));
    writePicture(data / "explosion2.raw", std::vector<Pixel>(900, 0xE2));
    writePicture(data / "explosion3.raw", std::vector<Pixel>(900, Boom3));
    writePicture(data / "score.raw", std::vector<Pixel>(810, 0xAA));
    for (int d = 0; d < 10; ++d)
        writePicture(data / (std::to_string(d) + ".raw"), std::vector<Pixel>(128, Digit(d)));
    vexlo::gameState = vexlo::GameState{};
    vexlo::setRandomState(1);
}

void GameTest::TearDown() {
    vexlo::gameState = vexlo::GameState{};
    vexlo::setRandomState(1);
}

Outcome GameTest::run(const std::vector<Key>& keys, long maxUpdates, fake_sound::Settings sound) {
    Outcome out;
    ptc::headless::Script script;
    for (const Key& k : keys)
        script.keys.push_back({k.update, k.code, false, false, false});
    script.maxUpdates = maxUpdates;
    script.onUpdate = [&out](long, const std::uint32_t* shown) { out.frames.emplace_back(shown, shown + 64000); };
    ptc::headless::start(std::move(script));
    fake_sound::reset(sound);
    WorkingDir cd(dir.path());
    testing::internal::CaptureStderr();
    out.status = vexlo::runGame();
    out.stderrText = testing::internal::GetCapturedStderr();
    out.calls = ptc::headless::calls();
    out.sound = fake_sound::calls();
    out.messages = ptc::headless::messages();
    return out;
}

} // namespace game_test
