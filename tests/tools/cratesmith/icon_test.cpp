// The production's icon: a crate of three faces standing in the middle of a clear square, lit
// from the upper left as the textures are, at any size from 16 to 1024 pixels; and cratesmith
// --icon writing it as an RGBA PNG.
#include "tools/cratesmith/pictures/icon.h"

#include "generated_images.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tincrates::cratesmith {
namespace {

using namespace tincrates::cratesmith::testing;

// Faces of one colour each, so that where each lands, and how it is lit, can be read back.
IconFaces plainFaces(uint32_t front, uint32_t side)
{
    return {Image(64, 64, front), Image(64, 64, side)};
}

uint32_t iconPixel(const Image& icon, float x, float y)
{
    return icon.at(uint32_t(x * float(icon.width)), uint32_t(y * float(icon.height)));
}

TEST(Icon, TheFrontFaceIsOnTheLeftTheSideFaceOnTheRightAndOnTop)
{
    Image icon = crateIcon(plainFaces(0xFFC02020u, 0xFF2020C0u), 64);
    ASSERT_EQ(icon.width, 64u);
    ASSERT_TRUE(icon.hasAlpha);
    uint32_t left = iconPixel(icon, 0.3f, 0.6f), right = iconPixel(icon, 0.7f, 0.6f);
    uint32_t top = iconPixel(icon, 0.5f, 0.2f);
    EXPECT_GT(channel(left, 16), 2 * channel(left, 0));
    EXPECT_GT(channel(right, 0), 2 * channel(right, 16));
    EXPECT_GT(channel(top, 0), 2 * channel(top, 16));
    for (uint32_t pixel : {left, right, top})
        EXPECT_EQ(alphaOf(pixel), 255);
}

TEST(Icon, TheTopIsLitMostAndTheRightFaceLeast)
{
    Image icon = crateIcon(plainFaces(0xFF808080u, 0xFF808080u), 128);
    double left = lumaOf(iconPixel(icon, 0.3f, 0.6f));
    double right = lumaOf(iconPixel(icon, 0.7f, 0.6f));
    double top = lumaOf(iconPixel(icon, 0.5f, 0.2f));
    EXPECT_GT(top, left + 10);
    EXPECT_GT(left, right + 20);
}

TEST(Icon, TheCrateStandsInTheMiddleOfAClearSquareAtEverySize)
{
    IconFaces faces = plainFaces(0xFF808080u, 0xFF808080u);
    for (int size : {16, 24, 48, 256}) {
        Image icon = crateIcon(faces, size);
        ASSERT_EQ(icon.width, uint32_t(size));
        ASSERT_EQ(icon.height, uint32_t(size));
        uint32_t last = uint32_t(size - 1), middle = uint32_t(size / 2);
        for (uint32_t corner : {icon.at(0, 0), icon.at(last, 0), icon.at(0, last),
                                icon.at(last, last)})
            EXPECT_EQ(alphaOf(corner), 0) << size;
        EXPECT_EQ(alphaOf(icon.at(middle, middle)), 255) << size;
        // Clear along the left and right edges, and the outline the same on either side.
        for (uint32_t y = 0; y < icon.height; ++y) {
            EXPECT_EQ(alphaOf(icon.at(0, y)), 0) << size << " row " << y;
            for (uint32_t x = 0; x < middle; ++x)
                ASSERT_NEAR(alphaOf(icon.at(x, y)), alphaOf(icon.at(last - x, y)), 1)
                    << size << " at " << x << ", " << y;
        }
    }
}

TEST(Icon, SizesOutsideSixteenTo1024AreRefused)
{
    IconFaces faces = plainFaces(0xFF808080u, 0xFF808080u);
    EXPECT_THROW(crateIcon(faces, 15), std::invalid_argument);
    EXPECT_THROW(crateIcon(faces, 1025), std::invalid_argument);
}

int run(const std::string& arguments)
{
    std::string command = std::string(CRATESMITH_PROGRAM) + " " + arguments
                          + " >output.txt 2>errors.txt";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(IconProgram, WritesEachSizeAskedForAsAnRgbaPngWithoutADataFolder)
{
    tincrates::testing::ScratchDir scratch;
    ASSERT_EQ(run("--icon 48 big.png --icon 16 small/icon.png"), 0) << fileBytes("errors.txt");
    DecodedImage big = readImage("big.png");
    EXPECT_EQ(big.width, 48u);
    EXPECT_EQ(big.height, 48u);
    EXPECT_TRUE(big.hasAlpha);
    EXPECT_EQ(readImage("small/icon.png").width, 16u);
    EXPECT_EQ(alphaOf(pixelAt(big, 0, 0)), 0);
    EXPECT_EQ(alphaOf(pixelAt(big, 24, 24)), 255);

    EXPECT_EQ(run("--icon 8 tiny.png"), 1);
    EXPECT_EQ(fileBytes("errors.txt"), "cratesmith: --icon takes a size from 16 to 1024 "
                                       "pixels, not \"8\" (see cratesmith --help)\n");
    EXPECT_EQ(run("--icon 48"), 1);
    EXPECT_EQ(fileBytes("errors.txt"), "cratesmith: --icon needs a size in pixels and a file, "
                                       "such as 256 icon.png (see cratesmith --help)\n");
}

} // namespace
} // namespace tincrates::cratesmith
