// Screen quads: textures laid over the picture with a blend mode and an opacity.
#include "post/screen_quad.h"

#include "math/vector_math.h"
#include "platform/gpu/d3d9_matrix.h"
#include "post/screen_vertex.h"

#include <array>

namespace tincrates {
namespace {


// For two-component texture coordinates, (u, v) is transformed as (u, v, 1), so row 2 of a
// texture matrix carries the translation.
Matrix4 textureShift(float du, float dv)
{
    Matrix4 m = identity();
    m.m[2][0] = du;
    m.m[2][1] = dv;
    return m;
}

} // namespace

ScreenQuad::ScreenQuad(TextureSource image, float size)
    : device(requireSharedDevice())
    , image(image)
{
    // v = 0 at the top keeps the picture upright. No half-texel shift: a quad is not laid
    // texel for pixel, so it never needs one.
    constexpr uint32_t white = 0x00FFFFFF; // the stages never read the vertex colour
    vertexBuffer = createFanBuffer(device,
        {{{-size, -size, 0, white, 0, 1}, {-size, size, 0, white, 0, 0},
            {size, size, 0, white, 1, 0}, {size, -size, 0, white, 1, 1}}});
}

ScreenQuad::~ScreenQuad() { vertexBuffer->Release(); }

void ScreenQuad::draw(
    D3DBLEND sourceBlend, D3DBLEND destinationBlend, float opacity, float angle)
{
    // NaN fails both comparisons of a plain clamp and would reach the integer conversion.
    if (!(opacity >= 0))
        opacity = 0;
    if (opacity > 1)
        opacity = 1;

    // The factor's alpha byte: every drawn pixel's alpha is at most this.
    const DWORD alphaByte = DWORD(opacity * 255);

    device.SetTexture(0, image.texture());
    device.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    if (angle != 0) {
        // Move the centre (0.5, 0.5) to the origin, turn, move it back.
        const Matrix4 turn = multiply(multiply(textureShift(-0.5f, -0.5f),
                                          rotationEuler({0, 0, angle})),
            textureShift(0.5f, 0.5f));
        device.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device.SetTransform(D3DTS_TEXTURE0, asD3dMatrix(turn));
    }
    device.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.SetRenderState(D3DRS_TEXTUREFACTOR, alphaByte << 24);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device.SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device.SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    const Matrix4 unit = identity();
    device.SetTransform(D3DTS_PROJECTION, asD3dMatrix(unit));
    device.SetTransform(D3DTS_VIEW, asD3dMatrix(unit));
    device.SetTransform(D3DTS_WORLD, asD3dMatrix(unit));
    // Clip space has y up, while `y` counts down the screen.
    const Matrix4 world = multiply(scaling({scaleX, scaleY, 1}), translation({x, -y, 0}));
    device.SetTransform(D3DTS_WORLD, asD3dMatrix(world));
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device.SetRenderState(D3DRS_LIGHTING, FALSE);

    if (sourceBlend == D3DBLEND_ONE && destinationBlend == D3DBLEND_ZERO) {
        device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    } else {
        device.SetRenderState(D3DRS_SRCBLEND, sourceBlend);
        device.SetRenderState(D3DRS_DESTBLEND, destinationBlend);
        device.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    }
    device.SetFVF(screenVertexFvf);
    device.SetStreamSource(0, vertexBuffer, 0, sizeof(ScreenVertex));
    // With a source alpha of 0, these blends give back the target unchanged: a fade or flash
    // at rest costs no drawing. (On the CPU renderer a full-screen quad is a millisecond.)
    bool isNoOp = alphaByte == 0 && sourceBlend == D3DBLEND_SRCALPHA
        && (destinationBlend == D3DBLEND_INVSRCALPHA || destinationBlend == D3DBLEND_ONE);
    if (!isNoOp) {
        // The quad lies at depth 0, where the depth test (less or equal) passes everywhere,
        // and nothing drawn later reads the depth it would write: the depth unit, a good
        // share of the quad's cost on the CPU renderer, stays out of it.
        DWORD zEnable = D3DZB_FALSE;
        device.GetRenderState(D3DRS_ZENABLE, &zEnable);
        device.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device.DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
        device.SetRenderState(D3DRS_ZENABLE, zEnable);
    }
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

} // namespace tincrates
