// Texture stages: operations, arguments, coordinates, transforms, addressing and filtering,
// checked against Direct3D 9's formulas on read-back pixels.
#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_device.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

using namespace testing;

constexpr UINT size = 16;

// A texture whose texels all differ, so a shift by one texel shows.
std::vector<uint32_t> gradient(UINT w, UINT h)
{
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            pixels[y * w + x] = D3DCOLOR_ARGB(255 - x * 8, x * 15, y * 15, (x * 7 + y * 11) & 0xFF);
    return pixels;
}

void expectNear(uint32_t actual, uint32_t expected, int tolerance = 1)
{
    for (int shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(channel(actual, shift), channel(expected, shift), tolerance)
            << std::hex << "actual 0x" << actual << " expected 0x" << expected;
}

void setLinearFilters(HeadlessDevice& device, DWORD stage)
{
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
}

void selectTexture(HeadlessDevice& device, DWORD stage)
{
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
}

TEST(TextureStages, HalfTexelShiftReproducesTheSourceExactly)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    auto source = gradient(size, size);
    device->SetTexture(0, device.texture(size, size, source));
    setLinearFilters(device, 0);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    selectTexture(device, 0);
    float du = 0.5f / size, dv = 0.5f / size;
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF, du, dv, 1 + du, 1 + dv));
    auto pixels = device.readBack();
    for (size_t i = 0; i < pixels.size(); ++i)
        expectNear(pixels[i], source[i], 0);
}

TEST(TextureStages, WithoutTheShiftEachPixelAveragesFourTexels)
{
    // Direct3D samples pixel (x, y) at its top-left corner, (x / w, y / h) in the texture.
    HeadlessDevice device(size, size);
    device.setPlainStates();
    auto source = gradient(size, size);
    device->SetTexture(0, device.texture(size, size, source));
    setLinearFilters(device, 0);
    selectTexture(device, 0);
    device.drawFan(device.fullScreenQuad());
    auto pixels = device.readBack();
    int x = 5, y = 7;
    for (int shift = 0; shift < 32; shift += 8) {
        double sum = channel(source[(y - 1) * size + x - 1], shift)
            + channel(source[(y - 1) * size + x], shift) + channel(source[y * size + x - 1], shift)
            + channel(source[y * size + x], shift);
        EXPECT_NEAR(channel(pixels[y * size + x], shift), sum / 4, 1.0);
    }
}

TEST(TextureStages, LerpWithFactor7F7F7FAveragesTwoStages)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    uint32_t first = D3DCOLOR_ARGB(255, 200, 100, 0);
    uint32_t second = D3DCOLOR_ARGB(255, 0, 100, 250);
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, first)));
    device->SetTexture(1, device.texture(2, 2, std::vector<uint32_t>(4, second)));
    selectTexture(device, 0);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_LERP);
    device->SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_TFACTOR);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x807F7F7F);
    device.drawFan(device.fullScreenQuad());
    uint32_t pixel = device.readBack()[5 * size + 5];
    // 127/255 of the current colour plus 128/255 of the second texture.
    auto lerp = [](int a, int b) { return (127.0 * a + 128.0 * b) / 255.0; };
    EXPECT_NEAR(redOf(pixel), lerp(200, 0), 1.0);
    EXPECT_NEAR(greenOf(pixel), lerp(100, 100), 1.0);
    EXPECT_NEAR(blueOf(pixel), lerp(0, 250), 1.0);
    EXPECT_EQ(alphaOf(pixel), 0x80);
}

TEST(TextureStages, ModulateMultipliesTextureAndDiffuseInColourAndAlpha)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, 0xC0FF8040)));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device.drawFan(device.fullScreenQuad(0x80808080));
    uint32_t pixel = device.readBack()[0];
    EXPECT_NEAR(alphaOf(pixel), 0xC0 * 0x80 / 255.0, 1.0);
    EXPECT_NEAR(redOf(pixel), 0xFF * 0x80 / 255.0, 1.0);
    EXPECT_NEAR(greenOf(pixel), 0x80 * 0x80 / 255.0, 1.0);
    EXPECT_NEAR(blueOf(pixel), 0x40 * 0x80 / 255.0, 1.0);
}

TEST(TextureStages, AddSaturatesAndDisabledAlphaKeepsThePreviousStage)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, 0x33A08010)));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x00FFFFFF);
    // Stage 1 replaces the colour; first check stage 0 alone.
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device.drawFan(device.fullScreenQuad(0x90808080));
    uint32_t pixel = device.readBack()[0];
    EXPECT_EQ(redOf(pixel), 255); // 0xA0 + 0x80 saturates
    EXPECT_NEAR(greenOf(pixel), 0x80 + 0x80 > 255 ? 255 : 0x100, 1);
    EXPECT_NEAR(blueOf(pixel), 0x10 + 0x80, 1);
    EXPECT_EQ(alphaOf(pixel), 0x90);

    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.drawFan(device.fullScreenQuad(0x90808080));
    pixel = device.readBack()[0];
    EXPECT_EQ(pixel & 0x00FFFFFFu, 0x00FFFFFFu);
    EXPECT_EQ(alphaOf(pixel), 0x90); // stage 1's alpha is disabled: stage 0's stays
}

TEST(TextureStages, EachStageSaturatesBeforeTheNextReadsIt)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, 0xFFC0C0C0)));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080);
    device.drawFan(device.fullScreenQuad(0xFF808080));
    // 0xC0 + 0x80 saturates to 255 before the modulation by 0x80: 128, not 160.
    EXPECT_NEAR(redOf(device.readBack()[0]), 0x80, 1);
}

TEST(TextureStages, DisabledStageZeroDrawsTheDiffuseColour)
{
    HeadlessDevice device(size, size);
    device.setPlainStates();
    device->SetTexture(0, device.texture(2, 2, std::vector<uint32_t>(4, 0xFF0000FF)));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device.drawFan(device.fullScreenQuad(0x7F20C040));
    EXPECT_EQ(device.readBack()[3], 0x7F20C040u);
}

TEST(TextureStages, CountTwoTransformTakesTheTranslationFromRowTwo)
{
    HeadlessDevice device(4, 1);
    device.setPlainStates();
    std::vector<uint32_t> texels{0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000};
    device->SetTexture(0, device.texture(4, 1, texels));
    selectTexture(device, 0);
    // One texel to the right: pixel x shows texel x + 1 (wrapping at the end).
    D3DMATRIX shift{};
    for (int i = 0; i < 4; ++i)
        shift.m[i][i] = 1;
    shift.m[2][0] = 0.25f;
    device->SetTransform(D3DTS_TEXTURE0, &shift);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    float du = 0.5f / 4, dv = 0.5f;
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF, du, dv, 1 + du, 1 + dv));
    auto pixels = device.readBack();
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(pixels[x], texels[(x + 1) % 4]) << "pixel " << x;
}

TEST(TextureStages, WrapRepeatsAndClampHoldsTheEdgeTexel)
{
    HeadlessDevice device(4, 1);
    device.setPlainStates();
    std::vector<uint32_t> texels{0xFF000010, 0xFF000020};
    device->SetTexture(0, device.texture(2, 1, texels));
    selectTexture(device, 0);
    // u runs 0 to 2 over four pixels: pixel centres at u = 0.25, 0.75, 1.25, 1.75.
    auto quad = device.fullScreenQuad(0xFFFFFFFF, 0.25f, 0.5f, 2.25f, 1.5f);
    device.drawFan(quad);
    auto wrapped = device.readBack();
    EXPECT_EQ(wrapped, (std::vector<uint32_t>{texels[0], texels[1], texels[0], texels[1]}));

    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device.drawFan(quad);
    auto clamped = device.readBack();
    EXPECT_EQ(clamped, (std::vector<uint32_t>{texels[0], texels[1], texels[1], texels[1]}));
}

TEST(TextureStages, MinifiedTexturesSampleTheMatchingMipLevel)
{
    HeadlessDevice device(2, 2);
    device.setPlainStates();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                  nullptr),
        D3D_OK);
    device.keep(texture);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    const uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (UINT level = 0; level < 4; ++level) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        EXPECT_EQ(desc.Width, 8u >> level);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT i = 0; i < desc.Width * desc.Height; ++i)
            static_cast<uint32_t*>(locked.pBits)[i] = colours[level];
        texture->UnlockRect(level);
    }
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    selectTexture(device, 0);
    // 8 texels over 2 pixels: level 2 (2 × 2) matches the target.
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[0], colours[2]);

    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[0], colours[0]);
}

TEST(TextureStages, OneToOneAndMagnifiedDrawsOfAMipmappedTextureShowLevelZero)
{
    // Trilinear filtering of a texture that is not minified reads level 0 only.
    HeadlessDevice device(8, 8);
    device.setPlainStates();
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    device.keep(texture);
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked;
        texture->LockRect(level, &locked, nullptr, 0);
        for (UINT i = 0; i < desc.Width * desc.Height; ++i)
            static_cast<uint32_t*>(locked.pBits)[i] = level == 0 ? 0xFF204060 : 0xFFFFFFFF;
        texture->UnlockRect(level);
    }
    device->SetTexture(0, texture);
    setLinearFilters(device, 0);
    selectTexture(device, 0);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[9], 0xFF204060u);
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF, 0, 0, 0.5f, 0.5f));
    EXPECT_EQ(device.readBack()[9], 0xFF204060u);
    // Two texels per pixel: level 1 alone.
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF, 0, 0, 2, 2));
    EXPECT_EQ(device.readBack()[9], 0xFFFFFFFFu);
}

TEST(TextureStages, StatesOfStagesAfterTheFirstDisabledOneMakeNoNewProgram)
{
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    auto programCount = [&] { return static_cast<gl::GlDevice*>(device.get())->programCount(); };
    device.drawFan(device.fullScreenQuad());
    size_t count = programCount();
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(3, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
    for (int i = 0; i < 3; ++i)
        device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(programCount(), count);
}

TEST(TextureStages, ReflectionVectorCoordinatesFollowTheNormal)
{
    // For a face turned to the camera, normal (0, 0, -1), the reflection of the view ray
    // through P is (Px, Py, -Pz) / |P|: u and v follow the camera-space position.
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    std::vector<uint32_t> texels{0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC};
    device->SetTexture(0, device.texture(2, 2, texels));
    selectTexture(device, 0);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    struct LitVertex {
        float x, y, z, nx, ny, nz;
        uint32_t colour;
        float u, v;
    };
    // A square one unit ahead whose reflections lie within texel 0 (u, v below 0.5); its own
    // coordinates (0.9, 0.9) would pick texel 3.
    std::vector<LitVertex> quad{{0.05f, 0.05f, 1, 0, 0, -1, 0xFFFFFFFF, 0.9f, 0.9f},
        {0.05f, 0.45f, 1, 0, 0, -1, 0xFFFFFFFF, 0.9f, 0.9f},
        {0.45f, 0.45f, 1, 0, 0, -1, 0xFFFFFFFF, 0.9f, 0.9f},
        {0.45f, 0.05f, 1, 0, 0, -1, 0xFFFFFFFF, 0.9f, 0.9f}};
    DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    D3DMATRIX scale{};
    scale.m[0][0] = scale.m[1][1] = 2;
    scale.m[2][2] = scale.m[3][3] = 1;
    device->SetTransform(D3DTS_PROJECTION, &scale);
    device->SetFVF(fvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, fvf), 0, sizeof(LitVertex));
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    device->EndScene();
    // Clip x, y 0.1 to 0.9: pixel (3, 1) of the 4 × 4 target.
    EXPECT_EQ(device.readBack()[1 * 4 + 3], texels[0]);
}

} // namespace
} // namespace tincrates
