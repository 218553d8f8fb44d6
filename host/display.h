// The one window of the program and the one Direct3D device that draws into it. The device is
// published as the shared device of the run while the display is open.
#pragma once

#include "platform/gpu/d3d9.h"
#include "production/picture_size.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tincrates {

class Window;

// What a Display opens its window and device with. The host fills it in for the machine it
// runs on (back_ends.h); tests put stand-ins in.
struct DisplayServices {
    // Makes the window; throws a text with the back-end's reason when it cannot.
    std::function<std::shared_ptr<Window>(
        const std::string& title, int width, int height, bool fullScreen)>
        createWindow;
    // Direct3DCreate9 when empty.
    std::function<IDirect3D9*(UINT sdkVersion)> createDirect3D;
    // Shows a message with a caption and waits until the user has seen it.
    std::function<void(const std::string& text, const std::string& caption)> showMessage;
};

class Display {
public:
    explicit Display(DisplayServices services);
    // Closes the display if it is still open.
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Opens a borderless window of width × height and a device with one back buffer of that
    // size and format, a D24S8 depth buffer and the default presentation interval, and
    // publishes the device as the shared device. Full screen hides the mouse cursor. Throws
    // "CreateWindowEx failed" (with the window system's reason on a second line),
    // "Direct3DCreate9() failed", "GetAdapterDisplayMode() failed" or "CreateDevice() failed";
    // whatever was made before the failure is kept until close(). An adapter without hardware
    // transform and lighting gets the warning "Your GPU is from Poland!" and a device with
    // software vertex processing.
    //
    // With isSizedToWindow the window still opens at width × height (or covers the screen),
    // but the back buffer takes the size the picture is shown at: the largest 4:3 rectangle
    // of the window (pictureSizeFor), so that nothing is scaled when it is presented. A size
    // beyond what the device can draw throws "Picture size WxH is larger than this device can
    // draw ..." when asked for, and is brought within it when taken from the window.
    void open(const std::string& title, int width, int height, D3DFORMAT backBufferFormat,
        bool fullScreen, bool isSizedToWindow = false);

    // When the back buffer is sized to the window and the window now asks for another size
    // (it was resized, or the screen's resolution changed), gives the device a back buffer of
    // that size. Returns true when it did: every device state is then back at its default.
    // Call between frames. A size the device refuses is not asked for again.
    bool fitToWindow();

    // When the back buffer is sized to the window: draw the picture at most `limit` (a 4:3
    // size), or as large as the window shows it when none; fitToWindow() then makes it so.
    void limitPictureSize(std::optional<PictureSize> limit) { pictureLimit = limit; }
    // The size the back buffer takes for the window without a limit.
    PictureSize windowPictureSize() const;

    // The size of the back buffer.
    int backBufferWidth() const { return int(presentParameters.BackBufferWidth); }
    int backBufferHeight() const { return int(presentParameters.BackBufferHeight); }

    // Withdraws the shared device, then releases the device, the Direct3D object and the
    // window, and shows the cursor again. Safe at any time, also after a failed open.
    void close();

    // Set while open; owned here. Null (empty) when not created.
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::shared_ptr<Window> window;

private:
    // The size the back buffer should have for the window's size now, within what the
    // device can draw.
    void sizeToWindow(UINT& width, UINT& height) const;

    DisplayServices services;
    D3DPRESENT_PARAMETERS presentParameters{};
    bool isSizedToWindow = false;
    UINT largestWidth = 0, largestHeight = 0; // what the device can draw
    UINT refusedWidth = 0, refusedHeight = 0; // the last size the device would not make
    std::optional<PictureSize> pictureLimit;
};

} // namespace tincrates
