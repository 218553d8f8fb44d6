// Render textures: creation, binding as render target and restoring the previous target.
#include "post/render_texture.h"

#include <string>

namespace tincrates {

RenderTexture::RenderTexture(
    IDirect3DDevice9& device, UINT width, UINT height, DWORD usage, D3DPOOL pool)
    : device(device)
{
    if (device.CreateTexture(width, height, 0, usage, D3DFMT_A8R8G8B8, pool, &texture, nullptr)
        != D3D_OK) {
        texture = nullptr;
        throw std::string("failed to create render-texture");
    }
    if (texture->GetSurfaceLevel(0, &surface) != D3D_OK) {
        surface = nullptr;
        texture->Release();
        texture = nullptr;
        throw std::string("failed to get surface from render-texture");
    }
}

RenderTexture::~RenderTexture()
{
    // Left bound, the saved target's reference would be lost and the device would keep
    // drawing into a texture that is going away.
    unbind();
    surface->Release();
    texture->Release();
}

void RenderTexture::bind(UINT index)
{
    if (savedSurface)
        throw std::string("RenderTarget already set");
    if (!surface)
        return;
    targetIndex = index;
    device.GetRenderTarget(index, &savedSurface);
    device.SetRenderTarget(index, surface);
}

void RenderTexture::unbind()
{
    if (!savedSurface)
        return;
    device.SetRenderTarget(targetIndex, savedSurface);
    savedSurface->Release();
    savedSurface = nullptr;
}

} // namespace tincrates
