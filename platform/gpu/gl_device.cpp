// The GL device: Direct3D 9 state, its translation to GL state and generated shaders, draws.
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_internal_references.h"

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

namespace tincrates::gl {

namespace {

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX result{};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[row][k] * b.m[k][column];
            result.m[row][column] = sum;
        }
    return result;
}

// The matrix that carries normals for the row-vector transform m: the transposed inverse of
// its upper 3 × 3 part. Row-major, ready for GL as the column-major transpose.
void normalMatrixOf(const D3DMATRIX& m, float out[9])
{
    float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    float cofactors[9] = {e * i - f * h, -(d * i - f * g), d * h - e * g,
        -(b * i - c * h), a * i - c * g, -(a * h - b * g),
        b * f - c * e, -(a * f - c * d), a * e - b * d};
    float determinant = a * cofactors[0] + b * cofactors[1] + c * cofactors[2];
    float scale = determinant != 0 ? 1.0f / determinant : 0.0f;
    // inverse = adjugate / det = transpose(cofactors) / det; its transpose is cofactors / det.
    for (int k = 0; k < 9; ++k)
        out[k] = cofactors[k] * scale;
}

std::array<float, 4> colourOf(D3DCOLOR c)
{
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
        ((c >> 24) & 0xFF) / 255.0f};
}

float floatOf(DWORD bits) { return std::bit_cast<float>(bits); }

GLenum blendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

GLenum blendEquation(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum addressMode(DWORD address)
{
    switch (address) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
    case D3DTADDRESS_BORDER:
    case D3DTADDRESS_MIRRORONCE: return GL_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

UINT vertexCountOf(D3DPRIMITIVETYPE type, UINT primitiveCount)
{
    switch (type) {
    case D3DPT_POINTLIST: return primitiveCount;
    case D3DPT_LINELIST: return primitiveCount * 2;
    case D3DPT_LINESTRIP: return primitiveCount + 1;
    case D3DPT_TRIANGLELIST: return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
    }
}

GLenum primitiveMode(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}


} // namespace

GlDevice::GlDevice(std::shared_ptr<Window> window, const D3DPRESENT_PARAMETERS& params)
    : window(std::move(window))
    , presentParameters(params)
{
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

PresentRectangle presentRectangle(int pictureWidth, int pictureHeight, int windowWidth,
    int windowHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || windowWidth <= 0 || windowHeight <= 0)
        return {0, 0, std::max(windowWidth, 0), std::max(windowHeight, 0)};
    PresentRectangle shown{0, 0, windowWidth, windowHeight};
    int64_t wide = int64_t(windowWidth) * pictureHeight;
    int64_t tall = int64_t(windowHeight) * pictureWidth;
    if (wide > tall)
        shown.width = int((tall + pictureHeight / 2) / pictureHeight);
    else if (wide < tall)
        shown.height = int((wide + pictureWidth / 2) / pictureWidth);
    shown.x = (windowWidth - shown.width) / 2;
    shown.y = (windowHeight - shown.height) / 2;
    return shown;
}

HRESULT GlDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
    const RGNDATA* dirtyRegion)
{
    useContext();
    if (isReleased)
        return D3DERR_INVALIDCALL;
    if (sourceRect || destRect || destWindowOverride || dirtyRegion)
        return D3DERR_INVALIDCALL;
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
    PresentRectangle shown = presentRectangle(width, height, windowWidth, windowHeight);
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
    cache.bindFramebuffer(from->framebuffer);
    GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    std::vector<uint32_t>& pixels = to->pixels();
    GL_CHECK(glReadPixels(0, 0, GLsizei(from->width()), GLsizei(from->height()), GL_RGBA,
        GL_UNSIGNED_BYTE, pixels.data()));
    bool isOpaque = from->format() == D3DFMT_X8R8G8B8;
    for (uint32_t& p : pixels) {
        p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        if (isOpaque)
            p |= 0xFF000000u;
    }
    if (renderTarget)
        cache.bindFramebuffer(renderTarget->framebuffer);
    return D3D_OK;
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

HRESULT GlDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
    D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    useContext();
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (isReleased || sharedHandle || width == 0 || height == 0 || width > 8192 || height > 8192)
        return D3DERR_INVALIDCALL;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8)
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    try {
        *texture = new GlTexture(*this, width, height, levels, usage, format, pool);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD, D3DPOOL,
    IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle)
{
    useContext();
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (isReleased || sharedHandle || length == 0)
        return D3DERR_INVALIDCALL;
    try {
        *buffer = new GlVertexBuffer(*this, length, usage);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL,
    IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle)
{
    useContext();
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (isReleased || sharedHandle || length == 0
        || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    try {
        *buffer = new GlIndexBuffer(*this, length, usage, format);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
    D3DPOOL pool, IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (isReleased || sharedHandle || width == 0 || height == 0 || width > 8192 || height > 8192
        || (pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH)
        || (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
        return D3DERR_INVALIDCALL;
    *surface = new GlSurface(*this, GlSurface::Kind::SystemMemory, width, height, format);
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE renderState, DWORD value)
{
    if (renderState >= D3DRS_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordRenderState(renderState, value);
    else
        state.renderStates[renderState] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetRenderState(D3DRENDERSTATETYPE renderState, DWORD* value)
{
    if (renderState >= D3DRS_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.renderStates[renderState];
    return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= DWORD(stageCount) || type >= D3DTSS_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordStageState(stage, type, value);
    else
        state.stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (stage >= DWORD(stageCount) || type >= D3DTSS_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.stageStates[stage][type];
    return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= DWORD(stageCount) || type >= D3DSAMP_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordSamplerState(sampler, type, value);
    else
        state.samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (sampler >= DWORD(stageCount) || type >= D3DSAMP_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE transform, const D3DMATRIX* matrix)
{
    int slot = transformSlot(transform);
    if (slot < 0 || !matrix)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordTransform(slot, *matrix);
    else
        state.transforms[slot] = *matrix;
    return D3D_OK;
}

HRESULT GlDevice::GetTransform(D3DTRANSFORMSTATETYPE transform, D3DMATRIX* matrix)
{
    int slot = transformSlot(transform);
    if (slot < 0 || !matrix)
        return D3DERR_INVALIDCALL;
    *matrix = state.transforms[slot];
    return D3D_OK;
}

HRESULT GlDevice::SetMaterial(const D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordMaterial(*material);
    else
        state.material = *material;
    return D3D_OK;
}

HRESULT GlDevice::GetMaterial(D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = state.material;
    return D3D_OK;
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT9* light)
{
    if (!light)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordLight(index, *light);
    else
        state.lights[index].light = *light;
    return D3D_OK;
}

HRESULT GlDevice::GetLight(DWORD index, D3DLIGHT9* light)
{
    auto found = state.lights.find(index);
    if (!light || found == state.lights.end())
        return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT GlDevice::LightEnable(DWORD index, BOOL enable)
{
    if (recording) {
        recording->recordLightEnable(index, enable != FALSE);
        return D3D_OK;
    }
    auto [slot, isNew] = state.lights.try_emplace(index);
    if (isNew)
        slot->second.light = defaultLight();
    slot->second.isEnabled = enable != FALSE;
    return D3D_OK;
}

HRESULT GlDevice::GetLightEnable(DWORD index, BOOL* enable)
{
    auto found = state.lights.find(index);
    if (!enable || found == state.lights.end())
        return D3DERR_INVALIDCALL;
    *enable = found->second.isEnabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    useContext();
    if (stage >= DWORD(stageCount))
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordTexture(stage, texture);
    else
        replaceHeld(state.textures[stage], texture);
    return D3D_OK;
}

HRESULT GlDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (stage >= DWORD(stageCount) || !texture)
        return D3DERR_INVALIDCALL;
    *texture = state.textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::BeginStateBlock()
{
    if (recording || isReleased)
        return D3DERR_INVALIDCALL;
    recording = new GlStateBlock(*this);
    return D3D_OK;
}

HRESULT GlDevice::EndStateBlock(IDirect3DStateBlock9** stateBlock)
{
    if (!stateBlock || !recording)
        return D3DERR_INVALIDCALL;
    *stateBlock = recording;
    recording = nullptr;
    return D3D_OK;
}

HRESULT GlDevice::SetFVF(DWORD fvf)
{
    if (recording)
        recording->recordFvf(fvf);
    else
        state.fvf = fvf;
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
    UINT stride)
{
    useContext();
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    if (recording) {
        recording->recordStream(buffer, offset, stride);
        return D3D_OK;
    }
    replaceHeld(state.streamBuffer, buffer);
    state.streamOffset = offset;
    state.streamStride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer9* indices)
{
    useContext();
    if (recording)
        recording->recordIndices(indices);
    else
        replaceHeld(state.indices, indices);
    return D3D_OK;
}

HRESULT GlDevice::EvictManagedResources()
{
    // GL keeps managed textures and buffers by itself; there is nothing to drop.
    return D3D_OK;
}

GlDevice::FvfLayout GlDevice::layoutOf(DWORD fvf)
{
    FvfLayout layout;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
        return layout;
    int offset = 12;
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE)
        offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = offset;
        offset += 4;
    }
    layout.coordinateSetCount = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.coordinateSetCount > 8)
        return layout;
    for (int i = 0; i < layout.coordinateSetCount; ++i) {
        static constexpr int sizes[4] = {2, 3, 4, 1};
        int size = sizes[(fvf >> (16 + 2 * i)) & 3];
        layout.coordinateSizes[i] = size;
        layout.coordinateOffsets[i] = offset;
        offset += 4 * size;
    }
    layout.stride = offset;
    layout.isValid = true;
    return layout;
}

ShaderKey GlDevice::shaderKeyFor(const FvfLayout& layout) const
{
    ShaderKey key{};
    key.isDesktopGl = isDesktopGl;
    const auto& rs = state.renderStates;
    key.hasNormal = layout.normalOffset >= 0;
    key.hasDiffuse = layout.diffuseOffset >= 0;
    key.hasSpecular = layout.specularOffset >= 0;
    key.coordinateSetCount = uint8_t(layout.coordinateSetCount);
    for (int i = 0; i < layout.coordinateSetCount; ++i)
        key.coordinateSizes[i] = uint8_t(layout.coordinateSizes[i]);
    key.isLit = rs[D3DRS_LIGHTING] != 0;
    if (key.isLit) {
        for (const auto& [index, slot] : state.lights) {
            if (!slot.isEnabled || key.lightCount == maxActiveLights)
                continue;
            key.lightKinds[key.lightCount++] = slot.light.Type == D3DLIGHT_DIRECTIONAL
                ? directionalLight
                : slot.light.Type == D3DLIGHT_SPOT ? spotLight
                                                   : pointLight;
        }
        key.normalizesNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
        key.hasLocalViewer = rs[D3DRS_LOCALVIEWER] != 0;
        bool usesVertexColours = rs[D3DRS_COLORVERTEX] != 0;
        auto resolve = [&](DWORD source) -> uint8_t {
            if (!usesVertexColours)
                return fromMaterial;
            if (source == D3DMCS_COLOR1 && key.hasDiffuse)
                return fromVertexDiffuse;
            if (source == D3DMCS_COLOR2 && key.hasSpecular)
                return fromVertexSpecular;
            return fromMaterial;
        };
        key.diffuseSource = resolve(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
        key.ambientSource = resolve(rs[D3DRS_AMBIENTMATERIALSOURCE]);
        key.specularSource = resolve(rs[D3DRS_SPECULARMATERIALSOURCE]);
        key.emissiveSource = resolve(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
    }
    key.addsSpecular = rs[D3DRS_SPECULARENABLE] != 0;
    for (int s = 0; s < stageCount; ++s) {
        const auto& ts = state.stageStates[s];
        if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        StageKey& stage = key.stages[s];
        stage.colourOp = uint8_t(ts[D3DTSS_COLOROP]);
        stage.colourArg0 = uint8_t(ts[D3DTSS_COLORARG0]);
        stage.colourArg1 = uint8_t(ts[D3DTSS_COLORARG1]);
        stage.colourArg2 = uint8_t(ts[D3DTSS_COLORARG2]);
        stage.alphaOp = uint8_t(ts[D3DTSS_ALPHAOP]);
        stage.alphaArg0 = uint8_t(ts[D3DTSS_ALPHAARG0]);
        stage.alphaArg1 = uint8_t(ts[D3DTSS_ALPHAARG1]);
        stage.alphaArg2 = uint8_t(ts[D3DTSS_ALPHAARG2]);
        stage.coordinateSet = uint8_t(std::min<DWORD>(ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF, 7));
        stage.coordinateMode = uint8_t(std::min<DWORD>(ts[D3DTSS_TEXCOORDINDEX] >> 16, 4));
        DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
        stage.transformCount = uint8_t(std::min<DWORD>(flags & 0xFF, 4));
        stage.isProjected = (flags & D3DTTFF_PROJECTED) && stage.transformCount > 0;
        stage.hasTexture = state.textures[s] != nullptr;
        stage.isSingleColour = stage.hasTexture && singleColourOf(s).has_value();
        key.activeStageCount = uint8_t(s + 1);
    }
    if (rs[D3DRS_FOGENABLE]) {
        DWORD mode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE]
                                                           : rs[D3DRS_FOGVERTEXMODE];
        key.fog = mode == D3DFOG_LINEAR ? linearFog
            : mode == D3DFOG_EXP        ? exponentialFog
            : mode == D3DFOG_EXP2       ? squaredExponentialFog
                                        : noFog;
        // A perspective ("W-friendly") projection gives fog by eye depth; any other gives
        // fog by the 0..1 depth value.
        key.isFogFromEyeDepth = rs[D3DRS_FOGTABLEMODE] == D3DFOG_NONE
            || state.transforms[projectionSlot].m[2][3] != 0.0f;
    }
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS)
        key.alphaTest = uint8_t(rs[D3DRS_ALPHAFUNC]);
    key.sourceFactor = uint8_t(sourceFactorInShader());
    key.fixedPointSourceFactor = uint8_t(fixedPointSourceFactor());
    return key;
}

std::optional<D3DCOLOR> GlDevice::singleColourOf(int stage) const
{
    // Every address mode reads texels only (border addressing clamps here, GL ES having no
    // border colour), so a texture of one colour reads that colour wherever it is sampled.
    return static_cast<GlTexture*>(state.textures[stage])->singleColour();
}

DWORD GlDevice::sourceFactorInShader() const
{
    // With a destination factor of ZERO the result is the source times its factor: the shader
    // can apply a factor that depends on the source only, and GL need not read the target.
    const auto& rs = state.renderStates;
    if (!rs[D3DRS_ALPHABLENDENABLE] || rs[D3DRS_DESTBLEND] != D3DBLEND_ZERO
        || rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD)
        return 0;
    switch (rs[D3DRS_SRCBLEND]) {
    case D3DBLEND_ZERO:
    case D3DBLEND_ONE:
    case D3DBLEND_SRCCOLOR:
    case D3DBLEND_INVSRCCOLOR:
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_INVSRCALPHA: return rs[D3DRS_SRCBLEND];
    default: return 0;
    }
}

DWORD GlDevice::fixedPointSourceFactor() const
{
    // With a destination factor of ONE the shader can apply a source factor itself, rounded
    // as fixed-function hardware rounds it, and GL only adds.
    const auto& rs = state.renderStates;
    if (!isFixedPointInShaders || !rs[D3DRS_ALPHABLENDENABLE]
        || rs[D3DRS_DESTBLEND] != D3DBLEND_ONE || rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD)
        return 0;
    switch (rs[D3DRS_SRCBLEND]) {
    case D3DBLEND_SRCCOLOR:
    case D3DBLEND_INVSRCCOLOR:
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_INVSRCALPHA: return rs[D3DRS_SRCBLEND];
    default: return 0;
    }
}

GlDevice::StageSampling GlDevice::cheaperSampling(const FvfLayout& layout,
    const ShaderKey& key, D3DPRIMITIVETYPE type, UINT first, UINT vertexCount, int64_t base,
    GLsizei stride) const
{
    // Screen quads and blur passes draw a few vertices under affine transforms, so their
    // texture scale is constant per triangle and known here. Where no triangle minifies,
    // sampling with or without mip levels gives the same result, and the cheaper filter (and
    // no rebuilt mip chain) will do. Where each pixel centre falls on a texel centre, one
    // texel per pixel, a linear filter gives that texel alone: nearest sampling reads the
    // same for a quarter of the fetches.
    StageSampling result;
    constexpr UINT maxVertices = 6;
    if (vertexCount > maxVertices || vertexCount < 3 || type < D3DPT_TRIANGLELIST)
        return result;
    D3DMATRIX transform = multiply(multiply(state.transforms[worldSlot],
                                       state.transforms[viewSlot]),
        state.transforms[projectionSlot]);
    if (transform.m[0][3] != 0 || transform.m[1][3] != 0 || transform.m[2][3] != 0
        || transform.m[3][3] != 1)
        return result;
    const uint8_t* data = static_cast<GlVertexBuffer*>(state.streamBuffer)->buffer().data()
        + base + size_t(first) * stride;
    float screen[maxVertices][2];
    for (UINT i = 0; i < vertexCount; ++i) {
        float p[3];
        std::memcpy(p, data + size_t(i) * stride, sizeof p);
        float x = p[0] * transform.m[0][0] + p[1] * transform.m[1][0] + p[2] * transform.m[2][0]
            + transform.m[3][0];
        float y = p[0] * transform.m[0][1] + p[1] * transform.m[1][1] + p[2] * transform.m[2][1]
            + transform.m[3][1];
        screen[i][0] = (x + 1) * 0.5f * float(viewport.Width);
        screen[i][1] = (1 - y) * 0.5f * float(viewport.Height);
    }
    std::array<UINT, 3> triangles[4];
    UINT triangleCount = 0;
    for (UINT t = 0; t + 2 < vertexCount && triangleCount < 4; ++t) {
        if (type == D3DPT_TRIANGLELIST) {
            if (t % 3 != 0)
                continue;
            triangles[triangleCount++] = {t, t + 1, t + 2};
        } else if (type == D3DPT_TRIANGLEFAN) {
            triangles[triangleCount++] = {0, t + 1, t + 2};
        } else {
            triangles[triangleCount++] = {t, t + 1, t + 2};
        }
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        const StageKey& stage = key.stages[s];
        int set = stage.coordinateSet;
        if (!stage.hasTexture || stage.coordinateMode != 0 || stage.isProjected
            || (stage.transformCount != 0 && stage.transformCount != 2)
            || set >= layout.coordinateSetCount || layout.coordinateSizes[set] < 2)
            continue;
        auto* texture = static_cast<GlTexture*>(state.textures[s]);
        const D3DMATRIX& m = state.transforms[textureSlot0 + s];
        bool isFilterUniform = (state.samplerStates[s][D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR)
            == (state.samplerStates[s][D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR);
        float texels[maxVertices][2];
        for (UINT i = 0; i < vertexCount; ++i) {
            float uv[2];
            std::memcpy(uv, data + size_t(i) * stride + layout.coordinateOffsets[set], sizeof uv);
            if (stage.transformCount == 2) {
                float u = uv[0] * m.m[0][0] + uv[1] * m.m[1][0] + m.m[2][0];
                float v = uv[0] * m.m[0][1] + uv[1] * m.m[1][1] + m.m[2][1];
                uv[0] = u;
                uv[1] = v;
            }
            texels[i][0] = uv[0] * float(texture->levelWidth(0));
            texels[i][1] = uv[1] * float(texture->levelHeight(0));
        }
        bool isMagnified = true;
        bool isCentred = true;
        for (UINT t = 0; t < triangleCount && isMagnified; ++t) {
            const std::array<UINT, 3>& v = triangles[t];
            float dx1 = screen[v[1]][0] - screen[v[0]][0], dy1 = screen[v[1]][1] - screen[v[0]][1];
            float dx2 = screen[v[2]][0] - screen[v[0]][0], dy2 = screen[v[2]][1] - screen[v[0]][1];
            float determinant = dx1 * dy2 - dx2 * dy1;
            if (std::fabs(determinant) < 1e-6f)
                continue; // covers no pixel
            float derivatives[2][2];
            for (int c = 0; c < 2; ++c) {
                float d1 = texels[v[1]][c] - texels[v[0]][c];
                float d2 = texels[v[2]][c] - texels[v[0]][c];
                derivatives[c][0] = (d1 * dy2 - d2 * dy1) / determinant; // along x
                derivatives[c][1] = (dx1 * d2 - dx2 * d1) / determinant;  // along y
            }
            float alongX = std::hypot(derivatives[0][0], derivatives[1][0]);
            float alongY = std::hypot(derivatives[0][1], derivatives[1][1]);
            // One texel per pixel or fewer; the margin covers rounding of a 1:1 copy. With
            // different minification and magnification filters GL's switch-over point moves
            // with the mip filter, so there only true magnification counts.
            isMagnified = std::max(alongX, alongY) <= (isFilterUniform ? 1.001f : 1.0f);
            // Pixel centres lie on whole screen coordinates, texel centres on halves.
            for (int c = 0; c < 2 && isCentred; ++c) {
                const float along = derivatives[c][c], across = derivatives[c][1 - c];
                float atOrigin = texels[v[0]][c] - derivatives[c][0] * screen[v[0]][0]
                    - derivatives[c][1] * screen[v[0]][1];
                float offset = atOrigin - std::floor(atOrigin);
                isCentred = std::fabs(std::fabs(along) - 1) < 1e-4f && std::fabs(across) < 1e-4f
                    && std::fabs(offset - 0.5f) < 1e-3f;
            }
        }
        result.withoutMips.set(s, isMagnified);
        result.texelCentred.set(s, isMagnified && isCentred && isFilterUniform);
    }
    return result;
}

void GlDevice::uploadUniforms(const GlProgram& program, const ShaderKey& key)
{
    const auto& rs = state.renderStates;
    D3DMATRIX worldView
        = multiply(state.transforms[worldSlot], state.transforms[viewSlot]);
    GL_CHECK(glUniformMatrix4fv(program.worldView, 1, GL_FALSE, &worldView.m[0][0]));
    GL_CHECK(glUniformMatrix4fv(
        program.projection, 1, GL_FALSE, &state.transforms[projectionSlot].m[0][0]));
    GL_CHECK(glUniform2f(program.pixelOffset, 1.0f / float(viewport.Width),
        1.0f / float(viewport.Height)));
    if (program.normalMatrix >= 0) {
        float normalMatrix[9];
        normalMatrixOf(worldView, normalMatrix);
        GL_CHECK(glUniformMatrix3fv(program.normalMatrix, 1, GL_FALSE, normalMatrix));
    }
    if (key.isLit) {
        const D3DMATERIAL9& m = state.material;
        GL_CHECK(glUniform4fv(program.materialDiffuse, 1, &m.Diffuse.r));
        GL_CHECK(glUniform4fv(program.materialAmbient, 1, &m.Ambient.r));
        GL_CHECK(glUniform4fv(program.materialSpecular, 1, &m.Specular.r));
        GL_CHECK(glUniform4fv(program.materialEmissive, 1, &m.Emissive.r));
        GL_CHECK(glUniform1f(program.materialPower, m.Power));
        auto ambient = colourOf(rs[D3DRS_AMBIENT]);
        GL_CHECK(glUniform3fv(program.globalAmbient, 1, ambient.data()));
        float positions[maxActiveLights][3], diffuse[maxActiveLights][3];
        float specular[maxActiveLights][3], ambients[maxActiveLights][3];
        float attenuation[maxActiveLights][4];
        float directions[maxActiveLights][3] = {}, cones[maxActiveLights][3] = {};
        const D3DMATRIX& view = state.transforms[viewSlot];
        int n = 0;
        for (const auto& [index, slot] : state.lights) {
            if (!slot.isEnabled || n == key.lightCount)
                continue;
            const D3DLIGHT9& light = slot.light;
            // The direction in camera space, normalised.
            const D3DVECTOR& d = light.Direction;
            float v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = d.x * view.m[0][c] + d.y * view.m[1][c] + d.z * view.m[2][c];
            float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            for (int c = 0; c < 3; ++c)
                directions[n][c] = length > 0 ? v[c] / length : 0.0f;
            cones[n][0] = std::cos(light.Theta / 2);
            cones[n][1] = std::cos(light.Phi / 2);
            cones[n][2] = light.Falloff;
            if (light.Type == D3DLIGHT_DIRECTIONAL) {
                for (int c = 0; c < 3; ++c)
                    positions[n][c] = directions[n][c];
            } else {
                const D3DVECTOR& p = light.Position;
                for (int c = 0; c < 3; ++c)
                    positions[n][c] = p.x * view.m[0][c] + p.y * view.m[1][c]
                        + p.z * view.m[2][c] + view.m[3][c];
            }
            const D3DCOLORVALUE* colours[3] = {&light.Diffuse, &light.Specular, &light.Ambient};
            float(*targets[3])[3] = {diffuse, specular, ambients};
            for (int k = 0; k < 3; ++k) {
                targets[k][n][0] = colours[k]->r;
                targets[k][n][1] = colours[k]->g;
                targets[k][n][2] = colours[k]->b;
            }
            attenuation[n][0] = light.Attenuation0;
            attenuation[n][1] = light.Attenuation1;
            attenuation[n][2] = light.Attenuation2;
            attenuation[n][3] = light.Range;
            ++n;
        }
        if (n > 0) {
            GL_CHECK(glUniform3fv(program.lightPosition, n, &positions[0][0]));
            GL_CHECK(glUniform3fv(program.lightDiffuse, n, &diffuse[0][0]));
            GL_CHECK(glUniform3fv(program.lightSpecular, n, &specular[0][0]));
            GL_CHECK(glUniform3fv(program.lightAmbient, n, &ambients[0][0]));
            GL_CHECK(glUniform4fv(program.lightAttenuation, n, &attenuation[0][0]));
            GL_CHECK(glUniform3fv(program.lightDirection, n, &directions[0][0]));
            GL_CHECK(glUniform3fv(program.lightCone, n, &cones[0][0]));
        }
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (key.stages[s].transformCount > 0)
            GL_CHECK(glUniformMatrix4fv(program.textureMatrix[s], 1, GL_FALSE,
                &state.transforms[textureSlot0 + s].m[0][0]));
        if (key.stages[s].isSingleColour) {
            auto texel = colourOf(singleColourOf(s).value_or(0));
            GL_CHECK(glUniform4fv(program.texel[s], 1, texel.data()));
        }
    }
    if (key.fog != noFog) {
        auto colour = colourOf(rs[D3DRS_FOGCOLOR]);
        GL_CHECK(glUniform3fv(program.fogColour, 1, colour.data()));
        float start = floatOf(rs[D3DRS_FOGSTART]);
        float end = floatOf(rs[D3DRS_FOGEND]);
        // With start = end the fog steps from none to full at that depth.
        float scale = end != start ? 1.0f / (end - start) : 1e30f;
        GL_CHECK(glUniform3f(program.fogParameters, end, scale, floatOf(rs[D3DRS_FOGDENSITY])));
    }
    auto factor = colourOf(rs[D3DRS_TEXTUREFACTOR]);
    GL_CHECK(glUniform4fv(program.textureFactor, 1, factor.data()));
    GL_CHECK(glUniform1f(program.alphaReference, float(rs[D3DRS_ALPHAREF] & 0xFF)));
}

void GlDevice::applyRasterStates()
{
    const auto& rs = state.renderStates;
    // Front faces are clockwise on screen. Targets are stored top row first, which turns the
    // on-screen winding over for GL: GL's counter-clockwise is Direct3D's clockwise.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW: cache.setCulling(true, GL_FRONT); break;
    case D3DCULL_CCW: cache.setCulling(true, GL_BACK); break;
    default: cache.setCulling(false, GL_BACK); break;
    }
    bool isDepthTested = rs[D3DRS_ZENABLE] != D3DZB_FALSE && depthStencil != 0;
    DWORD function = std::clamp<DWORD>(rs[D3DRS_ZFUNC], D3DCMP_NEVER, D3DCMP_ALWAYS);
    cache.setDepth(isDepthTested, isDepthTested && rs[D3DRS_ZWRITEENABLE] != 0,
        GL_NEVER + (function - D3DCMP_NEVER));

    BlendSetting blend;
    blend.isEnabled = rs[D3DRS_ALPHABLENDENABLE] != 0;
    if (blend.isEnabled) {
        DWORD source = rs[D3DRS_SRCBLEND];
        DWORD destination = rs[D3DRS_DESTBLEND];
        blend.source = blendFactor(source);
        blend.destination = blendFactor(destination);
        // The two obsolete "both" factors set source and destination together.
        if (source == D3DBLEND_BOTHSRCALPHA) {
            blend.source = GL_SRC_ALPHA;
            blend.destination = GL_ONE_MINUS_SRC_ALPHA;
        } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
            blend.source = GL_ONE_MINUS_SRC_ALPHA;
            blend.destination = GL_SRC_ALPHA;
        }
        blend.equation = blendEquation(rs[D3DRS_BLENDOP]);
        if (source == D3DBLEND_BLENDFACTOR || source == D3DBLEND_INVBLENDFACTOR
            || destination == D3DBLEND_BLENDFACTOR || destination == D3DBLEND_INVBLENDFACTOR)
            cache.setBlendColour(colourOf(rs[D3DRS_BLENDFACTOR]));
    }
    if (sourceFactorInShader() != 0)
        blend.isEnabled = false;
    if (fixedPointSourceFactor() != 0)
        blend.source = GL_ONE;
    cache.setBlend(blend);
    DWORD writeMask = rs[D3DRS_COLORWRITEENABLE];
    // An X8R8G8B8 target has no alpha to write: it stays 1, as DESTALPHA then reads.
    bool writesAlpha = (writeMask & 8) && renderTarget->format() != D3DFMT_X8R8G8B8;
    cache.setColourMask(writeMask & 1, writeMask & 2, writeMask & 4, writesAlpha);
    cache.setScissor(false, 0, 0, 0, 0);
}

GLuint GlDevice::samplerFor(int stage, bool isWithoutMips, bool isTexelCentred)
{
    const auto& ss = state.samplerStates[stage];
    DWORD addressU = std::min<DWORD>(ss[D3DSAMP_ADDRESSU], 7);
    DWORD addressV = std::min<DWORD>(ss[D3DSAMP_ADDRESSV], 7);
    DWORD minFilter = isTexelCentred ? D3DTEXF_POINT : std::min<DWORD>(ss[D3DSAMP_MINFILTER], 3);
    DWORD magFilter = isTexelCentred ? D3DTEXF_POINT : std::min<DWORD>(ss[D3DSAMP_MAGFILTER], 3);
    DWORD mipFilter = isWithoutMips ? D3DTEXF_NONE : std::min<DWORD>(ss[D3DSAMP_MIPFILTER], 3);
    uint32_t key = addressU | (addressV << 4) | (minFilter << 8) | (magFilter << 12)
        | (mipFilter << 16);
    auto found = samplers.find(key);
    if (found != samplers.end())
        return found->second;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    bool isMinLinear = minFilter >= D3DTEXF_LINEAR;
    GLenum min = isMinLinear ? GL_LINEAR : GL_NEAREST;
    if (mipFilter == D3DTEXF_POINT)
        min = isMinLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (mipFilter >= D3DTEXF_LINEAR)
        min = isMinLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(min)));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
        magFilter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(addressMode(addressU))));
    GL_CHECK(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(addressMode(addressV))));
    samplers.emplace(key, sampler);
    return sampler;
}

bool GlDevice::bindTextures(const ShaderKey& key, const StageSampling& sampling)
{
    const auto& withoutMips = sampling.withoutMips;
    // Mip chains first: rebuilding one binds its texture to unit 0.
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (!key.stages[s].hasTexture || key.stages[s].isSingleColour)
            continue;
        auto* texture = static_cast<GlTexture*>(state.textures[s]);
        if (renderTarget->container() == texture)
            return false; // a texture cannot be read while it is being drawn into
        if (!withoutMips.test(s))
            texture->refreshMipChain();
    }
    for (int s = 0; s < key.activeStageCount; ++s) {
        if (!key.stages[s].hasTexture || key.stages[s].isSingleColour)
            continue;
        cache.bindTexture(s, static_cast<GlTexture*>(state.textures[s])->name());
        cache.bindSampler(s, samplerFor(s, withoutMips.test(s), sampling.texelCentred.test(s)));
    }
    return true;
}

HRESULT GlDevice::draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool isIndexed,
    INT baseVertex, UINT first)
{
    useContext();
    if (isReleased || !isInScene || !state.streamBuffer || (isIndexed && !state.indices))
        return D3DERR_INVALIDCALL;
    UINT vertexCount = vertexCountOf(type, primitiveCount);
    if (vertexCount == 0)
        return primitiveCount == 0 ? D3D_OK : D3DERR_INVALIDCALL;
    FvfLayout layout = layoutOf(state.fvf);
    if (!layout.isValid)
        return D3DERR_INVALIDCALL;
    GLsizei stride = state.streamStride ? GLsizei(state.streamStride) : layout.stride;
    auto* vertices = static_cast<GlVertexBuffer*>(state.streamBuffer);
    int64_t base = int64_t(state.streamOffset) + int64_t(baseVertex) * stride;
    if (base < 0)
        return D3DERR_INVALIDCALL;
    if (!isIndexed) {
        uint64_t last = uint64_t(base) + (uint64_t(first) + vertexCount - 1) * uint64_t(stride);
        if (last + uint64_t(layout.stride) > vertices->buffer().length())
            return D3DERR_INVALIDCALL;
    }

    ShaderKey key = shaderKeyFor(layout);
    // Whether a stage samples without mip levels also decides whether its texel is rounded,
    // which the program does.
    StageSampling sampling;
    if (!isIndexed)
        sampling = cheaperSampling(layout, key, type, first, vertexCount, base, stride);
    for (int s = 0; s < key.activeStageCount && isFixedPointInShaders; ++s) {
        const auto& ss = state.samplerStates[s];
        key.stages[s].isTexelRounded = sampling.withoutMips.test(s)
            && ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR && ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    }
    const GlProgram* program = programs.programFor(key);
    if (!program)
        return E_FAIL;
    cache.bindVertexArray(vertexArray);
    cache.bindFramebuffer(renderTarget->framebuffer);
    applyViewport();
    applyRasterStates();
    if (!bindTextures(key, sampling))
        return D3DERR_INVALIDCALL;
    cache.useProgram(program->name);
    uploadUniforms(*program, key);

    GLuint buffer = vertices->buffer().name();
    auto attribute = [&](int location, int offset, GLint size, GLenum type, bool isNormalized) {
        VertexAttribute a;
        if (offset >= 0)
            a = {true, buffer, size, type, isNormalized, stride, GLintptr(base + offset)};
        cache.setVertexAttribute(location, a);
    };
    attribute(positionLocation, 0, 3, GL_FLOAT, false);
    attribute(normalLocation, layout.normalOffset, 3, GL_FLOAT, false);
    attribute(diffuseLocation, layout.diffuseOffset, 4, GL_UNSIGNED_BYTE, true);
    attribute(specularLocation, layout.specularOffset, 4, GL_UNSIGNED_BYTE, true);
    for (int i = 0; i < 8; ++i)
        attribute(int(texCoordLocation0) + i,
            i < layout.coordinateSetCount ? layout.coordinateOffsets[i] : -1,
            layout.coordinateSizes[i], GL_FLOAT, false);

    if (isIndexed) {
        auto* indices = static_cast<GlIndexBuffer*>(state.indices);
        bool isWide = indices->format() == D3DFMT_INDEX32;
        UINT indexSize = isWide ? 4 : 2;
        if ((uint64_t(first) + vertexCount) * indexSize > indices->buffer().length())
            return D3DERR_INVALIDCALL;
        // Every vertex that the indices reach must lie inside the vertex buffer: GL would
        // read past it.
        const uint8_t* indexData = indices->buffer().data() + size_t(first) * indexSize;
        uint32_t largest = 0;
        for (UINT i = 0; i < vertexCount; ++i) {
            uint32_t index;
            if (isWide)
                std::memcpy(&index, indexData + 4 * i, 4);
            else {
                uint16_t narrow;
                std::memcpy(&narrow, indexData + 2 * i, 2);
                index = narrow;
            }
            largest = std::max(largest, index);
        }
        if (uint64_t(base) + uint64_t(largest) * uint64_t(stride) + uint64_t(layout.stride)
            > vertices->buffer().length())
            return D3DERR_INVALIDCALL;
        cache.bindElementBuffer(indices->buffer().name());
        GL_CHECK(glDrawElements(primitiveMode(type), GLsizei(vertexCount),
            isWide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
            reinterpret_cast<const void*>(uintptr_t(first) * indexSize)));
    } else {
        GL_CHECK(glDrawArrays(primitiveMode(type), GLint(first), GLsizei(vertexCount)));
    }
    if (renderTarget->container())
        renderTarget->container()->markDrawnInto();
    return D3D_OK;
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count)
{
    return draw(type, count, false, 0, startVertex);
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT,
    UINT, UINT startIndex, UINT count)
{
    return draw(type, count, true, baseVertexIndex, startIndex);
}

} // namespace tincrates::gl
