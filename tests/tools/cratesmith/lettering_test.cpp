// The generated lettering: white type with a dark halo on a transparent ground, set large, long
// lines broken in two, fine enough for a 1080-line screen yet unchanged when drawn at 640 × 480,
// the same bytes on every run, and a clear error without a font.
#include "tools/cratesmith/pictures/lettering.h"

#include "tools/cratesmith/data_folder.h"

#include "generated_images.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cmath>
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

// The quad the lettering is stretched over: the middle 352 × 120 of a 640 × 480 picture.
constexpr uint32_t quadWidth = 352, quadHeight = 120;

TEST_F(Lettering, WritesTwentyThreeLinesAndTheCreditsWithAlphaAtTheQuadsProportions)
{
    EXPECT_EQ(written, letteringNames());
    for (const std::string& name : letteringNames()) {
        DecodedImage text = image(name);
        EXPECT_EQ(text.width, 1408u) << name;
        EXPECT_EQ(text.height, 480u) << name;
        // Any other shape would stretch the type on screen.
        EXPECT_EQ(text.width * quadHeight, text.height * quadWidth) << name;
        // Not enlarged where the quad is 792 × 270, on a 1080-line screen.
        EXPECT_GE(text.width, quadWidth * 1080 / 480) << name;
        EXPECT_TRUE(text.hasAlpha) << name;
    }
}

TEST_F(Lettering, WhiteTypeWithADarkHaloOnADarkTransparentGround)
{
    for (const std::string& name : letteringNames()) {
        DecodedImage text = image(name);
        ASSERT_EQ(text.pixels.size(), 1408u * 480u) << name;
        for (uint32_t corner : {pixelAt(text, 0, 0), pixelAt(text, 1407, 0),
                                pixelAt(text, 0, 479), pixelAt(text, 1407, 479)})
            EXPECT_EQ(alphaOf(corner), 0) << name;

        size_t type = 0, halo = 0, lightGround = 0;
        for (uint32_t y = 120; y < 360; ++y)
            for (uint32_t x = 352; x < 1056; ++x)
                type += isType(pixelAt(text, x, y)) ? 1 : 0;
        for (uint32_t pixel : text.pixels) {
            int alpha = alphaOf(pixel);
            halo += alpha > 40 && alpha < 200 && lumaOf(pixel) < 40.0 ? 1 : 0;
            // Filtering mixes in the colour of transparent pixels, which must not be light.
            lightGround += alpha == 0 && lumaOf(pixel) > 40.0 ? 1 : 0;
        }
        EXPECT_GT(type, 8000u) << name;
        EXPECT_GT(halo, 8000u) << name;
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
    EXPECT_GT(bottom, top + 160);
}

// How much of the image the white type covers: alpha times brightness, 0 to 1 per pixel.
double whiteness(uint32_t pixel)
{
    return alphaOf(pixel) / 255.0 * lumaOf(pixel) / 255.0;
}

// What the lettering was when its images were 704 × 240, the mean whiteness and the mean alpha
// (0 to 255) of each, in the order of letteringNames(): drawn at 640 × 480 the lettering must
// look as it did, type and halo alike.
struct Coverage {
    double white, alpha;
};
const Coverage coverageAt704[] = {
    {0.16392, 81.05}, {0.16062, 83.19}, {0.17602, 83.97}, {0.17322, 84.61}, {0.19072, 94.69},
    {0.13218, 69.01}, {0.12488, 57.01}, {0.19630, 97.66}, {0.12464, 60.47}, {0.14358, 69.43},
    {0.20736, 102.87}, {0.15629, 82.58}, {0.15937, 86.08}, {0.10466, 61.78}, {0.16934, 82.50},
    {0.14047, 69.02}, {0.17798, 73.19}, {0.14402, 57.37}, {0.09950, 39.58}, {0.13431, 53.71},
    {0.09146, 36.34}, {0.08830, 35.11}, {0.17208, 72.56}, {0.14455, 98.13},
};

TEST_F(Lettering, DrawnAtHalfSizeTheTypeAndHaloCoverWhatTheyDidAt704By240)
{
    std::vector<std::string> names = letteringNames();
    ASSERT_EQ(names.size(), std::size(coverageAt704));
    for (size_t i = 0; i < names.size(); ++i) {
        DecodedImage half = halved(image(names[i]));
        ASSERT_EQ(half.width, 704u) << names[i];
        double white = 0.0, alpha = 0.0;
        for (uint32_t pixel : half.pixels) {
            white += whiteness(pixel);
            alpha += alphaOf(pixel);
        }
        white /= double(half.pixels.size());
        alpha /= double(half.pixels.size());
        // A size step of the type moves the whiteness by about 4 %, a pixel more of halo the
        // alpha by more than 5 %.
        EXPECT_NEAR(white, coverageAt704[i].white, 0.02 * coverageAt704[i].white) << names[i];
        EXPECT_NEAR(alpha, coverageAt704[i].alpha, 0.02 * coverageAt704[i].alpha) << names[i];
    }
}

// The share of pixels on the type's antialiased edges, against those inside it.
double edgeToInside(const DecodedImage& image)
{
    size_t edge = 0, inside = 0;
    for (uint32_t pixel : image.pixels) {
        double white = whiteness(pixel);
        edge += white > 0.15 && white < 0.85 ? 1 : 0;
        inside += white >= 0.85 ? 1 : 0;
    }
    return double(edge) / double(inside);
}

TEST_F(Lettering, TypeIsSetAtFullResolutionNotEnlarged)
{
    // Type set at this size has edges one pixel wide round twice the area of its half-size
    // copy: half the share of edge pixels. Type set at half the size and enlarged keeps the
    // share, with edges two pixels wide.
    for (const std::string& name : letteringNames()) {
        DecodedImage text = image(name);
        EXPECT_LT(edgeToInside(text), 0.7 * edgeToInside(halved(text))) << name;
    }
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
