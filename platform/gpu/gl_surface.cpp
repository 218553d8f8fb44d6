// Surfaces: texture levels, the back buffer and system-memory copies of targets.
#include "platform/gpu/gl_surface.h"

#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_resource.h"
#include "platform/gpu/gl_texture.h"

#include <string>

namespace tincrates::gl {

GlSurface::GlSurface(GlDevice& device, GlTexture& container, UINT level)
    : device(device)
    , surfaceKind(Kind::TextureLevel)
    , containerTexture(&container)
    , surfaceLevel(level)
    , surfaceWidth(container.levelWidth(level))
    , surfaceHeight(container.levelHeight(level))
    , surfaceFormat(container.format())
{
}

GlSurface::GlSurface(GlDevice& device, Kind kind, UINT width, UINT height, D3DFORMAT format)
    : device(device)
    , surfaceKind(kind)
    , surfaceWidth(width)
    , surfaceHeight(height)
    , surfaceFormat(format)
{
    if (kind == Kind::BackBuffer) {
        glGenRenderbuffers(1, &colourRenderbuffer);
        GL_CHECK(glBindRenderbuffer(GL_RENDERBUFFER, colourRenderbuffer));
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        if (glGetError() != GL_NO_ERROR) {
            glDeleteRenderbuffers(1, &colourRenderbuffer);
            throw std::string("cannot create the back buffer");
        }
    } else {
        memory.assign(size_t(width) * height, 0);
    }
    device.resourceCreated();
}

GlSurface::~GlSurface()
{
    if (framebuffer || colourRenderbuffer)
        device.useContext();
    if (framebuffer) {
        device.stateCache().forgetFramebuffer(framebuffer);
        glDeleteFramebuffers(1, &framebuffer);
    }
    if (colourRenderbuffer)
        glDeleteRenderbuffers(1, &colourRenderbuffer);
    if (surfaceKind != Kind::TextureLevel)
        device.resourceDestroyed();
}

ULONG GlSurface::AddRef()
{
    if (containerTexture)
        return containerTexture->AddRef();
    return ++refCount;
}

ULONG GlSurface::Release()
{
    if (containerTexture)
        return containerTexture->Release();
    if (refCount == 0)
        return 0;
    ULONG count = --refCount;
    if (count == 0 && internalCount == 0)
        delete this;
    return count;
}

void GlSurface::holdInternally()
{
    if (containerTexture)
        containerTexture->holdInternally();
    else
        ++internalCount;
}

void GlSurface::releaseInternally()
{
    if (containerTexture)
        containerTexture->releaseInternally();
    else if (--internalCount == 0 && refCount == 0)
        delete this;
}

HRESULT GlSurface::GetDevice(IDirect3DDevice9** result) { return getDevice(device, result); }

bool GlSurface::isRenderTarget() const
{
    if (surfaceKind == Kind::BackBuffer)
        return true;
    return containerTexture && (containerTexture->usage() & D3DUSAGE_RENDERTARGET);
}

HRESULT GlSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {};
    desc->Format = surfaceFormat;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Width = surfaceWidth;
    desc->Height = surfaceHeight;
    switch (surfaceKind) {
    case Kind::TextureLevel:
        desc->Usage = containerTexture->usage();
        desc->Pool = (containerTexture->usage() & D3DUSAGE_RENDERTARGET) ? D3DPOOL_DEFAULT
                                                                         : D3DPOOL_MANAGED;
        break;
    case Kind::BackBuffer:
        desc->Usage = D3DUSAGE_RENDERTARGET;
        desc->Pool = D3DPOOL_DEFAULT;
        break;
    case Kind::SystemMemory: desc->Pool = D3DPOOL_SYSTEMMEM; break;
    }
    return D3D_OK;
}

HRESULT GlSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (containerTexture)
        return containerTexture->LockRect(surfaceLevel, lockedRect, rect, flags);
    if (surfaceKind != Kind::SystemMemory || !lockedRect || isLocked)
        return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(surfaceWidth)
            || rect->bottom > LONG(surfaceHeight) || rect->left >= rect->right
            || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        offset = size_t(rect->top) * surfaceWidth + rect->left;
    }
    isLocked = true;
    lockedRect->Pitch = INT(surfaceWidth * 4);
    lockedRect->pBits = memory.data() + offset;
    return D3D_OK;
}

HRESULT GlSurface::UnlockRect()
{
    if (containerTexture)
        return containerTexture->UnlockRect(surfaceLevel);
    if (!isLocked)
        return D3DERR_INVALIDCALL;
    isLocked = false;
    return D3D_OK;
}

} // namespace tincrates::gl
