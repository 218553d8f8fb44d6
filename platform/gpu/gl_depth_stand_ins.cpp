// Depth/stencil buffers for render targets smaller than the automatic depth buffer.
#include "platform/gpu/gl_depth_stand_ins.h"

#include "platform/gpu/gl_check.h"
#include "platform/window/window.h"

namespace tincrates::gl {

GlDepthStandIns::GlDepthStandIns(Window& window, GlStateCache& cache)
    : window(window)
    , cache(cache)
{
}

GlDepthStandIns::~GlDepthStandIns()
{
    window.makeCurrent();
    for (auto& [size, standIn] : standIns) {
        cache.forgetFramebuffer(standIn.corner.framebuffer);
        glDeleteFramebuffers(1, &standIn.corner.framebuffer);
        glDeleteRenderbuffers(1, &standIn.renderbuffer);
    }
    if (fullFramebuffer) {
        cache.forgetFramebuffer(fullFramebuffer);
        glDeleteFramebuffers(1, &fullFramebuffer);
    }
}

DepthStandIn GlDepthStandIns::standInFor(GLuint full, GLsizei width, GLsizei height)
{
    auto found = standIns.find({width, height});
    if (found != standIns.end())
        return found->second;
    if (!fullFramebuffer) {
        fullFramebuffer = makeDepthFramebuffer(full);
        if (!fullFramebuffer)
            return {};
    }
    DepthStandIn standIn;
    glGenRenderbuffers(1, &standIn.renderbuffer);
    GL_CHECK(glBindRenderbuffer(GL_RENDERBUFFER, standIn.renderbuffer));
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteRenderbuffers(1, &standIn.renderbuffer);
        return {};
    }
    standIn.corner = {makeDepthFramebuffer(standIn.renderbuffer), width, height};
    if (!standIn.corner.framebuffer) {
        glDeleteRenderbuffers(1, &standIn.renderbuffer);
        return {};
    }
    standIn.fullFramebuffer = fullFramebuffer;
    standIns.emplace(std::pair{width, height}, standIn);
    return standIn;
}

GLuint GlDepthStandIns::makeDepthFramebuffer(GLuint renderbuffer)
{
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    cache.invalidateFramebuffer();
    GL_CHECK(glBindFramebuffer(GL_FRAMEBUFFER, framebuffer));
    GL_CHECK(glFramebufferRenderbuffer(
        GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, renderbuffer));
    // No colour: OpenGL 3.3 would call a framebuffer incomplete whose draw or read buffer
    // names an empty attachment.
    const GLenum none = GL_NONE;
    GL_CHECK(glDrawBuffers(1, &none));
    GL_CHECK(glReadBuffer(GL_NONE));
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glDeleteFramebuffers(1, &framebuffer);
        return 0;
    }
    return framebuffer;
}

} // namespace tincrates::gl
