// IDirect3D9 for the GL back-end: one adapter whose devices draw into our Windows.
#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_device.h"
#include "platform/image/decoded_image.h"
#include "platform/window/window.h"

#include <SDL.h>

#include <memory>
#include <string>

namespace tincrates {

namespace {

class GlDirect3D9 final : public IDirect3D9 {
public:
    ULONG AddRef() override { return ++refCount; }

    ULONG Release() override
    {
        ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }

    UINT GetAdapterCount() override { return 1; }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != D3DADAPTER_DEFAULT || !mode)
            return D3DERR_INVALIDCALL;
        *mode = {640, 480, 60, D3DFMT_X8R8G8B8};
        SDL_DisplayMode desktop;
        if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            mode->Width = UINT(desktop.w);
            mode->Height = UINT(desktop.h);
            mode->RefreshRate = UINT(desktop.refresh_rate);
        }
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override
    {
        if (adapter != D3DADAPTER_DEFAULT || !caps || type != D3DDEVTYPE_HAL)
            return D3DERR_INVALIDCALL;
        *caps = {};
        caps->DeviceType = type;
        caps->AdapterOrdinal = adapter;
        // Transform and lighting run in the generated vertex shaders.
        caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        caps->MaxTextureWidth = maxImageSide;
        caps->MaxTextureHeight = maxImageSide;
        caps->MaxTextureBlendStages = 8;
        caps->MaxSimultaneousTextures = 8;
        caps->MaxActiveLights = 8;
        caps->MaxPrimitiveCount = 0xFFFFF;
        caps->MaxVertexIndex = 0xFFFFFF;
        caps->MaxStreams = 1;
        caps->NumSimultaneousRTs = 1;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD,
        D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override
    {
        if (!device)
            return D3DERR_INVALIDCALL;
        *device = nullptr;
        HWND window = params && params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !params || !window)
            return D3DERR_INVALIDCALL;
        std::shared_ptr<Window> shared = window->weak_from_this().lock();
        if (!shared)
            return D3DERR_INVALIDCALL; // only windows held by a std::shared_ptr can be used
        try {
            *device = new gl::GlDevice(std::move(shared), *params);
        } catch (const std::string&) {
            return D3DERR_NOTAVAILABLE;
        }
        return D3D_OK;
    }

private:
    ~GlDirect3D9() = default;
    ULONG refCount = 1;
};

} // namespace

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new GlDirect3D9;
}

} // namespace tincrates
