// Textures of one colour are read from a uniform instead of sampled: the picture must not
// tell the difference, and must follow every change that gives the texture more colours.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tincrates {
namespace {

using namespace testing;

constexpr UINT size = 8;

void selectTexture(HeadlessDevice& device)
{
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    for (auto filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
        device->SetSamplerState(0, filter, D3DTEXF_LINEAR);
}

void fillLevel(IDirect3DTexture9* texture, UINT level, UINT w, UINT h, uint32_t left,
    uint32_t right)
{
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits)
            + size_t(y) * locked.Pitch);
        for (UINT x = 0; x < w; ++x)
            row[x] = x < w / 2 ? left : right;
    }
    ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
}

TEST(SingleColourTextures, ReadLikeSampledOnesAndFollowEveryRewrite)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    selectTexture(device);
    uint32_t colour = D3DCOLOR_ARGB(0x80, 0x12, 0xC4, 0x7F);
    IDirect3DTexture9* texture = device.texture(4, 4, std::vector<uint32_t>(16, colour));
    device->SetTexture(0, texture);
    device.drawFan(device.fullScreenQuad());
    for (uint32_t pixel : device.readBack())
        ASSERT_EQ(pixel, colour);

    // Two colours now: the left half of the picture shows the first.
    fillLevel(texture, 0, 4, 4, 0xFF0000FF, 0xFF00FF00);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device.drawFan(device.fullScreenQuad());
    auto pixels = device.readBack();
    EXPECT_EQ(pixels[0], 0xFF0000FFu);
    EXPECT_EQ(pixels[size - 1], 0xFF00FF00u);

    // And one again, of another colour.
    fillLevel(texture, 0, 4, 4, 0xFF336699, 0xFF336699);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[size - 1], 0xFF336699u);
}

TEST(SingleColourTextures, AnOpaqueFormatReadsAlphaOne)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    selectTexture(device);
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, 0x00405060), 1,
                              D3DFMT_X8R8G8B8));
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[0], 0xFF405060u);
}

TEST(SingleColourTextures, LevelsOfDifferentColoursAreSampled)
{
    // Each level is one colour, but not the same one: a minified quad mixes them.
    HeadlessDevice device(size, size);
    device.setPlainStates();
    selectTexture(device);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                  nullptr),
        D3D_OK);
    DWORD levels = texture->GetLevelCount();
    for (UINT level = 0; level < levels; ++level) {
        uint32_t colour = level == 2 ? 0xFFFFFFFF : 0xFF000000;
        fillLevel(texture, level, std::max(1u, 32u >> level), std::max(1u, 32u >> level),
            colour, colour);
    }
    device->SetTexture(0, texture);
    device.drawFan(device.fullScreenQuad()); // 32 texels over 8 pixels: level 2
    EXPECT_EQ(device.readBack()[0], 0xFFFFFFFFu);
    texture->Release();
}

TEST(SingleColourTextures, ARenderTargetIsNeverTakenForOneColour)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(size, size, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                  D3DPOOL_DEFAULT, &target, nullptr),
        D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020, 1, 0);
    D3DRECT half{0, 0, LONG(size / 2), LONG(size)};
    device->Clear(1, &half, D3DCLEAR_TARGET, 0xFFE0E0E0, 1, 0);
    device->SetRenderTarget(0, backBuffer);

    selectTexture(device);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetTexture(0, target);
    float halfTexel = 0.5f / size;
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF, halfTexel, halfTexel, 1 + halfTexel,
        1 + halfTexel));
    auto pixels = device.readBack();
    EXPECT_EQ(pixels[0], 0xFFE0E0E0u);
    EXPECT_EQ(pixels[size - 1], 0xFF202020u);
    device->SetTexture(0, nullptr);
    surface->Release();
    backBuffer->Release();
    target->Release();
}

} // namespace
} // namespace tincrates
