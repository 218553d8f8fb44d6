// Blur passes: the fixed-function two-stage filter that makes the glow.
#include "post/blur_pass.h"

#include "math/vector_math.h"
#include "platform/gpu/d3d9_matrix.h"
#include "post/screen_vertex.h"

#include <algorithm>
#include <array>
#include <string>

namespace tincrates {
namespace {

constexpr DWORD renderTargetUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP;

// Two ninths in single precision: the centre tap and the four side taps together weigh
// about 4.5 of these, so a gain of 1 keeps the picture's brightness.
constexpr float tapWeight = 0.2222222238779068f;

// A texture-factor byte from a weight. Weights past the byte's range saturate instead of
// wrapping into the neighbouring bits of the factor.
DWORD factorByte(double scaled)
{
    if (!(scaled > 0))
        return 0;
    return DWORD(std::min(scaled, 255.0));
}


} // namespace

BlurPass::BlurPass(const RenderTexture* source, UINT width, UINT height)
    : device(requireSharedDevice())
    , output(device, width, height, renderTargetUsage, D3DPOOL_DEFAULT)
    , source(source)
{
    if (!source)
        throw std::string("blur with no texture? how useful is that, booy?");
    D3DSURFACE_DESC desc{};
    if (!source->texture || source->texture->GetLevelDesc(0, &desc) != D3D_OK || desc.Width == 0
        || desc.Height == 0)
        throw std::string("failed to read the blur source's size");
    // Direct3D 9 puts pixel centres on integer coordinates; shifting by half a source texel
    // makes each output pixel sample the centre of its source texel.
    float du = 0.5f / float(desc.Width);
    float dv = 0.5f / float(desc.Height);
    texelU = 2 * du;
    texelV = 2 * dv;
    constexpr uint32_t white = 0x00FFFFFF; // the stages never read the vertex colour
    vertexBuffer = createFanBuffer(device,
        {{{-1, -1, 0, white, du, 1 + dv}, {-1, 1, 0, white, du, dv},
            {1, 1, 0, white, 1 + du, dv}, {1, -1, 0, white, 1 + du, 1 + dv}}});
}

BlurPass::~BlurPass() { vertexBuffer->Release(); }

void BlurPass::render(bool horizontal, float spread, float gain)
{
    output.bind(0);
    // The quads lie at depth 0, where the depth test (less or equal) passes everywhere, and
    // the scene clears the depth before it is read again: the depth unit stays out of them.
    DWORD zEnable = D3DZB_FALSE;
    device.GetRenderState(D3DRS_ZENABLE, &zEnable);
    device.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);

    for (DWORD stage = 0; stage < 2; ++stage) {
        device.SetTexture(stage, source->texture);
        device.SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
        device.SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device.SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device.SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    device.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);

    const Matrix4 unit = identity();
    device.SetTransform(D3DTS_PROJECTION, asD3dMatrix(unit));
    device.SetTransform(D3DTS_VIEW, asD3dMatrix(unit));
    device.SetTransform(D3DTS_WORLD, asD3dMatrix(unit));
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device.SetRenderState(D3DRS_LIGHTING, FALSE);

    // Centre tap: source × factor alpha, replacing what the output held.
    const float w = gain * tapWeight;
    device.SetRenderState(D3DRS_TEXTUREFACTOR, (factorByte(double(w) * 128) << 24) | 0x00FFFFFF);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device.SetFVF(screenVertexFvf);
    device.SetStreamSource(0, vertexBuffer, 0, sizeof(ScreenVertex));
    device.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device.DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);

    // Side taps, added: stage 0 samples at +o, stage 1 at −o, and the factor's colour of
    // 0x7F averages the two (127/255 and 128/255) before the factor's alpha weighs the pair.
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_LERP);
    device.SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_TFACTOR);
    device.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device.SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device.SetRenderState(D3DRS_TEXTUREFACTOR, (factorByte(double(w) * 510) << 24) | 0x007F7F7F);

    // For two-component coordinates, (u, v) is transformed as (u, v, 1): row 2 shifts them.
    const float texel = horizontal ? texelU : texelV;
    const int column = horizontal ? 0 : 1;
    for (int i : {2, 4}) {
        // Half a texel short of i × spread, so each tap lies between two texels and the
        // linear filter averages a pair of them.
        const float offset = (float(i) * spread + 0.5f) * texel - texel;
        Matrix4 shift = identity();
        shift.m[2][column] = offset;
        device.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device.SetTransform(D3DTS_TEXTURE0, asD3dMatrix(shift));
        shift.m[2][column] = -offset;
        device.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device.SetTransform(D3DTS_TEXTURE1, asD3dMatrix(shift));
        device.DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    }

    output.unbind();
    device.SetRenderState(D3DRS_ZENABLE, zEnable);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
}

} // namespace tincrates
