// The generated textures: the files and sizes the materials expect, textures that tile without a
// seam, brightness that suits how they are drawn, the colours and markings they had before they
// were drawn finer with detail of their own, and the same bytes on every run.
#include "tools/cratesmith/pictures/textures.h"

#include "tools/cratesmith/data_folder.h"

#include "generated_images.h"
#include "testbed/scratch_dir.h"

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
    {"tinplate.png", {1024, 1024}}, {"leadtin.png", {1024, 1024}}, {"corrugated.png", {512, 512}},
    {"rust.png", {512, 512}},       {"hazard.png", {512, 512}},    {"lamp.png", {256, 256}},
    {"envmap.png", {512, 512}},     {"white.png", {8, 8}},         {"black.png", {8, 8}},
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
    ASSERT_EQ(lamp.width, 256u);
    // The middle lies between two bars of the grille.
    uint32_t middle = pixelAt(lamp, 128, 128);
    EXPECT_GT(lumaOf(middle), 220.0);
    EXPECT_GE(channel(middle, 16), channel(middle, 0)); // warm: no less red than blue
    for (uint32_t corner : {pixelAt(lamp, 4, 4), pixelAt(lamp, 251, 251)})
        EXPECT_LT(lumaOf(corner), 80.0);
}

// The mean colour of each texture when it was drawn a pixel to the unit (512 for the crate
// faces, 256 for rust, hazard and the environment, 128 for the lamp); the picture's grade was
// tuned with these.
struct MeanColour {
    const char* name;
    double r, g, b;
};
const MeanColour meansAsTuned[] = {
    {"tinplate.png", 151.64, 151.85, 154.92}, {"leadtin.png", 176.92, 169.04, 165.36},
    {"corrugated.png", 133.06, 117.43, 108.32}, {"rust.png", 88.78, 43.27, 22.01},
    {"hazard.png", 112.24, 87.31, 25.07},      {"lamp.png", 105.19, 83.91, 60.90},
    {"envmap.png", 11.30, 10.58, 12.08},
};

TEST_F(Textures, MeanColoursStayAsThePicturesGradeWasTunedWith)
{
    for (const MeanColour& tuned : meansAsTuned) {
        DecodedImage texture = image(tuned.name);
        ASSERT_FALSE(texture.pixels.empty()) << tuned.name;
        double sum[3] = {};
        for (uint32_t pixel : texture.pixels)
            for (int c = 0; c < 3; ++c)
                sum[c] += channel(pixel, 16 - 8 * c);
        double count = double(texture.pixels.size());
        // The environment map is added to the lit tin, where a level shows more.
        double tolerance = std::string(tuned.name) == "envmap.png" ? 1.0 : 2.5;
        EXPECT_NEAR(sum[0] / count, tuned.r, tolerance) << tuned.name;
        EXPECT_NEAR(sum[1] / count, tuned.g, tolerance) << tuned.name;
        EXPECT_NEAR(sum[2] / count, tuned.b, tolerance) << tuned.name;
    }
}

// Where a paint lies on a crate face's panel (inside its frame, in fractions of the face): the
// share of the face it covers, its centre and its spread about it.
struct PaintPlace {
    double share, centreX, centreY, spreadX, spreadY;
};

template <typename IsPaint>
PaintPlace placeOf(const DecodedImage& face, IsPaint isPaint)
{
    double count = 0, sumX = 0, sumY = 0, sumXX = 0, sumYY = 0;
    for (uint32_t y = 0; y < face.height; ++y)
        for (uint32_t x = 0; x < face.width; ++x) {
            double u = (x + 0.5) / face.width, v = (y + 0.5) / face.height;
            if (u < 0.15 || u > 0.85 || v < 0.15 || v > 0.85 || !isPaint(pixelAt(face, x, y)))
                continue;
            ++count;
            sumX += u;
            sumY += v;
            sumXX += u * u;
            sumYY += v * v;
        }
    if (count == 0)
        return {};
    double centreX = sumX / count, centreY = sumY / count;
    return {count / double(face.pixels.size()), centreX, centreY,
            std::sqrt(sumXX / count - centreX * centreX),
            std::sqrt(sumYY / count - centreY * centreY)};
}

void expectPlacedAs(const PaintPlace& place, const PaintPlace& tuned, const std::string& what)
{
    EXPECT_NEAR(place.share, tuned.share, 0.1 * tuned.share) << what;
    EXPECT_NEAR(place.centreX, tuned.centreX, 0.01) << what;
    EXPECT_NEAR(place.centreY, tuned.centreY, 0.01) << what;
    EXPECT_NEAR(place.spreadX, tuned.spreadX, 0.01) << what;
    EXPECT_NEAR(place.spreadY, tuned.spreadY, 0.01) << what;
}

TEST_F(Textures, CrateMarkingsKeepTheirPlaceAndSizeOnTheFace)
{
    // As they were at 512 × 512: tinplate's black arrows and code, leadtin's red code and its
    // band of hazard stripes.
    expectPlacedAs(placeOf(image("tinplate.png"), [](uint32_t p) { return lumaOf(p) < 75.0; }),
                   {0.0451, 0.5033, 0.5420, 0.1538, 0.1655}, "tinplate's black paint");
    DecodedImage leadtin = image("leadtin.png");
    expectPlacedAs(placeOf(leadtin, [](uint32_t p) {
                       return channel(p, 16) > channel(p, 8) + 60 && channel(p, 16) > 100;
                   }),
                   {0.0478, 0.5458, 0.4076, 0.2254, 0.0970}, "leadtin's red paint");
    expectPlacedAs(placeOf(leadtin, [](uint32_t p) {
                       return channel(p, 16) > 150 && channel(p, 8) > 110 && channel(p, 0) < 90;
                   }),
                   {0.0452, 0.5014, 0.7242, 0.1984, 0.0379}, "leadtin's yellow stripes");
}

// Mean luma of what a pixel adds to the mean of its four neighbours: detail finer than two
// pixels, which straight slopes of light and colour do not have.
double fineDetail(const DecodedImage& image)
{
    auto luma = [&](uint32_t x, uint32_t y) { return lumaOf(pixelAt(image, x, y)); };
    double sum = 0.0;
    for (uint32_t y = 1; y + 1 < image.height; ++y)
        for (uint32_t x = 1; x + 1 < image.width; ++x)
            sum += std::abs(luma(x, y) - 0.25 * (luma(x - 1, y) + luma(x + 1, y)
                                                 + luma(x, y - 1) + luma(x, y + 1)));
    return sum / double((image.width - 2) * (image.height - 2));
}

TEST_F(Textures, TexturesDrawnFinerCarryDetailTheirHalfSizeCannotHold)
{
    // A texture enlarged from half its size keeps about a third of the fine detail its half-size
    // copy has (0.32 to 0.35, measured on the textures drawn at that size and enlarged
    // bilinearly); one drawn at its size has half of it or more.
    for (const char* name : {"tinplate.png", "leadtin.png", "rust.png", "hazard.png",
                             "lamp.png"}) {
        DecodedImage texture = image(name);
        ASSERT_FALSE(texture.pixels.empty()) << name;
        EXPECT_GT(fineDetail(texture), 0.42 * fineDetail(halved(texture))) << name;
    }
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
