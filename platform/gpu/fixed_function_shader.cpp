// Generates GLSL ES 3.00 that reproduces Direct3D 9's fixed-function vertex processing,
// texture stages, fog and alpha test for one combination of states.
#include "platform/gpu/fixed_function_shader.h"

#include "platform/gpu/d3d9_types.h"

#include <string>

namespace tincrates::gl {

size_t ShaderKeyHash::operator()(const ShaderKey& key) const
{
    // FNV-1a over the key's bytes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(ShaderKey); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

namespace {

std::string number(int value) { return std::to_string(value); }

std::string header(const ShaderKey& key)
{
    // The same source serves OpenGL ES 3.0 (and WebGL 2) and OpenGL 3.3 core. Direct3D 9's
    // pipeline works in single precision; GLSL ES would sample at lowp (and keep a fragment
    // shader's ints at mediump), which rounds a stage's result down where its exact value lies
    // just above a half: a step lost in every blur pass. The shaders sample only sampler2D.
    if (key.isDesktopGl)
        return "#version 330 core\n";
    return "#version 300 es\n"
           "precision highp float;\n"
           "precision highp int;\n"
           "precision highp sampler2D;\n";
}

const char* vecType(int components)
{
    switch (components) {
    case 1: return "float";
    case 2: return "vec2";
    case 3: return "vec3";
    default: return "vec4";
    }
}

// Direct3D pads missing input components as (x, 1, 0, 0), (x, y, 1, 0), (x, y, z, 1), so
// that row 2 of a texture matrix translates two-component coordinates.
std::string paddedCoordinate(const ShaderKey& key, int set)
{
    if (set >= key.coordinateSetCount)
        return "vec4(0.0, 0.0, 0.0, 1.0)";
    std::string name = "aTexCoord" + number(set);
    switch (key.coordinateSizes[set]) {
    case 1: return "vec4(" + name + ", 1.0, 0.0, 0.0)";
    case 2: return "vec4(" + name + ", 1.0, 0.0)";
    case 3: return "vec4(" + name + ", 1.0)";
    default: return name;
    }
}

std::string colourSourceExpression(uint8_t source, const char* material)
{
    switch (source) {
    case fromVertexDiffuse: return "vertexDiffuse";
    case fromVertexSpecular: return "vertexSpecular";
    default: return material;
    }
}

} // namespace

std::string vertexShaderSource(const ShaderKey& key)
{
    std::string s = header(key);
    s += "layout(location = 0) in vec3 aPosition;\n";
    if (key.hasNormal)
        s += "layout(location = 1) in vec3 aNormal;\n";
    if (key.hasDiffuse)
        s += "layout(location = 2) in vec4 aDiffuse;\n";
    if (key.hasSpecular)
        s += "layout(location = 3) in vec4 aSpecular;\n";
    for (int i = 0; i < key.coordinateSetCount; ++i)
        s += "layout(location = " + number(texCoordLocation0 + i) + ") in "
            + vecType(key.coordinateSizes[i]) + " aTexCoord" + number(i) + ";\n";
    s += "uniform mat4 uWorldView;\nuniform mat4 uProjection;\nuniform mat3 uNormalMatrix;\n"
         "uniform vec2 uPixelOffset;\n";
    if (key.isLit) {
        s += "uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialSpecular, "
             "uMaterialEmissive;\nuniform float uMaterialPower;\nuniform vec3 uGlobalAmbient;\n";
        if (key.lightCount > 0) {
            std::string n = number(key.lightCount);
            s += "uniform vec3 uLightPosition[" + n + "];\nuniform vec3 uLightDiffuse[" + n
                + "];\nuniform vec3 uLightSpecular[" + n + "];\nuniform vec3 uLightAmbient[" + n
                + "];\nuniform vec4 uLightAttenuation[" + n + "];\nuniform vec3 uLightDirection["
                + n + "];\nuniform vec3 uLightCone[" + n + "];\n";
        }
    }
    for (int i = 0; i < key.activeStageCount; ++i)
        if (key.stages[i].transformCount > 0)
            s += "uniform mat4 uTextureMatrix" + number(i) + ";\n";
    s += "out vec4 vDiffuse;\nout vec4 vSpecular;\n";
    for (int i = 0; i < key.activeStageCount; ++i)
        s += "out vec4 vTexCoord" + number(i) + ";\n";
    if (key.fog != noFog && key.isFogFromEyeDepth)
        s += "out float vFogDepth;\n";

    s += "void main() {\n";
    s += "    vec4 cameraPosition = uWorldView * vec4(aPosition, 1.0);\n";
    s += "    vec4 clip = uProjection * cameraPosition;\n";
    // Direct3D's colours are 0xAARRGGBB words: bytes B, G, R, A in memory.
    s += std::string("    vec4 vertexDiffuse = ") + (key.hasDiffuse ? "aDiffuse.zyxw" : "vec4(1.0)")
        + ";\n";
    s += std::string("    vec4 vertexSpecular = ")
        + (key.hasSpecular ? "aSpecular.zyxw" : "vec4(0.0)") + ";\n";
    s += std::string("    vec3 normal = ")
        + (key.hasNormal ? "uNormalMatrix * aNormal" : "vec3(0.0)") + ";\n";
    if (key.normalizesNormals && key.hasNormal)
        s += "    normal = normalize(normal);\n";

    if (key.isLit) {
        s += "    vec4 cd = " + colourSourceExpression(key.diffuseSource, "uMaterialDiffuse")
            + ";\n";
        s += "    vec4 ca = " + colourSourceExpression(key.ambientSource, "uMaterialAmbient")
            + ";\n";
        s += "    vec4 cs = " + colourSourceExpression(key.specularSource, "uMaterialSpecular")
            + ";\n";
        s += "    vec4 ce = " + colourSourceExpression(key.emissiveSource, "uMaterialEmissive")
            + ";\n";
        s += "    vec3 ambient = uGlobalAmbient;\n    vec3 diffuse = vec3(0.0);\n"
             "    vec3 specular = vec3(0.0);\n";
        for (int i = 0; i < key.lightCount; ++i) {
            std::string n = "[" + number(i) + "]";
            s += "    {\n";
            if (key.lightKinds[i] == directionalLight) {
                s += "        vec3 toLight = -uLightPosition" + n + ";\n";
                s += "        float attenuation = 1.0;\n";
            } else {
                s += "        vec3 toLight = uLightPosition" + n + " - cameraPosition.xyz;\n";
                s += "        float distance = length(toLight);\n";
                s += "        toLight = distance > 0.0 ? toLight / distance : vec3(0.0);\n";
                s += "        vec4 a = uLightAttenuation" + n + ";\n";
                s += "        float attenuation = distance > a.w ? 0.0 : "
                     "1.0 / max(a.x + a.y * distance + a.z * distance * distance, 1e-30);\n";
            }
            if (key.lightKinds[i] == spotLight) {
                // Full inside the inner cone, none outside the outer one, and between them
                // (rho - cos(phi / 2)) / (cos(theta / 2) - cos(phi / 2)) to the falloff power.
                s += "        vec3 cone = uLightCone" + n + ";\n";
                s += "        float rho = dot(-toLight, uLightDirection" + n + ");\n";
                s += "        attenuation *= rho > cone.x ? 1.0 : (rho <= cone.y ? 0.0 : "
                     "pow((rho - cone.y) / max(cone.x - cone.y, 1e-6), cone.z));\n";
            }
            s += "        ambient += attenuation * uLightAmbient" + n + ";\n";
            s += "        float nDotL = max(dot(normal, toLight), 0.0);\n";
            s += "        diffuse += uLightDiffuse" + n + " * (nDotL * attenuation);\n";
            if (key.addsSpecular) {
                s += std::string("        vec3 toEye = ")
                    + (key.hasLocalViewer ? "normalize(-cameraPosition.xyz)"
                                          : "vec3(0.0, 0.0, -1.0)")
                    + ";\n";
                s += "        vec3 halfway = normalize(toLight + toEye);\n";
                s += "        if (nDotL > 0.0) specular += uLightSpecular" + n
                    + " * (pow(max(dot(normal, halfway), 0.0), uMaterialPower) * attenuation);\n";
            }
            s += "    }\n";
        }
        s += "    vDiffuse = vec4(clamp(ca.rgb * ambient + cd.rgb * diffuse + ce.rgb, 0.0, 1.0), "
             "clamp(cd.a, 0.0, 1.0));\n";
        s += "    vSpecular = vec4(clamp(cs.rgb * specular, 0.0, 1.0), 0.0);\n";
    } else {
        s += "    vDiffuse = vertexDiffuse;\n    vSpecular = vertexSpecular;\n";
    }

    for (int i = 0; i < key.activeStageCount; ++i) {
        const StageKey& stage = key.stages[i];
        std::string input;
        switch (stage.coordinateMode) {
        case 1: input = "vec4(normalize(normal), 1.0)"; break;
        case 2: input = "vec4(cameraPosition.xyz, 1.0)"; break;
        case 3:
        case 4:
            input = "vec4(reflect(normalize(cameraPosition.xyz), normalize(normal)), 1.0)";
            break;
        default: input = paddedCoordinate(key, stage.coordinateSet); break;
        }
        if (stage.transformCount > 0)
            s += "    vTexCoord" + number(i) + " = uTextureMatrix" + number(i) + " * " + input
                + ";\n";
        else
            s += "    vTexCoord" + number(i) + " = " + input + ";\n";
    }
    if (key.fog != noFog && key.isFogFromEyeDepth)
        s += "    vFogDepth = cameraPosition.z;\n";
    // Direct3D: y up in clip space maps to the top row, depth 0..1, pixel centres on whole
    // coordinates. Targets are stored top row first, so y is flipped; the half-pixel offset
    // moves Direct3D's pixel centres onto GL's.
    s += "    gl_Position = vec4(clip.x + uPixelOffset.x * clip.w, -clip.y + uPixelOffset.y * "
         "clip.w, 2.0 * clip.z - clip.w, clip.w);\n";
    s += "}\n";
    return s;
}

namespace {

std::string argumentSource(DWORD argument, int stage)
{
    switch (argument & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: return "vDiffuse";
    case D3DTA_CURRENT: return "current";
    case D3DTA_TEXTURE: return "texel" + number(stage);
    case D3DTA_TFACTOR: return "uTextureFactor";
    case D3DTA_SPECULAR: return "vSpecular";
    case D3DTA_TEMP: return "temp";
    default: return "vec4(1.0)";
    }
}

std::string colourArgument(DWORD argument, int stage)
{
    std::string value = argumentSource(argument, stage);
    value += (argument & D3DTA_ALPHAREPLICATE) ? ".aaa" : ".rgb";
    if (argument & D3DTA_COMPLEMENT)
        value = "(1.0 - " + value + ")";
    return value;
}

std::string alphaArgument(DWORD argument, int stage)
{
    std::string value = argumentSource(argument, stage) + ".a";
    if (argument & D3DTA_COMPLEMENT)
        value = "(1.0 - " + value + ")";
    return value;
}

std::string operation(uint8_t op, const std::string& a0, const std::string& a1,
    const std::string& a2, int stage, bool isAlpha)
{
    std::string texelAlpha = "texel" + number(stage) + ".a";
    auto blendBy = [&](const std::string& factor) {
        return a1 + " * " + factor + " + " + a2 + " * (1.0 - " + factor + ")";
    };
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 + " * " + a2;
    case D3DTOP_MODULATE2X: return a1 + " * " + a2 + " * 2.0";
    case D3DTOP_MODULATE4X: return a1 + " * " + a2 + " * 4.0";
    case D3DTOP_ADD: return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "(" + a1 + " + " + a2 + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT: return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA: return blendBy("vDiffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA: return blendBy(texelAlpha);
    case D3DTOP_BLENDFACTORALPHA: return blendBy("uTextureFactor.a");
    case D3DTOP_BLENDCURRENTALPHA: return blendBy("current.a");
    case D3DTOP_MULTIPLYADD: return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP: return a0 + " * " + a1 + " + (1.0 - " + a0 + ") * " + a2;
    default: return isAlpha ? "current.a" : "current.rgb";
    }
}

// Whether the operation can give a value outside 0..1 from arguments inside it.
bool canLeaveUnitRange(uint8_t op)
{
    switch (op) {
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_ADDSIGNED:
    case D3DTOP_ADDSIGNED2X:
    case D3DTOP_SUBTRACT:
    case D3DTOP_MULTIPLYADD: return true;
    default: return false;
    }
}

// Fixed-function hardware filters and blends 8-bit colours in 8-bit fixed point; renderers
// that work in floating point (SwiftShader, GPUs) keep fractions of a level that such
// hardware drops, and a blur chain, which filters and blends the same pixels again and
// again, adds those fractions up into a visible haze. These functions give what such
// hardware, and Mesa's llvmpipe, give:
// - a filtered texel rounded to 8 bits, halves up. A sample midway between two texels lands
//   a hair to either side of the half in floating point; a margin of 1/512 of a level takes
//   it for the half, and is less than the step from a half to the next fraction that 8-bit
//   weights along one axis can give (1/256).
// - a source factor: source and factor rounded to 8 bits, then x × y / 255 as 8-bit
//   blending units approximate it, (t + (t >> 8) + 128) >> 8 with t = x × y.
const char* fixedPointFunctions =
    "vec4 roundedTexture(sampler2D t, vec2 uv) {\n"
    "    return floor(texture(t, uv) * 255.0 + 0.501953125) / 255.0;\n"
    "}\n"
    "ivec4 multiplyBytes(ivec4 x, ivec4 y) {\n"
    "    ivec4 t = x * y;\n"
    "    return (t + (t >> 8) + 128) >> 8;\n"
    "}\n";

// The 8-bit source factor of a D3DBLEND value, from the source's bytes `c`.
const char* fixedPointFactor(uint8_t factor)
{
    switch (factor) {
    case D3DBLEND_SRCCOLOR: return "c";
    case D3DBLEND_INVSRCCOLOR: return "255 - c";
    case D3DBLEND_SRCALPHA: return "ivec4(c.a)";
    case D3DBLEND_INVSRCALPHA: return "ivec4(255 - c.a)";
    default: return "ivec4(255)"; // ONE
    }
}

bool roundsTexels(const ShaderKey& key)
{
    for (int i = 0; i < key.activeStageCount; ++i)
        if (key.stages[i].isTexelRounded)
            return true;
    return false;
}

} // namespace

std::string fragmentShaderSource(const ShaderKey& key)
{
    std::string s = header(key);
    s += "in vec4 vDiffuse;\nin vec4 vSpecular;\n";
    for (int i = 0; i < key.activeStageCount; ++i) {
        s += "in vec4 vTexCoord" + number(i) + ";\n";
        if (key.stages[i].hasTexture && key.stages[i].isSingleColour)
            s += "uniform vec4 uTexel" + number(i) + ";\n";
        else if (key.stages[i].hasTexture)
            s += "uniform sampler2D uTexture" + number(i) + ";\n";
    }
    if (key.fog != noFog) {
        s += "uniform vec3 uFogColour;\nuniform vec3 uFogParameters;\n";
        if (key.isFogFromEyeDepth)
            s += "in float vFogDepth;\n";
    }
    s += "uniform vec4 uTextureFactor;\nuniform float uAlphaReference;\n";
    s += "out vec4 fragColour;\n";
    if (key.fixedPointSourceFactor != 0 || roundsTexels(key))
        s += fixedPointFunctions;
    s += "void main() {\n    vec4 current = vDiffuse;\n    vec4 temp = vec4(0.0);\n";
    for (int i = 0; i < key.activeStageCount; ++i) {
        const StageKey& stage = key.stages[i];
        std::string n = number(i);
        if (stage.hasTexture && stage.isSingleColour) {
            s += "    vec4 texel" + n + " = uTexel" + n + ";\n";
        } else if (stage.hasTexture) {
            std::string coordinate = "vTexCoord" + n + ".xy";
            if (stage.isProjected) {
                const char* last[] = {"x", "x", "y", "z", "w"};
                coordinate += " / vTexCoord" + n + "." + last[stage.transformCount];
            }
            s += "    vec4 texel" + n + " = "
                + (stage.isTexelRounded ? "roundedTexture(" : "texture(") + "uTexture" + n
                + ", " + coordinate + ");\n";
        } else {
            // A stage without a texture reads opaque white.
            s += "    vec4 texel" + n + " = vec4(1.0);\n";
        }
        std::string colour = operation(stage.colourOp, colourArgument(stage.colourArg0, i),
            colourArgument(stage.colourArg1, i), colourArgument(stage.colourArg2, i), i, false);
        std::string alpha = stage.alphaOp == D3DTOP_DISABLE
            ? std::string("current.a")
            : operation(stage.alphaOp, alphaArgument(stage.alphaArg0, i),
                alphaArgument(stage.alphaArg1, i), alphaArgument(stage.alphaArg2, i), i, true);
        // Each stage's result is saturated, as fixed-function hardware does. Operations on
        // inputs in 0..1 that cannot leave that range skip it, and so does the last stage
        // when nothing follows it: writing to the target saturates anyway.
        bool isLast = i + 1 == key.activeStageCount && !key.addsSpecular && key.fog == noFog
            && key.alphaTest == 0 && key.sourceFactor == 0 && key.fixedPointSourceFactor == 0;
        bool mayLeaveRange = canLeaveUnitRange(stage.colourOp)
            || (stage.alphaOp != D3DTOP_DISABLE && canLeaveUnitRange(stage.alphaOp));
        if (mayLeaveRange && !isLast)
            s += "    current = clamp(vec4(" + colour + ", " + alpha + "), 0.0, 1.0);\n";
        else
            s += "    current = vec4(" + colour + ", " + alpha + ");\n";
    }
    if (key.addsSpecular)
        s += "    current.rgb = clamp(current.rgb + vSpecular.rgb, 0.0, 1.0);\n";
    if (key.fog != noFog) {
        s += std::string("    float fogDepth = ")
            + (key.isFogFromEyeDepth ? "vFogDepth" : "gl_FragCoord.z") + ";\n";
        switch (key.fog) {
        case linearFog:
            s += "    float fog = clamp((uFogParameters.x - fogDepth) * uFogParameters.y, 0.0, "
                 "1.0);\n";
            break;
        case exponentialFog: s += "    float fog = exp(-uFogParameters.z * fogDepth);\n"; break;
        default:
            s += "    float fog = exp(-(uFogParameters.z * fogDepth) * (uFogParameters.z * "
                 "fogDepth));\n";
            break;
        }
        s += "    current.rgb = mix(uFogColour, current.rgb, fog);\n";
    }
    if (key.alphaTest != 0) {
        // Direct3D compares the alpha as a byte with the reference value.
        s += "    float alphaByte = floor(current.a * 255.0 + 0.5);\n";
        const char* test = "false";
        switch (key.alphaTest) {
        case D3DCMP_NEVER: test = "false"; break;
        case D3DCMP_LESS: test = "alphaByte < uAlphaReference"; break;
        case D3DCMP_EQUAL: test = "alphaByte == uAlphaReference"; break;
        case D3DCMP_LESSEQUAL: test = "alphaByte <= uAlphaReference"; break;
        case D3DCMP_GREATER: test = "alphaByte > uAlphaReference"; break;
        case D3DCMP_NOTEQUAL: test = "alphaByte != uAlphaReference"; break;
        case D3DCMP_GREATEREQUAL: test = "alphaByte >= uAlphaReference"; break;
        default: test = "true"; break;
        }
        s += std::string("    if (!(") + test + ")) discard;\n";
    }
    switch (key.sourceFactor) {
    case D3DBLEND_ZERO: s += "    current = vec4(0.0);\n"; break;
    case D3DBLEND_SRCCOLOR: s += "    current *= current;\n"; break;
    case D3DBLEND_INVSRCCOLOR: s += "    current *= 1.0 - current;\n"; break;
    case D3DBLEND_SRCALPHA: s += "    current *= current.a;\n"; break;
    case D3DBLEND_INVSRCALPHA: s += "    current *= 1.0 - current.a;\n"; break;
    default: break;
    }
    if (key.fixedPointSourceFactor != 0) {
        s += "    ivec4 c = ivec4(roundEven(clamp(current, 0.0, 1.0) * 255.0));\n";
        s += std::string("    current = vec4(multiplyBytes(c, ")
            + fixedPointFactor(key.fixedPointSourceFactor) + ")) / 255.0;\n";
    }
    s += "    fragColour = current;\n}\n";
    return s;
}

} // namespace tincrates::gl
