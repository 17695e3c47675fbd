#include "render/image_assets.h"

#include "../support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace vexlo;
using namespace testing_support;
namespace fs = std::filesystem;

TEST(ReadRawImage, TurnsBytesIntoPixels) {
    TempDir dir;
    const fs::path file = dir.path() / "p.raw";
    writeBytes(file, {0x12, 0x34, 0x56, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03});
    std::vector<Pixel> out(3, 0xDEADBEEFu);
    EXPECT_EQ(readRawImage(file.c_str(), out.data(), 3), 1);
    EXPECT_EQ(out[0], 0x00123456u);
    EXPECT_EQ(out[1], TransparentColor);
    EXPECT_EQ(out[2], 0x00FFFFFFu); // top byte always 0; the fourth pixel is ignored
}

TEST(ReadRawImage, ShortFilesLeaveBlackAndEmptyFilesStillLoad) {
    TempDir dir;
    const fs::path shortFile = dir.path() / "short.raw";
    writeBytes(shortFile, {0x11, 0x22, 0x33, 0x44});
    std::vector<Pixel> out(4, 0xDEADBEEFu);
    EXPECT_EQ(readRawImage(shortFile.c_str(), out.data(), 4), 1);
    EXPECT_EQ(out[0], 0x00112233u);
    EXPECT_EQ(out[1], 0x00440000u); // the half pixel keeps its red byte
    EXPECT_EQ(out[2], 0u);
    EXPECT_EQ(out[3], 0u);

    const fs::path empty = dir.path() / "empty.raw";
    writeBytes(empty, {});
    std::vector<Pixel> none(2, 0xDEADBEEFu);
    EXPECT_EQ(readRawImage(empty.c_str(), none.data(), 2), 1);
    EXPECT_EQ(none, (std::vector<Pixel>{0u, 0u}));
}

TEST(ReadRawImage, FailuresLeaveTheDestinationUntouchedAndNameThePath) {
    TempDir dir;
    std::vector<Pixel> out(2, 0xDEADBEEFu);
    const fs::path missing = dir.path() / "missing.raw";
    testing::internal::CaptureStderr();
    EXPECT_EQ(readRawImage(missing.c_str(), out.data(), 2), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(missing.string()), std::string::npos);

    // A folder opens on Linux but cannot be read: that is no picture either.
    fs::create_directory(dir.path() / "folder.raw");
    testing::internal::CaptureStderr();
    EXPECT_EQ(readRawImage((dir.path() / "folder.raw").c_str(), out.data(), 2), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("folder.raw"), std::string::npos);
    EXPECT_EQ(out, (std::vector<Pixel>(2, 0xDEADBEEFu)));
}

namespace {

const char* const AllPictures[] = {"gentil",     "mechant", "route", "titre", "score", "explosion1", "explosion2",
                                   "explosion3", "0",       "1",     "2",     "3",     "4",          "5",
                                   "6",          "7",       "8",     "9",     "perdu"};

// A data/ folder where each picture is one flat colour: index + 1.
void writeFlatPictures(const fs::path& root) {
    fs::create_directory(root / "data");
    int i = 0;
    for (const char* name : AllPictures) {
        ++i;
        writeBytes(root / "data" / (std::string(name) + ".raw"), rawPicture(64320, static_cast<std::uint32_t>(i)));
    }
}

} // namespace

TEST(LoadAssets, FillsEveryPictureFromItsOwnFile) {
    TempDir dir;
    writeFlatPictures(dir.path());
    WorkingDir cd(dir.path());
    ASSERT_EQ(loadAssets(), 1);
    const ImageAssets& a = imageAssets;
    EXPECT_EQ(a.car[899], 1u);
    EXPECT_EQ(a.enemy[0], 2u);
    EXPECT_EQ(a.road[64319], 3u);
    EXPECT_EQ(a.road[64320], 0u); // the spare tail is never filled
    EXPECT_EQ(a.title[63999], 4u);
    EXPECT_EQ(a.scoreLabel[809], 5u);
    EXPECT_EQ(a.explosion1[0], 6u);
    EXPECT_EQ(a.explosion3[899], 8u);
    for (int d = 0; d < 10; ++d)
        EXPECT_EQ(a.digits[d][127], static_cast<Pixel>(9 + d));
    EXPECT_EQ(a.gameOver[63999], 19u);
}

TEST(LoadAssets, StopsAtTheFirstMissingFile) {
    TempDir dir;
    writeFlatPictures(dir.path());
    fs::remove(dir.path() / "data" / "mechant.raw");
    WorkingDir cd(dir.path());
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadAssets(), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("data/mechant.raw"), std::string::npos);
    EXPECT_EQ(imageAssets.car[0], 1u);
    EXPECT_EQ(imageAssets.road[0], 0u); // later files were not read

    writeBytes("data/mechant.raw", rawPicture(900, 2));
    fs::remove("data/perdu.raw");
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadAssets(), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("data/perdu.raw"), std::string::npos);
    EXPECT_EQ(imageAssets.digits[9][0], 18u);
}
