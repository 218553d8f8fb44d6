// The generated textures: the files and sizes the materials expect, textures that tile without a
// seam, brightness that suits how they are drawn, and the same bytes on every run.
#include "tools/cratesmith/pictures/textures.h"

#include "tools/cratesmith/data_folder.h"

#include "generated_images.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace tincrates::cratesmith {
namespace {

using namespace cratesmith::testing;

struct Promise {
    uint32_t width, height;
};

const std::map<std::string, Promise> promisedTextures = {
    {"tinplate.png", {512, 512}}, {"leadtin.png", {512, 512}}, {"corrugated.png", {512, 512}},
    {"rust.png", {256, 256}},     {"hazard.png", {256, 256}},  {"lamp.png", {128, 128}},
    {"envmap.png", {256, 256}},   {"white.png", {8, 8}},       {"black.png", {8, 8}},
};

// The textures are made once for all cases; they take a good part of a second.
class Textures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch = std::make_unique<tincrates::testing::ScratchDir>();
        DataFolder data(scratch->path / "data");
        makeTextures(data);
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

std::unique_ptr<tincrates::testing::ScratchDir> Textures::scratch;
std::vector<std::string> Textures::written;

// Mean difference per channel between column (or row) a and b.
double lineDifference(const DecodedImage& image, bool columns, uint32_t a, uint32_t b)
{
    uint32_t length = columns ? image.height : image.width;
    double sum = 0.0;
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t p = columns ? pixelAt(image, a, i) : pixelAt(image, i, a);
        uint32_t q = columns ? pixelAt(image, b, i) : pixelAt(image, i, b);
        for (int shift : {0, 8, 16})
            sum += std::abs(channel(p, shift) - channel(q, shift));
    }
    return sum / (3.0 * length);
}

// Whether the last column (row) meets the first as smoothly as neighbouring columns (rows)
// inside the image meet each other.
void expectSeamless(const DecodedImage& image, bool columns, const std::string& name)
{
    uint32_t size = columns ? image.width : image.height;
    double inside = 0.0;
    for (uint32_t i = 0; i + 1 < size; ++i)
        inside += lineDifference(image, columns, i, i + 1);
    inside /= double(size - 1);
    double seam = lineDifference(image, columns, size - 1, 0);
    EXPECT_LE(seam, 1.5 * inside + 1.0)
        << name << (columns ? " left and right" : " top and bottom");
}

double medianLuma(const DecodedImage& image)
{
    std::vector<double> lumas;
    for (uint32_t pixel : image.pixels)
        lumas.push_back(lumaOf(pixel));
    std::nth_element(lumas.begin(), lumas.begin() + lumas.size() / 2, lumas.end());
    return lumas[lumas.size() / 2];
}

TEST_F(Textures, WritesEveryTextureOpaqueAtItsPromisedPowerOfTwoSize)
{
    std::vector<std::string> promised;
    for (const auto& [name, size] : promisedTextures)
        promised.push_back(name);
    std::vector<std::string> names = written;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, promised);

    for (const auto& [name, size] : promisedTextures) {
        DecodedImage texture = image(name);
        EXPECT_EQ(texture.width, size.width) << name;
        EXPECT_EQ(texture.height, size.height) << name;
        EXPECT_TRUE(isPowerOfTwo(texture.width) && isPowerOfTwo(texture.height)) << name;
        EXPECT_FALSE(texture.hasAlpha) << name;
    }
}

TEST_F(Textures, TilingTexturesMeetThemselvesWithoutASeam)
{
    for (const char* name : {"corrugated.png", "rust.png", "hazard.png", "envmap.png"}) {
        DecodedImage texture = image(name);
        ASSERT_FALSE(texture.pixels.empty()) << name;
        expectSeamless(texture, true, name);
        expectSeamless(texture, false, name);
    }
}

TEST_F(Textures, CrateFacesAreMidBrightAndTheLeadCrateBrighter)
{
    double tinplate = medianLuma(image("tinplate.png"));
    double leadtin = medianLuma(image("leadtin.png"));
    EXPECT_GE(tinplate, 110.0);
    EXPECT_LE(tinplate, 220.0);
    EXPECT_GT(leadtin, tinplate);
    EXPECT_LE(leadtin, 220.0);
}

TEST_F(Textures, EnvironmentMapIsDarkWithAFewBrightLamps)
{
    DecodedImage envmap = image("envmap.png");
    ASSERT_FALSE(envmap.pixels.empty());
    double sum = 0.0, brightest = 0.0;
    size_t bright = 0;
    for (uint32_t pixel : envmap.pixels) {
        double luma = lumaOf(pixel);
        sum += luma;
        brightest = std::max(brightest, luma);
        bright += luma > 160.0 ? 1 : 0;
    }
    EXPECT_LT(sum / double(envmap.pixels.size()), 60.0);
    EXPECT_GT(brightest, 220.0);
    EXPECT_GT(bright, 20u);
    EXPECT_LT(bright, envmap.pixels.size() / 50);
}

TEST_F(Textures, LampIsBrightWarmInTheMiddleAndDarkAtTheCorners)
{
    DecodedImage lamp = image("lamp.png");
    ASSERT_EQ(lamp.width, 128u);
    // The middle lies between two bars of the grille.
    uint32_t middle = pixelAt(lamp, 64, 64);
    EXPECT_GT(lumaOf(middle), 220.0);
    EXPECT_GE(channel(middle, 16), channel(middle, 0)); // warm: no less red than blue
    for (uint32_t corner : {pixelAt(lamp, 2, 2), pixelAt(lamp, 125, 125)})
        EXPECT_LT(lumaOf(corner), 80.0);
}

TEST_F(Textures, TwoRunsWriteTheSameBytes)
{
    DataFolder again(scratch->path / "again");
    makeTextures(again);
    for (const auto& [name, size] : promisedTextures)
        EXPECT_EQ(fileBytes(scratch->path / "data" / name),
                  fileBytes(scratch->path / "again" / name))
            << name;
}

} // namespace
} // namespace tincrates::cratesmith
