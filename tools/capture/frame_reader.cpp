// Reads frames back from the device.
#include "tools/capture/frame_reader.h"

#include "math/fit_rectangle.h"

#include <cstring>
#include <string>

namespace tincrates {

FrameReader::~FrameReader()
{
    if (copy)
        copy->Release();
}

std::vector<uint32_t>& FrameReader::read(IDirect3DDevice9& device, UINT& width, UINT& height)
{
    IDirect3DSurface9* target = nullptr;
    if (FAILED(device.GetRenderTarget(0, &target)))
        throw std::string("cannot read the frame back");
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    if (copy && (desc.Width != copyDesc.Width || desc.Height != copyDesc.Height)) {
        copy->Release();
        copy = nullptr;
    }
    if (!copy
        && FAILED(device.CreateOffscreenPlainSurface(
            desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
        copy = nullptr;
        target->Release();
        throw std::string("cannot read the frame back");
    }
    copyDesc = desc;
    D3DLOCKED_RECT locked{};
    bool isRead = SUCCEEDED(device.GetRenderTargetData(target, copy))
        && SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    target->Release();
    if (!isRead)
        throw std::string("cannot read the frame back");
    width = desc.Width;
    height = desc.Height;
    UINT left = 0;
    UINT top = 0;
    if (frameSize && (UINT(frameSize->width) != width || UINT(frameSize->height) != height)) {
        FittedRectangle shown = fitRectangle(
            int(width), int(height), frameSize->width, frameSize->height);
        if (UINT(shown.width) != width || UINT(shown.height) != height) {
            copy->UnlockRect();
            throw std::string("the picture does not fit the frame");
        }
        left = UINT(shown.x);
        top = UINT(shown.y);
        width = UINT(frameSize->width);
        height = UINT(frameSize->height);
    }
    // A moved-away buffer comes back empty; bars are painted only when it is new.
    if (pixels.size() != size_t(width) * height)
        pixels.assign(size_t(width) * height, 0xFF000000u);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(pixels.data() + size_t(top + y) * width + left,
            static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
            size_t(desc.Width) * 4);
    copy->UnlockRect();
    return pixels;
}

} // namespace tincrates
