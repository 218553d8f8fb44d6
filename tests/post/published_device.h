// A headless device published as the shared device for the life of the fixture, with the
// helpers the post-processing tests share.
#pragma once

#include "platform/gpu/linear_filtering.h"
#include "platform/gpu/shared_device.h"
#include "post/render_texture.h"
#include "testbed/headless_device.h"

#include <initializer_list>

namespace tincrates::testing {

constexpr DWORD renderTargetUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP;

// Publishes `device` while it lives and withdraws it after.
class PublishedDevice {
public:
    explicit PublishedDevice(IDirect3DDevice9* device) { publishSharedDevice(device); }
    PublishedDevice(const PublishedDevice&) = delete;
    PublishedDevice& operator=(const PublishedDevice&) = delete;
    ~PublishedDevice() { publishSharedDevice(nullptr); }
};

// Clears `target` to `background`, then each rectangle of `rects` to `colour`.
inline void paint(IDirect3DDevice9* device, RenderTexture& target, D3DCOLOR background,
    std::initializer_list<D3DRECT> rects = {}, D3DCOLOR colour = 0)
{
    target.bind(0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1, 0);
    if (rects.size())
        device->Clear(DWORD(rects.size()), rects.begin(), D3DCLEAR_TARGET, colour, 1, 0);
    target.unbind();
}

} // namespace tincrates::testing
