// Module-internal to the GL back-end: the states that shape a generated fixed-function shader,
// and the GLSL ES 3.00 source made from them. One program exists per distinct key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tincrates::gl {

// Where a lighting colour comes from once vertex colours are resolved.
enum ColourSource : uint8_t { fromMaterial = 0, fromVertexDiffuse = 1, fromVertexSpecular = 2 };

enum FogKind : uint8_t { noFog = 0, linearFog = 1, exponentialFog = 2, squaredExponentialFog = 3 };

enum LightKind : uint8_t { pointLight = 0, directionalLight = 1, spotLight = 2 };

// Only the stages before the first disabled colour operation are filled; the rest stay zero
// so that keys compare equal whatever those stages hold.
struct StageKey {
    uint8_t colourOp, colourArg0, colourArg1, colourArg2;
    uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    uint8_t coordinateSet;       // low word of D3DTSS_TEXCOORDINDEX
    uint8_t coordinateMode;      // high word of D3DTSS_TEXCOORDINDEX (0 to 4)
    uint8_t transformCount;      // 0 when the texture transform is off
    uint8_t isProjected;
    uint8_t hasTexture;
    // The texture holds one colour throughout: the stage reads it from a uniform instead of
    // sampling, which on a CPU renderer saves most of a textured pixel's cost.
    uint8_t isSingleColour;
    uint8_t isTexelRounded;      // the filtered texel rounded to whole 8-bit levels
};

// Bytes only, without padding: keys are compared and hashed as memory.
struct ShaderKey {
    uint8_t isDesktopGl; // OpenGL 3.3 core rather than OpenGL ES 3.0
    uint8_t hasNormal, hasDiffuse, hasSpecular;
    uint8_t coordinateSetCount;
    uint8_t coordinateSizes[8];
    uint8_t isLit;
    uint8_t lightCount;
    uint8_t lightKinds[8];
    uint8_t normalizesNormals;
    uint8_t hasLocalViewer;
    uint8_t addsSpecular;
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;
    uint8_t activeStageCount;
    StageKey stages[8];
    uint8_t fog;
    uint8_t isFogFromEyeDepth; // eye depth; otherwise the depth-buffer value 0..1
    uint8_t alphaTest;         // 0 off, else a D3DCMPFUNC
    // A D3DBLEND source factor applied here instead of by GL blending, for draws whose
    // destination factor is ZERO (0 when GL blends or blending is off).
    uint8_t sourceFactor;
    // A D3DBLEND source factor applied here in 8-bit fixed point, for draws that add to the
    // destination (factor ONE), which GL then blends ONE, ONE (0 otherwise).
    uint8_t fixedPointSourceFactor;

    bool operator==(const ShaderKey& other) const
    {
        return std::memcmp(this, &other, sizeof(ShaderKey)) == 0;
    }
};

struct ShaderKeyHash {
    size_t operator()(const ShaderKey& key) const;
};

// Vertex attribute locations that the generated vertex shaders use.
constexpr unsigned positionLocation = 0;
constexpr unsigned normalLocation = 1;
constexpr unsigned diffuseLocation = 2;
constexpr unsigned specularLocation = 3;
constexpr unsigned texCoordLocation0 = 4;

std::string vertexShaderSource(const ShaderKey& key);
std::string fragmentShaderSource(const ShaderKey& key);

} // namespace tincrates::gl
