// The device calls of a screen quad: creation, the draw in order, the opacity's texture
// factor, the blend switch and the texture and world matrices.
#include "post/screen_quad.h"

#include "call_line.h"
#include "published_device.h"
#include "support/error_of.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace tincrates {
namespace {

using namespace testing;

class ScreenQuadCalls : public ::testing::Test {
protected:
    // The texture factor that a draw with `opacity` set.
    std::string factorFor(ScreenQuad& quad, float opacity)
    {
        recorder.calls.clear();
        quad.draw(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, opacity, 0);
        auto factors = recorder.callsNamed(callLine("SetRenderState", D3DRS_TEXTUREFACTOR));
        return factors.size() == 1 ? factors[0] : "";
    }

    HeadlessDevice device{8, 8};
    RecordingDevice recorder{*device.get()};
    PublishedDevice published{&recorder};
    RenderTexture image{*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT};
};

TEST_F(ScreenQuadCalls, CreationWritesAnUprightQuadOfTheGivenSize)
{
    ScreenQuad quad(image, 0.5f);
    EXPECT_EQ(recorder.calls,
        std::vector<std::string>{callLine("CreateVertexBuffer", 96, 0, 0x142, D3DPOOL_MANAGED)});
    EXPECT_EQ(quad.x, 0.0f);
    EXPECT_EQ(quad.y, 0.0f);
    EXPECT_EQ(quad.scaleX, 1.0f);
    EXPECT_EQ(quad.scaleY, 1.0f);
    void* data = nullptr;
    ASSERT_EQ(quad.vertexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    float fan[4][6];
    std::memcpy(fan, data, sizeof(fan));
    quad.vertexBuffer->Unlock();
    const float expected[4][5] = {
        {-0.5f, -0.5f, 0, 0, 1}, {-0.5f, 0.5f, 0, 0, 0}, {0.5f, 0.5f, 0, 1, 0},
        {0.5f, -0.5f, 0, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fan[i][0], expected[i][0]) << i;
        EXPECT_EQ(fan[i][1], expected[i][1]) << i;
        EXPECT_EQ(fan[i][2], expected[i][2]) << i;
        uint32_t colour;
        std::memcpy(&colour, &fan[i][3], 4);
        EXPECT_EQ(colour, 0x00FFFFFFu) << i;
        EXPECT_EQ(fan[i][4], expected[i][3]) << i;
        EXPECT_EQ(fan[i][5], expected[i][4]) << i;
    }
}

TEST_F(ScreenQuadCalls, DrawSetsItsStatesInOrder)
{
    ScreenQuad quad(image, 1.0f);
    recorder.calls.clear();
    quad.draw(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0.5f, 0);
    EXPECT_EQ(recorder.calls,
        (std::vector<std::string>{
            callLine("SetTexture", 0, "ptr"),
            callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
            callLine("SetTextureStageState", 0, D3DTSS_TEXCOORDINDEX, 0),
            callLine("SetTextureStageState", 0, D3DTSS_COLORARG1, 2),
            callLine("SetTextureStageState", 0, D3DTSS_COLOROP, 2),
            callLine("SetRenderState", D3DRS_TEXTUREFACTOR, 0x7F000000),
            callLine("SetTextureStageState", 0, D3DTSS_ALPHAARG1, 2),
            callLine("SetTextureStageState", 0, D3DTSS_ALPHAARG2, 3),
            callLine("SetTextureStageState", 0, D3DTSS_ALPHAOP, 4),
            callLine("SetSamplerState", 0, D3DSAMP_ADDRESSU, 3),
            callLine("SetSamplerState", 0, D3DSAMP_ADDRESSV, 3),
            callLine("SetTextureStageState", 1, D3DTSS_COLOROP, 1),
            callLine("SetTextureStageState", 1, D3DTSS_ALPHAOP, 1),
            callLine("SetTransform", D3DTS_PROJECTION),
            callLine("SetTransform", D3DTS_VIEW),
            callLine("SetTransform", D3DTS_WORLD),
            callLine("SetTransform", D3DTS_WORLD),
            callLine("SetRenderState", D3DRS_CULLMODE, 1),
            callLine("SetRenderState", D3DRS_LIGHTING, 0),
            callLine("SetRenderState", D3DRS_SRCBLEND, 5),
            callLine("SetRenderState", D3DRS_DESTBLEND, 6),
            callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 1),
            callLine("SetFVF", 0x142),
            callLine("SetStreamSource", 0, "ptr", 0, 24),
            callLine("GetRenderState", D3DRS_ZENABLE),
            callLine("SetRenderState", D3DRS_ZENABLE, 0),
            callLine("DrawPrimitive", D3DPT_TRIANGLEFAN, 0, 2),
            callLine("SetRenderState", D3DRS_ZENABLE, 1),
            callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 0),
        }));
}

TEST_F(ScreenQuadCalls, DrawsNothingWhereTheBlendKeepsEveryPixel)
{
    ScreenQuad quad(image, 1.0f);
    auto draws = [&](D3DBLEND source, D3DBLEND destination, float opacity) {
        recorder.calls.clear();
        quad.draw(source, destination, opacity, 0);
        return recorder.callsNamed(callLine("DrawPrimitive")).size();
    };
    // An alpha byte of 0 (opacity below 1/255) adds nothing through SRCALPHA.
    EXPECT_EQ(draws(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0.0f), 0u);
    EXPECT_EQ(draws(D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0.003f), 0u);
    EXPECT_EQ(draws(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, -2.0f), 0u);
    EXPECT_EQ(draws(D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0.004f), 1u); // byte 1
    // Other blends change the target whatever the alpha.
    EXPECT_EQ(draws(D3DBLEND_ONE, D3DBLEND_ONE, 0.0f), 1u);
    EXPECT_EQ(draws(D3DBLEND_ONE, D3DBLEND_ZERO, 0.0f), 1u);
    EXPECT_EQ(draws(D3DBLEND_SRCALPHA, D3DBLEND_ZERO, 0.0f), 1u);
    // A skipped draw still leaves the states a draw would.
    DWORD blending = TRUE;
    quad.draw(D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0.0f, 0);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    EXPECT_EQ(blending, DWORD(FALSE));
}

TEST_F(ScreenQuadCalls, OpacityBecomesTheFactorsAlphaClampedAndTruncated)
{
    ScreenQuad quad(image, 1.0f);
    auto factor = [](DWORD value) {
        return callLine("SetRenderState", D3DRS_TEXTUREFACTOR, value);
    };
    EXPECT_EQ(factorFor(quad, 0.5f), factor(0x7F000000));
    EXPECT_EQ(factorFor(quad, 1.0f), factor(0xFF000000));
    EXPECT_EQ(factorFor(quad, 1.7f), factor(0xFF000000));
    EXPECT_EQ(factorFor(quad, -0.3f), factor(0));
    EXPECT_EQ(factorFor(quad, std::nanf("")), factor(0));
    EXPECT_EQ(factorFor(quad, std::pow(0.5f, 2.5f)), factor(0x2D000000)); // 45.07 → 45
}

TEST_F(ScreenQuadCalls, OpaqueCopyTurnsBlendingOffWithoutSettingFactors)
{
    ScreenQuad quad(image, 1.0f);
    recorder.calls.clear();
    quad.draw(D3DBLEND_ONE, D3DBLEND_ZERO, 1.0f, 0);
    EXPECT_TRUE(recorder.callsNamed(callLine("SetRenderState", D3DRS_SRCBLEND)).empty());
    EXPECT_TRUE(recorder.callsNamed(callLine("SetRenderState", D3DRS_DESTBLEND)).empty());
    EXPECT_EQ(recorder.callsNamed(callLine("SetRenderState", D3DRS_ALPHABLENDENABLE)),
        (std::vector<std::string>{callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 0),
            callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 0)}));
}

TEST_F(ScreenQuadCalls, WorldMatrixScalesThenMovesWithYDownwards)
{
    ScreenQuad quad(image, 1.0f);
    quad.scaleX = 0.55f;
    quad.scaleY = 0.25f;
    quad.x = 0.1f;
    quad.y = 0.5f;
    quad.draw(D3DBLEND_ONE, D3DBLEND_ONE, 1.0f, 0);
    D3DMATRIX world{};
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_FLOAT_EQ(world.m[0][0], 0.55f);
    EXPECT_FLOAT_EQ(world.m[1][1], 0.25f);
    EXPECT_FLOAT_EQ(world.m[2][2], 1.0f);
    EXPECT_FLOAT_EQ(world.m[3][0], 0.1f);
    EXPECT_FLOAT_EQ(world.m[3][1], -0.5f);
    EXPECT_FLOAT_EQ(world.m[3][3], 1.0f);
}

TEST_F(ScreenQuadCalls, AngleTurnsTheTextureCoordinatesAboutTheCentre)
{
    ScreenQuad quad(image, 1.0f);
    recorder.calls.clear();
    quad.draw(D3DBLEND_ONE, D3DBLEND_ONE, 1.0f, std::numbers::pi_v<float> / 2);
    const std::string flags = callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS);
    EXPECT_EQ(recorder.callsNamed(flags),
        (std::vector<std::string>{
            callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
            callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 2)}));
    D3DMATRIX turn{};
    device->GetTransform(D3DTS_TEXTURE0, &turn);
    // (u, v, 1) × M: the corner (0, 0) goes to (1, 0) and the centre stays put.
    auto apply = [&](float u, float v, int column) {
        return u * turn.m[0][column] + v * turn.m[1][column] + turn.m[2][column];
    };
    EXPECT_NEAR(apply(0, 0, 0), 1, 1e-6);
    EXPECT_NEAR(apply(0, 0, 1), 0, 1e-6);
    EXPECT_NEAR(apply(0.5f, 0.5f, 0), 0.5f, 1e-6);
    EXPECT_NEAR(apply(0.5f, 0.5f, 1), 0.5f, 1e-6);
    EXPECT_NEAR(apply(1, 0, 0), 1, 1e-6);
    EXPECT_NEAR(apply(1, 0, 1), 1, 1e-6);
}

TEST_F(ScreenQuadCalls, CreationWithoutADeviceFailsWithAMessage)
{
    publishSharedDevice(nullptr);
    EXPECT_EQ(errorOf([&] { ScreenQuad quad(image, 1.0f); }), "no graphics device");
}

} // namespace
} // namespace tincrates
