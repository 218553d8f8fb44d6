// A device given a back buffer of a new size, as when its window is resized: what it keeps,
// what returns to its default, and when it refuses.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

constexpr uint32_t black = 0xFF000000;
constexpr uint32_t red = 0xFFFF0000;
constexpr uint32_t green = 0xFF00FF00;

// A quad at depth z over clip-space x from `left` to `right` and the whole height.
std::vector<QuadVertex> quadAt(float z, uint32_t colour, float left = -1, float right = 1)
{
    return {{left, -1, z, colour, 0, 0}, {left, 1, z, colour, 0, 0}, {right, 1, z, colour, 0, 0},
        {right, -1, z, colour, 0, 0}};
}

TEST(Reset, GivesANewBackBufferAsTargetWithItsViewportAndEveryStateAtItsDefault)
{
    HeadlessDevice device(64, 48);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetSamplerState(3, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    IDirect3DTexture9* texture = device.texture(2, 2, std::vector<uint32_t>(4, red));
    device->SetTexture(0, texture);

    D3DPRESENT_PARAMETERS params = headlessPresentParameters(160, 120);
    ASSERT_EQ(device->Reset(&params), D3D_OK);

    D3DSURFACE_DESC desc = backBufferDesc(device.get());
    EXPECT_EQ(desc.Width, 160u);
    EXPECT_EQ(desc.Height, 120u);
    IDirect3DSurface9* target = nullptr;
    device->GetRenderTarget(0, &target);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetBackBuffer(0, 0, 0, &backBuffer);
    EXPECT_EQ(target, backBuffer);
    target->Release();
    backBuffer->Release();
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 160u);
    EXPECT_EQ(viewport.Height, 120u);

    DWORD value = 0;
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    device->GetRenderState(D3DRS_FOGENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    device->GetSamplerState(3, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
    device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));
    IDirect3DBaseTexture9* bound = texture;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    // The whole of the new back buffer is drawn into.
    device.setPlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1, 0);
    device.drawFan(device.fullScreenQuad(green));
    std::vector<uint32_t> pixels = device.readBack();
    ASSERT_EQ(pixels.size(), 160u * 120u);
    EXPECT_EQ(pixels.front(), green);
    EXPECT_EQ(pixels.back(), green);
}

TEST(Reset, RenderTexturesAndManagedResourcesSurviveIt)
{
    HeadlessDevice device(64, 64);
    IDirect3DTexture9* renderTexture = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 16, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                  D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &renderTexture, nullptr),
        D3D_OK);
    device.keep(renderTexture);
    IDirect3DSurface9* surface = nullptr;
    renderTexture->GetSurfaceLevel(0, &surface);
    device.keep(surface);
    IDirect3DTexture9* picture = device.texture(1, 1, {red});

    D3DPRESENT_PARAMETERS params = headlessPresentParameters(200, 150);
    ASSERT_EQ(device->Reset(&params), D3D_OK);

    device.setPlainStates();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetTexture(0, picture);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 1, 0);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack(surface), std::vector<uint32_t>(32 * 16, red));
    device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
}

TEST(Reset, TheDepthBufferCoversALargerBackBufferAndStillServesSmallerOnes)
{
    HeadlessDevice device(32, 32);
    for (UINT size : {96u, 48u}) {
        D3DPRESENT_PARAMETERS params = headlessPresentParameters(size, size);
        ASSERT_EQ(device->Reset(&params), D3D_OK);
        device.setPlainStates();
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, black, 1, 0);
        // Near on the right half, then far over everything: the right half keeps the near
        // colour only where depth is tested, the bottom-right corner included.
        device.drawFan(quadAt(0.2f, green, 0, 1));
        device.drawFan(quadAt(0.8f, red));
        std::vector<uint32_t> pixels = device.readBack();
        ASSERT_EQ(pixels.size(), size_t(size) * size);
        EXPECT_EQ(pixels[0], red) << size;
        EXPECT_EQ(pixels.back(), green) << size;
        EXPECT_EQ(pixels[size_t(size - 1) * size], red) << size;
    }
}

TEST(Reset, IsRefusedInASceneOrWhileTheBackBufferIsHeldAndThenChangesNothing)
{
    HeadlessDevice device(64, 48);
    D3DPRESENT_PARAMETERS params = headlessPresentParameters(128, 96);

    device->BeginScene();
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    device->EndScene();

    // A render texture that is bound keeps the back buffer to put it back afterwards.
    IDirect3DSurface9* held = nullptr;
    device->GetRenderTarget(0, &held);
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    held->Release();

    EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);
    D3DSURFACE_DESC desc = backBufferDesc(device.get());
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 48u);

    EXPECT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(backBufferDesc(device.get()).Width, 128u);
}

} // namespace
} // namespace tincrates
