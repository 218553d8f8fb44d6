// Opening and closing the window and the device, and the warning for an adapter without
// hardware transform and lighting.
#include "host/display.h"

#include "platform/gpu/shared_device.h"
#include "support/demo_fixture.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::backBufferDesc;
using testing::errorOf;
using testing::ScriptedWindow;

// A Direct3D over the real one that can lack hardware vertex processing or refuse devices,
// and writes down the calls the display makes.
class AdapterStandIn final : public IDirect3D9 {
public:
    AdapterStandIn(std::vector<std::string>& log, bool hasHardwareVertexProcessing,
        bool refusesDevices)
        : real(Direct3DCreate9(D3D_SDK_VERSION))
        , log(log)
        , hasHardwareVertexProcessing(hasHardwareVertexProcessing)
        , refusesDevices(refusesDevices)
    {
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override
    {
        ULONG left = --count;
        if (left == 0) {
            log.push_back("Direct3D released");
            real->Release();
            delete this;
        }
        return left;
    }
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        log.push_back("GetAdapterDisplayMode");
        return real->GetAdapterDisplayMode(adapter, mode);
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override
    {
        log.push_back("GetDeviceCaps");
        HRESULT result = real->GetDeviceCaps(adapter, type, caps);
        if (!hasHardwareVertexProcessing)
            caps->DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        return result;
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
        D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override
    {
        log.push_back("CreateDevice");
        behaviourFlags = flags;
        presentParameters = *params;
        if (refusesDevices)
            return D3DERR_NOTAVAILABLE;
        return real->CreateDevice(adapter, type, focusWindow, flags, params, device);
    }

    DWORD behaviourFlags = 0;
    D3DPRESENT_PARAMETERS presentParameters{};

private:
    ~AdapterStandIn() = default;
    IDirect3D9* real;
    std::vector<std::string>& log;
    bool hasHardwareVertexProcessing;
    bool refusesDevices;
    ULONG count = 1;
};

struct DisplayFixture : ::testing::Test {
    DisplayServices services(bool hasHardwareVertexProcessing = true, bool refusesDevices = false)
    {
        DisplayServices made;
        made.createWindow = [this](const std::string& title, int width, int height,
                                bool fullScreen) {
            log.push_back("window " + title + " " + std::to_string(width) + "x"
                + std::to_string(height) + (fullScreen ? " full screen" : " windowed"));
            window = std::make_shared<ScriptedWindow>();
            window->shownWidth = shownWidth;
            window->shownHeight = shownHeight;
            return window;
        };
        made.createDirect3D = [=, this](UINT version) -> IDirect3D9* {
            if (version != D3D_SDK_VERSION)
                return nullptr;
            adapter = new AdapterStandIn(log, hasHardwareVertexProcessing, refusesDevices);
            return adapter;
        };
        made.showMessage = [this](const std::string& text, const std::string& caption) {
            log.push_back("message " + caption + ": " + text);
        };
        return made;
    }

    std::vector<std::string> log;
    int shownWidth = 0; // the size of the windows made, as a screen shows them
    int shownHeight = 0;
    std::shared_ptr<ScriptedWindow> window;
    AdapterStandIn* adapter = nullptr; // owned by the display
};

TEST_F(DisplayFixture, OpensA640By480DeviceAndPublishesItUntilClosed)
{
    Display display(services());
    display.open("flickering tin crates", 640, 480, D3DFMT_X8R8G8B8, true);
    ASSERT_NE(display.device, nullptr);
    EXPECT_EQ(sharedDevice(), display.device);
    EXPECT_EQ(log.front(), "window flickering tin crates 640x480 full screen");

    const D3DPRESENT_PARAMETERS& params = adapter->presentParameters;
    EXPECT_EQ(params.BackBufferWidth, 640u);
    EXPECT_EQ(params.BackBufferHeight, 480u);
    EXPECT_EQ(params.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(params.BackBufferCount, 0u);
    EXPECT_EQ(params.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(params.Windowed, FALSE);
    EXPECT_EQ(params.EnableAutoDepthStencil, TRUE);
    EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(params.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
    EXPECT_EQ(adapter->behaviourFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING);

    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(display.device->GetBackBuffer(0, 0, 0, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc{};
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);

    display.close();
    EXPECT_EQ(sharedDevice(), nullptr);
    EXPECT_EQ(display.device, nullptr);
    EXPECT_EQ(display.direct3d, nullptr);
    EXPECT_EQ(display.window, nullptr);
    EXPECT_EQ(log.back(), "Direct3D released");
}

TEST_F(DisplayFixture, ABackBufferSizedToTheWindowIsItsLargest4By3RectangleAndFollowsIt)
{
    shownWidth = 1920;
    shownHeight = 1080;
    Display display(services());
    display.open("t", 640, 480, D3DFMT_X8R8G8B8, true, true);
    EXPECT_EQ(log.front(), "window t 640x480 full screen");
    EXPECT_EQ(adapter->presentParameters.BackBufferWidth, 1440u);
    EXPECT_EQ(adapter->presentParameters.BackBufferHeight, 1080u);
    EXPECT_EQ(backBufferDesc(display.device).Width, 1440u);
    EXPECT_FALSE(display.fitToWindow()); // nothing changed

    struct Step {
        int shownWidth, shownHeight;
        int width, height;
    } steps[] = {
        {1024, 768, 1024, 768},
        {3840, 2160, 2880, 2160},
        {300, 200, 640, 480},      // smaller than the original: drawn at 640 × 480, shrunk
        {20000, 15000, 8192, 6144}, // no more than the device can draw
    };
    for (const Step& step : steps) {
        window->shownWidth = step.shownWidth;
        window->shownHeight = step.shownHeight;
        display.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        EXPECT_TRUE(display.fitToWindow()) << step.shownWidth;
        EXPECT_EQ(display.backBufferWidth(), step.width);
        EXPECT_EQ(display.backBufferHeight(), step.height);
        D3DSURFACE_DESC desc = backBufferDesc(display.device);
        EXPECT_EQ(int(desc.Width), step.width);
        EXPECT_EQ(int(desc.Height), step.height);
        EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
        // A new back buffer comes with the device's default states; the caller sets its own.
        DWORD filter = 0;
        display.device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
        EXPECT_EQ(filter, DWORD(D3DTEXF_POINT));
    }
    EXPECT_EQ(sharedDevice(), display.device);
}

TEST_F(DisplayFixture, AFixedBackBufferStaysAndATooLargeOneIsRefusedInOneLine)
{
    shownWidth = 1920;
    shownHeight = 1080;
    Display display(services());
    display.open("t", 800, 600, D3DFMT_X8R8G8B8, true);
    EXPECT_EQ(backBufferDesc(display.device).Width, 800u);
    window->shownWidth = 1280;
    window->shownHeight = 1024;
    EXPECT_FALSE(display.fitToWindow());
    EXPECT_EQ(backBufferDesc(display.device).Width, 800u);

    Display tooLarge(services());
    EXPECT_EQ(errorOf([&] { tooLarge.open("t", 9000, 6750, D3DFMT_X8R8G8B8, true); }),
        "Picture size 9000x6750 is larger than this device can draw: at most 8192x8192");
    EXPECT_EQ(tooLarge.device, nullptr);
}

TEST_F(DisplayFixture, WithoutAScreenTheBackBufferSizedToTheWindowIsTheOriginal640By480)
{
    Display display(services());
    display.open("t", 640, 480, D3DFMT_X8R8G8B8, false, true);
    EXPECT_EQ(backBufferDesc(display.device).Width, 640u);
    EXPECT_EQ(backBufferDesc(display.device).Height, 480u);
    EXPECT_FALSE(display.fitToWindow());
}

TEST_F(DisplayFixture, FullScreenHidesTheCursorUntilClosed)
{
    Display display(services());
    display.open("t", 64, 32, D3DFMT_X8R8G8B8, true);
    EXPECT_EQ(window->cursorChanges, std::vector<bool>{false});
    display.close();
    EXPECT_EQ(window->cursorChanges, (std::vector<bool>{false, true}));
}

TEST_F(DisplayFixture, AWindowTakesTheDesktopFormatAndKeepsTheCursor)
{
    Display display(services());
    display.open("t", 64, 32, D3DFMT_A8R8G8B8, false);
    EXPECT_EQ(adapter->presentParameters.Windowed, TRUE);
    EXPECT_EQ(adapter->presentParameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_NE(std::find(log.begin(), log.end(), "GetAdapterDisplayMode"), log.end());
    EXPECT_TRUE(window->cursorChanges.empty());
}

TEST_F(DisplayFixture, WarnsOnceBeforeTheDeviceWithoutHardwareTransformAndLighting)
{
    Display display(services(false));
    display.open("t", 64, 32, D3DFMT_X8R8G8B8, true);
    ASSERT_NE(display.device, nullptr);
    std::vector<std::string> expected = {"window t 64x32 full screen", "GetDeviceCaps",
        "message Warning: Your GPU is from Poland!", "CreateDevice"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(adapter->behaviourFlags, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
}

TEST_F(DisplayFixture, ReportsEachFailedStepInItsOwnWords)
{
    DisplayServices noWindow = services();
    noWindow.createWindow = [](const std::string&, int, int, bool)
        -> std::shared_ptr<Window> { throw std::string("SDL: cannot create the window"); };
    Display first(noWindow);
    EXPECT_EQ(errorOf([&] { first.open("t", 64, 32, D3DFMT_X8R8G8B8, true); }),
        "CreateWindowEx failed\nSDL: cannot create the window");

    DisplayServices noDirect3D = services();
    noDirect3D.createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    Display second(noDirect3D);
    EXPECT_EQ(errorOf([&] { second.open("t", 64, 32, D3DFMT_X8R8G8B8, true); }),
        "Direct3DCreate9() failed");
    second.close(); // only the window was made
    EXPECT_EQ(second.window, nullptr);

    Display third(services(true, true));
    EXPECT_EQ(errorOf([&] { third.open("t", 64, 32, D3DFMT_X8R8G8B8, true); }),
        "CreateDevice() failed");
    EXPECT_EQ(sharedDevice(), nullptr);
    third.close();
    EXPECT_EQ(log.back(), "Direct3D released");
    EXPECT_EQ(window->cursorChanges, (std::vector<bool>{false, true}));
}

TEST_F(DisplayFixture, ClosingTwiceOrNeverOpenedIsHarmless)
{
    Display never(services());
    never.close();
    Display twice(services());
    twice.open("t", 16, 16, D3DFMT_X8R8G8B8, true);
    twice.close();
    twice.close();
    EXPECT_EQ(sharedDevice(), nullptr);
}

} // namespace
} // namespace tincrates
