// The generated lettering: white type with a dark halo on a transparent ground, set large, long
// lines broken in two, the same bytes on every run, and a clear error without a font.
#include "tools/cratesmith/pictures/lettering.h"

#include "tools/cratesmith/data_folder.h"

#include "generated_images.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tincrates::cratesmith {
namespace {

using namespace cratesmith::testing;

std::vector<std::string> letteringNames()
{
    std::vector<std::string> names;
    for (int i = 0; i <= 22; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "text%02i.png", i);
        names.push_back(name);
    }
    names.push_back("credits.png");
    return names;
}

bool isType(uint32_t pixel)
{
    return alphaOf(pixel) == 255 && (pixel & 0xFFFFFFu) == 0xFFFFFFu;
}

// The rows holding type, as runs of consecutive rows: one run per line of text.
int linesOfType(const DecodedImage& image)
{
    int runs = 0;
    bool inRun = false;
    for (uint32_t y = 0; y < image.height; ++y) {
        bool hasType = false;
        for (uint32_t x = 0; x < image.width && !hasType; ++x)
            hasType = isType(pixelAt(image, x, y));
        runs += hasType && !inRun ? 1 : 0;
        inRun = hasType;
    }
    return runs;
}

// The lettering is set once for all cases.
class Lettering : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch = std::make_unique<tincrates::testing::ScratchDir>();
        DataFolder data(scratch->path / "data");
        makeLettering(data, CRATESMITH_FONT);
        written = data.names();
    }
    static void TearDownTestSuite() { scratch.reset(); }

    static DecodedImage image(const std::string& name)
    {
        return readImage(scratch->path / "data" / name);
    }

    static std::unique_ptr<tincrates::testing::ScratchDir> scratch;
    static std::vector<std::string> written;
};

std::unique_ptr<tincrates::testing::ScratchDir> Lettering::scratch;
std::vector<std::string> Lettering::written;

TEST_F(Lettering, WritesTwentyThreeLinesAndTheCreditsWithAlphaAtTheQuadsProportions)
{
    EXPECT_EQ(written, letteringNames());
    for (const std::string& name : letteringNames()) {
        DecodedImage text = image(name);
        EXPECT_EQ(text.width, 704u) << name;
        EXPECT_EQ(text.height, 240u) << name;
        EXPECT_TRUE(text.hasAlpha) << name;
    }
}

TEST_F(Lettering, WhiteTypeWithADarkHaloOnADarkTransparentGround)
{
    for (const std::string& name : letteringNames()) {
        DecodedImage text = image(name);
        ASSERT_EQ(text.pixels.size(), 704u * 240u) << name;
        for (uint32_t corner : {pixelAt(text, 0, 0), pixelAt(text, 703, 0), pixelAt(text, 0, 239),
                                pixelAt(text, 703, 239)})
            EXPECT_EQ(alphaOf(corner), 0) << name;

        size_t type = 0, halo = 0, lightGround = 0;
        for (uint32_t y = 60; y < 180; ++y)
            for (uint32_t x = 176; x < 528; ++x)
                type += isType(pixelAt(text, x, y)) ? 1 : 0;
        for (uint32_t pixel : text.pixels) {
            int alpha = alphaOf(pixel);
            halo += alpha > 40 && alpha < 200 && lumaOf(pixel) < 40.0 ? 1 : 0;
            // Filtering mixes in the colour of transparent pixels, which must not be light.
            lightGround += alpha == 0 && lumaOf(pixel) > 40.0 ? 1 : 0;
        }
        EXPECT_GT(type, 2000u) << name;
        EXPECT_GT(halo, 2000u) << name;
        EXPECT_EQ(lightGround, 0u) << name;
    }
}

TEST_F(Lettering, LongLinesBreakInTwoAndShortWordsAreSetLarge)
{
    EXPECT_EQ(linesOfType(image("text12.png")), 2); // "to the keepers of forgotten formats"
    EXPECT_EQ(linesOfType(image("text06.png")), 1); // "off the beat"

    // A single word of a single beat fills most of the height.
    DecodedImage shout = image("text19.png");
    uint32_t top = shout.height, bottom = 0;
    for (uint32_t y = 0; y < shout.height; ++y)
        for (uint32_t x = 0; x < shout.width; ++x)
            if (isType(pixelAt(shout, x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(bottom, top + 80);
}

TEST_F(Lettering, TwoRunsWriteTheSameBytes)
{
    DataFolder again(scratch->path / "again");
    makeLettering(again, CRATESMITH_FONT);
    for (const std::string& name : letteringNames())
        EXPECT_EQ(fileBytes(scratch->path / "data" / name),
                  fileBytes(scratch->path / "again" / name))
            << name;
}

std::string failureOf(const std::string& fontPath)
{
    tincrates::testing::ScratchDir scratch;
    DataFolder data(scratch.path / "data");
    try {
        makeLettering(data, fontPath);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(LetteringFont, AMissingOrDamagedFontIsAClearError)
{
    EXPECT_EQ(failureOf("/nonexistent/NoSuchFont.ttf"),
              "cannot read the font /nonexistent/NoSuchFont.ttf");

    tincrates::testing::ScratchDir scratch;
    scratch.write("notafont.ttf", "these are not the bytes of a font");
    std::string path = (scratch.path / "notafont.ttf").string();
    EXPECT_EQ(failureOf(path), "cannot read the font " + path);
}

} // namespace
} // namespace tincrates::cratesmith
