// Brings up the window and the device in the order the device needs them, and takes them
// down in reverse.
#include "host/display.h"

#include "math/fit_rectangle.h"
#include "platform/gpu/shared_device.h"
#include "platform/window/window.h"
#include "production/picture_size.h"

namespace tincrates {

Display::Display(DisplayServices services)
    : services(std::move(services))
{
    if (!this->services.createDirect3D)
        this->services.createDirect3D = Direct3DCreate9;
}

Display::~Display() { close(); }

void Display::open(const std::string& title, int width, int height, D3DFORMAT backBufferFormat,
    bool fullScreen, bool isSizedToWindow)
{
    close();
    this->isSizedToWindow = isSizedToWindow;
    try {
        window = services.createWindow(title, width, height, fullScreen);
    } catch (const std::string& reason) {
        throw "CreateWindowEx failed\n" + reason;
    }
    if (!window)
        throw std::string("CreateWindowEx failed");

    direct3d = services.createDirect3D(D3D_SDK_VERSION);
    if (!direct3d)
        throw std::string("Direct3DCreate9() failed");

    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = UINT(width);
    params.BackBufferHeight = UINT(height);
    params.BackBufferCount = 0;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.MultiSampleQuality = 0;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = nullptr; // the focus window is drawn into
    params.Windowed = fullScreen ? FALSE : TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    params.Flags = 0;
    params.FullScreen_RefreshRateInHz = 0;
    params.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    if (fullScreen) {
        params.BackBufferFormat = backBufferFormat;
        window->setCursorVisible(false);
    } else {
        // A window shares the desktop, so its back buffer takes the desktop's format.
        D3DDISPLAYMODE mode{};
        if (FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
            throw std::string("GetAdapterDisplayMode() failed");
        params.BackBufferFormat = mode.Format;
    }

    D3DCAPS9 caps{};
    // A failed query leaves the capabilities empty, which asks for the slower but always
    // available software vertex processing.
    direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    largestWidth = caps.MaxTextureWidth ? caps.MaxTextureWidth : UINT(width);
    largestHeight = caps.MaxTextureHeight ? caps.MaxTextureHeight : UINT(height);
    if (isSizedToWindow) {
        sizeToWindow(params.BackBufferWidth, params.BackBufferHeight);
    } else if (params.BackBufferWidth > largestWidth || params.BackBufferHeight > largestHeight) {
        throw "Picture size " + std::to_string(width) + "x" + std::to_string(height)
            + " is larger than this device can draw: at most " + std::to_string(largestWidth)
            + "x" + std::to_string(largestHeight);
    }
    bool hasHardwareVertexProcessing = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    if (!hasHardwareVertexProcessing && services.showMessage)
        services.showMessage("Your GPU is from Poland!", "Warning");
    DWORD behaviour = hasHardwareVertexProcessing ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                  : D3DCREATE_SOFTWARE_VERTEXPROCESSING;

    IDirect3DDevice9* created = nullptr;
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
            behaviour, &params, &created))
        || !created)
        throw std::string("CreateDevice() failed");
    device = created;
    publishSharedDevice(device);
    presentParameters = params;
    refusedWidth = refusedHeight = 0;
}

PictureSize Display::windowPictureSize() const
{
    PictureSize size = pictureSizeFor(window->drawableWidth(), window->drawableHeight());
    if (UINT(size.width) > largestWidth || UINT(size.height) > largestHeight) {
        FittedRectangle within = fitRectangle(size.width, size.height, int(largestWidth),
            int(largestHeight));
        size = {within.width, within.height};
    }
    return size;
}

void Display::sizeToWindow(UINT& width, UINT& height) const
{
    PictureSize size = windowPictureSize();
    if (pictureLimit && pictureLimit->width < size.width)
        size = *pictureLimit;
    width = UINT(size.width);
    height = UINT(size.height);
}

bool Display::fitToWindow()
{
    if (!isSizedToWindow || !device)
        return false;
    UINT width = 0;
    UINT height = 0;
    sizeToWindow(width, height);
    if ((width == presentParameters.BackBufferWidth && height == presentParameters.BackBufferHeight)
        || (width == refusedWidth && height == refusedHeight))
        return false;
    D3DPRESENT_PARAMETERS params = presentParameters;
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    if (FAILED(device->Reset(&params))) {
        refusedWidth = width;
        refusedHeight = height;
        return false;
    }
    presentParameters = params;
    return true;
}

void Display::close()
{
    if (window)
        window->setCursorVisible(true);
    if (device) {
        if (sharedDevice() == device)
            publishSharedDevice(nullptr);
        device->EvictManagedResources();
        device->Release();
        device = nullptr;
    }
    if (direct3d) {
        direct3d->Release();
        direct3d = nullptr;
    }
    window.reset();
}

} // namespace tincrates
