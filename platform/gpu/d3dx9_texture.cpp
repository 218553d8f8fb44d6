// D3DXCreateTextureFromFileInMemory over the image decoders and the device's own operations.
#include "platform/gpu/d3dx9.h"

#include "platform/image/image_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tincrates {

namespace {

// The four channels of 0xAARRGGBB spread into 16-bit lanes, so that sums of four stay apart.
inline uint64_t spread(uint32_t p)
{
    uint64_t v = p;
    return (v | (v << 24)) & 0x00FF00FF00FF00FFull;
}

// The average of four spread pixels, each channel rounded to nearest, packed again.
inline uint32_t averageOfSpread(uint64_t sum)
{
    uint64_t v = ((sum + 0x0002000200020002ull) >> 2) & 0x00FF00FF00FF00FFull;
    return uint32_t(v | (v >> 24));
}

// Each level is the 2 × 2 box average of the one before; a side of 1 repeats its pixel.
std::vector<uint32_t> halve(const std::vector<uint32_t>& source, UINT width, UINT height,
    UINT newWidth, UINT newHeight)
{
    std::vector<uint32_t> result(size_t(newWidth) * newHeight);
    for (UINT y = 0; y < newHeight; ++y) {
        UINT y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
        const uint32_t* row0 = source.data() + size_t(y0) * width;
        const uint32_t* row1 = source.data() + size_t(y1) * width;
        uint32_t* out = result.data() + size_t(y) * newWidth;
        for (UINT x = 0; x < newWidth; ++x) {
            UINT x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            out[x] = averageOfSpread(
                spread(row0[x0]) + spread(row0[x1]) + spread(row1[x0]) + spread(row1[x1]));
        }
    }
    return result;
}

bool writeLevel(IDirect3DTexture9* texture, UINT level, const std::vector<uint32_t>& pixels,
    UINT width, UINT height)
{
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(level, &locked, nullptr, 0)))
        return false;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
            pixels.data() + size_t(y) * width, size_t(width) * 4);
    return SUCCEEDED(texture->UnlockRect(level));
}

} // namespace

HRESULT createTextureFromImage(
    IDirect3DDevice9* device, DecodedImage&& image, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    IDirect3DTexture9* created = nullptr;
    D3DFORMAT format = image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    HRESULT result = device->CreateTexture(
        image.width, image.height, 0, 0, format, D3DPOOL_MANAGED, &created, nullptr);
    if (FAILED(result))
        return result;
    std::vector<uint32_t> level = std::move(image.pixels);
    UINT width = image.width, height = image.height;
    DWORD levelCount = created->GetLevelCount();
    for (DWORD i = 0; i < levelCount; ++i) {
        if (i > 0) {
            UINT newWidth = std::max(1u, width / 2), newHeight = std::max(1u, height / 2);
            level = halve(level, width, height, newWidth, newHeight);
            width = newWidth;
            height = newHeight;
        }
        if (!writeLevel(created, i, level, width, height)) {
            created->Release();
            return E_FAIL;
        }
    }
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data,
    UINT size, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !data)
        return D3DERR_INVALIDCALL;
    DecodedImage image;
    std::string error;
    // The format is recognised from the bytes; the file name plays no part.
    if (!decodeImage(data, size, image, error))
        return D3DXERR_INVALIDDATA;
    return createTextureFromImage(device, std::move(image), texture);
}

} // namespace tincrates
