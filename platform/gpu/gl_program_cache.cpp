// Program building for generated fixed-function shaders.
#include "platform/gpu/gl_program_cache.h"

#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_state_cache.h"

#include <cstdio>
#include <string>

namespace tincrates::gl {

namespace {

GLuint compileShader(GLenum type, const std::string& source)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    GL_CHECK(glShaderSource(shader, 1, &text, nullptr));
    GL_CHECK(glCompileShader(shader));
    GLint isCompiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &isCompiled);
    if (!isCompiled) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL shader compile failed: %s\n%s\n", log, text);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLint location(GLuint program, const char* name) { return glGetUniformLocation(program, name); }

} // namespace

GlProgramCache::~GlProgramCache() { clear(); }

void GlProgramCache::clear()
{
    for (auto& [key, program] : programs) {
        cache.forgetProgram(program->name);
        glDeleteProgram(program->name);
    }
    programs.clear();
}

const GlProgram* GlProgramCache::programFor(const ShaderKey& key)
{
    auto found = programs.find(key);
    if (found != programs.end())
        return found->second.get();

    GLuint vertexShader = compileShader(GL_VERTEX_SHADER, vertexShaderSource(key));
    GLuint fragmentShader = compileShader(GL_FRAGMENT_SHADER, fragmentShaderSource(key));
    if (!vertexShader || !fragmentShader) {
        glDeleteShader(vertexShader);
        glDeleteShader(fragmentShader);
        return nullptr;
    }
    GLuint name = glCreateProgram();
    GL_CHECK(glAttachShader(name, vertexShader));
    GL_CHECK(glAttachShader(name, fragmentShader));
    GL_CHECK(glLinkProgram(name));
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint isLinked = GL_FALSE;
    glGetProgramiv(name, GL_LINK_STATUS, &isLinked);
    if (!isLinked) {
        char log[2048] = {};
        glGetProgramInfoLog(name, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL program link failed: %s\n", log);
        glDeleteProgram(name);
        return nullptr;
    }

    auto program = std::make_unique<GlProgram>();
    program->name = name;
    program->worldView = location(name, "uWorldView");
    program->projection = location(name, "uProjection");
    program->normalMatrix = location(name, "uNormalMatrix");
    program->pixelOffset = location(name, "uPixelOffset");
    program->materialDiffuse = location(name, "uMaterialDiffuse");
    program->materialAmbient = location(name, "uMaterialAmbient");
    program->materialSpecular = location(name, "uMaterialSpecular");
    program->materialEmissive = location(name, "uMaterialEmissive");
    program->materialPower = location(name, "uMaterialPower");
    program->globalAmbient = location(name, "uGlobalAmbient");
    program->lightPosition = location(name, "uLightPosition");
    program->lightDiffuse = location(name, "uLightDiffuse");
    program->lightSpecular = location(name, "uLightSpecular");
    program->lightAmbient = location(name, "uLightAmbient");
    program->lightAttenuation = location(name, "uLightAttenuation");
    program->lightDirection = location(name, "uLightDirection");
    program->lightCone = location(name, "uLightCone");
    for (int i = 0; i < 8; ++i) {
        program->textureMatrix[i] = location(name, ("uTextureMatrix" + std::to_string(i)).c_str());
        program->texel[i] = location(name, ("uTexel" + std::to_string(i)).c_str());
    }
    program->fogColour = location(name, "uFogColour");
    program->fogParameters = location(name, "uFogParameters");
    program->textureFactor = location(name, "uTextureFactor");
    program->alphaReference = location(name, "uAlphaReference");

    // Samplers never move: stage i samples texture unit i.
    cache.useProgram(name);
    for (int i = 0; i < 8; ++i) {
        GLint sampler = location(name, ("uTexture" + std::to_string(i)).c_str());
        if (sampler >= 0)
            GL_CHECK(glUniform1i(sampler, i));
    }
    const GlProgram* result = program.get();
    programs.emplace(key, std::move(program));
    return result;
}

} // namespace tincrates::gl
