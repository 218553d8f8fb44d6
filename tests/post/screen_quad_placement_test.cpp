// Where a screen quad lands: its rectangle in clip space, its offsets and scales, and the
// turn of its texture about the centre.
#include "post/screen_quad.h"

#include "published_device.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tincrates {
namespace {

using namespace testing;

constexpr uint32_t red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, white = 0xFFFFFFFF;

// The rectangle of pixels that differ from black, as [left, right) × [top, bottom).
struct Covered {
    UINT left = ~0u, top = ~0u, right = 0, bottom = 0;
};

Covered coveredBy(const std::vector<uint32_t>& pixels, UINT width)
{
    Covered c;
    for (size_t i = 0; i < pixels.size(); ++i)
        if (pixels[i] & 0x00FFFFFF) {
            UINT x = UINT(i % width), y = UINT(i / width);
            c.left = std::min(c.left, x);
            c.top = std::min(c.top, y);
            c.right = std::max(c.right, x + 1);
            c.bottom = std::max(c.bottom, y + 1);
        }
    return c;
}

class ScreenQuadPlacement : public ::testing::Test {
protected:
    explicit ScreenQuadPlacement(UINT width = 64, UINT height = 64)
        : device(width, height)
    {
        paint(device.get(), image, white);
    }

    std::vector<uint32_t> drawCopy(ScreenQuad& quad, float angle = 0)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        device->BeginScene();
        quad.draw(D3DBLEND_ONE, D3DBLEND_ZERO, 1.0f, angle);
        device->EndScene();
        return device.readBack();
    }

    HeadlessDevice device;
    PublishedDevice published{device.get()};
    RenderTexture image{*device.get(), 4, 4, renderTargetUsage, D3DPOOL_DEFAULT};
};

TEST_F(ScreenQuadPlacement, SizeOneCoversTheWholeTarget)
{
    ScreenQuad quad(image, 1.0f);
    for (uint32_t pixel : drawCopy(quad))
        ASSERT_EQ(pixel, white);
}

TEST_F(ScreenQuadPlacement, ScalesAndOffsetsMoveTheRectangleExactly)
{
    ScreenQuad quad(image, 1.0f);
    quad.scaleX = 0.5f;
    quad.scaleY = 0.25f;
    Covered c = coveredBy(drawCopy(quad), 64);
    EXPECT_EQ(c.left, 16u);
    EXPECT_EQ(c.right, 48u);
    EXPECT_EQ(c.top, 24u);
    EXPECT_EQ(c.bottom, 40u);

    // y = 0.5 is a quarter of the screen height downwards; x = 0.25 an eighth to the right.
    quad.y = 0.5f;
    quad.x = 0.25f;
    c = coveredBy(drawCopy(quad), 64);
    EXPECT_EQ(c.left, 24u);
    EXPECT_EQ(c.right, 56u);
    EXPECT_EQ(c.top, 40u);
    EXPECT_EQ(c.bottom, 56u);
}

TEST_F(ScreenQuadPlacement, SizeScalesTheQuadAboutTheCentre)
{
    ScreenQuad quad(image, 0.5f);
    Covered c = coveredBy(drawCopy(quad), 64);
    EXPECT_EQ(c.left, 16u);
    EXPECT_EQ(c.right, 48u);
    EXPECT_EQ(c.top, 16u);
    EXPECT_EQ(c.bottom, 48u);
}

class ScreenQuadOnTheProductionScreen : public ScreenQuadPlacement {
protected:
    ScreenQuadOnTheProductionScreen() : ScreenQuadPlacement(640, 480) {}
};

TEST_F(ScreenQuadOnTheProductionScreen, TextScaleCoversTheCentre352By120)
{
    ScreenQuad text(image, 1.0f);
    text.scaleX = 0.55f;
    text.scaleY = 0.25f;
    Covered c = coveredBy(drawCopy(text), 640);
    EXPECT_EQ(c.right - c.left, 352u);
    EXPECT_EQ(c.bottom - c.top, 120u);
    EXPECT_EQ(c.left, 144u);
    EXPECT_EQ(c.top, 180u);
}

class ScreenQuadTurn : public ScreenQuadPlacement {
protected:
    ScreenQuadTurn()
    {
        // Sharp texels, so each quadrant shows one colour.
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    }

    // Red top left, green top right, blue bottom left, white bottom right.
    void paintQuadrants()
    {
        paint(device.get(), image, red, {{2, 0, 4, 2}}, green);
        image.bind(0);
        D3DRECT bottomLeft{0, 2, 2, 4}, bottomRight{2, 2, 4, 4};
        device->Clear(1, &bottomLeft, D3DCLEAR_TARGET, blue, 1, 0);
        device->Clear(1, &bottomRight, D3DCLEAR_TARGET, white, 1, 0);
        image.unbind();
    }

    // The colour at the centre of each quadrant of the 64 × 64 target: TL, TR, BL, BR.
    static std::vector<uint32_t> quadrants(const std::vector<uint32_t>& pixels)
    {
        return {pixels[16 * 64 + 16], pixels[16 * 64 + 48], pixels[48 * 64 + 16],
            pixels[48 * 64 + 48]};
    }
};

TEST_F(ScreenQuadTurn, UnturnedTextureIsUpright)
{
    paintQuadrants();
    ScreenQuad quad(image, 1.0f);
    EXPECT_EQ(quadrants(drawCopy(quad)), (std::vector<uint32_t>{red, green, blue, white}));
}

TEST_F(ScreenQuadTurn, QuarterTurnRotatesTheTextureAboutItsCentre)
{
    paintQuadrants();
    ScreenQuad quad(image, 1.0f);
    // Coordinates turn by +90°: (u, v) − centre goes to (−(v − ½), u − ½), so the top
    // left of the quad reads the texture's top right, and so on round.
    EXPECT_EQ(quadrants(drawCopy(quad, std::numbers::pi_v<float> / 2)),
        (std::vector<uint32_t>{green, white, red, blue}));
    // The turn is undone for the next draw with angle 0.
    EXPECT_EQ(quadrants(drawCopy(quad)), (std::vector<uint32_t>{red, green, blue, white}));
}

TEST_F(ScreenQuadTurn, CornersTurnedOutsideTheTextureRepeatItsEdge)
{
    // Top row red, the rest blue. Turned by 45°, the quad's top corners read above the
    // texture: clamped, that is the red top row (wrapping would read the blue bottom).
    paint(device.get(), image, blue, {{0, 0, 4, 1}}, red);
    ScreenQuad quad(image, 1.0f);
    auto pixels = drawCopy(quad, std::numbers::pi_v<float> / 4);
    EXPECT_EQ(pixels[0], red);
    EXPECT_EQ(pixels[32 * 64 + 32], blue);
}

} // namespace
} // namespace tincrates
