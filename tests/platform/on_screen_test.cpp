// The on-screen path: an SDL2 window under an X server (Xvfb in the test command). What
// Present shows is read back from the X server itself.
#include "platform/d3d9.h"
#include "platform/window_factory.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <thread>

namespace tincrates {
namespace {

constexpr int width = 64;
constexpr int height = 48;

// The pixel at (x, y) of the screen as 0xRRGGBB.
unsigned long screenPixel(Display* display, int x, int y)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

class OnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = createWindow(WindowKind::OnScreen, "on-screen test", width, height, false);
        direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DDISPLAYMODE mode{};
        ASSERT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = width;
        params.BackBufferHeight = height;
        params.BackBufferFormat = mode.Format;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
            D3D_OK);
    }

    void TearDown() override
    {
        if (device)
            device->Release();
        if (direct3d)
            direct3d->Release();
    }

    std::shared_ptr<Window> window;
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

TEST_F(OnScreen, PresentShowsTheBackBufferUprightInTheWindow)
{
    D3DRECT top{0, 0, width, height / 2};
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1, 0);
    device->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    // The X server takes the frame a moment after the swap (longer on a busy machine).
    unsigned long topPixel = 0, bottomPixel = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        XSync(display, False);
        topPixel = screenPixel(display, 2, 2);
        bottomPixel = screenPixel(display, 2, height - 3);
        if (topPixel == 0xFF0000 && bottomPixel == 0x0000FF)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    XCloseDisplay(display);
    EXPECT_EQ(topPixel, 0xFF0000u);
    EXPECT_EQ(bottomPixel, 0x0000FFu);
}

TEST_F(OnScreen, WindowHasTheRequestedSizeAndNoPendingInput)
{
    EXPECT_TRUE(hasScreen());
    EXPECT_TRUE(window->isOnScreen());
    EXPECT_EQ(window->drawableWidth(), width);
    EXPECT_EQ(window->drawableHeight(), height);
    WindowEvent event{};
    while (window->pollEvent(event))
        EXPECT_NE(event.type, WindowEventType::KeyDown);
    EXPECT_FALSE(window->isEscapeDown());
}

TEST(OnScreenFullScreen, FullScreenWindowOfTheScreenSizeShowsThePicture)
{
    // The production's own set-up: 640 × 480, full screen, X8R8G8B8 (the test's X server
    // has a 640 × 480 screen).
    auto window = createWindow(WindowKind::OnScreen, "full screen", 640, 480, true);
    EXPECT_EQ(window->drawableWidth(), 640);
    EXPECT_EQ(window->drawableHeight(), 480);
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 640;
    params.BackBufferHeight = 480;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
        D3D_OK);
    window->setCursorVisible(false);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    // A full-screen window is mapped and resized by the X server in its own time, which on a
    // busy machine can take a while: keep presenting until the picture shows, within a bound.
    unsigned long corner = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (corner != 0x00FF00 && std::chrono::steady_clock::now() < deadline) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        XSync(display, False);
        corner = screenPixel(display, 639, 479);
        if (corner != 0x00FF00)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XCloseDisplay(display);
    EXPECT_EQ(corner, 0x00FF00u);
    window->setCursorVisible(true);
    device->Release();
    direct3d->Release();
}

} // namespace
} // namespace tincrates
