// The on-screen path: an SDL2 window under an X server (Xvfb in the test command). What
// Present shows is read back from the X server itself.
#include "platform/gpu/d3d9.h"
#include "platform/window/window_factory.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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

TEST(OnScreenFullScreen, FullScreenCoversTheScreenWithThePictureScaledAndCentred)
{
    // The production's own set-up: 640 × 480, full screen, X8R8G8B8. The test command runs
    // this on a screen of that size and once more on one of 1920 × 1080, where the picture
    // takes the largest 4:3 rectangle, x 240 to 1679, with black bars beside it.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    int screenWidth = DisplayWidth(display, DefaultScreen(display));
    int screenHeight = DisplayHeight(display, DefaultScreen(display));
    auto window = createWindow(WindowKind::OnScreen, "full screen", 640, 480, true);
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

    int shownWidth = std::min(screenWidth, screenHeight * 4 / 3);
    int shownHeight = shownWidth * 3 / 4;
    int left = (screenWidth - shownWidth) / 2;
    int top = (screenHeight - shownHeight) / 2;
    struct Probe {
        int x, y;
        unsigned long expected;
    };
    std::vector<Probe> probes = {{left, top, 0x00FF00}, {left + shownWidth - 1,
        top + shownHeight - 1, 0x00FF00}, {screenWidth / 2, screenHeight / 2, 0x00FF00}};
    if (left > 0)
        probes.push_back({left - 1, screenHeight / 2, 0});
    if (left + shownWidth < screenWidth)
        probes.push_back({left + shownWidth, screenHeight / 2, 0});

    // A full-screen window is mapped and resized by the X server in its own time, which on a
    // busy machine can take a while: keep presenting until the picture shows, within a bound.
    auto allAsExpected = [&] {
        for (const Probe& probe : probes)
            if (screenPixel(display, probe.x, probe.y) != probe.expected)
                return false;
        return true;
    };
    bool isShown = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!isShown && std::chrono::steady_clock::now() < deadline) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        XSync(display, False);
        isShown = allAsExpected();
        if (!isShown)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const Probe& probe : probes)
        EXPECT_EQ(screenPixel(display, probe.x, probe.y), probe.expected)
            << "at " << probe.x << ", " << probe.y << " of " << screenWidth << " x "
            << screenHeight;
    XCloseDisplay(display);
    window->setCursorVisible(true);
    device->Release();
    direct3d->Release();
}

} // namespace
} // namespace tincrates
