// Filtering and blending in the 8-bit fixed point of fixed-function hardware: a filtered
// texel and a blended source are whole levels before anything else uses them. Each case runs
// with GL's own arithmetic (Mesa's llvmpipe works so) and with the device's shaders doing it
// (as in the browser, whose renderers work in floating point); the bytes must be the same.
#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_device.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class FixedPoint : public ::testing::TestWithParam<bool> {
protected:
    FixedPoint()
        : device(2, 1)
    {
        static_cast<gl::GlDevice*>(device.get())->setFixedPointInShaders(GetParam());
        device.setPlainStates();
        device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xC8F0F0F0);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
        for (D3DSAMPLERSTATETYPE filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER})
            device->SetSamplerState(0, filter, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }

    // Texels (0, 10, 100) and (1, 11, 101) drawn texel for pixel, shifted so that the left
    // pixel samples `shift` texels right of the first texel's centre (Direct3D 9 puts pixel
    // centres on whole coordinates: the left one on the quad's edge). The stage multiplies
    // the texel by 240/255 and takes the factor's alpha, 200.
    uint32_t drawFiltered(float shift)
    {
        device->SetTexture(0, device.texture(2, 1, {0xFF000A64, 0xFF010B65}));
        float u0 = (shift + 0.5f) / 2;
        device.drawFan({{-1, -1, 0, 0xFFFFFFFF, u0, 1}, {-1, 1, 0, 0xFFFFFFFF, u0, 0},
            {1, 1, 0, 0xFFFFFFFF, u0 + 1, 0}, {1, -1, 0, 0xFFFFFFFF, u0 + 1, 1}});
        device->SetTexture(0, nullptr);
        return device.readBack()[0];
    }

    // The vertex colour (2, 38, 100) times the factor's 200/255 (alpha 200), added to
    // (10, 10, 10) with the source factor given.
    uint32_t addBlended(DWORD sourceFactor)
    {
        device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xC8C8C8C8);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0A0A0A, 1.0f, 0);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, sourceFactor);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device.drawFan(device.fullScreenQuad(0xFF022664));
        return device.readBack()[0];
    }

    HeadlessDevice device;
};

// Midway the texels are 0.5, 10.5 and 100.5 levels; as whole levels, halves up, 1, 11 and
// 101; times 240/255, 0.94, 10.35 and 95.06. Unrounded, red would come to 0.47: 0.
TEST_P(FixedPoint, TexelMidwayIsRoundedUpBeforeTheStageUsesIt)
{
    EXPECT_EQ(drawFiltered(0.5f), 0xC8010A5Fu);
}

TEST_P(FixedPoint, TexelAHairShortOfMidwayIsRoundedUpToo)
{
    EXPECT_EQ(drawFiltered(0.5f - 1.0f / 65536), 0xC8010A5Fu);
}

TEST_P(FixedPoint, TexelsAtTheirCentresAreExact)
{
    EXPECT_EQ(drawFiltered(0.0f), 0xC800095Eu);
}

// The source is 1.57, 29.8 and 78.43 levels: as whole levels 2, 30 and 78, which times 200
// make 400, 6000 and 15600, and (t + (t >> 8) + 128) >> 8 gives 2, 24 and 61. Unrounded,
// the source would come to 1.23, 23.37 and 61.51 levels: 1, 23 and 62.
TEST_P(FixedPoint, SourceTimesItsAlphaIsAddedInWholeLevels)
{
    EXPECT_EQ(addBlended(D3DBLEND_SRCALPHA) & 0x00FFFFFFu, 0x000C2247u);
}

// Factors 253, 225 and 177: 506, 6750 and 13806, which make 2, 26 and 54.
TEST_P(FixedPoint, SourceTimesItsComplementIsAddedInWholeLevels)
{
    EXPECT_EQ(addBlended(D3DBLEND_INVSRCCOLOR) & 0x00FFFFFFu, 0x000C2440u);
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, FixedPoint, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) {
        return info.param ? "InShaders" : "ByGl";
    });

} // namespace
} // namespace tincrates
