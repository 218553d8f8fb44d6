// What a blur pass draws: the centre tap and the two mirrored pairs of side taps, weighed by
// the texture-factor bytes that the gain gives, read back from the headless device.
#include "post/blur_pass.h"

#include "published_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace tincrates {
namespace {

using namespace testing;

// The factor bytes of a gain: the centre tap's and the side pairs'.
struct FactorBytes {
    int centre, side;
};

FactorBytes factorBytesOf(float gain)
{
    float w = gain * 0.2222222238779068f;
    auto byte = [](double scaled) { return scaled > 0 ? int(std::min(scaled, 255.0)) : 0; };
    return {byte(double(w) * 128), byte(double(w) * 510)};
}

// The source sampled at texel coordinate `position` (texel centres on whole numbers) with
// linear filtering and clamped addressing, in bytes.
double sampleLinear(const std::vector<int>& line, double position)
{
    double base = std::floor(position);
    double fraction = position - base;
    auto at = [&](double i) {
        int index = int(std::clamp(i, 0.0, double(line.size() - 1)));
        return double(line[index]);
    };
    return at(base) * (1 - fraction) + at(base + 1) * fraction;
}

// One line of output along the blurred axis, as the documented filter gives it: each of
// the three draws is written to the 8-bit target, so each term is rounded on its own.
std::vector<int> expectedLine(
    const std::vector<int>& source, size_t outputLength, float spread, float gain)
{
    FactorBytes bytes = factorBytesOf(gain);
    double scale = double(source.size()) / double(outputLength);
    std::vector<int> result(outputLength);
    for (size_t p = 0; p < outputLength; ++p) {
        double centre = double(p) * scale;
        double sum = std::round(bytes.centre / 255.0 * sampleLinear(source, centre));
        for (int i : {2, 4}) {
            double offset = i * double(spread) - 0.5;
            double pair = 127.0 / 255 * sampleLinear(source, centre + offset)
                + 128.0 / 255 * sampleLinear(source, centre - offset);
            sum += std::round(bytes.side / 255.0 * pair);
        }
        result[p] = int(std::min(sum, 255.0));
    }
    return result;
}

class BlurPassFilter : public ::testing::Test {
protected:
    BlurPassFilter() { useLinearFiltering(*device.get()); }

    // Renders `pass` once inside a scene.
    void render(BlurPass& pass, bool horizontal, float spread, float gain)
    {
        device->BeginScene();
        pass.render(horizontal, spread, gain);
        device->EndScene();
    }

    HeadlessDevice device{8, 8};
    PublishedDevice published{device.get()};
};

TEST_F(BlurPassFilter, BrightColumnSpreadsOverFourTexelsEachSideWithTheGainWeights)
{
    RenderTexture source(*device.get(), 32, 8, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF000000, {{16, 0, 17, 8}}, 0xFFFFFFFF);
    BlurPass pass(&source, 32, 8);
    render(pass, true, 1.0f, 1.5f);

    std::vector<int> line(32, 0);
    line[16] = 255;
    std::vector<int> expected = expectedLine(line, 32, 1.0f, 1.5f);
    EXPECT_EQ(expected[16], 42); // the centre byte for gain 1.5
    EXPECT_EQ(expected[11], 0);  // nothing past four texels
    auto pixels = device.readBack(pass.output.surface);
    for (UINT y : {0u, 5u})
        for (UINT x = 0; x < 32; ++x) {
            uint32_t pixel = pixels[y * 32 + x];
            EXPECT_NEAR(redOf(pixel), expected[x], 1) << "x " << x << " y " << y;
            EXPECT_NEAR(blueOf(pixel), expected[x], 1) << "x " << x << " y " << y;
        }
}

TEST_F(BlurPassFilter, WiderSpreadMovesTheTapsOutward)
{
    RenderTexture source(*device.get(), 32, 4, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF000000, {{16, 0, 17, 4}}, 0xFF00FF00);
    BlurPass pass(&source, 32, 4);
    render(pass, true, 2.0f, 1.25f);

    std::vector<int> line(32, 0);
    line[16] = 255;
    std::vector<int> expected = expectedLine(line, 32, 2.0f, 1.25f);
    // Taps at ±3.5 and ±7.5 texels: gaps next to the centre and between the pairs.
    for (int x : {14, 15, 17, 18, 21, 22, 10, 11})
        EXPECT_EQ(expected[x], 0) << x;
    for (int x : {12, 13, 8, 9, 19, 20, 23, 24})
        EXPECT_GT(expected[x], 30) << x;
    auto pixels = device.readBack(pass.output.surface);
    for (UINT x = 0; x < 32; ++x) {
        EXPECT_NEAR(greenOf(pixels[32 + x]), expected[x], 1) << "x " << x;
        EXPECT_EQ(redOf(pixels[32 + x]), 0) << "x " << x;
    }
}

TEST_F(BlurPassFilter, VerticalPassBlursRowsOnly)
{
    RenderTexture source(*device.get(), 4, 32, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF000000, {{0, 10, 4, 11}}, 0xFFFF0000);
    BlurPass pass(&source, 4, 32);
    render(pass, false, 1.5f, 1.0f);

    std::vector<int> line(32, 0);
    line[10] = 255;
    std::vector<int> expected = expectedLine(line, 32, 1.5f, 1.0f);
    auto pixels = device.readBack(pass.output.surface);
    for (UINT y = 0; y < 32; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_NEAR(redOf(pixels[y * 4 + x]), expected[y], 1) << "x " << x << " y " << y;
}

TEST_F(BlurPassFilter, UniformSourceComesOutTimesTheGainEdgesIncluded)
{
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF402010);
    BlurPass pass(&source, 16, 16);
    for (float gain : {1.0f, 1.25f, 1.4f, 1.5f}) {
        render(pass, true, 1.0f, gain);
        auto pixels = device.readBack(pass.output.surface);
        int red = expectedLine(std::vector<int>(16, 0x40), 16, 1.0f, gain)[0];
        int green = expectedLine(std::vector<int>(16, 0x20), 16, 1.0f, gain)[0];
        EXPECT_NEAR(red, 0x40 * gain, 2) << gain; // the weights add up to about the gain
        for (uint32_t pixel : pixels) {
            ASSERT_NEAR(redOf(pixel), red, 1) << gain;
            ASSERT_NEAR(greenOf(pixel), green, 1) << gain;
        }
    }
}

TEST_F(BlurPassFilter, BrightUniformSourceClampsAtWhite)
{
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFFC0C0C0);
    BlurPass pass(&source, 16, 16);
    render(pass, false, 1.0f, 1.5f);
    for (uint32_t pixel : device.readBack(pass.output.surface))
        ASSERT_EQ(pixel & 0x00FFFFFF, 0x00FFFFFFu);
}

TEST_F(BlurPassFilter, GainsBeyondTheFactorRangeSaturateInsteadOfWrapping)
{
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF202020);
    BlurPass pass(&source, 16, 16);

    // Gain 3 asks for a side byte of 340: it saturates at 255, a wrap would leave 84.
    render(pass, true, 1.0f, 3.0f);
    int expected = expectedLine(std::vector<int>(16, 0x20), 16, 1.0f, 3.0f)[0];
    EXPECT_EQ(factorBytesOf(3.0f).side, 255);
    for (uint32_t pixel : device.readBack(pass.output.surface))
        ASSERT_NEAR(redOf(pixel), expected, 1);

    render(pass, true, 1.0f, -1.0f);
    for (uint32_t pixel : device.readBack(pass.output.surface))
        ASSERT_EQ(pixel & 0x00FFFFFF, 0u);
}

TEST_F(BlurPassFilter, WideSourceIntoSquareOutputIsStretchedTwiceVertically)
{
    RenderTexture source(*device.get(), 256, 128, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), source, 0xFF000000, {{0, 0, 256, 64}}, 0xFFFFFFFF);
    BlurPass pass(&source, 256, 256);
    EXPECT_FLOAT_EQ(pass.texelU, 1.0f / 256);
    EXPECT_FLOAT_EQ(pass.texelV, 1.0f / 128);
    // A horizontal pass leaves columns alone, so each column shows the source stretched.
    render(pass, true, 1.0f, 1.0f);

    std::vector<int> column(128, 0);
    std::fill(column.begin(), column.begin() + 64, 255);
    FactorBytes bytes = factorBytesOf(1.0f);
    auto pixels = device.readBack(pass.output.surface);
    for (UINT y = 0; y < 256; ++y) {
        double sample = sampleLinear(column, y * 0.5);
        int expected = int(std::round(bytes.centre / 255.0 * sample)
            + 2 * std::round(bytes.side / 255.0 * sample)); // each pair: 127/255 + 128/255 = 1
        for (UINT x : {0u, 100u, 255u})
            ASSERT_NEAR(redOf(pixels[y * 256 + x]), expected, 1) << "x " << x << " y " << y;
    }
}

TEST_F(BlurPassFilter, TheGlowChainKeepsAUniformPictureUniform)
{
    // The six passes of the glow, as the production chains them.
    RenderTexture scene(*device.get(), 32, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    paint(device.get(), scene, 0xFF181818);
    struct Setting {
        bool horizontal;
        float spread, gain;
    };
    const Setting settings[] = {{true, 1.0f, 1.5f}, {false, 1.0f, 1.0f}, {true, 1.5f, 1.0f},
        {false, 1.5f, 1.0f}, {true, 2.0f, 1.25f}, {false, 2.0f, 1.4f}};
    std::vector<std::unique_ptr<BlurPass>> passes;
    const RenderTexture* source = &scene;
    for (int k = 0; k < 6; ++k) {
        passes.push_back(std::make_unique<BlurPass>(source, 32, 32));
        source = &passes.back()->output;
    }
    int expected = 0x18;
    device->BeginScene();
    for (int k = 0; k < 6; ++k) {
        passes[k]->render(settings[k].horizontal, settings[k].spread, settings[k].gain);
        expected = expectedLine(std::vector<int>(8, expected), 8, 1.0f, settings[k].gain)[0];
    }
    device->EndScene();
    auto pixels = device.readBack(passes.back()->output.surface);
    for (uint32_t pixel : pixels)
        ASSERT_NEAR(blueOf(pixel), expected, 2); // six passes, each within one
}

} // namespace
} // namespace tincrates
