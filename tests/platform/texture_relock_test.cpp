// A managed texture keeps no copy of a level once GL has it: locking the level again must still
// give back what was written, and a part written then must leave the rest as it was.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

using namespace testing;

constexpr UINT width = 8, height = 4;

uint32_t* rowOf(const D3DLOCKED_RECT& locked, UINT y)
{
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch);
}

std::vector<uint32_t> levelOf(IDirect3DTexture9* texture, UINT level, UINT w, UINT h)
{
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return {};
    std::vector<uint32_t> texels;
    for (UINT y = 0; y < h; ++y)
        texels.insert(texels.end(), rowOf(locked, y), rowOf(locked, y) + w);
    texture->UnlockRect(level);
    return texels;
}

std::vector<uint32_t> pattern(UINT w, UINT h, uint32_t seed)
{
    std::vector<uint32_t> texels(size_t(w) * h);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = seed ^ uint32_t(i * 0x01030507u);
    return texels;
}

IDirect3DTexture9* writtenTexture(HeadlessDevice& device, D3DFORMAT format)
{
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(width, height, 2, 0, format, D3DPOOL_MANAGED, &texture, nullptr);
    for (UINT level = 0; level < 2; ++level) {
        UINT w = width >> level, h = height >> level;
        std::vector<uint32_t> texels = pattern(w, h, 0x80402010u + level);
        D3DLOCKED_RECT locked{};
        texture->LockRect(level, &locked, nullptr, 0);
        for (UINT y = 0; y < h; ++y)
            std::copy_n(texels.data() + size_t(y) * w, w, rowOf(locked, y));
        texture->UnlockRect(level);
    }
    return texture;
}

TEST(TextureRelock, GivesBackEveryLevelAsWritten)
{
    HeadlessDevice device;
    IDirect3DTexture9* texture = writtenTexture(device, D3DFMT_A8R8G8B8);
    EXPECT_EQ(levelOf(texture, 0, width, height), pattern(width, height, 0x80402010u));
    EXPECT_EQ(levelOf(texture, 1, width / 2, height / 2),
        pattern(width / 2, height / 2, 0x80402011u));
    texture->Release();
}

TEST(TextureRelock, GivesBackOpaqueTexelsWithFullAlpha)
{
    HeadlessDevice device;
    IDirect3DTexture9* texture = writtenTexture(device, D3DFMT_X8R8G8B8);
    std::vector<uint32_t> expected = pattern(width, height, 0x80402010u);
    for (uint32_t& texel : expected)
        texel |= 0xFF000000u;
    EXPECT_EQ(levelOf(texture, 0, width, height), expected);
    texture->Release();
}

TEST(TextureRelock, PartWrittenAgainKeepsTheRest)
{
    HeadlessDevice device;
    IDirect3DTexture9* texture = writtenTexture(device, D3DFMT_A8R8G8B8);
    RECT part{2, 1, 4, 3};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, &part, 0), D3D_OK);
    for (UINT y = 0; y < 2; ++y)
        rowOf(locked, y)[0] = rowOf(locked, y)[1] = 0xFF00FF00u;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    std::vector<uint32_t> expected = pattern(width, height, 0x80402010u);
    for (UINT y = 1; y < 3; ++y)
        expected[y * width + 2] = expected[y * width + 3] = 0xFF00FF00u;
    EXPECT_EQ(levelOf(texture, 0, width, height), expected);
    // Written twice, the level is read back no more: a third lock sees the same.
    EXPECT_EQ(levelOf(texture, 0, width, height), expected);
    texture->Release();
}

TEST(TextureRelock, SampledAfterARewriteShowsTheNewTexels)
{
    HeadlessDevice device(width, height);
    device.setPlainStates();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    IDirect3DTexture9* texture = writtenTexture(device, D3DFMT_A8R8G8B8);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    rowOf(locked, 0)[0] = 0xFF123456u;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    device->SetTexture(0, texture);
    device.drawFan(device.fullScreenQuad());
    std::vector<uint32_t> expected = pattern(width, height, 0x80402010u);
    expected[0] = 0xFF123456u;
    EXPECT_EQ(device.readBack(), expected);
    texture->Release();
}

} // namespace
} // namespace tincrates
