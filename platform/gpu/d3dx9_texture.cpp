// D3DXCreateTextureFromFileInMemory over the image decoders and the device's own operations.
#include "platform/gpu/d3dx9.h"

#include "platform/image/image_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tincrates {

namespace {

// Each level is the 2 × 2 box average of the one before, channel by channel; a side of 1
// repeats its pixel. Texel is uint32_t (0xAARRGGBB) or uint16_t (0xAALL).
template <class Texel>
std::vector<Texel> halve(const std::vector<Texel>& source, UINT width, UINT height,
    UINT newWidth, UINT newHeight)
{
    std::vector<Texel> result(size_t(newWidth) * newHeight);
    for (UINT y = 0; y < newHeight; ++y) {
        UINT y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
        const Texel* row0 = source.data() + size_t(y0) * width;
        const Texel* row1 = source.data() + size_t(y1) * width;
        Texel* out = result.data() + size_t(y) * newWidth;
        for (UINT x = 0; x < newWidth; ++x) {
            UINT x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            Texel p[4] = {row0[x0], row0[x1], row1[x0], row1[x1]};
            Texel average = 0;
            for (unsigned shift = 0; shift < 8 * sizeof(Texel); shift += 8) {
                unsigned sum = 2; // rounds to nearest
                for (Texel q : p)
                    sum += (q >> shift) & 0xFFu;
                average |= Texel((sum / 4) << shift);
            }
            out[x] = average;
        }
    }
    return result;
}

template <class Texel>
bool writeLevel(IDirect3DTexture9* texture, UINT level, const std::vector<Texel>& pixels,
    UINT width, UINT height)
{
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(level, &locked, nullptr, 0)))
        return false;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
            pixels.data() + size_t(y) * width, size_t(width) * sizeof(Texel));
    return SUCCEEDED(texture->UnlockRect(level));
}

template <class Texel>
HRESULT writeChain(IDirect3DTexture9* texture, std::vector<Texel> level, UINT width, UINT height)
{
    DWORD levelCount = texture->GetLevelCount();
    for (DWORD i = 0; i < levelCount; ++i) {
        if (i > 0) {
            UINT newWidth = std::max(1u, width / 2), newHeight = std::max(1u, height / 2);
            level = halve(level, width, height, newWidth, newHeight);
            width = newWidth;
            height = newHeight;
        }
        if (!writeLevel(texture, i, level, width, height))
            return E_FAIL;
    }
    return D3D_OK;
}

bool isGrey(const std::vector<uint32_t>& pixels)
{
    for (uint32_t p : pixels) {
        uint32_t blue = p & 0xFFu;
        if (((p >> 8) & 0xFFu) != blue || ((p >> 16) & 0xFFu) != blue)
            return false;
    }
    return true;
}

// 0xAAGGGGGG to 0xAAGG: each channel of a grey image's box average is the same average, so
// the chain made from these is the chain of the four-channel image, channel for channel.
std::vector<uint16_t> luminanceAlpha(const std::vector<uint32_t>& pixels)
{
    std::vector<uint16_t> result(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        result[i] = uint16_t(((pixels[i] >> 16) & 0xFF00u) | (pixels[i] & 0xFFu));
    return result;
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
    HRESULT result = D3DERR_INVALIDCALL;
    if (image.hasAlpha && isGrey(image.pixels)) {
        result = device->CreateTexture(
            image.width, image.height, 0, 0, D3DFMT_A8L8, D3DPOOL_MANAGED, &created, nullptr);
        if (SUCCEEDED(result)) {
            std::vector<uint16_t> level = luminanceAlpha(image.pixels);
            std::vector<uint32_t>().swap(image.pixels);
            result = writeChain(created, std::move(level), image.width, image.height);
        }
    }
    if (!created) { // not grey, or no luminance textures on this device
        D3DFORMAT format = image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        result = device->CreateTexture(
            image.width, image.height, 0, 0, format, D3DPOOL_MANAGED, &created, nullptr);
        if (FAILED(result))
            return result;
        result = writeChain(created, std::move(image.pixels), image.width, image.height);
    }
    if (FAILED(result)) {
        created->Release();
        return result;
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
