// The GL device: its lifetime, the scene, clearing, presenting and reading back, and the
// render targets and viewport. Its state, resources and draws are in the gl_device_*.cpp files.
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_internal_references.h"

#include "math/fit_rectangle.h"
#include "platform/gpu/gl_buffer.h"
#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_state_block.h"
#include "platform/gpu/gl_surface.h"
#include "platform/gpu/gl_texture.h"
#include "platform/window/window.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h> // mallopt, malloc_trim
#endif
#include "platform/gpu/gl_device_translation.h"

namespace tincrates::gl {

namespace {

// The driver allocates each texture's storage with malloc. Left to itself, glibc serves
// blocks of a size it has once seen freed from its heap, where a freed texture's pages stay
// resident among live blocks, and a run that loads and frees textures (a maker's, or paging)
// grows without end. From this size on blocks are mapped on their own and unmapped when
// freed: an overlay image's chain (3.6 MB) is; a decoded image (2.7 MB), freed at once and
// allocated again for the next, is not, so that the load does not fault in fresh pages for each.
constexpr int smallestMappedBlock = 3 << 20;

} // namespace

GlDevice::GlDevice(std::shared_ptr<Window> window, const D3DPRESENT_PARAMETERS& params)
    : window(std::move(window))
    , presentParameters(params)
{
    // glibc's allocator only: under AddressSanitizer its own allocator stands in, and
    // LeakSanitizer's scan at exit fails on a heap tuned and trimmed behind its back.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    mallopt(M_MMAP_THRESHOLD, smallestMappedBlock);
#endif
    this->window->makeCurrent();
    if (presentParameters.BackBufferWidth == 0)
        presentParameters.BackBufferWidth = UINT(this->window->drawableWidth());
    if (presentParameters.BackBufferHeight == 0)
        presentParameters.BackBufferHeight = UINT(this->window->drawableHeight());
    if (presentParameters.BackBufferWidth == 0 || presentParameters.BackBufferHeight == 0)
        throw std::string("no back buffer size");
    if (presentParameters.BackBufferFormat != D3DFMT_X8R8G8B8)
        presentParameters.BackBufferFormat = D3DFMT_A8R8G8B8;

    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    isDesktopGl = version && std::strncmp(version, "OpenGL ES", 9) != 0;
    glGenVertexArrays(1, &vertexArray);
    cache.bindVertexArray(vertexArray);
    backBuffer = new GlSurface(*this, GlSurface::Kind::BackBuffer,
        presentParameters.BackBufferWidth, presentParameters.BackBufferHeight,
        presentParameters.BackBufferFormat);
    if (presentParameters.EnableAutoDepthStencil) {
        depthWidth = presentParameters.BackBufferWidth;
        depthHeight = presentParameters.BackBufferHeight;
        glGenRenderbuffers(1, &depthStencil);
        GL_CHECK(glBindRenderbuffer(GL_RENDERBUFFER, depthStencil));
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, depthWidth, depthHeight);
        if (glGetError() != GL_NO_ERROR) {
            backBuffer->Release();
            glDeleteRenderbuffers(1, &depthStencil);
            glDeleteVertexArrays(1, &vertexArray);
            throw std::string("cannot create the depth buffer");
        }
    }
    if (framebufferFor(*backBuffer) == 0) {
        backBuffer->Release();
        glDeleteRenderbuffers(1, &depthStencil);
        glDeleteVertexArrays(1, &vertexArray);
        throw std::string("cannot draw into the back buffer");
    }
    state = defaultDeviceState(depthStencil != 0);
    // The device's own holds; the application has no reference until it asks for one.
    backBuffer->holdInternally();
    backBuffer->Release();
    backBuffer->holdInternally();
    renderTarget = backBuffer;
    cache.bindFramebuffer(backBuffer->framebuffer);
    viewport = {0, 0, backBuffer->width(), backBuffer->height(), 0.0f, 1.0f};
    applyViewport();

    int interval = 1;
    if (presentParameters.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE)
        interval = 0;
    this->window->setSwapInterval(interval);
}

GlDevice::~GlDevice()
{
    // Everything GL was released when the last reference went (releaseBindings); what is
    // left is the window, which takes the context with it.
}

ULONG GlDevice::AddRef() { return ++refCount; }

ULONG GlDevice::Release()
{
    if (refCount == 0)
        return 0;
    ULONG count = --refCount;
    if (count == 0) {
        releaseBindings();
        if (resourceCount == 0)
            delete this;
    }
    return count;
}

HRESULT getDevice(GlDevice& device, IDirect3DDevice9** result)
{
    if (!result)
        return D3DERR_INVALIDCALL;
    device.AddRef();
    *result = &device;
    return D3D_OK;
}

void noteResourceDestroyed(GlDevice& device) { device.resourceDestroyed(); }

void GlDevice::resourceDestroyed()
{
    --resourceCount;
    if (resourceCount == 0 && refCount == 0 && isReleased)
        delete this;
}

void GlDevice::releaseBindings()
{
    if (isReleased)
        return;
    useContext();
    // Held while the bindings go, so that resources released here do not delete the device.
    ++resourceCount;
    if (recording) {
        recording->Release();
        recording = nullptr;
    }
    for (auto*& texture : state.textures)
        replaceHeld(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    replaceHeld(state.streamBuffer, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    replaceHeld(state.indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    replaceHeld(renderTarget, static_cast<GlSurface*>(nullptr));
    replaceHeld(backBuffer, static_cast<GlSurface*>(nullptr));
    for (auto& [key, sampler] : samplers)
        glDeleteSamplers(1, &sampler);
    samplers.clear();
    if (depthStencil)
        glDeleteRenderbuffers(1, &depthStencil);
    depthStencil = 0;
    programs.clear();
    glDeleteVertexArrays(1, &vertexArray);
    vertexArray = 0;
    isReleased = true;
    --resourceCount;
}

void GlDevice::pagedTextureDestroyed(GlTexture* texture)
{
    pagedTextures.erase(std::remove(pagedTextures.begin(), pagedTextures.end(), texture),
        pagedTextures.end());
}

GLuint GlDevice::framebufferFor(GlSurface& surface)
{
    if (surface.framebuffer)
        return surface.framebuffer;
    // The one automatic depth buffer serves every target that it covers; a smaller target
    // draws into its top-left corner. WebGL 2 attaches only buffers of the target's size, so
    // such a target gets a stand-in of its size, which the cache keeps in step with the
    // corner.
    GLuint depth = 0;
    DepthStandIn standIn;
    if (depthStencil && depthWidth >= surface.width() && depthHeight >= surface.height()) {
        depth = depthStencil;
        if (isDepthSizedToTargets
            && (depthWidth != surface.width() || depthHeight != surface.height())) {
            standIn = depthStandIns.standInFor(
                depthStencil, GLsizei(surface.width()), GLsizei(surface.height()));
            depth = standIn.renderbuffer;
            if (!depth)
                return 0;
        }
    }
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    cache.bindFramebuffer(framebuffer);
    if (surface.kind() == GlSurface::Kind::BackBuffer)
        GL_CHECK(glFramebufferRenderbuffer(
            GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, surface.renderbuffer()));
    else
        GL_CHECK(glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
            surface.container()->name(), surface.level()));
    if (depth)
        GL_CHECK(glFramebufferRenderbuffer(
            GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth));
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        cache.forgetFramebuffer(framebuffer);
        glDeleteFramebuffers(1, &framebuffer);
        return 0;
    }
    if (standIn.renderbuffer)
        cache.useDepthCorner(framebuffer, standIn.fullFramebuffer, standIn.corner);
    surface.framebuffer = framebuffer;
    return framebuffer;
}

HRESULT GlDevice::BeginScene()
{
    if (isInScene)
        return D3DERR_INVALIDCALL;
    isInScene = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene()
{
    if (!isInScene)
        return D3DERR_INVALIDCALL;
    isInScene = false;
    return D3D_OK;
}

void GlDevice::applyViewport()
{
    cache.setViewport(GLint(viewport.X), GLint(viewport.Y), GLsizei(viewport.Width),
        GLsizei(viewport.Height));
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
    DWORD stencil)
{
    useContext();
    if (isReleased || !renderTarget)
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthStencil)
        return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        auto c = colourOf(color);
        if (renderTarget->format() == D3DFMT_X8R8G8B8)
            c[3] = 1.0f;
        GL_CHECK(glClearColor(c[0], c[1], c[2], c[3]));
        cache.setColourMask(true, true, true, true);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        GL_CHECK(glClearDepthf(std::clamp(z, 0.0f, 1.0f)));
        cache.setDepth(state.renderStates[D3DRS_ZENABLE] != D3DZB_FALSE, true,
            GL_NEVER + state.renderStates[D3DRS_ZFUNC] - 1);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        GL_CHECK(glClearStencil(GLint(stencil & 0xFF)));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (!mask)
        return D3DERR_INVALIDCALL;
    cache.bindFramebuffer(renderTarget->framebuffer);
    LONG left = LONG(viewport.X), top = LONG(viewport.Y);
    LONG right = left + LONG(viewport.Width), bottom = top + LONG(viewport.Height);
    if (count == 0 || !rects) {
        cache.setScissor(true, left, top, right - left, bottom - top);
        GL_CHECK(glClear(mask));
    } else {
        for (DWORD i = 0; i < count; ++i) {
            LONG x1 = std::max(left, rects[i].x1), y1 = std::max(top, rects[i].y1);
            LONG x2 = std::min(right, rects[i].x2), y2 = std::min(bottom, rects[i].y2);
            if (x1 >= x2 || y1 >= y2)
                continue;
            cache.setScissor(true, x1, y1, x2 - x1, y2 - y1);
            GL_CHECK(glClear(mask));
        }
    }
    if ((flags & D3DCLEAR_TARGET) && renderTarget->container())
        renderTarget->container()->markDrawnInto();
    return D3D_OK;
}

HRESULT GlDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
    const RGNDATA* dirtyRegion)
{
    useContext();
    if (isReleased)
        return D3DERR_INVALIDCALL;
    if (sourceRect || destRect || destWindowOverride || dirtyRegion)
        return D3DERR_INVALIDCALL;
    ++presentCount;
    if (presentCount > pagedTextureKeepPresents)
        for (GlTexture* texture : pagedTextures)
            texture->pageOutIfSampledBefore(presentCount - pagedTextureKeepPresents);
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    // Smaller blocks of a freed texture stay in the heap (see smallestMappedBlock);
    // trimming hands their free pages back, once per frame at most.
    if (isTrimWanted) {
        malloc_trim(0);
        isTrimWanted = false;
    }
#endif
    if (!window->isOnScreen()) {
        GL_CHECK(glFlush());
        return D3D_OK;
    }
    // Targets are stored top row first; the window's framebuffer has its bottom row first.
    GLint width = GLint(presentParameters.BackBufferWidth);
    GLint height = GLint(presentParameters.BackBufferHeight);
    GLint windowWidth = window->drawableWidth();
    GLint windowHeight = window->drawableHeight();
    cache.setScissor(false, 0, 0, 0, 0);
    cache.setColourMask(true, true, true, true);
    GL_CHECK(glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer->framebuffer));
    GL_CHECK(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0));
    // The picture keeps its proportions: the largest rectangle of them that fits, centred,
    // with black bars beside or above and below it.
    FittedRectangle shown = fitRectangle(width, height, windowWidth, windowHeight);
    if (shown.width != windowWidth || shown.height != windowHeight) {
        GL_CHECK(glClearColor(0.0f, 0.0f, 0.0f, 1.0f));
        GL_CHECK(glClear(GL_COLOR_BUFFER_BIT));
    }
    GLint top = windowHeight - shown.y;
    GL_CHECK(glBlitFramebuffer(0, 0, width, height, shown.x, top, shown.x + shown.width,
        top - shown.height, GL_COLOR_BUFFER_BIT,
        (width == shown.width && height == shown.height) ? GL_NEAREST : GL_LINEAR));
    cache.invalidateFramebuffer();
    window->swapBuffers();
    if (renderTarget)
        cache.bindFramebuffer(renderTarget->framebuffer);
    return D3D_OK;
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    useContext();
    if (isReleased || !params || isInScene || recording)
        return D3DERR_INVALIDCALL;
    // A render texture that is bound holds the back buffer to put it back later.
    if (backBuffer->publicCount() != 0)
        return D3DERR_INVALIDCALL;
    UINT width = params->BackBufferWidth ? params->BackBufferWidth : UINT(window->drawableWidth());
    UINT height
        = params->BackBufferHeight ? params->BackBufferHeight : UINT(window->drawableHeight());
    if (width == 0 || height == 0)
        return D3DERR_INVALIDCALL;

    GlSurface* made = nullptr;
    try {
        made = new GlSurface(*this, GlSurface::Kind::BackBuffer, width, height,
            presentParameters.BackBufferFormat);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (depthStencil && (width > depthWidth || height > depthHeight)) {
        UINT grownWidth = std::max(width, depthWidth);
        UINT grownHeight = std::max(height, depthHeight);
        GL_CHECK(glBindRenderbuffer(GL_RENDERBUFFER, depthStencil));
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(grownWidth),
            GLsizei(grownHeight));
        if (glGetError() != GL_NO_ERROR) {
            // The old storage is gone with the failed call; put one of the old size back.
            glRenderbufferStorage(
                GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(depthWidth), GLsizei(depthHeight));
            made->Release();
            return D3DERR_OUTOFVIDEOMEMORY;
        }
        depthWidth = grownWidth;
        depthHeight = grownHeight;
    }
    if (framebufferFor(*made) == 0) {
        made->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }

    for (auto*& texture : state.textures)
        replaceHeld(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    replaceHeld(state.streamBuffer, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    replaceHeld(state.indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    replaceHeld(renderTarget, made);
    replaceHeld(backBuffer, made);
    made->Release(); // the device's two holds are internal
    state = defaultDeviceState(depthStencil != 0);
    cache.bindFramebuffer(backBuffer->framebuffer);
    viewport = {0, 0, width, height, 0.0f, 1.0f};
    applyViewport();

    presentParameters.BackBufferWidth = width;
    presentParameters.BackBufferHeight = height;
    presentParameters.PresentationInterval = params->PresentationInterval;
    window->setSwapInterval(
        presentParameters.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    params->BackBufferWidth = width;
    params->BackBufferHeight = height;
    params->BackBufferFormat = presentParameters.BackBufferFormat;
    return D3D_OK;
}

HRESULT GlDevice::GetBackBuffer(UINT swapChain, UINT index, DWORD, IDirect3DSurface9** surface)
{
    if (!surface || swapChain != 0 || index != 0 || !backBuffer)
        return D3DERR_INVALIDCALL;
    backBuffer->AddRef();
    *surface = backBuffer;
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index != 0 || !renderTarget)
        return index == 0 ? D3DERR_NOTAVAILABLE : D3DERR_INVALIDCALL;
    renderTarget->AddRef();
    *surface = renderTarget;
    return D3D_OK;
}

HRESULT GlDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    useContext();
    if (index != 0 || !surface || isReleased)
        return D3DERR_INVALIDCALL;
    auto* glSurface = static_cast<GlSurface*>(surface);
    if (!glSurface->isRenderTarget() || framebufferFor(*glSurface) == 0)
        return D3DERR_INVALIDCALL;
    replaceHeld(renderTarget, glSurface);
    cache.bindFramebuffer(glSurface->framebuffer);
    viewport = {0, 0, glSurface->width(), glSurface->height(), 0.0f, 1.0f};
    applyViewport();
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTargetData(IDirect3DSurface9* source, IDirect3DSurface9* destination)
{
    useContext();
    if (!source || !destination || isReleased)
        return D3DERR_INVALIDCALL;
    auto* from = static_cast<GlSurface*>(source);
    auto* to = static_cast<GlSurface*>(destination);
    if (!from->isRenderTarget() || to->kind() != GlSurface::Kind::SystemMemory
        || from->width() != to->width() || from->height() != to->height()
        || framebufferFor(*from) == 0)
        return D3DERR_INVALIDCALL;
    return readPixels(*from, to->pixels().data()) ? D3D_OK : D3DERR_INVALIDCALL;
}

bool GlDevice::readPixels(GlSurface& surface, uint32_t* pixels)
{
    if (framebufferFor(surface) == 0)
        return false;
    cache.bindFramebuffer(surface.framebuffer);
    GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    GL_CHECK(glReadPixels(0, 0, GLsizei(surface.width()), GLsizei(surface.height()), GL_RGBA,
        GL_UNSIGNED_BYTE, pixels));
    bool isOpaque = surface.format() == D3DFMT_X8R8G8B8;
    for (size_t i = 0, count = size_t(surface.width()) * surface.height(); i < count; ++i) {
        uint32_t p = pixels[i];
        p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        pixels[i] = isOpaque ? p | 0xFF000000u : p;
    }
    if (renderTarget)
        cache.bindFramebuffer(renderTarget->framebuffer);
    return true;
}

HRESULT GlDevice::SetViewport(const D3DVIEWPORT9* newViewport)
{
    if (!newViewport || !renderTarget)
        return D3DERR_INVALIDCALL;
    if (newViewport->X + newViewport->Width > renderTarget->width()
        || newViewport->Y + newViewport->Height > renderTarget->height())
        return D3DERR_INVALIDCALL;
    viewport = *newViewport;
    applyViewport();
    return D3D_OK;
}

HRESULT GlDevice::GetViewport(D3DVIEWPORT9* result)
{
    if (!result)
        return D3DERR_INVALIDCALL;
    *result = viewport;
    return D3D_OK;
}

} // namespace tincrates::gl
