// Every shape of generated shader compiles and links: each texture operation and argument
// modifier, coordinate source, transform, light kind, fog mode and alpha test.
#include "platform/gpu/fixed_function_shader.h"

#include "platform/gpu/d3d9_types.h"
#include "platform/gpu/gl_program_cache.h"
#include "platform/gpu/gl_state_cache.h"
#include "platform/window/window_factory.h"

#include <gtest/gtest.h>

namespace tincrates::gl {
namespace {

class GeneratedShaders : public ::testing::Test {
protected:
    GeneratedShaders()
        : window(createWindow(WindowKind::Headless, "", 1, 1, false))
    {
        window->makeCurrent();
    }

    static ShaderKey texturedKey()
    {
        ShaderKey key{};
        key.hasDiffuse = 1;
        key.coordinateSetCount = 1;
        key.coordinateSizes[0] = 2;
        key.activeStageCount = 1;
        key.stages[0] = {D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTA_DIFFUSE,
            D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0, 0, 0, 0, 1, 0, 0};
        return key;
    }

    std::shared_ptr<Window> window;
    GlStateCache cache;
    GlProgramCache programs{cache};
};

TEST_F(GeneratedShaders, EveryStageOperationAndArgumentCompiles)
{
    const uint8_t ops[] = {D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,
        D3DTOP_MODULATE2X, D3DTOP_MODULATE4X, D3DTOP_ADD, D3DTOP_ADDSIGNED, D3DTOP_ADDSIGNED2X,
        D3DTOP_SUBTRACT, D3DTOP_ADDSMOOTH, D3DTOP_BLENDDIFFUSEALPHA, D3DTOP_BLENDTEXTUREALPHA,
        D3DTOP_BLENDFACTORALPHA, D3DTOP_BLENDCURRENTALPHA, D3DTOP_MULTIPLYADD, D3DTOP_LERP};
    for (uint8_t op : ops) {
        ShaderKey key = texturedKey();
        key.activeStageCount = 2;
        key.stages[1] = key.stages[0];
        key.stages[1].colourOp = op;
        key.stages[1].alphaOp = op;
        EXPECT_NE(programs.programFor(key), nullptr) << "operation " << int(op);
    }
    const uint8_t arguments[] = {D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTA_TFACTOR,
        D3DTA_SPECULAR, D3DTA_TEMP, D3DTA_TEXTURE | D3DTA_COMPLEMENT,
        D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE,
        D3DTA_CURRENT | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE};
    for (uint8_t argument : arguments) {
        ShaderKey key = texturedKey();
        key.stages[0].colourOp = D3DTOP_LERP;
        key.stages[0].colourArg0 = key.stages[0].colourArg1 = argument;
        key.stages[0].alphaArg1 = argument;
        key.stages[0].hasTexture = 0;
        EXPECT_NE(programs.programFor(key), nullptr) << "argument " << int(argument);
    }
}

TEST_F(GeneratedShaders, EveryCoordinateSourceAndTransformCompiles)
{
    for (uint8_t mode = 0; mode <= 4; ++mode)
        for (uint8_t count = 0; count <= 4; ++count)
            for (uint8_t projected = 0; projected <= (count > 0 ? 1 : 0); ++projected) {
                ShaderKey key = texturedKey();
                key.hasNormal = 1;
                key.stages[0].coordinateMode = mode;
                key.stages[0].transformCount = count;
                key.stages[0].isProjected = projected;
                EXPECT_NE(programs.programFor(key), nullptr)
                    << "mode " << int(mode) << " count " << int(count);
            }
    for (uint8_t size = 1; size <= 4; ++size) {
        ShaderKey key = texturedKey();
        key.coordinateSizes[0] = size;
        key.stages[0].transformCount = 4;
        EXPECT_NE(programs.programFor(key), nullptr) << "size " << int(size);
    }
}

TEST_F(GeneratedShaders, LightingFogAlphaTestAndBlendFactorsCompile)
{
    ShaderKey lit = texturedKey();
    lit.hasNormal = 1;
    lit.isLit = 1;
    lit.lightCount = 8;
    for (int i = 0; i < 8; ++i)
        lit.lightKinds[i] = uint8_t(i % 3); // point, directional and spot lights
    lit.addsSpecular = 1;
    lit.normalizesNormals = 1;
    lit.diffuseSource = fromVertexDiffuse;
    lit.specularSource = fromVertexSpecular;
    lit.hasSpecular = 1;
    EXPECT_NE(programs.programFor(lit), nullptr);
    lit.hasLocalViewer = 1;
    lit.lightCount = 0;
    EXPECT_NE(programs.programFor(lit), nullptr);

    for (uint8_t fog : {linearFog, exponentialFog, squaredExponentialFog})
        for (uint8_t eye : {0, 1}) {
            ShaderKey key = texturedKey();
            key.fog = fog;
            key.isFogFromEyeDepth = eye;
            EXPECT_NE(programs.programFor(key), nullptr) << "fog " << int(fog);
        }
    for (uint8_t function = D3DCMP_NEVER; function <= D3DCMP_GREATEREQUAL; ++function) {
        ShaderKey key = texturedKey();
        key.alphaTest = function;
        EXPECT_NE(programs.programFor(key), nullptr) << "alpha test " << int(function);
    }
    for (uint8_t factor = D3DBLEND_ZERO; factor <= D3DBLEND_INVSRCALPHA; ++factor) {
        ShaderKey key = texturedKey();
        key.sourceFactor = factor;
        EXPECT_NE(programs.programFor(key), nullptr) << "factor " << int(factor);
    }
}

TEST_F(GeneratedShaders, RoundedTexelsAndFixedPointSourceFactorsCompile)
{
    ShaderKey key = texturedKey();
    key.activeStageCount = 2;
    key.stages[1] = key.stages[0];
    key.stages[0].isTexelRounded = 1;
    EXPECT_NE(programs.programFor(key), nullptr);
    key.stages[1].isTexelRounded = 1;
    EXPECT_NE(programs.programFor(key), nullptr);
    for (uint8_t factor : {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA,
             D3DBLEND_INVSRCALPHA}) {
        key.fixedPointSourceFactor = factor;
        EXPECT_NE(programs.programFor(key), nullptr) << "factor " << int(factor);
    }
}

TEST_F(GeneratedShaders, EqualKeysShareOneProgram)
{
    ShaderKey key = texturedKey();
    const GlProgram* first = programs.programFor(key);
    const GlProgram* second = programs.programFor(texturedKey());
    EXPECT_EQ(first, second);
    EXPECT_EQ(programs.programCount(), 1u);
}

} // namespace
} // namespace tincrates::gl
