// The display of the program on a real screen: an X server of 1920 × 1080 (Xvfb in the test
// command). Full screen, the picture is drawn at the 1440 × 1080 it is shown at, so a line
// one pixel wide in the back buffer is one pixel wide on the screen.
#include "host/back_ends.h"
#include "host/display.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace tincrates {
namespace {

// The pixel at (x, y) of the screen as 0xRRGGBB.
unsigned long screenPixel(::Display* screen, int x, int y)
{
    XImage* image = XGetImage(screen, DefaultRootWindow(screen), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

TEST(OnScreenDisplay, FullScreenDrawsAtTheScreensOwn4By3RectangleUnscaled)
{
    ::Display* screen = XOpenDisplay(nullptr);
    ASSERT_NE(screen, nullptr);
    int screenWidth = DisplayWidth(screen, DefaultScreen(screen));
    int screenHeight = DisplayHeight(screen, DefaultScreen(screen));
    ASSERT_EQ(screenWidth, 1920);
    ASSERT_EQ(screenHeight, 1080);

    Display display(machineDisplayServices());
    display.open("flickering tin crates", 640, 480, D3DFMT_X8R8G8B8, true, true);
    ASSERT_EQ(display.backBufferWidth(), 1440);
    ASSERT_EQ(display.backBufferHeight(), 1080);
    IDirect3DDevice9& device = *display.device;

    // A white column one pixel wide in the middle of a blue picture.
    const int column = 720;
    D3DRECT line{column, 0, column + 1, 1080};
    auto isShown = [&] {
        return screenPixel(screen, 240 + column, 540) == 0xFFFFFF
            && screenPixel(screen, 240 + column - 1, 540) == 0x0000FF
            && screenPixel(screen, 240 + column + 1, 540) == 0x0000FF
            && screenPixel(screen, 240, 1079) == 0x0000FF && screenPixel(screen, 239, 540) == 0;
    };
    // The X server maps and sizes a full-screen window in its own time.
    bool shown = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        device.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1, 0);
        device.Clear(1, &line, D3DCLEAR_TARGET, 0xFFFFFFFF, 1, 0);
        device.Present(nullptr, nullptr, nullptr, nullptr);
        XSync(screen, False);
        shown = isShown();
        if (!shown)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(screenPixel(screen, 240 + column, 540), 0xFFFFFFu);
    EXPECT_EQ(screenPixel(screen, 240 + column - 1, 540), 0x0000FFu);
    EXPECT_EQ(screenPixel(screen, 240 + column + 1, 540), 0x0000FFu);
    EXPECT_EQ(screenPixel(screen, 240, 1079), 0x0000FFu);
    EXPECT_EQ(screenPixel(screen, 239, 540), 0u);
    EXPECT_EQ(screenPixel(screen, 1680, 540), 0u);
    EXPECT_FALSE(display.fitToWindow());
    display.close();
    XCloseDisplay(screen);
}

} // namespace
} // namespace tincrates
