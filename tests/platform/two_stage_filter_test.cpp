// The blur chain's two-stage filter as the drawing code drives it: a centre tap through
// SRCALPHA/ZERO, then mirrored taps shifted by COUNT2 texture transforms, averaged by LERP
// with a texture factor of 0x7F7F7F and added through SRCALPHA/ONE.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

using namespace testing;

constexpr UINT width = 32;
constexpr UINT height = 4;

D3DMATRIX identity()
{
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1;
    return m;
}

// One pass along `horizontal` axis into `target`, as the blur pass draws it.
void drawBlurPass(HeadlessDevice& device, IDirect3DTexture9* source, IDirect3DSurface9* target,
    bool horizontal, float spread, float gain)
{
    IDirect3DSurface9* saved = nullptr;
    device->GetRenderTarget(0, &saved);
    device->SetRenderTarget(0, target);
    for (DWORD s = 0; s < 2; ++s) {
        device->SetTexture(s, source);
        device->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        for (auto filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
            device->SetSamplerState(s, filter, D3DTEXF_LINEAR);
    }
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    D3DMATRIX m = identity();
    device->SetTransform(D3DTS_PROJECTION, &m);
    device->SetTransform(D3DTS_VIEW, &m);
    device->SetTransform(D3DTS_WORLD, &m);
    device.setPlainStates();
    float w = gain * 0.2222222238779068f;
    device->SetRenderState(D3DRS_TEXTUREFACTOR, (DWORD(w * 128) << 24) | 0x00FFFFFF);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    float du = 0.5f / width, dv = 0.5f / height;
    std::vector<QuadVertex> quad{{-1, -1, 0, 0x00FFFFFF, du, 1 + dv},
        {-1, 1, 0, 0x00FFFFFF, du, dv}, {1, 1, 0, 0x00FFFFFF, 1 + du, dv},
        {1, -1, 0, 0x00FFFFFF, 1 + du, 1 + dv}};
    device->SetFVF(quadFvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, quadFvf), 0, sizeof(QuadVertex));
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_LERP);
    device->SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_TFACTOR);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, (DWORD(w * 510) << 24) | 0x007F7F7F);
    float texel = horizontal ? 1.0f / width : 1.0f / height;
    for (int i : {2, 4}) {
        float o = (float(i) * spread + 0.5f) * texel - texel;
        D3DMATRIX shift = identity();
        shift.m[2][horizontal ? 0 : 1] = o;
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTransform(D3DTS_TEXTURE0, &shift);
        shift.m[2][horizontal ? 0 : 1] = -o;
        device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTransform(D3DTS_TEXTURE1, &shift);
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    }
    device->EndScene();
    device->SetRenderTarget(0, saved);
    saved->Release();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    for (DWORD s = 0; s < 2; ++s) {
        device->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTexture(s, nullptr);
    }
}

class TwoStageFilter : public ::testing::Test {
protected:
    TwoStageFilter()
        : device(8, 8)
    {
        device->CreateTexture(width, height, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
            D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &output, nullptr);
        device.keep(output);
        output->GetSurfaceLevel(0, &target);
    }
    ~TwoStageFilter() override { target->Release(); }

    HeadlessDevice device;
    IDirect3DTexture9* output = nullptr;
    IDirect3DSurface9* target = nullptr;
};

TEST_F(TwoStageFilter, TapsLieHalfwayBetweenTexelsAtTheDocumentedOffsets)
{
    // One white column at x = 16; gain 1.5 gives factor bytes 42 (centre) and 170 (sides).
    std::vector<uint32_t> source(width * height, 0xFF000000);
    for (UINT y = 0; y < height; ++y)
        source[y * width + 16] = 0xFFFFFFFF;
    drawBlurPass(device, device.texture(width, height, source), target, true, 1.0f, 1.5f);
    auto pixels = device.readBack(target);
    // Taps at ±1.5 and ±3.5 texels each read half of the white texel: 127/255 of the side
    // factor on the + side, 128/255 on the - side.
    const double plus = 170 * 127.0 / 255 * 0.5, minus = 170 * 128.0 / 255 * 0.5;
    for (UINT x = 0; x < width; ++x) {
        double expected = 0;
        if (x == 16)
            expected = 42;
        else if (x == 15 || x == 14 || x == 13 || x == 12)
            expected = plus;
        else if (x == 17 || x == 18 || x == 19 || x == 20)
            expected = minus;
        EXPECT_NEAR(redOf(pixels[width + x]), expected, 2.0) << "column " << x;
    }
}

TEST_F(TwoStageFilter, UniformSourceComesOutTimesTheGainEvenAtTheEdges)
{
    std::vector<uint32_t> source(width * height, 0xFF404040);
    drawBlurPass(device, device.texture(width, height, source), target, false, 1.0f, 1.0f);
    auto pixels = device.readBack(target);
    // Gain 1: bytes 28 and 113; 0x40 × (28 + 2 × 113) / 255 ≈ 63.7.
    double expected = 0x40 * (28 + 2 * 113) / 255.0;
    for (uint32_t p : pixels)
        EXPECT_NEAR(greenOf(p), expected, 2.0);
}

} // namespace
} // namespace tincrates
