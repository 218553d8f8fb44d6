// Making a blur pass: its output, the half-texel shifted quad and the errors of bad input.
#include "post/blur_pass.h"

#include "call_line.h"
#include "published_device.h"
#include "support/error_of.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tincrates {
namespace {

using namespace testing;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

TEST(BlurPassCreation, MakesARenderTargetOutputAndAShiftedQuad)
{
    HeadlessDevice device(8, 8);
    RecordingDevice recorder(*device.get());
    PublishedDevice published(&recorder);
    RenderTexture source(*device.get(), 256, 128, renderTargetUsage, D3DPOOL_DEFAULT);
    BlurPass pass(&source, 256, 256);

    EXPECT_EQ(recorder.calls,
        (std::vector<std::string>{
            callLine("CreateTexture", 256, 256, 0, 0x401, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT),
            callLine("CreateVertexBuffer", 96, 0, 0x142, D3DPOOL_MANAGED)}));
    EXPECT_EQ(pass.source, &source);
    EXPECT_FLOAT_EQ(pass.texelU, 1.0f / 256);
    EXPECT_FLOAT_EQ(pass.texelV, 1.0f / 128);
    D3DSURFACE_DESC desc{};
    pass.output.texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 256u);

    // Half a source texel right and down, so output pixels sample source texel centres.
    void* data = nullptr;
    ASSERT_EQ(pass.vertexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    Vertex fan[4];
    std::memcpy(fan, data, sizeof(fan));
    pass.vertexBuffer->Unlock();
    const float du = 0.5f / 256, dv = 0.5f / 128;
    const Vertex expected[4] = {{-1, -1, 0, 0x00FFFFFF, du, 1 + dv},
        {-1, 1, 0, 0x00FFFFFF, du, dv}, {1, 1, 0, 0x00FFFFFF, 1 + du, dv},
        {1, -1, 0, 0x00FFFFFF, 1 + du, 1 + dv}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fan[i].x, expected[i].x) << i;
        EXPECT_EQ(fan[i].y, expected[i].y) << i;
        EXPECT_EQ(fan[i].z, 0.0f) << i;
        EXPECT_EQ(fan[i].colour, 0x00FFFFFFu) << i;
        EXPECT_FLOAT_EQ(fan[i].u, expected[i].u) << i;
        EXPECT_FLOAT_EQ(fan[i].v, expected[i].v) << i;
    }
}

TEST(BlurPassCreation, NullSourceFailsBeforeAnyVertexBufferIsMade)
{
    HeadlessDevice device(8, 8);
    RecordingDevice recorder(*device.get());
    PublishedDevice published(&recorder);
    EXPECT_EQ(errorOf([] { BlurPass pass(nullptr, 256, 256); }),
        "blur with no texture? how useful is that, booy?");
    EXPECT_TRUE(recorder.callsNamed("CreateVertexBuffer").empty());
    EXPECT_EQ(recorder.callsNamed("CreateTexture").size(), 1u); // the output, since released
}

TEST(BlurPassCreation, FailsWithAMessageWithoutADevice)
{
    HeadlessDevice device(8, 8);
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    publishSharedDevice(nullptr);
    EXPECT_EQ(errorOf([&] { BlurPass pass(&source, 16, 16); }), "no graphics device");
}

TEST(BlurPassCreation, OutputThatCannotBeMadeGivesTheRenderTextureError)
{
    HeadlessDevice device(8, 8);
    PublishedDevice published(device.get());
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    EXPECT_EQ(errorOf([&] { BlurPass pass(&source, 0, 16); }),
        "failed to create render-texture");
}

} // namespace
} // namespace tincrates
