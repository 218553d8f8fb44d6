// Module-internal to the GL back-end. GL_CHECK(call) runs the call and, in builds with asserts
// (no NDEBUG), stops the program on any GL error it raised, naming the call and the error.
#pragma once

#include <GLES3/gl3.h>

namespace tincrates::gl {

// Prints "GL error NAME in CALL at FILE:LINE" to standard error for the first error and each
// further one still pending, then aborts: a GL error is the drawing code's mistake, and a test
// that causes one must fail on the spot rather than draw on with the call ignored.
[[noreturn]] void failOnError(GLenum error, const char* call, const char* file, int line);

} // namespace tincrates::gl

#ifdef NDEBUG
#define GL_CHECK(call) call
#else
#define GL_CHECK(call)                                                                   \
    do {                                                                                 \
        call;                                                                            \
        if (GLenum glCheckError = glGetError(); glCheckError != GL_NO_ERROR)             \
            ::tincrates::gl::failOnError(glCheckError, #call, __FILE__, __LINE__);       \
    } while (false)
#endif
