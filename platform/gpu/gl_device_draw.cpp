// The GL device: draws, with the uniforms, raster and sampler states and textures each needs.
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

void GlDevice::uploadUniforms(const GlProgram& program, const ShaderKey& key)
{
    const auto& rs = state.renderStates;
    D3DMATRIX worldView
        = multiply(state.transforms[worldSlot], state.transforms[viewSlot]);
    GL_CHECK(glUniformMatrix4fv(program.worldView, 1, GL_FALSE, &worldView.m[0][0]));
    GL_CHECK(glUniformMatrix4fv(
        program.projection, 1, GL_FALSE, &state.transforms[projectionSlot].m[0][0]));
    GL_CHECK(glUniform2f(program.pixelOffset, 1.0f / float(viewport.Width),
        1.0f / float(viewport.Height)));
    if (program.normalMatrix >= 0) {
        float normalMatrix[9];
        normalMatrixOf(worldView, normalMatrix);
        GL_CHECK(glUniformMatrix3fv(program.normalMatrix, 1, GL_FALSE, normalMatrix));
    }
    if (key.isLit) {
        const D3DMATERIAL9& m = state.material;
        GL_CHECK(glUniform4fv(program.materialDiffuse, 1, &m.Diffuse.r));
        GL_CHECK(glUniform4fv(program.materialAmbient, 1, &m.Ambient.r));
        GL_CHECK(glUniform4fv(program.materialSpecular, 1, &m.Specular.r));
        GL_CHECK(glUniform4fv(program.materialEmissive, 1, &m.Emissive.r));
        GL_CHECK(glUniform1f(program.materialPower, m.Power));
        auto ambient = colourOf(rs[D3DRS_AMBIENT]);
        GL_CHECK(glUniform3fv(program.globalAmbient, 1, ambient.data()));
        float positions[maxActiveLights][3], diffuse[maxActiveLights][3];
        float specular[maxActiveLights][3], ambients[maxActiveLights][3];
        float attenuation[maxActiveLights][4];
        float directions[maxActiveLights][3] = {}, cones[maxActiveLights][3] = {};
        const D3DMATRIX& view = state.transforms[viewSlot];
        int n = 0;
        for (const auto& [index, slot] : state.lights) {
            if (!slot.isEnabled || n == key.lightCount)
                continue;
            const D3DLIGHT9& light = slot.light;
            // The direction in camera space, normalised.
            const D3DVECTOR& d = light.Direction;
            float v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = d.x * view.m[0][c] + d.y * view.m[1][c] + d.z * view.m[2][c];
            float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            for (int c = 0; c < 3; ++c)
                directions[n][c] = length > 0 ? v[c] / length : 0.0f;
            cones[n][0] = std::cos(light.Theta / 2);
            cones[n][1] = std::cos(light.Phi / 2);
            cones[n][2] = light.Falloff;
            if (light.Type == D3DLIGHT_DIRECTIONAL) {
                for (int c = 0; c < 3; ++c)
                    positions[n][c] = directions[n][c];
            } else {
                const D3DVECTOR& p = light.Position;
                for (int c = 0; c < 3; ++c)
                    positions[n][c] = p.x * view.m[0][c] + p.y * view.m[1][c]
                        + p.z * view.m[2][c] + view.m[3][c];
            }
            const D3DCOLORVALUE* colours[3] = {&light.Diffuse, &light.Specular, &light.Ambient};
            float(*targets[3])[3] = {diffuse, specular, ambients};
            for (int k = 0; k < 3; ++k) {
                targets[k][n][0] = colours[k]->r;
                targets[k][n][1] = colours[k]->g;
                targets[k][n][2] = colours[k]->b;
            }
            attenuation[n][0] = light.Attenuation0;
            attenuation[n][1] = light.Attenuation1;
            attenuation[n][2] = light.Attenuation2;
            attenuation[n][3] = light.Range;
            ++n;
        }
        if (n > 0) {
            GL_CHECK(glUniform3fv(program.lightPosition, n, &positions[0][0]));
            GL_CHECK(glUniform3fv(program.lightDiffuse, n, &diffuse[0][0]));
            GL_CHECK(glUniform3fv(program.lightSpecular, n, &specular[0][0]));
            GL_CHECK(glUniform3fv(program.lightAmbient, n, &ambients[0][0]));
            GL_CHECK(glUniform4fv(program.lightAttenuation, n, &attenuation[0][0]));
            GL_CHECK(glUniform3fv(program.lightDirection, n, &directions[0][0]));
            GL_CHECK(glUniform3fv(program.lightCone, n, &cones[0][0]));
        }
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (key.stages[s].transformCount > 0)
            GL_CHECK(glUniformMatrix4fv(program.textureMatrix[s], 1, GL_FALSE,
                &state.transforms[textureSlot0 + s].m[0][0]));
        if (key.stages[s].isSingleColour) {
            auto texel = colourOf(singleColourOf(s).value_or(0));
            GL_CHECK(glUniform4fv(program.texel[s], 1, texel.data()));
        }
    }
    if (key.fog != noFog) {
        auto colour = colourOf(rs[D3DRS_FOGCOLOR]);
        GL_CHECK(glUniform3fv(program.fogColour, 1, colour.data()));
        float start = floatOf(rs[D3DRS_FOGSTART]);
        float end = floatOf(rs[D3DRS_FOGEND]);
        // With start = end the fog steps from none to full at that depth.
        float scale = end != start ? 1.0f / (end - start) : 1e30f;
        GL_CHECK(glUniform3f(program.fogParameters, end, scale, floatOf(rs[D3DRS_FOGDENSITY])));
    }
    auto factor = colourOf(rs[D3DRS_TEXTUREFACTOR]);
    GL_CHECK(glUniform4fv(program.textureFactor, 1, factor.data()));
    GL_CHECK(glUniform1f(program.alphaReference, float(rs[D3DRS_ALPHAREF] & 0xFF)));
}

void GlDevice::applyRasterStates()
{
    const auto& rs = state.renderStates;
    // Front faces are clockwise on screen. Targets are stored top row first, which turns the
    // on-screen winding over for GL: GL's counter-clockwise is Direct3D's clockwise.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW: cache.setCulling(true, GL_FRONT); break;
    case D3DCULL_CCW: cache.setCulling(true, GL_BACK); break;
    default: cache.setCulling(false, GL_BACK); break;
    }
    bool isDepthTested = rs[D3DRS_ZENABLE] != D3DZB_FALSE && depthStencil != 0;
    DWORD function = std::clamp<DWORD>(rs[D3DRS_ZFUNC], D3DCMP_NEVER, D3DCMP_ALWAYS);
    cache.setDepth(isDepthTested, isDepthTested && rs[D3DRS_ZWRITEENABLE] != 0,
        GL_NEVER + (function - D3DCMP_NEVER));

    BlendSetting blend;
    blend.isEnabled = rs[D3DRS_ALPHABLENDENABLE] != 0;
    if (blend.isEnabled) {
        DWORD source = rs[D3DRS_SRCBLEND];
        DWORD destination = rs[D3DRS_DESTBLEND];
        blend.source = blendFactor(source);
        blend.destination = blendFactor(destination);
        // The two obsolete "both" factors set source and destination together.
        if (source == D3DBLEND_BOTHSRCALPHA) {
            blend.source = GL_SRC_ALPHA;
            blend.destination = GL_ONE_MINUS_SRC_ALPHA;
        } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
            blend.source = GL_ONE_MINUS_SRC_ALPHA;
            blend.destination = GL_SRC_ALPHA;
        }
        blend.equation = blendEquation(rs[D3DRS_BLENDOP]);
        if (source == D3DBLEND_BLENDFACTOR || source == D3DBLEND_INVBLENDFACTOR
            || destination == D3DBLEND_BLENDFACTOR || destination == D3DBLEND_INVBLENDFACTOR)
            cache.setBlendColour(colourOf(rs[D3DRS_BLENDFACTOR]));
    }
    if (sourceFactorInShader() != 0)
        blend.isEnabled = false;
    if (fixedPointSourceFactor() != 0)
        blend.source = GL_ONE;
    cache.setBlend(blend);
    DWORD writeMask = rs[D3DRS_COLORWRITEENABLE];
    // An X8R8G8B8 target has no alpha to write: it stays 1, as DESTALPHA then reads.
    bool writesAlpha = (writeMask & 8) && renderTarget->format() != D3DFMT_X8R8G8B8;
    cache.setColourMask(writeMask & 1, writeMask & 2, writeMask & 4, writesAlpha);
    cache.setScissor(false, 0, 0, 0, 0);
}

GLuint GlDevice::samplerFor(int stage, bool isWithoutMips, bool isTexelCentred)
{
    const auto& ss = state.samplerStates[stage];
    DWORD addressU = std::min<DWORD>(ss[D3DSAMP_ADDRESSU], 7);
    DWORD addressV = std::min<DWORD>(ss[D3DSAMP_ADDRESSV], 7);
    DWORD minFilter = isTexelCentred ? D3DTEXF_POINT : std::min<DWORD>(ss[D3DSAMP_MINFILTER], 3);
    DWORD magFilter = isTexelCentred ? D3DTEXF_POINT : std::min<DWORD>(ss[D3DSAMP_MAGFILTER], 3);
    DWORD mipFilter = isWithoutMips ? D3DTEXF_NONE : std::min<DWORD>(ss[D3DSAMP_MIPFILTER], 3);
    uint32_t key = addressU | (addressV << 4) | (minFilter << 8) | (magFilter << 12)
        | (mipFilter << 16);
    auto found = samplers.find(key);
    if (found != samplers.end())
        return found->second;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    bool isMinLinear = minFilter >= D3DTEXF_LINEAR;
    GLenum min = isMinLinear ? GL_LINEAR : GL_NEAREST;
    if (mipFilter == D3DTEXF_POINT)
        min = isMinLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (mipFilter >= D3DTEXF_LINEAR)
        min = isMinLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(min)));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
        magFilter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(addressMode(addressU))));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(addressMode(addressV))));
    samplers.emplace(key, sampler);
    return sampler;
}

bool GlDevice::bindTextures(const ShaderKey& key, const StageSampling& sampling)
{
    const auto& withoutMips = sampling.withoutMips;
    // Mip chains first: rebuilding one binds its texture to unit 0.
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (!key.stages[s].hasTexture || key.stages[s].isSingleColour)
            continue;
        auto* texture = static_cast<GlTexture*>(state.textures[s]);
        if (renderTarget->container() == texture)
            return false; // a texture cannot be read while it is being drawn into
        texture->prepareForSampling(presentCount);
        if (!withoutMips.test(s))
            texture->refreshMipChain();
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (!key.stages[s].hasTexture || key.stages[s].isSingleColour)
            continue;
        cache.bindTexture(s, static_cast<GlTexture*>(state.textures[s])->name());
        cache.bindSampler(s, samplerFor(s, withoutMips.test(s), sampling.texelCentred.test(s)));
    }
    return true;
}

HRESULT GlDevice::draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool isIndexed,
    INT baseVertex, UINT first)
{
    useContext();
    if (isReleased || !isInScene || !state.streamBuffer || (isIndexed && !state.indices))
        return D3DERR_INVALIDCALL;
    UINT vertexCount = vertexCountOf(type, primitiveCount);
    if (vertexCount == 0)
        return primitiveCount == 0 ? D3D_OK : D3DERR_INVALIDCALL;
    FvfLayout layout = layoutOf(state.fvf);
    if (!layout.isValid)
        return D3DERR_INVALIDCALL;
    GLsizei stride = state.streamStride ? GLsizei(state.streamStride) : layout.stride;
    auto* vertices = static_cast<GlVertexBuffer*>(state.streamBuffer);
    int64_t base = int64_t(state.streamOffset) + int64_t(baseVertex) * stride;
    if (base < 0)
        return D3DERR_INVALIDCALL;
    if (!isIndexed) {
        uint64_t last = uint64_t(base) + (uint64_t(first) + vertexCount - 1) * uint64_t(stride);
        if (last + uint64_t(layout.stride) > vertices->buffer().length())
            return D3DERR_INVALIDCALL;
    }

    ShaderKey key = shaderKeyFor(layout);
    // Whether a stage samples without mip levels also decides whether its texel is rounded,
    // which the program does.
    StageSampling sampling;
    if (!isIndexed)
        sampling = cheaperSampling(layout, key, type, first, vertexCount, base, stride);
    for (int s = 0; s < key.activeStageCount && isFixedPointInShaders; ++s) {
        const auto& ss = state.samplerStates[s];
        key.stages[s].isTexelRounded = sampling.withoutMips.test(s)
            && ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR && ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    }
    const GlProgram* program = programs.programFor(key);
    if (!program)
        return E_FAIL;
    cache.bindVertexArray(vertexArray);
    cache.bindFramebuffer(renderTarget->framebuffer);
    applyViewport();
    applyRasterStates();
    if (!bindTextures(key, sampling))
        return D3DERR_INVALIDCALL;
    cache.useProgram(program->name);
    uploadUniforms(*program, key);

    GLuint buffer = vertices->buffer().name();
    auto attribute = [&](int location, int offset, GLint size, GLenum type, bool isNormalized) {
        VertexAttribute a;
        if (offset >= 0)
            a = {true, buffer, size, type, isNormalized, stride, GLintptr(base + offset)};
        cache.setVertexAttribute(location, a);
    };
    attribute(positionLocation, 0, 3, GL_FLOAT, false);
    attribute(normalLocation, layout.normalOffset, 3, GL_FLOAT, false);
    attribute(diffuseLocation, layout.diffuseOffset, 4, GL_UNSIGNED_BYTE, true);
    attribute(specularLocation, layout.specularOffset, 4, GL_UNSIGNED_BYTE, true);
    for (int i = 0; i < 8; ++i)
        attribute(int(texCoordLocation0) + i,
            i < layout.coordinateSetCount ? layout.coordinateOffsets[i] : -1,
            layout.coordinateSizes[i], GL_FLOAT, false);

    if (isIndexed) {
        auto* indices = static_cast<GlIndexBuffer*>(state.indices);
        bool isWide = indices->format() == D3DFMT_INDEX32;
        UINT indexSize = isWide ? 4 : 2;
        if ((uint64_t(first) + vertexCount) * indexSize > indices->buffer().length())
            return D3DERR_INVALIDCALL;
        // Every vertex that the indices reach must lie inside the vertex buffer: GL would
        // read past it.
        const uint8_t* indexData = indices->buffer().data() + size_t(first) * indexSize;
        uint32_t largest = 0;
        for (UINT i = 0; i < vertexCount; ++i) {
            uint32_t index;
            if (isWide)
                std::memcpy(&index, indexData + 4 * i, 4);
            else {
                uint16_t narrow;
                std::memcpy(&narrow, indexData + 2 * i, 2);
                index = narrow;
            }
            largest = std::max(largest, index);
        }
        if (uint64_t(base) + uint64_t(largest) * uint64_t(stride) + uint64_t(layout.stride)
            > vertices->buffer().length())
            return D3DERR_INVALIDCALL;
        cache.bindElementBuffer(indices->buffer().name());
        GL_CHECK(glDrawElements(primitiveMode(type), GLsizei(vertexCount),
            isWide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
            reinterpret_cast<const void*>(uintptr_t(first) * indexSize)));
    } else {
        GL_CHECK(glDrawArrays(primitiveMode(type), GLint(first), GLsizei(vertexCount)));
    }
    if (renderTarget->container())
        renderTarget->container()->markDrawnInto();
    return D3D_OK;
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count)
{
    return draw(type, count, false, 0, startVertex);
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT,
    UINT, UINT startIndex, UINT count)
{
    return draw(type, count, true, baseVertexIndex, startIndex);
}

} // namespace tincrates::gl
