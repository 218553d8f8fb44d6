// Render targets smaller than the automatic depth buffer: they test and write the top-left
// corner of it that they cover, as the back buffer and other targets see it.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

constexpr uint32_t black = 0xFF000000;
constexpr uint32_t red = 0xFFFF0000;
constexpr uint32_t green = 0xFF00FF00;
constexpr uint32_t white = 0xFFFFFFFF;

class SmallerTargetDepth : public ::testing::Test {
protected:
    SmallerTargetDepth()
        : device(16, 16)
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->GetRenderTarget(0, &backBuffer);
        device.keep(backBuffer);
    }

    IDirect3DSurface9* target(UINT width, UINT height)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                      D3DPOOL_DEFAULT, &texture, nullptr),
            D3D_OK);
        device.keep(texture);
        IDirect3DSurface9* surface = nullptr;
        texture->GetSurfaceLevel(0, &surface);
        return device.keep(surface);
    }

    // A quad at depth z over clip-space x from `left` to `right` and the whole height.
    void drawAt(float z, uint32_t colour, float left = -1, float right = 1)
    {
        device.drawFan({{left, -1, z, colour, 0, 0}, {left, 1, z, colour, 0, 0},
            {right, 1, z, colour, 0, 0}, {right, -1, z, colour, 0, 0}});
    }

    HeadlessDevice device;
    IDirect3DSurface9* backBuffer = nullptr;
};

TEST_F(SmallerTargetDepth, TestsAndWritesDepthAfterAClear)
{
    IDirect3DSurface9* small = target(8, 4);
    ASSERT_EQ(device->SetRenderTarget(0, small), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 1.0f, 0);
    drawAt(0.5f, red);
    drawAt(0.7f, green);         // behind the red: hidden
    drawAt(0.3f, white, -1, 0);  // in front, over the left half
    auto pixels = device.readBack(small);
    EXPECT_EQ(pixels[1 * 8 + 1], white);
    EXPECT_EQ(pixels[1 * 8 + 6], red);

    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    drawAt(0.7f, green);
    EXPECT_EQ(device.readBack(small)[1 * 8 + 1], green);
}

TEST_F(SmallerTargetDepth, TestsWhatTheBackBufferWroteInItsCorner)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 1.0f, 0);
    drawAt(0.2f, white);
    IDirect3DSurface9* small = target(8, 4);
    device->SetRenderTarget(0, small);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
    drawAt(0.5f, red);
    EXPECT_EQ(device.readBack(small)[2 * 8 + 3], black);
    drawAt(0.1f, green);
    EXPECT_EQ(device.readBack(small)[2 * 8 + 3], green);
}

TEST_F(SmallerTargetDepth, BackBufferTestsWhatASmallerTargetClearedAndWrote)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 0.5f, 0);
    IDirect3DSurface9* small = target(8, 4);
    device->SetRenderTarget(0, small);
    // Clears only the 8 × 4 corner of the depth buffer to 1, then writes 0.3 into its left
    // half.
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    drawAt(0.3f, red, -1, 0);
    device->SetRenderTarget(0, backBuffer);
    drawAt(0.4f, white);
    auto pixels = device.readBack();
    EXPECT_EQ(pixels[1 * 16 + 1], black);   // corner, behind the small target's 0.3
    EXPECT_EQ(pixels[1 * 16 + 6], white);   // corner, in front of its cleared 1
    EXPECT_EQ(pixels[1 * 16 + 12], white);  // outside the corner, in front of 0.5
    EXPECT_EQ(pixels[12 * 16 + 1], white);
}

TEST_F(SmallerTargetDepth, TargetsOfDifferentSizesShareTheCornerTheyBothCover)
{
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    IDirect3DSurface9* wide = target(8, 4);
    IDirect3DSurface9* tall = target(4, 8);
    device->SetRenderTarget(0, wide);
    drawAt(0.3f, white);
    device->SetRenderTarget(0, tall);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
    drawAt(0.5f, red);
    auto pixels = device.readBack(tall);
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(pixels[y * 4 + 2], y < 4 ? black : red) << "row " << y;
}

TEST_F(SmallerTargetDepth, ReadingAnotherTargetBackKeepsTheDepthValues)
{
    IDirect3DSurface9* small = target(8, 4);
    device->SetRenderTarget(0, small);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 1.0f, 0);
    drawAt(0.3f, white);
    device.readBack(backBuffer);
    drawAt(0.5f, red);
    EXPECT_EQ(device.readBack(small)[1 * 8 + 1], white);
}

TEST_F(SmallerTargetDepth, TargetLargerThanTheDepthBufferDrawsWithoutDepth)
{
    IDirect3DSurface9* large = target(32, 32);
    ASSERT_EQ(device->SetRenderTarget(0, large), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
    drawAt(0.3f, white);
    drawAt(0.7f, red);
    EXPECT_EQ(device.readBack(large)[20 * 32 + 20], red);
}

} // namespace
} // namespace tincrates
