// What a screen quad leaves on the target for each blend mode and opacity, worked out from
// Direct3D 9's blend equation: result = source × source factor + target × target factor.
#include "post/screen_quad.h"

#include "published_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tincrates {
namespace {

using namespace testing;

constexpr D3DCOLOR background = 0xFF204060;
constexpr D3DCOLOR picture = 0x80C0A020; // alpha 128 over a warm colour

struct BlendCase {
    D3DBLEND sourceBlend, destinationBlend;
};

// The blend factor `blend` for a drawn alpha `alpha` (0..1).
double factorOf(D3DBLEND blend, double alpha)
{
    switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 1;
    case D3DBLEND_SRCALPHA: return alpha;
    case D3DBLEND_INVSRCALPHA: return 1 - alpha;
    default: ADD_FAILURE() << "blend " << blend; return 0;
    }
}

int expectedChannel(BlendCase mode, float opacity, int source, int target)
{
    // The factor byte is the opacity truncated to 1/255 steps.
    double alpha = (picture >> 24) / 255.0 * int(std::clamp(opacity, 0.0f, 1.0f) * 255) / 255;
    if (mode.sourceBlend == D3DBLEND_ONE && mode.destinationBlend == D3DBLEND_ZERO)
        return source; // blending off: a plain copy
    double result = source * factorOf(mode.sourceBlend, alpha)
        + target * factorOf(mode.destinationBlend, alpha);
    return int(std::min(255.0, std::round(result)));
}

class ScreenQuadBlend : public ::testing::Test {
protected:
    ScreenQuadBlend()
    {
        useLinearFiltering(*device.get());
        paint(device.get(), image, picture);
    }

    std::vector<uint32_t> drawOverBackground(
        ScreenQuad& quad, BlendCase mode, float opacity, float angle = 0)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1, 0);
        device->BeginScene();
        quad.draw(mode.sourceBlend, mode.destinationBlend, opacity, angle);
        device->EndScene();
        return device.readBack();
    }

    HeadlessDevice device{32, 24};
    PublishedDevice published{device.get()};
    RenderTexture image{*device.get(), 8, 8, renderTargetUsage, D3DPOOL_DEFAULT};
};

TEST_F(ScreenQuadBlend, EachBlendModeAndOpacityFollowsTheBlendEquation)
{
    ScreenQuad quad(image, 1.0f);
    const BlendCase modes[] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE}, {D3DBLEND_ONE, D3DBLEND_ONE},
        {D3DBLEND_ONE, D3DBLEND_ZERO}};
    for (BlendCase mode : modes)
        for (float opacity : {0.0f, 0.5f, 1.0f}) {
            auto pixels = drawOverBackground(quad, mode, opacity);
            int red = expectedChannel(mode, opacity, 0xC0, 0x20);
            int green = expectedChannel(mode, opacity, 0xA0, 0x40);
            int blue = expectedChannel(mode, opacity, 0x20, 0x60);
            for (uint32_t pixel : pixels) {
                ASSERT_NEAR(redOf(pixel), red, 1)
                    << mode.sourceBlend << "/" << mode.destinationBlend << " at " << opacity;
                ASSERT_NEAR(greenOf(pixel), green, 1)
                    << mode.sourceBlend << "/" << mode.destinationBlend << " at " << opacity;
                ASSERT_NEAR(blueOf(pixel), blue, 1)
                    << mode.sourceBlend << "/" << mode.destinationBlend << " at " << opacity;
            }
        }
}

TEST_F(ScreenQuadBlend, OpacityOutsideZeroToOneIsClamped)
{
    ScreenQuad quad(image, 1.0f);
    const BlendCase over{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA};
    EXPECT_EQ(drawOverBackground(quad, over, 1.7f), drawOverBackground(quad, over, 1.0f));
    // Still drawn, but leaves the target as it was.
    for (uint32_t pixel : drawOverBackground(quad, over, -0.3f))
        ASSERT_EQ(pixel & 0x00FFFFFF, background & 0x00FFFFFF);
    for (uint32_t pixel : drawOverBackground(quad, over, std::nanf("")))
        ASSERT_EQ(pixel & 0x00FFFFFF, background & 0x00FFFFFF);
}

TEST_F(ScreenQuadBlend, AddingIgnoresTheAlphaOfTheTexture)
{
    // The glow is drawn ONE/ONE: its colour adds in full whatever alpha the blur left.
    paint(device.get(), image, 0x00101010);
    ScreenQuad quad(image, 1.0f);
    for (uint32_t pixel : drawOverBackground(quad, {D3DBLEND_ONE, D3DBLEND_ONE}, 1.0f))
        ASSERT_EQ(pixel & 0x00FFFFFF, 0x00305070u);
}

TEST_F(ScreenQuadBlend, BlackOverlayFadesThePictureToBlack)
{
    paint(device.get(), image, 0xFF000000);
    ScreenQuad black(image, 1.0f);
    const BlendCase over{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA};
    int previous = 0x60;
    for (float opacity : {0.25f, 0.5f, 0.75f, 1.0f}) {
        auto pixels = drawOverBackground(black, over, opacity);
        double keep = 1 - int(opacity * 255) / 255.0;
        EXPECT_NEAR(blueOf(pixels[0]), 0x60 * keep, 1) << opacity;
        EXPECT_LT(blueOf(pixels[0]), previous);
        previous = blueOf(pixels[0]);
    }
    for (uint32_t pixel : drawOverBackground(black, over, 1.0f))
        ASSERT_EQ(pixel & 0x00FFFFFF, 0u);
}

TEST_F(ScreenQuadBlend, WhiteFlashAddsTheOpacityInWhite)
{
    paint(device.get(), image, 0xFFFFFFFF);
    ScreenQuad white(image, 1.0f);
    float opacity = std::pow(1 - 0.5f, 2.5f); // half-way through a beat
    auto pixels = drawOverBackground(white, {D3DBLEND_SRCALPHA, D3DBLEND_ONE}, opacity);
    int added = int(opacity * 255);
    EXPECT_NEAR(redOf(pixels[0]), 0x20 + added, 1);
    EXPECT_NEAR(blueOf(pixels[0]), 0x60 + added, 1);
    for (uint32_t pixel : drawOverBackground(white, {D3DBLEND_SRCALPHA, D3DBLEND_ONE}, 1.0f))
        ASSERT_EQ(pixel & 0x00FFFFFF, 0x00FFFFFFu);
}

TEST_F(ScreenQuadBlend, QuadLeavesBlendingOff)
{
    ScreenQuad quad(image, 1.0f);
    drawOverBackground(quad, {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, 0.5f);
    DWORD blending = TRUE;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    EXPECT_EQ(blending, DWORD(FALSE));
}

} // namespace
} // namespace tincrates
