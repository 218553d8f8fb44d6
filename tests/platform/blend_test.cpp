// Alpha blending with every D3DBLEND factor, against Direct3D 9's blend formula
// result = source × sourceFactor + destination × destinationFactor, per channel.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace tincrates {
namespace {

using namespace testing;

using Rgba = std::array<double, 4>;

constexpr uint32_t sourceColour = 0x40CC9966;      // a 0.25, r 0.8, g 0.6, b 0.4
constexpr uint32_t destinationColour = 0x80336699; // a 0.5, r 0.2, g 0.4, b 0.6
constexpr uint32_t blendFactorColour = 0x40C08020;

Rgba rgbaOf(uint32_t c)
{
    return {redOf(c) / 255.0, greenOf(c) / 255.0, blueOf(c) / 255.0, alphaOf(c) / 255.0};
}

Rgba factorOf(DWORD blend, const Rgba& s, const Rgba& d, const Rgba& f)
{
    switch (blend) {
    case D3DBLEND_ZERO: return {0, 0, 0, 0};
    case D3DBLEND_ONE: return {1, 1, 1, 1};
    case D3DBLEND_SRCCOLOR: return s;
    case D3DBLEND_INVSRCCOLOR: return {1 - s[0], 1 - s[1], 1 - s[2], 1 - s[3]};
    case D3DBLEND_SRCALPHA: return {s[3], s[3], s[3], s[3]};
    case D3DBLEND_INVSRCALPHA: return {1 - s[3], 1 - s[3], 1 - s[3], 1 - s[3]};
    case D3DBLEND_DESTALPHA: return {d[3], d[3], d[3], d[3]};
    case D3DBLEND_INVDESTALPHA: return {1 - d[3], 1 - d[3], 1 - d[3], 1 - d[3]};
    case D3DBLEND_DESTCOLOR: return d;
    case D3DBLEND_INVDESTCOLOR: return {1 - d[0], 1 - d[1], 1 - d[2], 1 - d[3]};
    case D3DBLEND_SRCALPHASAT: {
        double k = std::min(s[3], 1 - d[3]);
        return {k, k, k, 1};
    }
    case D3DBLEND_BLENDFACTOR: return f;
    case D3DBLEND_INVBLENDFACTOR: return {1 - f[0], 1 - f[1], 1 - f[2], 1 - f[3]};
    default: return {1, 1, 1, 1};
    }
}

class Blending : public ::testing::TestWithParam<DWORD> {
protected:
    Blending()
        : device(4, 4)
    {
        device.setPlainStates();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_BLENDFACTOR, blendFactorColour);
    }

    uint32_t blend(DWORD sourceFactor, DWORD destinationFactor)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, destinationColour, 1, 0);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, sourceFactor);
        device->SetRenderState(D3DRS_DESTBLEND, destinationFactor);
        device.drawFan(device.fullScreenQuad(sourceColour));
        return device.readBack()[5];
    }

    void expectBlend(uint32_t actual, const Rgba& sourceFactor, const Rgba& destinationFactor)
    {
        Rgba s = rgbaOf(sourceColour), d = rgbaOf(destinationColour);
        int channels[4] = {redOf(actual), greenOf(actual), blueOf(actual), alphaOf(actual)};
        for (int i = 0; i < 4; ++i) {
            double expected
                = std::clamp(s[i] * sourceFactor[i] + d[i] * destinationFactor[i], 0.0, 1.0);
            EXPECT_NEAR(channels[i], expected * 255, 1.0) << "channel " << i;
        }
    }

    HeadlessDevice device;
};

TEST_P(Blending, AsSourceFactor)
{
    DWORD factor = GetParam();
    Rgba s = rgbaOf(sourceColour), d = rgbaOf(destinationColour), f = rgbaOf(blendFactorColour);
    expectBlend(blend(factor, D3DBLEND_ZERO), factorOf(factor, s, d, f), {0, 0, 0, 0});
}

TEST_P(Blending, AsDestinationFactor)
{
    DWORD factor = GetParam();
    if (factor == D3DBLEND_SRCALPHASAT)
        GTEST_SKIP() << "a source-only factor";
    Rgba s = rgbaOf(sourceColour), d = rgbaOf(destinationColour), f = rgbaOf(blendFactorColour);
    expectBlend(blend(D3DBLEND_ZERO, factor), {0, 0, 0, 0}, factorOf(factor, s, d, f));
}

INSTANTIATE_TEST_SUITE_P(EveryFactor, Blending,
    ::testing::Values(D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
        D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
        D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT, D3DBLEND_BLENDFACTOR,
        D3DBLEND_INVBLENDFACTOR));

TEST_F(Blending, BothSourceAlphaFactorsSetTheDestinationToo)
{
    Rgba s = rgbaOf(sourceColour);
    Rgba a{s[3], s[3], s[3], s[3]}, inverse{1 - s[3], 1 - s[3], 1 - s[3], 1 - s[3]};
    expectBlend(blend(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE), a, inverse);
    expectBlend(blend(D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE), inverse, a);
}

TEST_F(Blending, OverlayModesOfTheProduction)
{
    // The glow adds, the texts lay over by their alpha, the white flash adds by its alpha.
    Rgba s = rgbaOf(sourceColour);
    expectBlend(blend(D3DBLEND_ONE, D3DBLEND_ONE), {1, 1, 1, 1}, {1, 1, 1, 1});
    expectBlend(blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), {s[3], s[3], s[3], s[3]},
        {1 - s[3], 1 - s[3], 1 - s[3], 1 - s[3]});
    expectBlend(blend(D3DBLEND_SRCALPHA, D3DBLEND_ONE), {s[3], s[3], s[3], s[3]}, {1, 1, 1, 1});
}

TEST_F(Blending, BlendingOffReplacesTheTarget)
{
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    blend(D3DBLEND_ONE, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, destinationColour, 1, 0);
    device.drawFan(device.fullScreenQuad(sourceColour));
    EXPECT_EQ(device.readBack()[5], sourceColour);
}

TEST(OpaqueTarget, DestinationAlphaOfAnX8R8G8B8TargetIsOne)
{
    HeadlessDevice device(4, 4, D3DFMT_X8R8G8B8);
    device.setPlainStates();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00336699, 1, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
    device.drawFan(device.fullScreenQuad(0x00FFFFFF));
    EXPECT_EQ(device.readBack()[0], 0xFF336699u);
}

} // namespace
} // namespace tincrates
