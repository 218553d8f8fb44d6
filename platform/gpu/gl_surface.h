// Module-internal to the GL back-end: IDirect3DSurface9 in its three kinds. A level of a
// texture shares the texture's count; the back buffer and system-memory surfaces count
// themselves.
#pragma once

#include "platform/gpu/d3d9.h"

#include <GLES3/gl3.h>

#include <cstdint>
#include <vector>

namespace tincrates::gl {

class GlDevice;
class GlTexture;

class GlSurface final : public IDirect3DSurface9 {
public:
    enum class Kind { TextureLevel, BackBuffer, SystemMemory };

    // A level of `container`; the texture owns it.
    GlSurface(GlDevice& device, GlTexture& container, UINT level);
    // A surface of its own with one reference: the back buffer (a GL renderbuffer) or a
    // system-memory surface. Throws a text when GL cannot make the renderbuffer.
    GlSurface(GlDevice& device, Kind kind, UINT width, UINT height, D3DFORMAT format);
    GlSurface(const GlSurface&) = delete;
    GlSurface& operator=(const GlSurface&) = delete;
    ~GlSurface();

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // References that keep the surface alive without showing in its count (the device's
    // hold on its render target); a texture level passes them to its texture.
    void holdInternally();
    void releaseInternally();

    // The references the application holds (not the internal ones).
    ULONG publicCount() const { return containerTexture ? 0 : refCount; }
    Kind kind() const { return surfaceKind; }
    UINT width() const { return surfaceWidth; }
    UINT height() const { return surfaceHeight; }
    D3DFORMAT format() const { return surfaceFormat; }
    bool isRenderTarget() const;
    // Null unless this is a level of a texture.
    GlTexture* container() const { return containerTexture; }
    UINT level() const { return surfaceLevel; }
    GLuint renderbuffer() const { return colourRenderbuffer; }
    // Pixels of a system-memory surface, top row first, 0xAARRGGBB.
    std::vector<uint32_t>& pixels() { return memory; }
    // The framebuffer object drawing into this surface, kept by GlDevice::framebufferFor.
    GLuint framebuffer = 0;

private:
    GlDevice& device; // not owned; outlives every surface
    Kind surfaceKind;
    GlTexture* containerTexture = nullptr; // not owned; owns this surface
    UINT surfaceLevel = 0;
    UINT surfaceWidth = 0, surfaceHeight = 0;
    D3DFORMAT surfaceFormat = D3DFMT_UNKNOWN;
    ULONG refCount = 1;
    ULONG internalCount = 0;
    GLuint colourRenderbuffer = 0;
    std::vector<uint32_t> memory;
    bool isLocked = false;
};

} // namespace tincrates::gl
