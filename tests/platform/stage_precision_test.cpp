// Texture stages keep the single precision of Direct3D 9's pipeline: a LERP whose exact
// result lies just above a rounding boundary still rounds up, pass after pass, as the glow's
// blur chain needs to keep its brightness.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace tincrates {
namespace {

using namespace testing;

constexpr UINT width = 256;
constexpr int passCount = 6;

// Ramps whose neighbouring texels differ by one (red and alpha rising, green falling) or by
// three (blue, wrapping once), so that 127/255 of a texel plus 128/255 of the next one ends
// 128/255 of a step past a whole value: just above or just below the half.
std::vector<uint32_t> ramps()
{
    std::vector<uint32_t> texels(width);
    for (UINT x = 0; x < width; ++x)
        texels[x] = D3DCOLOR_ARGB(x, x, 255 - x, (3 * x) & 0xFF);
    return texels;
}

// One pass as Direct3D 9 defines it: each channel of pixel x is
// 127/255 × texel x + 128/255 × texel x + 1 (the last texel clamped), rounded to a byte.
// 255 is odd, so the exact value never lies on a half and the rounding is unambiguous.
std::vector<uint32_t> lerpNeighbours(const std::vector<uint32_t>& texels)
{
    std::vector<uint32_t> result(width);
    for (UINT x = 0; x < width; ++x) {
        uint32_t here = texels[x];
        uint32_t next = texels[std::min(x + 1, width - 1)];
        uint32_t pixel = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t sum = 127 * uint32_t(channel(here, shift))
                + 128 * uint32_t(channel(next, shift));
            pixel |= ((sum + 127) / 255) << shift;
        }
        result[x] = pixel;
    }
    return result;
}

class StagePrecision : public ::testing::Test {
protected:
    StagePrecision()
        : device(8, 8)
    {
        for (auto& target : targets) {
            device->CreateTexture(width, 1, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                D3DPOOL_DEFAULT, &target, nullptr);
            device.keep(target);
        }
        device.setPlainStates();
        // Stage 0 reads texel x, stage 1 texel x + 1 through a one-texel COUNT2 shift, and
        // stage 1 mixes them by the factor, colour and alpha alike, as the blur's side taps do.
        for (DWORD stage = 0; stage < 2; ++stage) {
            device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
            device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
            for (auto filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER})
                device->SetSamplerState(stage, filter, D3DTEXF_LINEAR);
        }
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_LERP);
        device->SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_TFACTOR);
        device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
        device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_LERP);
        device->SetTextureStageState(1, D3DTSS_ALPHAARG0, D3DTA_TFACTOR);
        device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        device->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
        device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x7F7F7F7F);
        D3DMATRIX shift{};
        for (int i = 0; i < 4; ++i)
            shift.m[i][i] = 1;
        shift.m[2][0] = 1.0f / width;
        device->SetTransform(D3DTS_TEXTURE1, &shift);
        device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    }

    // Draws one pass reading `source` into `target`, each pixel sampling its texel's centre.
    void drawPass(IDirect3DTexture9* source, IDirect3DTexture9* target)
    {
        IDirect3DSurface9* surface = nullptr;
        target->GetSurfaceLevel(0, &surface);
        device->SetRenderTarget(0, surface);
        surface->Release();
        device->SetTexture(0, source);
        device->SetTexture(1, source);
        float du = 0.5f / width;
        device.drawFan(device.fullScreenQuad(0xFFFFFFFF, du, 0.5f, 1 + du, 1.5f));
        device->SetTexture(0, nullptr);
        device->SetTexture(1, nullptr);
    }

    std::vector<uint32_t> pixelsOf(IDirect3DTexture9* texture)
    {
        IDirect3DSurface9* surface = nullptr;
        texture->GetSurfaceLevel(0, &surface);
        auto pixels = device.readBack(surface);
        surface->Release();
        return pixels;
    }

    HeadlessDevice device;
    std::array<IDirect3DTexture9*, passCount> targets{};
};

TEST_F(StagePrecision, SixLerpPassesKeepEveryStepThatLiesJustAboveAHalf)
{
    std::vector<uint32_t> expected = ramps();
    IDirect3DTexture9* source = device.texture(width, 1, expected);
    for (int pass = 0; pass < passCount; ++pass) {
        drawPass(source, targets[pass]);
        source = targets[pass];
        expected = lerpNeighbours(expected);
    }
    // Red and alpha rise by one in each pass. Texels sampled at reduced precision lose that
    // step, and blue's, in nearly every pass: six behind at the end.
    EXPECT_EQ(redOf(expected[100]), 106);
    auto pixels = pixelsOf(targets.back());
    for (UINT x = 0; x < width; ++x)
        for (int shift = 0; shift < 32; shift += 8)
            ASSERT_NEAR(channel(pixels[x], shift), channel(expected[x], shift), 1)
                << "pixel " << x << ", bits " << shift << " to " << shift + 7;
}

} // namespace
} // namespace tincrates
