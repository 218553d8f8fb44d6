// The picture's size on a screen follows how fast the frames come: a size down for each second
// they fall behind the refresh, never below 640 × 480, and up again when there is room, without
// flapping; checked with a slow and a fast device standing in for a real one.
#include "host/picture_size_governor.h"

#include "host/run_demo.h"
#include "audio/silent_clock.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace tincrates {
namespace {

using namespace tincrates::testing;
using Clock = PictureSizeGovernor::Clock;
using std::chrono::milliseconds;

// Feeds `seconds` of frames `frameTime` apart to `governor` at a screen whose picture is at
// most `top`; returns the limit after each second.
struct GovernorRun {
    PictureSizeGovernor governor{60};
    Clock::time_point now{};
    PictureSize top{1440, 1080};

    // Each frame takes `frameTime(the limit in force)`.
    std::vector<PictureSize> play(int seconds, std::function<Clock::duration(PictureSize)> frameTime)
    {
        std::vector<PictureSize> limits;
        for (int second = 0; second < seconds; ++second) {
            for (Clock::time_point end = now + std::chrono::seconds(1); now < end;
                 now += frameTime(governor.limit()))
                governor.frameShown(now, top);
            limits.push_back(governor.limit());
        }
        return limits;
    }
    std::vector<PictureSize> play(int seconds, Clock::duration frameTime)
    {
        return play(seconds, [frameTime](PictureSize) { return frameTime; });
    }
};

TEST(PictureSizeGovernor, SlowFramesStepDownASizeASecondToNoLessThan640By480)
{
    GovernorRun run;
    std::vector<PictureSize> limits = run.play(8, milliseconds(40)); // 25 a second at 60 Hz
    EXPECT_EQ(limits[0], (PictureSize{1440, 1080}));
    EXPECT_EQ(limits[1], (PictureSize{1280, 960}));
    EXPECT_EQ(limits.back(), (PictureSize{640, 480}));
    for (size_t i = 1; i < limits.size(); ++i)
        EXPECT_LE(limits[i].width, limits[i - 1].width);
}

TEST(PictureSizeGovernor, FastFramesTakeTheLargerSizesBackAtOnce)
{
    GovernorRun run;
    run.play(8, milliseconds(40));
    // 400 frames a second at 640 × 480: room for every size up to the top.
    std::vector<PictureSize> limits = run.play(10, milliseconds(2) + std::chrono::microseconds(500));
    EXPECT_EQ(limits.back(), (PictureSize{1440, 1080}));
}

TEST(PictureSizeGovernor, AScreenThatWaitsForItsRefreshTriesALargerSizeLessAndLessOften)
{
    // Frames at the refresh rate exactly (as a screen that waits for it gives them) at
    // 1024 × 768, and too slow at 1280 × 960: each try of the larger size costs a second, and
    // the tries grow further apart.
    GovernorRun run;
    run.play(3, milliseconds(40));
    ASSERT_EQ(run.governor.limit(), (PictureSize{1024, 768}));
    int tries = 0;
    for (int second = 0; second < 120; ++second) {
        const bool wasLarger = run.governor.limit().width > 1024;
        std::vector<PictureSize> limits = run.play(1, [](PictureSize limit) -> Clock::duration {
            return limit.width > 1024 ? milliseconds(25) : milliseconds(16);
        });
        if (limits.back().width > 1024 && !wasLarger)
            ++tries;
    }
    EXPECT_GE(tries, 2);
    EXPECT_LE(tries, 6);
    EXPECT_EQ(run.governor.limit(), (PictureSize{1024, 768}));
}

TEST(PictureSizeGovernor, AResizedWindowKeepsTheLimitWhereItFits)
{
    GovernorRun run;
    run.play(3, milliseconds(40));
    ASSERT_EQ(run.governor.limit(), (PictureSize{1024, 768}));
    run.top = {1600, 1200};
    run.play(1, milliseconds(16));
    EXPECT_EQ(run.governor.limit(), (PictureSize{1024, 768}));
}

// A window shown on a 1920 × 1080 screen whose device is slow at every size (5 frames a
// second), then fast (its frames take time in proportion to their pixels, 111 a second at
// 640 × 480, too few for 1024 × 768), as the run's clock sees it.
TEST(PictureSizeGovernor, ARunDrawsSmallerWhileItsDeviceIsSlowAndLargerWhenItIsFast)
{
    ScratchDir folder;
    writeTestProduction(folder);
    SelectedSilentClock clock;
    TestServices test;
    test.services.display.createWindow = [&](const std::string&, int, int, bool) {
        auto window = std::make_shared<ScriptedWindow>();
        window->shownWidth = 1920;
        window->shownHeight = 1080;
        test.window = window;
        return window;
    };
    test.services.adaptsPictureSize = true;
    Clock::time_point now{};
    bool isFast = false;
    test.services.frameClock = [&] { return now; };
    std::vector<int> widths;
    int frames = 0;
    test.services.framePresented = [&](IDirect3DDevice9& device, float) {
        IDirect3DSurface9* target = nullptr;
        device.GetRenderTarget(0, &target);
        D3DSURFACE_DESC description{};
        target->GetDesc(&description);
        target->Release();
        const int width = int(description.Width);
        if (widths.empty() || widths.back() != width)
            widths.push_back(width);
        if (width == 640)
            isFast = true;
        const int64_t pixels = int64_t(description.Width) * description.Height;
        now += isFast ? std::chrono::nanoseconds(pixels * 9'000'000 / (640 * 480))
                      : std::chrono::nanoseconds(milliseconds(200));
        if ((isFast && width == 800) || ++frames == 1000)
            test.window->events.push_back({WindowEventType::KeyDown, true, Key::Escape});
    };
    EXPECT_EQ(runDemo(test.services), 0);
    EXPECT_EQ(widths, (std::vector<int>{1440, 1280, 1024, 800, 640, 800}));
}

} // namespace
} // namespace tincrates
