// The device calls of a blur pass's render, in order, and the state it leaves behind.
#include "post/blur_pass.h"

#include "call_line.h"
#include "published_device.h"
#include "support/error_of.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class BlurPassCalls : public ::testing::Test {
protected:
    HeadlessDevice device{8, 8};
    RecordingDevice recorder{*device.get()};
    PublishedDevice published{&recorder};
    RenderTexture source{*device.get(), 256, 256, renderTargetUsage, D3DPOOL_DEFAULT};
};

std::vector<std::string> expectedRender(DWORD centreFactor, DWORD sideFactor)
{
    // The test device has a depth buffer, so depth testing starts on; the pass keeps it off
    // and puts it back.
    std::vector<std::string> calls{callLine("GetRenderTarget", 0),
        callLine("SetRenderTarget", 0, "ptr"), callLine("GetRenderState", D3DRS_ZENABLE),
        callLine("SetRenderState", D3DRS_ZENABLE, 0)};
    for (int s = 0; s < 2; ++s) {
        calls.push_back(callLine("SetTexture", s, "ptr"));
        calls.push_back(callLine("SetTextureStageState", s, D3DTSS_TEXCOORDINDEX, 0));
        calls.push_back(callLine("SetTextureStageState", s, D3DTSS_COLOROP, 2));
        calls.push_back(callLine("SetSamplerState", s, D3DSAMP_ADDRESSU, 3));
        calls.push_back(callLine("SetSamplerState", s, D3DSAMP_ADDRESSV, 3));
    }
    std::vector<std::string> rest{
        callLine("SetTextureStageState", 1, D3DTSS_COLOROP, 1),
        callLine("SetTransform", D3DTS_PROJECTION),
        callLine("SetTransform", D3DTS_VIEW),
        callLine("SetTransform", D3DTS_WORLD),
        callLine("SetRenderState", D3DRS_CULLMODE, 1),
        callLine("SetRenderState", D3DRS_LIGHTING, 0),
        callLine("SetRenderState", D3DRS_TEXTUREFACTOR, centreFactor),
        callLine("SetTextureStageState", 0, D3DTSS_ALPHAARG1, 3),
        callLine("SetTextureStageState", 0, D3DTSS_ALPHAOP, 2),
        callLine("SetRenderState", D3DRS_SRCBLEND, 5),
        callLine("SetRenderState", D3DRS_DESTBLEND, 1),
        callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 1),
        callLine("SetFVF", 0x142),
        callLine("SetStreamSource", 0, "ptr", 0, 24),
        callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
        callLine("DrawPrimitive", D3DPT_TRIANGLEFAN, 0, 2),
        callLine("SetRenderState", D3DRS_DESTBLEND, 2),
        callLine("SetTextureStageState", 1, D3DTSS_COLOROP, 26),
        callLine("SetTextureStageState", 1, D3DTSS_COLORARG0, 3),
        callLine("SetTextureStageState", 1, D3DTSS_COLORARG1, 1),
        callLine("SetTextureStageState", 1, D3DTSS_COLORARG2, 2),
        callLine("SetTextureStageState", 1, D3DTSS_ALPHAARG1, 3),
        callLine("SetTextureStageState", 1, D3DTSS_ALPHAOP, 2),
        callLine("SetTextureStageState", 2, D3DTSS_COLOROP, 1),
        callLine("SetRenderState", D3DRS_TEXTUREFACTOR, sideFactor),
    };
    calls.insert(calls.end(), rest.begin(), rest.end());
    for (int i = 0; i < 2; ++i) {
        calls.push_back(callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 2));
        calls.push_back(callLine("SetTransform", D3DTS_TEXTURE0));
        calls.push_back(callLine("SetTextureStageState", 1, D3DTSS_TEXTURETRANSFORMFLAGS, 2));
        calls.push_back(callLine("SetTransform", D3DTS_TEXTURE1));
        calls.push_back(callLine("DrawPrimitive", D3DPT_TRIANGLEFAN, 0, 2));
    }
    std::vector<std::string> end{
        callLine("SetRenderTarget", 0, "ptr"),
        callLine("SetRenderState", D3DRS_ZENABLE, 1),
        callLine("SetRenderState", D3DRS_ALPHABLENDENABLE, 0),
        callLine("SetTextureStageState", 0, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
        callLine("SetTextureStageState", 1, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
    };
    calls.insert(calls.end(), end.begin(), end.end());
    return calls;
}

TEST_F(BlurPassCalls, RenderSetsTheTwoStageFilterInOrder)
{
    BlurPass pass(&source, 256, 256);
    recorder.calls.clear();
    pass.render(true, 1.0f, 1.5f);
    // Gain 1.5: centre byte 42, side byte 170.
    EXPECT_EQ(recorder.calls, expectedRender(0x2AFFFFFF, 0xAA7F7F7F));

    recorder.calls.clear();
    pass.render(false, 1.0f, 1.0f);
    EXPECT_EQ(recorder.calls, expectedRender(0x1CFFFFFF, 0x717F7F7F)); // 28 and 113
}

TEST_F(BlurPassCalls, OuterTapsShiftAlongTheChosenAxisOnly)
{
    BlurPass pass(&source, 256, 256);
    // The outer pair is the last one drawn, so its matrices are the ones left set.
    D3DMATRIX plus{}, minus{};
    pass.render(true, 1.0f, 1.0f);
    device->GetTransform(D3DTS_TEXTURE0, &plus);
    device->GetTransform(D3DTS_TEXTURE1, &minus);
    EXPECT_FLOAT_EQ(plus.m[2][0], 3.5f / 256);
    EXPECT_FLOAT_EQ(minus.m[2][0], -3.5f / 256);
    EXPECT_EQ(plus.m[2][1], 0.0f);

    pass.render(false, 2.0f, 1.0f);
    device->GetTransform(D3DTS_TEXTURE0, &plus);
    device->GetTransform(D3DTS_TEXTURE1, &minus);
    EXPECT_FLOAT_EQ(plus.m[2][1], 7.5f / 256);
    EXPECT_FLOAT_EQ(minus.m[2][1], -7.5f / 256);
    EXPECT_EQ(plus.m[2][0], 0.0f);
}

TEST_F(BlurPassCalls, RenderPutsBackTheTargetAndLeavesBlendingOff)
{
    BlurPass pass(&source, 256, 256);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    pass.render(true, 1.0f, 1.0f);
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, backBuffer);
    current->Release();
    backBuffer->Release();
    EXPECT_EQ(pass.output.savedSurface, nullptr);
    DWORD blending = TRUE;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    EXPECT_EQ(blending, DWORD(FALSE));
    // The scene drawn next still needs its depth test, whatever the pass did meanwhile.
    DWORD depth = FALSE;
    device->GetRenderState(D3DRS_ZENABLE, &depth);
    EXPECT_EQ(depth, DWORD(D3DZB_TRUE));
}

TEST_F(BlurPassCalls, RenderWhileTheOutputIsBoundThrowsAndDrawsNothing)
{
    BlurPass pass(&source, 256, 256);
    pass.output.bind(0);
    recorder.calls.clear();
    EXPECT_EQ(errorOf([&] { pass.render(true, 1.0f, 1.0f); }), "RenderTarget already set");
    EXPECT_TRUE(recorder.calls.empty());
    pass.output.unbind();
}

} // namespace
} // namespace tincrates
