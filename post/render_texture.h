// A texture that can be drawn into and then read as an ordinary texture. Binding saves the
// render target that was current, unbinding puts it back, so render-to-texture steps can sit
// between ordinary drawing without knowing what the current target was.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates {

class RenderTexture {
public:
    // A D3DFMT_A8R8G8B8 texture of width × height with the whole mip chain. Throws
    // "failed to create render-texture" or "failed to get surface from render-texture";
    // nothing is held after a throw. The device must outlive the render texture.
    RenderTexture(IDirect3DDevice9& device, UINT width, UINT height, DWORD usage, D3DPOOL pool);
    RenderTexture(const RenderTexture&) = delete;
    RenderTexture& operator=(const RenderTexture&) = delete;
    // Puts the saved target back if still bound, then releases the surface and the texture.
    ~RenderTexture();

    // Makes `surface` render target `index`, keeping the current one in `savedSurface`.
    // Throws "RenderTarget already set" when already bound; nothing changes then.
    void bind(UINT index);
    // Restores the saved target; does nothing when not bound.
    void unbind();

    // Read-only for callers: owned here. `texture` is the source for blur passes and quads.
    IDirect3DTexture9* texture = nullptr;
    UINT targetIndex = 0;
    IDirect3DSurface9* surface = nullptr;      // level 0 of `texture`, one reference
    IDirect3DSurface9* savedSurface = nullptr; // the replaced target while bound, else null

private:
    IDirect3DDevice9& device; // not owned
};

} // namespace tincrates
