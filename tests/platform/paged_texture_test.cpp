// Large managed textures that pack well are paged out of GL between uses: drawn after any
// number of presents, locked again or rewritten, they give the texels that were written.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tincrates {
namespace {

using namespace testing;

// 1 MiB of texels: large enough to be paged.
constexpr UINT width = 1024, height = 256;

// Wide transparent margins around a band of noise, as in an overlay image; or noise only.
std::vector<uint32_t> overlay(bool isNoise, uint32_t seed)
{
    std::vector<uint32_t> texels(size_t(width) * height, 0x00100412u);
    for (size_t i = 0; i < texels.size(); ++i) {
        size_t y = i / width;
        if (isNoise || (y >= 96 && y < 160))
            texels[i] = uint32_t(i * 2654435761u) ^ seed;
    }
    return texels;
}

void write(IDirect3DTexture9* texture, UINT level, const std::vector<uint32_t>& texels,
    UINT w, UINT h)
{
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
            texels.data() + size_t(y) * w, size_t(w) * 4);
    ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
}

std::vector<uint32_t> levelZero(IDirect3DTexture9* texture)
{
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return {};
    std::vector<uint32_t> texels(size_t(width) * height);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(texels.data() + size_t(y) * width,
            static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, size_t(width) * 4);
    texture->UnlockRect(0);
    return texels;
}

class PagedTexture : public ::testing::Test {
protected:
    PagedTexture()
        : device(64, 16)
    {
        device.setPlainStates();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }

    // A managed texture with a two-level chain written from `texels`.
    IDirect3DTexture9* make(const std::vector<uint32_t>& texels)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                      &texture, nullptr),
            D3D_OK);
        device.keep(texture);
        writeChain(texture, texels);
        return texture;
    }

    static void writeChain(IDirect3DTexture9* texture, const std::vector<uint32_t>& texels)
    {
        write(texture, 0, texels, width, height);
        std::vector<uint32_t> half(size_t(width / 2) * (height / 2));
        for (size_t i = 0; i < half.size(); ++i)
            half[i] = texels[(i / (width / 2)) * 2 * width + (i % (width / 2)) * 2];
        write(texture, 1, half, width / 2, height / 2);
    }

    std::vector<uint32_t> draw(IDirect3DTexture9* texture)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        device->SetTexture(0, texture);
        device.drawFan(device.fullScreenQuad());
        device->SetTexture(0, nullptr);
        return device.readBack();
    }

    void presentWithoutSampling(int count)
    {
        for (int i = 0; i < count; ++i)
            device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    HeadlessDevice device;
};

TEST_F(PagedTexture, DrawsTheSameBeforeAndAfterBeingPagedOut)
{
    for (bool isNoise : {false, true}) {
        IDirect3DTexture9* texture = make(overlay(isNoise, 1));
        std::vector<uint32_t> first = draw(texture);
        presentWithoutSampling(40);
        EXPECT_EQ(draw(texture), first) << (isNoise ? "noise" : "overlay");
        presentWithoutSampling(40);
        EXPECT_EQ(levelZero(texture), overlay(isNoise, 1));
        EXPECT_EQ(draw(texture), first);
    }
}

TEST_F(PagedTexture, NeverDrawnItIsLockedAndRewrittenAsAnyOther)
{
    IDirect3DTexture9* texture = make(overlay(false, 1));
    IDirect3DTexture9* reference = make(overlay(false, 2));
    EXPECT_EQ(levelZero(texture), overlay(false, 1));
    presentWithoutSampling(40);
    writeChain(texture, overlay(false, 2));
    EXPECT_EQ(levelZero(texture), overlay(false, 2));
    presentWithoutSampling(40);
    std::vector<uint32_t> drawn = draw(texture);
    EXPECT_NE(drawn, std::vector<uint32_t>(drawn.size(), 0xFF000000u));
    EXPECT_EQ(drawn, draw(reference));
}

} // namespace
} // namespace tincrates
