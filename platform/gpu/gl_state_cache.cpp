// Shadowed GL state; the initial values are GL's own defaults for a new context.
#include "platform/gpu/gl_state_cache.h"

#include "platform/gpu/gl_check.h"

namespace tincrates::gl {

void GlStateCache::useProgram(GLuint newProgram)
{
    if (program == newProgram)
        return;
    program = newProgram;
    GL_CHECK(glUseProgram(newProgram));
}

void GlStateCache::bindFramebuffer(GLuint newFramebuffer)
{
    if (framebuffer == newFramebuffer)
        return;
    framebuffer = newFramebuffer;
    moveDepthCornerFor(newFramebuffer);
    GL_CHECK(glBindFramebuffer(GL_FRAMEBUFFER, newFramebuffer));
}

void GlStateCache::useDepthCorner(GLuint drawingFramebuffer, GLuint fullFramebuffer,
    DepthCorner corner)
{
    depthCorners[drawingFramebuffer] = corner;
    fullDepthFramebuffer = fullFramebuffer;
    if (framebuffer == drawingFramebuffer) {
        moveDepthCornerFor(drawingFramebuffer);
        GL_CHECK(glBindFramebuffer(GL_FRAMEBUFFER, drawingFramebuffer));
    }
}

void GlStateCache::moveDepthCornerFor(GLuint drawingFramebuffer)
{
    auto found = depthCorners.find(drawingFramebuffer);
    const DepthCorner wanted = found != depthCorners.end() ? found->second : DepthCorner{};
    if (wanted.framebuffer == heldCorner.framebuffer)
        return;
    // Back into the full buffer first: stand-ins of different sizes overlap there.
    if (heldCorner.framebuffer)
        copyDepth(heldCorner.framebuffer, fullDepthFramebuffer, heldCorner.width,
            heldCorner.height);
    if (wanted.framebuffer)
        copyDepth(fullDepthFramebuffer, wanted.framebuffer, wanted.width, wanted.height);
    heldCorner = wanted;
}

void GlStateCache::copyDepth(GLuint from, GLuint to, GLsizei width, GLsizei height)
{
    // Depth only: the device has no stencil test, so stencil values are never seen again
    // after a clear, and copying them as well costs SwiftShader twice the time. A blit
    // writes through the scissor test and, on some implementations, the write masks.
    if (isScissorEnabled)
        GL_CHECK(glDisable(GL_SCISSOR_TEST));
    if (!isDepthWriteEnabled)
        GL_CHECK(glDepthMask(GL_TRUE));
    GL_CHECK(glBindFramebuffer(GL_READ_FRAMEBUFFER, from));
    GL_CHECK(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to));
    GL_CHECK(glBlitFramebuffer(0, 0, width, height, 0, 0, width, height,
        GL_DEPTH_BUFFER_BIT, GL_NEAREST));
    if (!isDepthWriteEnabled)
        GL_CHECK(glDepthMask(GL_FALSE));
    if (isScissorEnabled)
        GL_CHECK(glEnable(GL_SCISSOR_TEST));
}

void GlStateCache::bindTexture(int unit, GLuint texture)
{
    if (textures[unit] == texture)
        return;
    if (activeUnit != unit) {
        activeUnit = unit;
        GL_CHECK(glActiveTexture(GL_TEXTURE0 + unit));
    }
    textures[unit] = texture;
    GL_CHECK(glBindTexture(GL_TEXTURE_2D, texture));
}

void GlStateCache::bindSampler(int unit, GLuint sampler)
{
    if (samplers[unit] == sampler)
        return;
    samplers[unit] = sampler;
    GL_CHECK(glBindSampler(unit, sampler));
}

void GlStateCache::bindVertexArray(GLuint newVertexArray)
{
    if (vertexArray == newVertexArray)
        return;
    vertexArray = newVertexArray;
    // The element binding is part of the vertex array: the shadow of another array's is of no
    // use for this one.
    elementBuffer = invalid;
    GL_CHECK(glBindVertexArray(newVertexArray));
}

void GlStateCache::bindElementBuffer(GLuint buffer)
{
    if (elementBuffer == buffer)
        return;
    elementBuffer = buffer;
    GL_CHECK(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer));
}

void GlStateCache::setVertexAttribute(int location, const VertexAttribute& attribute)
{
    VertexAttribute& current = attributes[location];
    if (current == attribute)
        return;
    if (attribute.isEnabled) {
        if (!current.isEnabled)
            GL_CHECK(glEnableVertexAttribArray(location));
        GL_CHECK(glBindBuffer(GL_ARRAY_BUFFER, attribute.buffer));
        GL_CHECK(glVertexAttribPointer(location, attribute.size, attribute.type,
            attribute.isNormalized ? GL_TRUE : GL_FALSE, attribute.stride,
            reinterpret_cast<const void*>(attribute.offset)));
        current = attribute;
    } else if (current.isEnabled) {
        GL_CHECK(glDisableVertexAttribArray(location));
        current = VertexAttribute{};
    }
}

void GlStateCache::setViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    std::array<GLint, 4> wanted{x, y, width, height};
    if (viewport == wanted)
        return;
    viewport = wanted;
    GL_CHECK(glViewport(x, y, width, height));
}

void GlStateCache::setScissor(bool isEnabled, GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (isEnabled != isScissorEnabled) {
        isScissorEnabled = isEnabled;
        if (isEnabled)
            GL_CHECK(glEnable(GL_SCISSOR_TEST));
        else
            GL_CHECK(glDisable(GL_SCISSOR_TEST));
    }
    if (!isEnabled)
        return;
    std::array<GLint, 4> wanted{x, y, width, height};
    if (scissor == wanted)
        return;
    scissor = wanted;
    GL_CHECK(glScissor(x, y, width, height));
}

void GlStateCache::setBlend(const BlendSetting& wanted)
{
    if (wanted.isEnabled != blend.isEnabled) {
        blend.isEnabled = wanted.isEnabled;
        if (wanted.isEnabled)
            GL_CHECK(glEnable(GL_BLEND));
        else
            GL_CHECK(glDisable(GL_BLEND));
    }
    if (!wanted.isEnabled)
        return;
    if (wanted.source != blend.source || wanted.destination != blend.destination) {
        blend.source = wanted.source;
        blend.destination = wanted.destination;
        GL_CHECK(glBlendFunc(wanted.source, wanted.destination));
    }
    if (wanted.equation != blend.equation) {
        blend.equation = wanted.equation;
        GL_CHECK(glBlendEquation(wanted.equation));
    }
}

void GlStateCache::setBlendColour(const std::array<float, 4>& colour)
{
    if (colour == blendColour)
        return;
    blendColour = colour;
    GL_CHECK(glBlendColor(colour[0], colour[1], colour[2], colour[3]));
}

void GlStateCache::setDepth(bool isTestEnabled, bool isWriteEnabled, GLenum function)
{
    if (isTestEnabled != isDepthTestEnabled) {
        isDepthTestEnabled = isTestEnabled;
        if (isTestEnabled)
            GL_CHECK(glEnable(GL_DEPTH_TEST));
        else
            GL_CHECK(glDisable(GL_DEPTH_TEST));
    }
    if (isWriteEnabled != isDepthWriteEnabled) {
        isDepthWriteEnabled = isWriteEnabled;
        GL_CHECK(glDepthMask(isWriteEnabled ? GL_TRUE : GL_FALSE));
    }
    if (function != depthFunction) {
        depthFunction = function;
        GL_CHECK(glDepthFunc(function));
    }
}

void GlStateCache::setCulling(bool isEnabled, GLenum face)
{
    if (isEnabled != isCullingEnabled) {
        isCullingEnabled = isEnabled;
        if (isEnabled)
            GL_CHECK(glEnable(GL_CULL_FACE));
        else
            GL_CHECK(glDisable(GL_CULL_FACE));
    }
    if (isEnabled && face != cullFace) {
        cullFace = face;
        GL_CHECK(glCullFace(face));
    }
}

void GlStateCache::setColourMask(bool red, bool green, bool blue, bool alpha)
{
    std::array<bool, 4> wanted{red, green, blue, alpha};
    if (wanted == colourMask)
        return;
    colourMask = wanted;
    GL_CHECK(glColorMask(red, green, blue, alpha));
}

void GlStateCache::forgetTexture(GLuint texture)
{
    for (GLuint& bound : textures)
        if (bound == texture)
            bound = 0;
}

void GlStateCache::forgetBuffer(GLuint buffer)
{
    if (elementBuffer == buffer)
        elementBuffer = 0;
    for (VertexAttribute& attribute : attributes)
        if (attribute.isEnabled && attribute.buffer == buffer)
            attribute.buffer = invalid;
}

void GlStateCache::forgetFramebuffer(GLuint deleted)
{
    if (framebuffer == deleted)
        framebuffer = 0;
    depthCorners.erase(deleted);
    if (heldCorner.framebuffer == deleted)
        heldCorner = {};
}

void GlStateCache::forgetProgram(GLuint deleted)
{
    if (program == deleted)
        program = invalid;
}

} // namespace tincrates::gl
