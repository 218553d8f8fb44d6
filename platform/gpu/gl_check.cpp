// The failure of the GL error checks in builds with asserts.
#include "platform/gpu/gl_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void failOnError(GLenum error, const char* call, const char* file, int line)
{
    static const bool isFatal = [] {
        const char* setting = std::getenv("TINCRATES_GL_ERRORS_FATAL");
        return setting && *setting && std::strcmp(setting, "0") != 0;
    }();
    static int reportsLeft = 20;
    // A context may hold several error flags at once; glGetError hands them out one by one
    // (bounded, in case a lost context keeps answering with one).
    for (int reported = 0; error != GL_NO_ERROR && reported < 8; error = glGetError(), ++reported) {
        if (!isFatal && reportsLeft-- <= 0)
            continue;
        std::fprintf(stderr, "GL error %s in %s at %s:%d\n", errorName(error), call, file, line);
    }
    std::fflush(stderr);
    if (isFatal)
        std::abort();
}

} // namespace tincrates::gl
