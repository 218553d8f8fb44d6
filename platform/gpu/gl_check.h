// Module-internal to the GL back-end. GL_CHECK(call) runs the call and, in debug builds only,
// reports any GL error it raised with the call's text and the error's name.
#pragma once

#include <GLES3/gl3.h>

namespace tincrates::gl {

// Prints "GL error NAME in CALL at FILE:LINE" to standard error.
void reportError(GLenum error, const char* call, const char* file, int line);

} // namespace tincrates::gl

#ifdef NDEBUG
#define GL_CHECK(call) call
#else
#define GL_CHECK(call)                                                                   \
    do {                                                                                 \
        call;                                                                            \
        for (GLenum glCheckError = glGetError(); glCheckError != GL_NO_ERROR;            \
             glCheckError = glGetError())                                                \
            ::tincrates::gl::reportError(glCheckError, #call, __FILE__, __LINE__);       \
    } while (false)
#endif
