// The vertex buffer of the four-vertex fans that the blur passes and screen quads draw.
#include "post/screen_vertex.h"

#include "platform/gpu/shared_device.h"

#include <cstring>
#include <string>

namespace tincrates {

IDirect3DVertexBuffer9* createFanBuffer(
    IDirect3DDevice9& device, const std::array<ScreenVertex, 4>& fan)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (device.CreateVertexBuffer(sizeof(fan), 0, screenVertexFvf, D3DPOOL_MANAGED, &buffer,
            nullptr) != D3D_OK)
        throw std::string("failed to create vertex buffer");
    // A failed lock hands out no memory to write into; going on would write through null.
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != D3D_OK || !data) {
        buffer->Release();
        throw std::string("failed to lock vertex buffer");
    }
    std::memcpy(data, fan.data(), sizeof(fan));
    buffer->Unlock();
    return buffer;
}

IDirect3DDevice9& requireSharedDevice()
{
    IDirect3DDevice9* device = sharedDevice();
    if (!device)
        throw std::string("no graphics device");
    return *device;
}

} // namespace tincrates
