// Names of GL errors for the debug-only checks.
#include "platform/gpu/gl_check.h"

#include <cstdio>

namespace tincrates::gl {

namespace {

const char* errorName(GLenum error)
{
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    default: return "unknown GL error";
    }
}

} // namespace

void reportError(GLenum error, const char* call, const char* file, int line)
{
    std::fprintf(stderr, "GL error %s in %s at %s:%d\n", errorName(error), call, file, line);
}

} // namespace tincrates::gl
