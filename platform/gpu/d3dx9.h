// The one D3DX operation the production uses: image file bytes to a texture.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/image/decoded_image.h"

namespace tincrates {

constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

// Decodes a PNG image (any colour type and bit depth) or a JPEG image, recognised from the
// bytes, into a new managed texture of the image's own size with the whole mip chain, each
// level a box-filtered half of the one before. Images with alpha (an alpha channel or a
// transparency chunk) become D3DFMT_A8R8G8B8, others (JPEG always) D3DFMT_X8R8G8B8. Returns
// D3DXERR_INVALIDDATA for bytes that are no decodable image, or the device's error when it
// cannot make the texture; *texture is then null.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data,
    UINT size, IDirect3DTexture9** texture);

// The same for an image decoded already (on another thread, say); its pixels are used up.
HRESULT createTextureFromImage(
    IDirect3DDevice9* device, DecodedImage&& image, IDirect3DTexture9** texture);

} // namespace tincrates
