// Module-internal to the GL back-end: compiles and links one GL program per shader key and
// keeps it with the locations of its uniforms for the rest of the device's life.
#pragma once

#include "platform/gpu/fixed_function_shader.h"

#include <GLES3/gl3.h>

#include <memory>
#include <unordered_map>

namespace tincrates::gl {

class GlStateCache;

struct GlProgram {
    GLuint name = 0;
    GLint worldView = -1, projection = -1, normalMatrix = -1, pixelOffset = -1;
    GLint materialDiffuse = -1, materialAmbient = -1, materialSpecular = -1;
    GLint materialEmissive = -1, materialPower = -1, globalAmbient = -1;
    GLint lightPosition = -1, lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1;
    GLint lightAttenuation = -1, lightDirection = -1, lightCone = -1;
    GLint textureMatrix[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    GLint texel[8] = {-1, -1, -1, -1, -1, -1, -1, -1}; // single-colour textures' colours
    GLint fogColour = -1, fogParameters = -1, textureFactor = -1, alphaReference = -1;
};

class GlProgramCache {
public:
    explicit GlProgramCache(GlStateCache& cache) : cache(cache) {}
    GlProgramCache(const GlProgramCache&) = delete;
    GlProgramCache& operator=(const GlProgramCache&) = delete;
    ~GlProgramCache();

    // The program for the key, built on first use. Null when GL rejects the generated
    // source, which is a fault of the generator; the GL log then goes to standard error.
    const GlProgram* programFor(const ShaderKey& key);
    size_t programCount() const { return programs.size(); }
    // Deletes every program.
    void clear();

private:
    GlStateCache& cache; // not owned; the device's
    std::unordered_map<ShaderKey, std::unique_ptr<GlProgram>, ShaderKeyHash> programs;
};

} // namespace tincrates::gl
