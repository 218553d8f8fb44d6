// Render targets: drawing into textures, reading them back, the viewport that follows them.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

TEST(RenderTarget, ClearFillsTheBackBufferWithTheColour)
{
    HeadlessDevice device(8, 4);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80FF4020, 1.0f, 0);
    auto pixels = device.readBack();
    ASSERT_EQ(pixels.size(), 32u);
    for (uint32_t p : pixels)
        EXPECT_EQ(p, 0x80FF4020u);
}

IDirect3DTexture9* renderTexture(HeadlessDevice& device, UINT w, UINT h)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                  D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3D_OK);
    return device.keep(texture);
}

void selectTexture(HeadlessDevice& device)
{
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
}

// Red over the top half, blue over the bottom half (clip y > 0 is up).
void drawTopRedBottomBlue(HeadlessDevice& device)
{
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device.drawFan({{-1, 0, 0, 0xFFFF0000, 0, 0}, {-1, 1, 0, 0xFFFF0000, 0, 0},
        {1, 1, 0, 0xFFFF0000, 0, 0}, {1, 0, 0, 0xFFFF0000, 0, 0}});
    device.drawFan({{-1, -1, 0, 0xFF0000FF, 0, 0}, {-1, 0, 0, 0xFF0000FF, 0, 0},
        {1, 0, 0, 0xFF0000FF, 0, 0}, {1, -1, 0, 0xFF0000FF, 0, 0}});
}

TEST(RenderTarget, TextureDrawnIntoIsUprightWhenReadAndWhenDrawnBack)
{
    HeadlessDevice device(8, 8);
    device.setPlainStates();
    IDirect3DTexture9* texture = renderTexture(device, 4, 4);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, surface);
    drawTopRedBottomBlue(device);
    auto inTexture = device.readBack(surface);
    EXPECT_EQ(inTexture[0], 0xFFFF0000u);  // row 0 is the top
    EXPECT_EQ(inTexture[15], 0xFF0000FFu);

    device->SetRenderTarget(0, backBuffer);
    device->SetTexture(0, texture);
    selectTexture(device);
    device.drawFan(device.fullScreenQuad());
    auto onScreen = device.readBack();
    EXPECT_EQ(onScreen[0], 0xFFFF0000u);
    EXPECT_EQ(onScreen[63], 0xFF0000FFu);
    device->SetTexture(0, nullptr);
    surface->Release();
    backBuffer->Release();
}

TEST(RenderTarget, SettingATargetResetsTheViewportToItsSize)
{
    HeadlessDevice device(64, 48);
    D3DVIEWPORT9 small{2, 3, 10, 10, 0, 1};
    ASSERT_EQ(device->SetViewport(&small), D3D_OK);
    IDirect3DTexture9* texture = renderTexture(device, 32, 16);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, surface);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 16u);
    device->SetRenderTarget(0, backBuffer);
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 64u);
    EXPECT_EQ(viewport.Height, 48u);
    surface->Release();
    backBuffer->Release();
}

TEST(RenderTarget, AutomaticMipChainFollowsLevelZero)
{
    HeadlessDevice device(1, 1);
    device.setPlainStates();
    IDirect3DTexture9* texture = renderTexture(device, 16, 16);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    for (uint32_t colour : {0xFF20A040u, 0xFFC01080u}) {
        device->SetRenderTarget(0, surface);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1, 0);
        device->SetRenderTarget(0, backBuffer);
        device->SetTexture(0, texture);
        selectTexture(device);
        // 16 texels onto one pixel: the smallest level.
        device.drawFan(device.fullScreenQuad());
        device->SetTexture(0, nullptr);
        EXPECT_EQ(device.readBack()[0], colour);
    }
    surface->Release();
    backBuffer->Release();
}

TEST(RenderTarget, RebuildingAMipChainLeavesOtherStagesTexturesBound)
{
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    IDirect3DTexture9* target = renderTexture(device, 4, 4);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1, 0);
    device->SetRenderTarget(0, backBuffer);

    device->SetTexture(0, device.texture(1, 1, {0xFFFF0000}));
    device->SetTexture(1, target);
    device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    // An indexed draw: the device cannot tell that it never minifies, so the render
    // texture's chain is rebuilt before drawing.
    auto quad = device.fullScreenQuad();
    device->SetFVF(quadFvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, quadFvf), 0, sizeof(QuadVertex));
    IDirect3DIndexBuffer9* indices = nullptr;
    device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr);
    device.keep(indices);
    uint16_t* data = nullptr;
    indices->Lock(0, 0, reinterpret_cast<void**>(&data), 0);
    const uint16_t values[6] = {0, 1, 2, 0, 2, 3};
    std::copy(values, values + 6, data);
    indices->Unlock();
    device->SetIndices(indices);
    device->BeginScene();
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    device->EndScene();
    EXPECT_EQ(device.readBack()[5], 0xFFFF00FFu);
    device->SetTexture(1, nullptr);
    surface->Release();
    backBuffer->Release();
}

TEST(RenderTarget, RenderTargetsNeedTheDefaultPoolAndKnownFormats)
{
    HeadlessDevice device(4, 4);
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                  D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_D24S8, D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                  nullptr),
        D3DERR_INVALIDCALL);
    // A managed texture is no target.
    IDirect3DTexture9* managed = device.texture(1, 1, {0});
    IDirect3DSurface9* surface = nullptr;
    managed->GetSurfaceLevel(0, &surface);
    EXPECT_EQ(device->SetRenderTarget(0, surface), D3DERR_INVALIDCALL);
    surface->Release();
}

TEST(RenderTarget, ClearCoversOnlyTheViewportAndGivenRectangles)
{
    HeadlessDevice device(4, 4);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    D3DRECT rect{1, 1, 3, 2};
    device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFFFFFF, 1, 0);
    auto pixels = device.readBack();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixels[y * 4 + x], (y == 1 && x >= 1 && x < 3) ? 0xFFFFFFFFu : 0xFF000000u);
}

} // namespace
} // namespace tincrates
