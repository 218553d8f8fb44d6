// Module-internal to the GL back-end: depth/stencil buffers for render targets smaller than
// the automatic depth buffer. Direct3D 9 lets such a target draw with the larger buffer, of
// which it then uses the top-left corner; WebGL 2 wants every attachment of a framebuffer to
// have one size. A target of each smaller size gets a stand-in of its own size instead, which
// the state cache keeps in step with that corner (GlStateCache::useDepthCorner).
#pragma once

#include "platform/gpu/gl_state_cache.h"

#include <GLES3/gl3.h>

#include <map>
#include <utility>

namespace tincrates {

class Window;

namespace gl {

// A stand-in and what the state cache copies through: the stand-in held alone, and the full
// depth buffer held alone.
struct DepthStandIn {
    GLuint renderbuffer = 0; // 0 when GL could not make it
    DepthCorner corner;
    GLuint fullFramebuffer = 0;
};

class GlDepthStandIns {
public:
    // `window` and `cache` are not owned and must outlive this object.
    GlDepthStandIns(Window& window, GlStateCache& cache);
    GlDepthStandIns(const GlDepthStandIns&) = delete;
    GlDepthStandIns& operator=(const GlDepthStandIns&) = delete;
    // Deletes the stand-ins and their framebuffers with the window's context current.
    ~GlDepthStandIns();

    // The stand-in of width × height for the top-left corner of `full`, a
    // GL_DEPTH24_STENCIL8 renderbuffer, made on first use. Making one leaves the cache's
    // framebuffer binding unknown (it binds it again when next asked).
    DepthStandIn standInFor(GLuint full, GLsizei width, GLsizei height);

private:
    // A framebuffer with `renderbuffer` as its depth/stencil buffer and nothing else; 0 when
    // it is incomplete.
    GLuint makeDepthFramebuffer(GLuint renderbuffer);

    Window& window;      // not owned
    GlStateCache& cache; // not owned
    GLuint fullFramebuffer = 0;
    std::map<std::pair<GLsizei, GLsizei>, DepthStandIn> standIns;
};

} // namespace gl
} // namespace tincrates
