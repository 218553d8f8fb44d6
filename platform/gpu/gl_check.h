// Module-internal to the GL back-end. GL_CHECK(call) runs the call and, in builds with asserts
// (no NDEBUG), reports any GL error it raised, naming the call and the error; where the tests
// run (TINCRATES_GL_ERRORS_FATAL set), it stops the program there.
#pragma once

#include <GLES3/gl3.h>

namespace tincrates::gl {

// Prints "GL error NAME in CALL at FILE:LINE" to standard error for the first error and each
// further one still pending. With TINCRATES_GL_ERRORS_FATAL set in the environment (as the
// tests set it) it then aborts: a GL error is the drawing code's mistake, and a test that
// causes one must fail on the spot rather than draw on with the call ignored. Without it, a
// viewer's run goes on, as GL goes on with the call ignored; after 20 reports the rest are
// left out, so that an error in every frame does not flood standard error.
void failOnError(GLenum error, const char* call, const char* file, int line);

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
