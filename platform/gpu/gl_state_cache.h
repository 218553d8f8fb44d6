// Module-internal to the GL back-end: the one place that shadows GL bindings and fixed
// states, so that repeated settings cost no GL call. Every GL state change of the back-end
// goes through here; objects being deleted are forgotten here first.
#pragma once

#include <GLES3/gl3.h>

#include <array>
#include <unordered_map>

namespace tincrates::gl {

struct BlendSetting {
    bool isEnabled = false;
    GLenum source = GL_ONE;
    GLenum destination = GL_ZERO;
    GLenum equation = GL_FUNC_ADD;
    bool operator==(const BlendSetting&) const = default;
};

struct VertexAttribute {
    bool isEnabled = false;
    GLuint buffer = 0;
    GLint size = 0;
    GLenum type = 0;
    bool isNormalized = false;
    GLsizei stride = 0;
    GLintptr offset = 0;
    bool operator==(const VertexAttribute&) const = default;
};

// A depth/stencil buffer that stands for the top-left width × height corner of a larger one,
// with a framebuffer that holds it alone (for copies).
struct DepthCorner {
    GLuint framebuffer = 0;
    GLsizei width = 0, height = 0;
};

class GlStateCache {
public:
    static constexpr int textureUnitCount = 8;
    static constexpr int attributeCount = 12;

    GlStateCache() = default;
    GlStateCache(const GlStateCache&) = delete;
    GlStateCache& operator=(const GlStateCache&) = delete;

    void useProgram(GLuint program);
    void bindFramebuffer(GLuint framebuffer);
    void bindTexture(int unit, GLuint texture);
    void bindSampler(int unit, GLuint sampler);
    void bindVertexArray(GLuint vertexArray);
    void bindElementBuffer(GLuint buffer);
    void setVertexAttribute(int location, const VertexAttribute& attribute);
    void setViewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void setScissor(bool isEnabled, GLint x, GLint y, GLsizei width, GLsizei height);
    void setBlend(const BlendSetting& blend);
    void setBlendColour(const std::array<float, 4>& colour);
    void setDepth(bool isTestEnabled, bool isWriteEnabled, GLenum function);
    void setCulling(bool isEnabled, GLenum face);
    void setColourMask(bool red, bool green, bool blue, bool alpha);

    // GL unbinds deleted objects by itself; these keep the shadow in step with it.
    void forgetTexture(GLuint texture);
    void forgetBuffer(GLuint buffer);
    void forgetFramebuffer(GLuint framebuffer);
    void forgetProgram(GLuint program);
    // Called after code outside this cache changed the framebuffer binding.
    void invalidateFramebuffer() { framebuffer = invalid; }

    // Says that `drawingFramebuffer` draws with `corner`'s depth/stencil buffer in place of
    // the corner of the larger one that `fullFramebuffer` holds alone. From then on the
    // cache keeps the two in step: binding a framebuffer that uses the other copies the
    // corner's newest values across first, so what is drawn through one is tested through
    // the other, as with one shared depth buffer.
    void useDepthCorner(GLuint drawingFramebuffer, GLuint fullFramebuffer, DepthCorner corner);

private:
    static constexpr GLuint invalid = ~0u;

    void moveDepthCornerFor(GLuint drawingFramebuffer);
    void copyDepth(GLuint from, GLuint to, GLsizei width, GLsizei height);

    GLuint program = invalid;
    GLuint framebuffer = invalid;
    GLuint vertexArray = invalid;
    GLuint elementBuffer = invalid;
    int activeUnit = -1;
    std::array<GLuint, textureUnitCount> textures{};
    std::array<GLuint, textureUnitCount> samplers{};
    std::array<VertexAttribute, attributeCount> attributes{};
    std::array<GLint, 4> viewport{-1, -1, -1, -1};
    bool isScissorEnabled = false;
    std::array<GLint, 4> scissor{-1, -1, -1, -1};
    BlendSetting blend;
    std::array<float, 4> blendColour{0, 0, 0, 0};
    bool isDepthTestEnabled = false;
    bool isDepthWriteEnabled = true;
    GLenum depthFunction = GL_LESS;
    bool isCullingEnabled = false;
    GLenum cullFace = GL_BACK;
    std::array<bool, 4> colourMask{true, true, true, true};
    // Framebuffers that draw with a corner's stand-in, the one that holds the full depth
    // buffer, and the stand-in holding newer values than the full buffer (none: 0).
    std::unordered_map<GLuint, DepthCorner> depthCorners;
    GLuint fullDepthFramebuffer = 0;
    DepthCorner heldCorner;
};

} // namespace tincrates::gl
