// The GL device: the vertex layout of an FVF, the key of the generated shader that a draw
// needs, and the cheaper sampling and fixed-point arithmetic a draw can use.
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_internal_references.h"

#include "platform/gpu/gl_buffer.h"
#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_state_block.h"
#include "platform/gpu/gl_surface.h"
#include "platform/gpu/gl_texture.h"
#include "platform/window/window.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include "platform/gpu/gl_device_translation.h"

namespace tincrates::gl {

GlDevice::FvfLayout GlDevice::layoutOf(DWORD fvf)
{
    FvfLayout layout;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
        return layout;
    int offset = 12;
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE)
        offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = offset;
        offset += 4;
    }
    layout.coordinateSetCount = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.coordinateSetCount > 8)
        return layout;
    for (int i = 0; i < layout.coordinateSetCount; ++i) {
        static constexpr int sizes[4] = {2, 3, 4, 1};
        int size = sizes[(fvf >> (16 + 2 * i)) & 3];
        layout.coordinateSizes[i] = size;
        layout.coordinateOffsets[i] = offset;
        offset += 4 * size;
    }
    layout.stride = offset;
    layout.isValid = true;
    return layout;
}

ShaderKey GlDevice::shaderKeyFor(const FvfLayout& layout) const
{
    ShaderKey key{};
    key.isDesktopGl = isDesktopGl;
    const auto& rs = state.renderStates;
    key.hasNormal = layout.normalOffset >= 0;
    key.hasDiffuse = layout.diffuseOffset >= 0;
    key.hasSpecular = layout.specularOffset >= 0;
    key.coordinateSetCount = uint8_t(layout.coordinateSetCount);
    for (int i = 0; i < layout.coordinateSetCount; ++i)
        key.coordinateSizes[i] = uint8_t(layout.coordinateSizes[i]);
    key.isLit = rs[D3DRS_LIGHTING] != 0;
    if (key.isLit) {
        for (const auto& [index, slot] : state.lights) {
            if (!slot.isEnabled || key.lightCount == maxActiveLights)
                continue;
            key.lightKinds[key.lightCount++] = slot.light.Type == D3DLIGHT_DIRECTIONAL
                ? directionalLight
                : slot.light.Type == D3DLIGHT_SPOT ? spotLight
                                                   : pointLight;
        }
        key.normalizesNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
        key.hasLocalViewer = rs[D3DRS_LOCALVIEWER] != 0;
        bool usesVertexColours = rs[D3DRS_COLORVERTEX] != 0;
        auto resolve = [&](DWORD source) -> uint8_t {
            if (!usesVertexColours)
                return fromMaterial;
            if (source == D3DMCS_COLOR1 && key.hasDiffuse)
                return fromVertexDiffuse;
            if (source == D3DMCS_COLOR2 && key.hasSpecular)
                return fromVertexSpecular;
            return fromMaterial;
        };
        key.diffuseSource = resolve(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
        key.ambientSource = resolve(rs[D3DRS_AMBIENTMATERIALSOURCE]);
        key.specularSource = resolve(rs[D3DRS_SPECULARMATERIALSOURCE]);
        key.emissiveSource = resolve(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
    }
    key.addsSpecular = rs[D3DRS_SPECULARENABLE] != 0;
    for (int s = 0; s < stageCount; ++s) {
        const auto& ts = state.stageStates[s];
        if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        StageKey& stage = key.stages[s];
        stage.colourOp = uint8_t(ts[D3DTSS_COLOROP]);
        stage.colourArg0 = uint8_t(ts[D3DTSS_COLORARG0]);
        stage.colourArg1 = uint8_t(ts[D3DTSS_COLORARG1]);
        stage.colourArg2 = uint8_t(ts[D3DTSS_COLORARG2]);
        stage.alphaOp = uint8_t(ts[D3DTSS_ALPHAOP]);
        stage.alphaArg0 = uint8_t(ts[D3DTSS_ALPHAARG0]);
        stage.alphaArg1 = uint8_t(ts[D3DTSS_ALPHAARG1]);
        stage.alphaArg2 = uint8_t(ts[D3DTSS_ALPHAARG2]);
        stage.coordinateSet = uint8_t(std::min<DWORD>(ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF, 7));
        stage.coordinateMode = uint8_t(std::min<DWORD>(ts[D3DTSS_TEXCOORDINDEX] >> 16, 4));
        DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
        stage.transformCount = uint8_t(std::min<DWORD>(flags & 0xFF, 4));
        stage.isProjected = (flags & D3DTTFF_PROJECTED) && stage.transformCount > 0;
        stage.hasTexture = state.textures[s] != nullptr;
        stage.isSingleColour = stage.hasTexture && singleColourOf(s).has_value();
        key.activeStageCount = uint8_t(s + 1);
    }
    if (rs[D3DRS_FOGENABLE]) {
        DWORD mode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE]
                                                           : rs[D3DRS_FOGVERTEXMODE];
        key.fog = mode == D3DFOG_LINEAR ? linearFog
            : mode == D3DFOG_EXP        ? exponentialFog
            : mode == D3DFOG_EXP2       ? squaredExponentialFog
                                        : noFog;
        // A perspective ("W-friendly") projection gives fog by eye depth; any other gives
        // fog by the 0..1 depth value.
        key.isFogFromEyeDepth = rs[D3DRS_FOGTABLEMODE] == D3DFOG_NONE
            || state.transforms[projectionSlot].m[2][3] != 0.0f;
    }
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS)
        key.alphaTest = uint8_t(rs[D3DRS_ALPHAFUNC]);
    key.sourceFactor = uint8_t(sourceFactorInShader());
    key.fixedPointSourceFactor = uint8_t(fixedPointSourceFactor());
    return key;
}

std::optional<D3DCOLOR> GlDevice::singleColourOf(int stage) const
{
    // Every address mode reads texels only (border addressing clamps here, GL ES having no
    // border colour), so a texture of one colour reads that colour wherever it is sampled.
    return static_cast<GlTexture*>(state.textures[stage])->singleColour();
}

DWORD GlDevice::sourceFactorInShader() const
{
    // With a destination factor of ZERO the result is the source times its factor: the shader
    // can apply a factor that depends on the source only, and GL need not read the target.
    const auto& rs = state.renderStates;
    if (!rs[D3DRS_ALPHABLENDENABLE] || rs[D3DRS_DESTBLEND] != D3DBLEND_ZERO
        || rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD)
        return 0;
    switch (rs[D3DRS_SRCBLEND]) {
    case D3DBLEND_ZERO:
    case D3DBLEND_ONE:
    case D3DBLEND_SRCCOLOR:
    case D3DBLEND_INVSRCCOLOR:
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_INVSRCALPHA: return rs[D3DRS_SRCBLEND];
    default: return 0;
    }
}

DWORD GlDevice::fixedPointSourceFactor() const
{
    // With a destination factor of ONE the shader can apply a source factor itself, rounded
    // as fixed-function hardware rounds it, and GL only adds.
    const auto& rs = state.renderStates;
    if (!isFixedPointInShaders || !rs[D3DRS_ALPHABLENDENABLE]
        || rs[D3DRS_DESTBLEND] != D3DBLEND_ONE || rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD)
        return 0;
    switch (rs[D3DRS_SRCBLEND]) {
    case D3DBLEND_SRCCOLOR:
    case D3DBLEND_INVSRCCOLOR:
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_INVSRCALPHA: return rs[D3DRS_SRCBLEND];
    default: return 0;
    }
}

GlDevice::StageSampling GlDevice::cheaperSampling(const FvfLayout& layout,
    const ShaderKey& key, D3DPRIMITIVETYPE type, UINT first, UINT vertexCount, int64_t base,
    GLsizei stride) const
{
    // Screen quads and blur passes draw a few vertices under affine transforms, so their
    // texture scale is constant per triangle and known here. Where no triangle minifies,
    // sampling with or without mip levels gives the same result, and the cheaper filter (and
    // no rebuilt mip chain) will do. Where each pixel centre falls on a texel centre, one
    // texel per pixel, a linear filter gives that texel alone: nearest sampling reads the
    // same for a quarter of the fetches.
    StageSampling result;
    constexpr UINT maxVertices = 6;
    if (vertexCount > maxVertices || vertexCount < 3 || type < D3DPT_TRIANGLELIST)
        return result;
    D3DMATRIX transform = multiply(multiply(state.transforms[worldSlot],
                                       state.transforms[viewSlot]),
        state.transforms[projectionSlot]);
    if (transform.m[0][3] != 0 || transform.m[1][3] != 0 || transform.m[2][3] != 0
        || transform.m[3][3] != 1)
        return result;
    const uint8_t* data = static_cast<GlVertexBuffer*>(state.streamBuffer)->buffer().data()
        + base + size_t(first) * stride;
    float screen[maxVertices][2];
    for (UINT i = 0; i < vertexCount; ++i) {
        float p[3];
        std::memcpy(p, data + size_t(i) * stride, sizeof p);
        float x = p[0] * transform.m[0][0] + p[1] * transform.m[1][0] + p[2] * transform.m[2][0]
            + transform.m[3][0];
        float y = p[0] * transform.m[0][1] + p[1] * transform.m[1][1] + p[2] * transform.m[2][1]
            + transform.m[3][1];
        screen[i][0] = (x + 1) * 0.5f * float(viewport.Width);
        screen[i][1] = (1 - y) * 0.5f * float(viewport.Height);
    }
    std::array<UINT, 3> triangles[4];
    UINT triangleCount = 0;
    for (UINT t = 0; t + 2 < vertexCount && triangleCount < 4; ++t) {
        if (type == D3DPT_TRIANGLELIST) {
            if (t % 3 != 0)
                continue;
            triangles[triangleCount++] = {t, t + 1, t + 2};
        } else if (type == D3DPT_TRIANGLEFAN) {
            triangles[triangleCount++] = {0, t + 1, t + 2};
        } else {
            triangles[triangleCount++] = {t, t + 1, t + 2};
        }
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        const StageKey& stage = key.stages[s];
        int set = stage.coordinateSet;
        if (!stage.hasTexture || stage.coordinateMode != 0 || stage.isProjected
            || (stage.transformCount != 0 && stage.transformCount != 2)
            || set >= layout.coordinateSetCount || layout.coordinateSizes[set] < 2)
            continue;
        auto* texture = static_cast<GlTexture*>(state.textures[s]);
        const D3DMATRIX& m = state.transforms[textureSlot0 + s];
        bool isFilterUniform = (state.samplerStates[s][D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR)
            == (state.samplerStates[s][D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR);
        float texels[maxVertices][2];
        for (UINT i = 0; i < vertexCount; ++i) {
            float uv[2];
            std::memcpy(uv, data + size_t(i) * stride + layout.coordinateOffsets[set], sizeof uv);
            if (stage.transformCount == 2) {
                float u = uv[0] * m.m[0][0] + uv[1] * m.m[1][0] + m.m[2][0];
                float v = uv[0] * m.m[0][1] + uv[1] * m.m[1][1] + m.m[2][1];
                uv[0] = u;
                uv[1] = v;
            }
            texels[i][0] = uv[0] * float(texture->levelWidth(0));
            texels[i][1] = uv[1] * float(texture->levelHeight(0));
        }
        bool isMagnified = true;
        bool isCentred = true;
        for (UINT t = 0; t < triangleCount && isMagnified; ++t) {
            const std::array<UINT, 3>& v = triangles[t];
            float dx1 = screen[v[1]][0] - screen[v[0]][0], dy1 = screen[v[1]][1] - screen[v[0]][1];
            float dx2 = screen[v[2]][0] - screen[v[0]][0], dy2 = screen[v[2]][1] - screen[v[0]][1];
            float determinant = dx1 * dy2 - dx2 * dy1;
            if (std::fabs(determinant) < 1e-6f)
                continue; // covers no pixel
            float derivatives[2][2];
            for (int c = 0; c < 2; ++c) {
                float d1 = texels[v[1]][c] - texels[v[0]][c];
                float d2 = texels[v[2]][c] - texels[v[0]][c];
                derivatives[c][0] = (d1 * dy2 - d2 * dy1) / determinant; // along x
                derivatives[c][1] = (dx1 * d2 - dx2 * d1) / determinant;  // along y
            }
            float alongX = std::hypot(derivatives[0][0], derivatives[1][0]);
            float alongY = std::hypot(derivatives[0][1], derivatives[1][1]);
            // One texel per pixel or fewer; the margin covers rounding of a 1:1 copy. With
            // different minification and magnification filters GL's switch-over point moves
            // with the mip filter, so there only true magnification counts.
            isMagnified = std::max(alongX, alongY) <= (isFilterUniform ? 1.001f : 1.0f);
            // Pixel centres lie on whole screen coordinates, texel centres on halves.
            for (int c = 0; c < 2 && isCentred; ++c) {
                const float along = derivatives[c][c], across = derivatives[c][1 - c];
                float atOrigin = texels[v[0]][c] - derivatives[c][0] * screen[v[0]][0]
                    - derivatives[c][1] * screen[v[0]][1];
                float offset = atOrigin - std::floor(atOrigin);
                isCentred = std::fabs(std::fabs(along) - 1) < 1e-4f && std::fabs(across) < 1e-4f
                    && std::fabs(offset - 0.5f) < 1e-3f;
            }
        }
        result.withoutMips.set(s, isMagnified);
        result.texelCentred.set(s, isMagnified && isCentred && isFilterUniform);
    }
    return result;
}

} // namespace tincrates::gl
